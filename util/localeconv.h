/*
 * The user's date and time conventions, read once from the locale into one
 * process-wide record that every date and time routine reads at each call.
 * Until the loaders run the record holds '/', ':', DATE_ORDER_MDY and
 * TIME_FORMAT_12_HOUR.
 */
#ifndef UTIL_LOCALECONV_H
#define UTIL_LOCALECONV_H

#include <windows.h>

/* Values of dateOrder, as the locale's LOCALE_IDATE reports them. */
#define DATE_ORDER_MDY 0
#define DATE_ORDER_DMY 1
#define DATE_ORDER_YMD 2

/* Values of timeFormat, as the locale's LOCALE_ITIME reports them. */
#define TIME_FORMAT_12_HOUR 0
#define TIME_FORMAT_24_HOUR 1

/* Buffer sizes of the two loaders, terminator included. */
#define LOCALE_DATE_INFO_SIZE 11
#define LOCALE_TIME_INFO_SIZE 9

typedef struct tagLOCALE_DATE_TIME_SETTINGS
{
    char dateSeparator;
    char timeSeparator;
    LONG dateOrder;
    LONG timeFormat;
} LOCALE_DATE_TIME_SETTINGS;

extern LOCALE_DATE_TIME_SETTINGS LocaleDateTimeSettings;

LONG LoadLocaleDateSettings(void);
/* Signed decimal conversion of locale and date texts, as atoi does it
 * but without the C runtime: blanks skipped, optional sign, digits up to
 * the first other character, 0 when there are none. Overflow wraps. */
LONG ParseDecimalText(LPCSTR text);
LONG LoadLocaleTimeSettings(void);

#endif
