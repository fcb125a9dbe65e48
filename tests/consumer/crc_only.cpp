/* A program that uses the checksums alone: it must import nothing of the
 * shell, COM, the spooler or the multimedia library. */
#include <stdio.h>
#include "util/checksum.h"

int main()
{
    static const char check[] = "123456789";
    printf("crc32 %08lX\n", (unsigned long)ComputeCrc32(0xFFFFFFFFUL, check, sizeof(check) - 1));
    return 0;
}
