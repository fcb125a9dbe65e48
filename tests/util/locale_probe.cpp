/*
 * Prints the locale record after the loaders have run, as hex bytes for
 * the separators: "dateSep dateOrder timeSep timeFormat dateResult
 * timeResult", a line per mode given (one line without any), each from
 * the record as the program starts. With "initial" it prints the record
 * before any loader; with "sentinel" it first fills the record with values
 * no locale gives, so that a field a failing query leaves alone shows as
 * such; "plain" loads into the record as it starts.
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

/* One mode's line; false for a mode it does not know. */
static bool PrintMode(const char *mode)
{
    if (strcmp(mode, "initial") == 0)
    {
        PrintRecord(-1, -1);
        return true;
    }
    if (strcmp(mode, "sentinel") == 0)
    {
        LocaleDateTimeSettings.dateSeparator = SENTINEL_SEPARATOR;
        LocaleDateTimeSettings.timeSeparator = SENTINEL_SEPARATOR;
        LocaleDateTimeSettings.dateOrder = SENTINEL_NUMBER;
        LocaleDateTimeSettings.timeFormat = SENTINEL_NUMBER;
    }
    else if (strcmp(mode, "plain") != 0)
        return false;
    long dateResult = LoadLocaleDateSettings();
    long timeResult = LoadLocaleTimeSettings();
    PrintRecord(dateResult, timeResult);
    return true;
}

int main(int argc, char **argv)
{
    const LOCALE_DATE_TIME_SETTINGS initial = LocaleDateTimeSettings;

    if (argc < 2)
        return PrintMode("plain") ? 0 : 1;
    for (int i = 1; i < argc; i++)
    {
        LocaleDateTimeSettings = initial;
        if (!PrintMode(argv[i]))
        {
            fprintf(stderr, "locale_probe: no mode %s\n", argv[i]);
            return 2;
        }
    }
    return 0;
}
