/* The 16-bit and 32-bit checks; each call builds its own table on the
 * stack, so nothing is shared between calls or threads. */
#include "checksum.h"

#define CRC_TABLE_SIZE 256
#define BITS_PER_BYTE  8
#define CRC16_WIDTH    16
#define CRC32_WIDTH    32
#define CRC16_TOP_BIT  0x8000
#define CRC32_TOP_BIT  0x80000000UL

WORD ComputeCrc16(WORD initial, const void *data, DWORD count)
{
    WORD table[CRC_TABLE_SIZE];
    const BYTE *bytes = (const BYTE *)data;
    WORD crc = initial;

    for (int i = 0; i < CRC_TABLE_SIZE; i++)
    {
        WORD value = (WORD)(i << (CRC16_WIDTH - BITS_PER_BYTE));
        for (int bit = 0; bit < BITS_PER_BYTE; bit++)
            value = (value & CRC16_TOP_BIT) ? (WORD)((value << 1) ^ CRC16_POLYNOMIAL)
                                            : (WORD)(value << 1);
        table[i] = value;
    }

    for (DWORD i = 0; i < count; i++)
        crc = (WORD)((crc << BITS_PER_BYTE) ^ table[((crc >> BITS_PER_BYTE) ^ bytes[i]) & 0xFF]);
    return crc;
}

DWORD ComputeCrc32(DWORD initial, const void *data, DWORD count)
{
    DWORD table[CRC_TABLE_SIZE];
    const BYTE *bytes = (const BYTE *)data;
    DWORD crc = initial;

    for (int i = 0; i < CRC_TABLE_SIZE; i++)
    {
        DWORD value = (DWORD)i << (CRC32_WIDTH - BITS_PER_BYTE);
        for (int bit = 0; bit < BITS_PER_BYTE; bit++)
            value = (value & CRC32_TOP_BIT) ? (value << 1) ^ CRC32_POLYNOMIAL : value << 1;
        table[i] = value;
    }

    for (DWORD i = 0; i < count; i++)
        crc = (crc << BITS_PER_BYTE) ^ table[((crc >> (CRC32_WIDTH - BITS_PER_BYTE)) ^ bytes[i]) & 0xFF];
    return crc;
}
