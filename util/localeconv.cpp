/*
 * Loads the date and time conventions of the user's default locale.
 * A query that fails leaves its field as it was.
 */
#include "localeconv.h"

LOCALE_DATE_TIME_SETTINGS LocaleDateTimeSettings =
{
    '/', ':', DATE_ORDER_MDY, TIME_FORMAT_12_HOUR
};

LONG ParseDecimalText(LPCSTR text)
{
    DWORD value = 0;
    BOOL negative = FALSE;

    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        text++;
    if (*text == '-' || *text == '+')
        negative = (*text++ == '-');
    while (*text >= '0' && *text <= '9')
        value = value * 10 + (DWORD)(*text++ - '0');
    return (LONG)(negative ? 0 - value : value);
}

/* Reads one separator and one number setting; each query that succeeds
 * overwrites its field. The field holds one byte: a separator that begins
 * with a double-byte character cannot be kept whole, and its lead byte
 * alone would run into the digit after it in every date text, so such a
 * separator leaves the field as it was, as a query that fails does. */
static void LoadLocalePair(LCTYPE separatorType, char *separator,
                           LCTYPE numberType, LONG *number,
                           LPSTR buffer, int bufferSize)
{
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, separatorType, buffer, bufferSize) &&
        !IsDBCSLeadByte((BYTE)buffer[0]))
        *separator = buffer[0];
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, numberType, buffer, bufferSize))
        *number = ParseDecimalText(buffer);
}

LONG LoadLocaleDateSettings(void)
{
    char buffer[LOCALE_DATE_INFO_SIZE];

    LoadLocalePair(LOCALE_SDATE, &LocaleDateTimeSettings.dateSeparator,
                   LOCALE_IDATE, &LocaleDateTimeSettings.dateOrder,
                   buffer, sizeof(buffer));
    return LocaleDateTimeSettings.dateOrder;
}

LONG LoadLocaleTimeSettings(void)
{
    char buffer[LOCALE_TIME_INFO_SIZE];

    LoadLocalePair(LOCALE_STIME, &LocaleDateTimeSettings.timeSeparator,
                   LOCALE_ITIME, &LocaleDateTimeSettings.timeFormat,
                   buffer, sizeof(buffer));
    return LocaleDateTimeSettings.timeFormat;
}
