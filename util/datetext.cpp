/*
 * Date and time text in the conventions of LocaleDateTimeSettings, read at
 * every call, and the validity rules for dates, leap years and times.
 */
#include "datetext.h"
#include "localeconv.h"

#define YEARS_PER_CENTURY   100
#define LEAP_YEAR_STEP      4
#define GREGORIAN_CYCLE     400
#define CENTURY_1900        1900
#define CENTURY_2000        2000
#define MONTHS_PER_YEAR     12
#define LONGEST_MONTH       31
#define FEBRUARY            2
#define APRIL               4
#define JUNE                6
#define SEPTEMBER           9
#define NOVEMBER            11
#define LEAP_DAY            29
#define HALF_DAY_HOURS      12
#define FULL_DAY_HOURS      24
#define LAST_MINUTE         60
#define LAST_SECOND         60

WORD ApplyTwoDigitYearWindow(WORD year)
{
    if (year >= YEARS_PER_CENTURY)
        return year;
    if (year >= TWO_DIGIT_YEAR_PIVOT)
        return (WORD)(year + CENTURY_1900);
    return (WORD)(year + CENTURY_2000);
}

/* The hour limit depends on the clock; a clock other than the two known
 * ones rejects no hour. Minute and second 60 pass on purpose. */
static int IsValidTimeOnClock(LONG timeFormat, WORD hour, WORD minute, WORD second)
{
    if (timeFormat == TIME_FORMAT_12_HOUR && hour > HALF_DAY_HOURS)
        return 0;
    if (timeFormat == TIME_FORMAT_24_HOUR && hour > FULL_DAY_HOURS)
        return 0;
    if (minute > LAST_MINUTE || second > LAST_SECOND)
        return 0;
    return 1;
}

int IsLeapYear(WORD year)
{
    WORD windowed = ApplyTwoDigitYearWindow(year);

    if (windowed % GREGORIAN_CYCLE == 0)
        return 1;
    if (windowed % YEARS_PER_CENTURY == 0)
        return 0;
    return windowed % LEAP_YEAR_STEP == 0;
}

/* No range applies to the year; it matters only for 29 February. */
int IsValidDate(WORD day, WORD month, WORD year)
{
    if (month > MONTHS_PER_YEAR || day > LONGEST_MONTH || month < 1 || day < 1)
        return 0;
    if (day == LONGEST_MONTH &&
        (month == APRIL || month == JUNE || month == SEPTEMBER || month == NOVEMBER))
        return 0;
    if (month == FEBRUARY && day > LEAP_DAY)
        return 0;
    if (month == FEBRUARY && day == LEAP_DAY)
        return IsLeapYear(year);
    return 1;
}

int IsValidTime(WORD hour, WORD minute, WORD second)
{
    return IsValidTimeOnClock(LocaleDateTimeSettings.timeFormat, hour, minute, second);
}

void WriteDateInOrder(LPSTR out, WORD day, WORD month, WORD year)
{
    char separator = LocaleDateTimeSettings.dateSeparator;

    switch (LocaleDateTimeSettings.dateOrder)
    {
    case DATE_ORDER_MDY:
        wsprintfA(out, "%02d%c%02d%c%4d", month, separator, day, separator, year);
        break;
    case DATE_ORDER_DMY:
        wsprintfA(out, "%02d%c%02d%c%4d", day, separator, month, separator, year);
        break;
    case DATE_ORDER_YMD:
        wsprintfA(out, "%4d%c%02d%c%02d", year, separator, month, separator, day);
        break;
    }
}

/* The year is cut to its last two digits before the window, so every
 * year written lies in 1986 to 2085. A dateOrder other than 0 to 2
 * writes nothing but still gives the verdict. */
int FormatDateText(LPSTR out, WORD day, WORD month, WORD year)
{
    WORD shown = ApplyTwoDigitYearWindow((WORD)(year % YEARS_PER_CENTURY));

    WriteDateInOrder(out, day, month, shown);
    return IsValidDate(day, month, shown);
}

int FormatTodayDate(LPSTR out)
{
    SYSTEMTIME now;

    GetLocalTime(&now);
    return FormatDateText(out, now.wDay, now.wMonth, now.wYear);
}

/* Writes the picture of the user's date order with the given month field
 * ("mm", "MMM"); FALSE, writing nothing, for a dateOrder other than 0 to
 * 2. The separator stands unquoted. */
static BOOL WriteDatePicture(LPSTR out, LPCSTR monthField)
{
    char separator = LocaleDateTimeSettings.dateSeparator;

    switch (LocaleDateTimeSettings.dateOrder)
    {
    case DATE_ORDER_MDY:
        wsprintfA(out, "%s%cdd%cyyyy", monthField, separator, separator);
        return TRUE;
    case DATE_ORDER_DMY:
        wsprintfA(out, "dd%c%s%cyyyy", separator, monthField, separator);
        return TRUE;
    case DATE_ORDER_YMD:
        wsprintfA(out, "yyyy%c%s%cdd", separator, monthField, separator);
        return TRUE;
    }
    return FALSE;
}

/* Month names longer than three characters do not fit the fixed capacity
 * and give 0; so does a dateOrder other than 0 to 2, for which nothing is
 * written. */
int FormatTodayWithMonthName(LPSTR out)
{
    SYSTEMTIME now;
    char picture[MONTH_NAME_DATE_SIZE];

    if (!WriteDatePicture(picture, "MMM"))
        return 0;
    GetLocalTime(&now);
    return GetDateFormatA(LOCALE_USER_DEFAULT, 0, &now, picture, out, MONTH_NAME_DATE_SIZE);
}

/* On the 12-hour clock only hours above 12 become pm: noon is written
 * 12:00:00am and midnight 00:00:00am. */
int FormatTimeText(LPSTR out, WORD hour, WORD minute, WORD second)
{
    LONG timeFormat = LocaleDateTimeSettings.timeFormat;
    char separator = LocaleDateTimeSettings.timeSeparator;
    LPCSTR suffix = "am";

    if (timeFormat == TIME_FORMAT_12_HOUR && hour > HALF_DAY_HOURS)
    {
        hour = (WORD)(hour - HALF_DAY_HOURS);
        suffix = "pm";
    }
    if (timeFormat == TIME_FORMAT_12_HOUR)
        wsprintfA(out, "%02d%c%02d%c%02d%2s", hour, separator, minute, separator, second, suffix);
    else if (timeFormat == TIME_FORMAT_24_HOUR)
        wsprintfA(out, "%02d%c%02d%c%02d", hour, separator, minute, separator, second);
    return IsValidTime(hour, minute, second);
}

int FormatCurrentTime(LPSTR out)
{
    SYSTEMTIME now;

    GetLocalTime(&now);
    return FormatTimeText(out, now.wHour, now.wMinute, now.wSecond);
}

/* Hours as given, whatever the clock; judged by the 24-hour rules without
 * touching LocaleDateTimeSettings. */
int FormatTimeTextWithUnits(LPSTR out, WORD hours, WORD minutes, WORD seconds)
{
    char separator = LocaleDateTimeSettings.timeSeparator;

    wsprintfA(out, "%02dh%c%02dm%c%02ds", hours, separator, minutes, separator, seconds);
    return IsValidTimeOnClock(TIME_FORMAT_24_HOUR, hours, minutes, seconds);
}

void GetDatePattern(LPSTR out)
{
    WriteDatePicture(out, "mm");
}

void GetTimePattern(LPSTR out)
{
    char separator = LocaleDateTimeSettings.timeSeparator;

    if (LocaleDateTimeSettings.timeFormat == TIME_FORMAT_12_HOUR)
        wsprintfA(out, "hh%cmma", separator);
    else if (LocaleDateTimeSettings.timeFormat == TIME_FORMAT_24_HOUR)
        wsprintfA(out, "HH%cmm", separator);
}
