/* Loads its own module identity and prints the path length and the three
 * texts, one per line, for the identity tests. */
#include <stdio.h>
#include "util/reports.h"

int main()
{
    DWORD length = LoadModuleIdentity(GetModuleHandleA(NULL));

    printf("%lu\n%s\n%s\n%s\n", (unsigned long)length, ModuleFolder, ModuleFileName,
           ModuleShortName);
    return 0;
}
