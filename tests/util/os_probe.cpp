/* Prints the OS type code and its name as this process sees them; the
 * driver runs it under different Windows versions. */
#include <stdio.h>
#include "util/osinfo.h"

int main(void)
{
    char name[OS_NAME_SIZE];
    int code = GetOsType();

    printf("%d %s\n", code, GetOsName(code, name));
    return 0;
}
