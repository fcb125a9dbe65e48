/* A program that uses the checksums alone: it must import nothing of the
 * shell, COM, the spooler or the multimedia library. It also names the
 * path that its first long block chose, so that a run on an emulated old
 * processor shows the tables taken there. */
#include <stdio.h>
#include <string.h>
#include "util/checksum.h"

#define LONG_BLOCK 4096

int main()
{
    static const char check[] = "123456789";
    static unsigned char block[LONG_BLOCK];
    memset(block, 0xA5, sizeof(block));
    printf("crc32 %08lX\n", (unsigned long)ComputeCrc32(0xFFFFFFFFUL, check, sizeof(check) - 1));
    printf("long %08lX\n", (unsigned long)ComputeCrc32(0, block, sizeof(block)));
    printf("path %s\n", CrcPath == CRC_PATH_FOLDING ? "folding" : "tables");
    return 0;
}
