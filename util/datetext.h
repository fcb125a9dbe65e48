/*
 * Dates and times as text in the user's conventions (LocaleDateTimeSettings),
 * the pattern texts that name their fields, and the library's validity rules
 * for dates, leap years and times.
 */
#ifndef UTIL_DATETEXT_H
#define UTIL_DATETEXT_H

#include <windows.h>

/* Two-digit years from this one up to 99 lie in the 1900s, those below it
 * in the 2000s: 86 to 99 are 1986 to 1999, 0 to 85 are 2000 to 2085. */
#define TWO_DIGIT_YEAR_PIVOT 86

/* Capacities, terminator included, that callers give for ordinary values. */
#define DATE_TEXT_SIZE            11   /* 03/07/2026 */
#define MONTH_NAME_DATE_SIZE      12   /* Mar/07/2026, fixed by the routine */
#define TIME_TEXT_SIZE            11   /* 01:05:09pm */
#define TIME_UNITS_TEXT_SIZE      12   /* 01h:05m:09s */
#define DATE_PATTERN_SIZE         11   /* yyyy/mm/dd */
#define TIME_PATTERN_SIZE         7    /* hh:mma */

/* A year value through the two-digit window; 100 and above stay. */
WORD ApplyTwoDigitYearWindow(WORD year);
/* The fields in the user's date order, day and month in two digits and
 * the year as given in four; nothing for a dateOrder other than 0 to 2. */
void WriteDateInOrder(LPSTR out, WORD day, WORD month, WORD year);

/* The text routines write without a bound (wider values give wider
 * fields) and return the validity of what they wrote; for a dateOrder or
 * timeFormat they do not know they write nothing but still judge
 * (FormatTimeTextWithUnits writes whatever the clock). The exception is
 * FormatTodayWithMonthName: it writes at most MONTH_NAME_DATE_SIZE
 * characters and returns how many it wrote, terminator included, or 0 when
 * the text does not fit. */
int FormatDateText(LPSTR out, WORD day, WORD month, WORD year);
int FormatTodayDate(LPSTR out);
int FormatTodayWithMonthName(LPSTR out);
int FormatTimeText(LPSTR out, WORD hour, WORD minute, WORD second);
int FormatCurrentTime(LPSTR out);
int FormatTimeTextWithUnits(LPSTR out, WORD hours, WORD minutes, WORD seconds);
void GetDatePattern(LPSTR out);
void GetTimePattern(LPSTR out);

int IsValidDate(WORD day, WORD month, WORD year);
int IsLeapYear(WORD year);
int IsValidTime(WORD hour, WORD minute, WORD second);

#endif
