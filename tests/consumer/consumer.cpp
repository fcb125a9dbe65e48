/* A program of another project using the installed library: dates, day
 * numbers, checksums, text helpers, the OS name and the folder chooser's
 * dialog template. Prints one line a result for the test to compare. */
#include <stdio.h>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include "util/checksum.h"
#include "util/dates.h"
#include "util/datetext.h"
#include "util/folders.h"
#include "util/instance.h"
#include "util/localeconv.h"
#include "util/osinfo.h"
#include "util/texthelp.h"

int main()
{
    ModuleInstance = GetModuleHandleA(NULL);
    LoadLocaleDateSettings();
    LoadLocaleTimeSettings();

    static const char check[] = "123456789";
    printf("crc16 %04X\n", ComputeCrc16(0, check, sizeof(check) - 1));
    printf("crc32 %08lX\n", (unsigned long)ComputeCrc32(0xFFFFFFFFUL, check, sizeof(check) - 1));

    char date[32] = "2/29/2000";
    printf("leap %d valid %d\n", IsLeapYear(2000), IsValidDate(29, 2, 2000));
    LONG day = DateTextToDayNumber(date);
    char back[32] = "";
    DayNumberToDateText(day + 1, back);
    printf("day after %s is %s\n", "2/29/2000", back);

    char hex[] = "0123abcdEF";
    printf("hex %d\n", IsHexString(hex));
    char name[64] = "";
    GetOsName(GetOsType(), name);
    printf("os %s\n", name[0] ? "named" : "unnamed");

    HRSRC dialog = FindResourceA(NULL, MAKEINTRESOURCEA(IDD_CHOOSE_FOLDER), (LPCSTR)RT_DIALOG);
    printf("chooser dialog %s\n", dialog ? "present" : "missing");

    /* Exceptions and RTTI work in the consumer's own code. */
    try
    {
        throw std::runtime_error("thrown");
    }
    catch (const std::exception &error)
    {
        printf("caught %s %s\n", error.what(), typeid(error).name()[0] ? "typed" : "untyped");
    }
    return 0;
}
