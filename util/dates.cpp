/*
 * Parsing of date text by LocaleDateTimeSettings, Julian Day Numbers and
 * day counts from today, and the packed MS-DOS date and time. All text
 * goes out through the formatters of datetext.cpp.
 */
#include "dates.h"
#include "datetext.h"
#include "localeconv.h"
#include "texthelp.h"

/* Julian Day Number arithmetic of the Gregorian calendar, with the year
 * starting in March so that the leap day ends it. */
#define JDN_MARCH_OFFSET      3
#define JDN_YEAR_MONTHS       12
#define JDN_YEAR_FACTOR       4404    /* 12 x 367 */
#define JDN_MONTH_FACTOR      367
#define JDN_MONTH_OFFSET      1094
#define JDN_CENTURY_DAYS_X100 3652425 /* days in 100 years x 100 */
#define JDN_YEAR_DAYS_X100    36525   /* days in a Julian year x 100 */
#define JDN_MONTH_DAYS_X10    306     /* days in a March-based month x 10 */
#define JDN_ROUNDING          20
#define JDN_DAY_ROUNDING      5
#define MONTHS_AFTER_MARCH    9
#define LEAP_YEAR_STEP        4
#define YEARS_PER_CENTURY     100
#define GREGORIAN_CYCLE       400

/* Packed MS-DOS date and time fields. */
#define DOS_DAY_MASK          0x1F
#define DOS_MONTH_MASK        0x0F
#define DOS_MONTH_SHIFT       5
#define DOS_YEAR_MASK         0x7F
#define DOS_YEAR_SHIFT        9
#define DOS_SECONDS_MASK      0x1F
#define DOS_MINUTES_MASK      0x3F
#define DOS_MINUTES_SHIFT     5
#define DOS_HOURS_SHIFT       11
#define DOS_SECONDS_UNIT      2

/* Steps by whole characters: in a double-byte code page a trail byte can
 * have the separator's value without being one. */
static LPSTR FindSeparator(LPSTR text, char separator)
{
    while (*text && *text != separator)
        text = CharNextA(text);
    return *text ? text : NULL;
}

/* Only the first 11 bytes of the text are read (10 when the 11th would
 * be half a double-byte character): a longer text is cut, never copied
 * whole. Until the order is known to be 0 to 2 nothing
 * changes; from then on the fields and the normal form stand, valid or
 * not. The caller's text is written only as far as the normal form and
 * its terminator reach (at most NORMAL_DATE_TEXT_SIZE characters). A
 * year read as 100 or more is written as read, not cut to two digits. */
int ParseDateText(LPSTR text, WORD *day, WORD *month, WORD *year)
{
    char work[DATE_TEXT_WORK_SIZE];
    char separator = LocaleDateTimeSettings.dateSeparator;
    LPSTR first, second;
    WORD field1, field2, field3, d, m, y;

    CopyWholeCharacters(work, text, sizeof(work));
    first = FindSeparator(work, separator);
    if (first == NULL)
        return 0;
    *first++ = '\0';
    second = FindSeparator(first, separator);
    if (second == NULL)
        return 0;
    *second++ = '\0';

    /* Only the low 16 bits of each number count. */
    field1 = (WORD)ParseDecimalText(work);
    field2 = (WORD)ParseDecimalText(first);
    field3 = (WORD)ParseDecimalText(second);

    switch (LocaleDateTimeSettings.dateOrder)
    {
    case DATE_ORDER_MDY:
        m = field1; d = field2; y = field3;
        break;
    case DATE_ORDER_DMY:
        d = field1; m = field2; y = field3;
        break;
    case DATE_ORDER_YMD:
        y = field1; m = field2; d = field3;
        break;
    default:
        return 0;
    }
    y = ApplyTwoDigitYearWindow(y);
    *day = d;
    *month = m;
    *year = y;

    WriteDateInOrder(text, d, m, y);
    return IsValidDate(d, m, y);
}

/* NO_DAY_NUMBER for a text that does not parse or is no valid date. */
LONG DateTextToDayNumber(LPSTR text)
{
    WORD day, month, year;
    LONG a, b;

    if (!ParseDateText(text, &day, &month, &year))
        return NO_DAY_NUMBER;
    a = ((LONG)JDN_YEAR_MONTHS * year + month - JDN_MARCH_OFFSET) / JDN_YEAR_MONTHS;
    b = ((LONG)JDN_YEAR_FACTOR * year + (LONG)JDN_MONTH_FACTOR * month - JDN_MONTH_OFFSET)
        / JDN_YEAR_MONTHS;
    return b - 2 * a + a / LEAP_YEAR_STEP - a / YEARS_PER_CENTURY + a / GREGORIAN_CYCLE + day + FIRST_DAY_NUMBER;
}

/* The inverse of DateTextToDayNumber from 1721120 to LAST_DAY_NUMBER.
 * Beyond the last day of year 32767 the 16-bit year no longer holds the
 * value, so such numbers are refused like those below the first. The
 * text shows the year through the window of FormatDateText. */
int DayNumberToDateText(LONG number, LPSTR out)
{
    LONG j, c;
    SHORT y, m, d;

    if (number < FIRST_DAY_NUMBER || number > LAST_DAY_NUMBER)
        return 0;
    j = number - FIRST_DAY_NUMBER;
    c = (100 * j - JDN_ROUNDING) / JDN_CENTURY_DAYS_X100;
    j = j + c - c / LEAP_YEAR_STEP;
    y = (SHORT)((100 * j - JDN_ROUNDING) / JDN_YEAR_DAYS_X100);
    j = j - ((LONG)JDN_YEAR_DAYS_X100 * y) / YEARS_PER_CENTURY;
    m = (SHORT)((10 * j - JDN_DAY_ROUNDING) / JDN_MONTH_DAYS_X10);
    d = (SHORT)((10 * j - (LONG)JDN_MONTH_DAYS_X10 * m + JDN_DAY_ROUNDING) / 10);
    if (m > MONTHS_AFTER_MARCH)
    {
        y = (SHORT)(y + 1);
        m = (SHORT)(m - MONTHS_AFTER_MARCH);
    }
    else
        m = (SHORT)(m + JDN_MARCH_OFFSET);
    return FormatDateText(out, (WORD)d, (WORD)m, (WORD)y);
}

/* A count of 0 asks how many days the text lies ahead of today (the text
 * is rewritten in normal form even when the answer is refused); any other
 * count asks for the date that many days ahead, written into the text.
 * While dateOrder is outside 0 to 2 today has no text: the routine then
 * refuses and changes neither the text nor the count. */
int DaysFromToday(LPSTR text, WORD *count)
{
    char today[DATE_TEXT_WORK_SIZE];
    LONG todayNumber, difference;
    LONG order = LocaleDateTimeSettings.dateOrder;

    if (order != DATE_ORDER_MDY && order != DATE_ORDER_DMY && order != DATE_ORDER_YMD)
        return 0;
    FormatTodayDate(today);

    if (*count == 0)
    {
        difference = DateTextToDayNumber(text);
        difference -= DateTextToDayNumber(today);
        if (difference < 0 || difference > DAYS_FROM_TODAY_LIMIT)
            return 0;
        *count = (WORD)difference;
        return 1;
    }
    if (*count > DAYS_FROM_TODAY_LIMIT)
        return 0;
    todayNumber = DateTextToDayNumber(today);
    return DayNumberToDateText(todayNumber + *count, text) ? 1 : 0;
}

/* Stores the packed date only for a valid date; the year wraps modulo
 * 128 after 1980 is taken off (1900 packs as 48). */
int DateTextToDosDate(LPSTR text, WORD *packed)
{
    WORD day, month, year;
    int valid = ParseDateText(text, &day, &month, &year);

    if (valid)
        *packed = (WORD)((day & DOS_DAY_MASK)
                         | ((month & DOS_MONTH_MASK) << DOS_MONTH_SHIFT)
                         | (((year - DOS_DATE_BASE_YEAR) & DOS_YEAR_MASK) << DOS_YEAR_SHIFT));
    return valid;
}

/* Packed years 1980 to 1985 come out as 2080 to 2085 and 2086 to 2107 as
 * 1986 to 2007, through the window of FormatDateText. */
int DosDateToText(LPSTR out, WORD packed)
{
    WORD day = (WORD)(packed & DOS_DAY_MASK);
    WORD month = (WORD)((packed >> DOS_MONTH_SHIFT) & DOS_MONTH_MASK);
    WORD year = (WORD)((packed >> DOS_YEAR_SHIFT) + DOS_DATE_BASE_YEAR);

    return FormatDateText(out, day, month, year);
}

int DosTimeToText(LPSTR out, WORD packed, int units)
{
    WORD seconds = (WORD)((packed & DOS_SECONDS_MASK) * DOS_SECONDS_UNIT);
    WORD minutes = (WORD)((packed >> DOS_MINUTES_SHIFT) & DOS_MINUTES_MASK);
    WORD hours = (WORD)(packed >> DOS_HOURS_SHIFT);

    if (units)
        return FormatTimeTextWithUnits(out, hours, minutes, seconds);
    return FormatTimeText(out, hours, minutes, seconds);
}
