/*
 * Prints the locale record after the loaders have run, as hex bytes for
 * the separators: "dateSep dateOrder timeSep timeFormat dateResult
 * timeResult". With "initial" it prints the record before any loader;
 * with "sentinel" it first fills the record with values no locale gives,
 * so that a field a failing query leaves alone shows as such.
 */
#include <stdio.h>
#include <string.h>
#include "util/localeconv.h"

#define SENTINEL_SEPARATOR '#'
#define SENTINEL_NUMBER    7

static void PrintRecord(long dateResult, long timeResult)
{
    printf("%02X %ld %02X %ld %ld %ld\n",
           (unsigned char)LocaleDateTimeSettings.dateSeparator, (long)LocaleDateTimeSettings.dateOrder,
           (unsigned char)LocaleDateTimeSettings.timeSeparator, (long)LocaleDateTimeSettings.timeFormat,
           dateResult, timeResult);
}

int main(int argc, char **argv)
{
    if (argc > 1 && strcmp(argv[1], "initial") == 0)
    {
        PrintRecord(-1, -1);
        return 0;
    }
    if (argc > 1 && strcmp(argv[1], "sentinel") == 0)
    {
        LocaleDateTimeSettings.dateSeparator = SENTINEL_SEPARATOR;
        LocaleDateTimeSettings.timeSeparator = SENTINEL_SEPARATOR;
        LocaleDateTimeSettings.dateOrder = SENTINEL_NUMBER;
        LocaleDateTimeSettings.timeFormat = SENTINEL_NUMBER;
    }
    long dateResult = LoadLocaleDateSettings();
    long timeResult = LoadLocaleTimeSettings();
    PrintRecord(dateResult, timeResult);
    return 0;
}
