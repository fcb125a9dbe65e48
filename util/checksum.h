/*
 * Two table-driven cyclic redundancy checks over a block of bytes, most
 * significant bit first, without reflection and without a final XOR: the
 * 16-bit one with polynomial 0x1021 (CRC-16/XMODEM from 0, CRC-16/CCITT-
 * FALSE from 0xFFFF) and the 32-bit one with polynomial 0x04C11DB7
 * (CRC-32/MPEG-2 from 0xFFFFFFFF). The caller passes the initial register,
 * so a stream can be checked in pieces by passing each result on as the
 * next piece's initial value. Both read only their arguments and tables
 * that are constant data, so any thread may call them at any time.
 */
#ifndef UTIL_CHECKSUM_H
#define UTIL_CHECKSUM_H

#include <windows.h>

#define CRC16_POLYNOMIAL 0x1021
#define CRC32_POLYNOMIAL 0x04C11DB7UL

WORD ComputeCrc16(WORD initial, const void *data, DWORD count);
DWORD ComputeCrc32(DWORD initial, const void *data, DWORD count);

#endif
