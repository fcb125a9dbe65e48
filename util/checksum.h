/*
 * Two cyclic redundancy checks over a block of bytes, most significant
 * bit first, without reflection and without a final XOR: the 16-bit one
 * with polynomial 0x1021 (CRC-16/XMODEM from 0, CRC-16/CCITT-FALSE from
 * 0xFFFF) and the 32-bit one with polynomial 0x04C11DB7 (CRC-32/MPEG-2
 * from 0xFFFFFFFF). The caller passes the initial register, so a stream
 * can be checked in pieces by passing each result on as the next piece's
 * initial value. Both read only their arguments, constant tables and the
 * process's path choice, so any thread may call them at any time.
 *
 * Long blocks take one of two paths, chosen once for the process: tables,
 * everywhere; or carry-less multiplication, 16 bytes a step, where the
 * processor has it (with SSE2 and SSSE3) and the system saves the XMM
 * registers across task switches. Both give the same result.
 */
#ifndef UTIL_CHECKSUM_H
#define UTIL_CHECKSUM_H

#include <windows.h>

#define CRC16_POLYNOMIAL 0x1021
#define CRC32_POLYNOMIAL 0x04C11DB7UL

#define CRC_PATH_TABLES  1   /* eight bytes a step through tables */
#define CRC_PATH_FOLDING 2   /* 16 bytes a step, carry-less multiply */

WORD ComputeCrc16(WORD initial, const void *data, DWORD count);
DWORD ComputeCrc32(DWORD initial, const void *data, DWORD count);

/* The system's answer whether a processor feature may be used, asked by
 * ChooseCrcPath: IsProcessorFeaturePresent, looked up in KERNEL32 at run
 * time (Windows 95 lacks it, and is then taken to say no), unless a test
 * puts in its own. */
typedef BOOL (WINAPI *PROCESSOR_FEATURE_ROUTINE)(DWORD feature);
extern PROCESSOR_FEATURE_ROUTINE ProcessorFeatureRoutine;

/* The path that this processor and system allow, found out afresh. */
LONG ChooseCrcPath(void);
/* The path of this process: 0 until the first long block, which stores
 * ChooseCrcPath's answer. A test may store CRC_PATH_TABLES to force the
 * tables; a program leaves it alone. */
extern volatile LONG CrcPath;

#endif
