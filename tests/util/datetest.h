/*
 * Shared by the date and time tests: a fixture that saves the process's
 * date and time conventions before each test and puts them back after it,
 * and helpers that build expected texts and dates without the library.
 */
#ifndef TESTS_UTIL_DATETEST_H
#define TESTS_UTIL_DATETEST_H

#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "util/localeconv.h"

class SettingsFixture : public ::testing::Test
{
protected:
    void SetUp() override { saved = LocaleDateTimeSettings; }
    void TearDown() override { LocaleDateTimeSettings = saved; }

    static void UseDate(LONG order, char separator)
    {
        LocaleDateTimeSettings.dateOrder = order;
        LocaleDateTimeSettings.dateSeparator = separator;
    }

    static void UseTime(LONG format, char separator)
    {
        LocaleDateTimeSettings.timeFormat = format;
        LocaleDateTimeSettings.timeSeparator = separator;
    }

    LOCALE_DATE_TIME_SETTINGS saved;
};

/* The numeric date text of a date in the given order, four-digit year. */
inline std::string DateTextOf(LONG order, char separator, int year, int month, int day)
{
    char text[64];
    if (order == 2)
        wsprintfA(text, "%04d%c%02d%c%02d", year, separator, month, separator, day);
    else if (order == 1)
        wsprintfA(text, "%02d%c%02d%c%04d", day, separator, month, separator, year);
    else
        wsprintfA(text, "%02d%c%02d%c%04d", month, separator, day, separator, year);
    return text;
}

/* Whether the platform's own calendar has the date (years 1601 on): it
 * converts to a file time and back to the same day. (Wine's conversion
 * alone lets a day past the month's end run on into the next month.) */
inline bool PlatformTakesDate(int year, int month, int day)
{
    SYSTEMTIME time = {}, back;
    FILETIME file;
    time.wYear = (WORD)year;
    time.wMonth = (WORD)month;
    time.wDay = (WORD)day;
    time.wHour = 12;
    if (!SystemTimeToFileTime(&time, &file) || !FileTimeToSystemTime(&file, &back))
        return false;
    return back.wYear == year && back.wMonth == month && back.wDay == day;
}

/* The date some days from the given one, by the platform's calendar. */
inline SYSTEMTIME DaysAfter(SYSTEMTIME date, int days)
{
    const LONGLONG TICKS_PER_DAY = 864000000000LL;
    FILETIME file;
    ULARGE_INTEGER ticks;
    SYSTEMTIME result;

    date.wHour = 12;
    date.wMinute = date.wSecond = date.wMilliseconds = 0;
    date.wDayOfWeek = 0;
    SystemTimeToFileTime(&date, &file);
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart += (ULONGLONG)((LONGLONG)days * TICKS_PER_DAY);
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    FileTimeToSystemTime(&file, &result);
    return result;
}

inline bool SameDay(const SYSTEMTIME &a, const SYSTEMTIME &b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

/* A buffer filled with a guard character, to see how far a routine wrote. */
#define GUARD '#'
#define GUARDED_SIZE 64
inline void FillGuard(char *buffer) { FillMemory(buffer, GUARDED_SIZE, GUARD); }
/* True when nothing after the text's terminator was written. */
inline bool GuardIntactAfterText(const char *buffer)
{
    int length = lstrlenA(buffer);
    for (int i = length + 1; i < GUARDED_SIZE; i++)
        if (buffer[i] != GUARD)
            return false;
    return true;
}
inline bool Untouched(const char *buffer)
{
    for (int i = 0; i < GUARDED_SIZE; i++)
        if (buffer[i] != GUARD)
            return false;
    return true;
}

#endif
