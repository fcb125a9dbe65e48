/*
 * Date text read back into numbers: parsing by the user's conventions,
 * day numbers (Julian Day Numbers) and counts of days from today, and the
 * packed date and time of MS-DOS and the FAT file system.
 */
#ifndef UTIL_DATES_H
#define UTIL_DATES_H

#include <windows.h>

/* A date text is read through a working copy of this many characters,
 * terminator included: at most 11 characters of it count. */
#define DATE_TEXT_WORK_SIZE   12
/* The normal form of any parsed text (three fields of up to five digits,
 * two separators) fits in this many characters. */
#define NORMAL_DATE_TEXT_SIZE 18

/* The day number that stands for no date. */
#define NO_DAY_NUMBER         (-1)
/* The smallest day number DayNumberToDateText takes (29 February of year
 * 0 in its arithmetic) and the largest: 31 December 32767. */
#define FIRST_DAY_NUMBER      1721119L
#define LAST_DAY_NUMBER       13689325L

/* The farthest DaysFromToday counts, in days. */
#define DAYS_FROM_TODAY_LIMIT 999

/* The year that packed MS-DOS dates count from. */
#define DOS_DATE_BASE_YEAR    1980

int ParseDateText(LPSTR text, WORD *day, WORD *month, WORD *year);
LONG DateTextToDayNumber(LPSTR text);
int DayNumberToDateText(LONG number, LPSTR out);
int DaysFromToday(LPSTR text, WORD *count);
int DateTextToDosDate(LPSTR text, WORD *packed);
int DosDateToText(LPSTR out, WORD packed);
int DosTimeToText(LPSTR out, WORD packed, int units);

#endif
