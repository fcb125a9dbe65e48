/*
 * Date and time text: the numeric date and the time on both clocks for
 * every date order and several separators, the patterns, the validity
 * rules against the platform's calendar, today's date and the current time
 * against the platform's clock, and the same routines under the user's
 * real locale after the loaders have run.
 */
#include <functional>
#include "datetest.h"
#include "util/datetext.h"
#include "util/dates.h"

class DateText : public SettingsFixture {};

struct DateCase
{
    LONG order;
    char separator;
    WORD day, month, year;
    const char *text;
    int result;
};

static const DateCase dateCases[] =
{
    { 0, '/', 7, 3, 2026, "03/07/2026", 1 },
    { 1, '/', 7, 3, 2026, "07/03/2026", 1 },
    { 2, '/', 7, 3, 2026, "2026/03/07", 1 },
    { 0, '-', 7, 3, 2026, "03-07-2026", 1 },
    { 1, '.', 7, 3, 2026, "07.03.2026", 1 },
    { 2, '.', 7, 3, 2026, "2026.03.07", 1 },
    { 2, ' ', 7, 3, 2026, "2026 03 07", 1 },
    /* The year goes through its last two digits and the window. */
    { 0, '/', 7, 3, 26, "03/07/2026", 1 },
    { 0, '/', 7, 3, 99, "03/07/1999", 1 },
    { 1, '.', 7, 3, 0, "07.03.2000", 1 },
    { 2, '-', 7, 3, 1985, "2085-03-07", 1 },
    { 0, '/', 7, 3, 2086, "03/07/1986", 1 },
    { 0, '/', 7, 3, 86, "03/07/1986", 1 },
    { 0, '/', 7, 3, 85, "03/07/2085", 1 },
    { 0, '/', 7, 3, 65535, "03/07/2035", 1 },
    /* 1900 is windowed to 2000, a leap year. */
    { 0, '/', 29, 2, 1900, "02/29/2000", 1 },
    { 1, '.', 29, 2, 2023, "29.02.2023", 0 },
    { 2, '-', 29, 2, 2024, "2024-02-29", 1 },
    { 0, '/', 29, 2, 2100, "02/29/2000", 1 },
    { 0, '/', 31, 4, 2026, "04/31/2026", 0 },
    { 1, '/', 31, 12, 85, "31/12/2085", 1 },
    /* Out of range fields are written all the same, wider when needed. */
    { 0, '/', 0, 3, 2026, "03/00/2026", 0 },
    { 1, '.', 7, 13, 2026, "07.13.2026", 0 },
    { 2, '/', 7, 0, 2026, "2026/00/07", 0 },
    { 0, '/', 100, 3, 2026, "03/100/2026", 0 },
    { 2, '/', 65535, 65535, 2026, "2026/65535/65535", 0 },
};

TEST_F(DateText, FormatDateTextInEveryOrder)
{
    for (const DateCase &c : dateCases)
    {
        char text[GUARDED_SIZE];
        FillGuard(text);
        UseDate(c.order, c.separator);
        EXPECT_EQ(FormatDateText(text, c.day, c.month, c.year), c.result)
            << c.day << " " << c.month << " " << c.year << " order " << c.order;
        EXPECT_STREQ(text, c.text);
        EXPECT_TRUE(GuardIntactAfterText(text)) << c.text;
    }
}

TEST_F(DateText, UnknownDateOrderWritesNothingButJudges)
{
    for (LONG order : { 3L, -1L, 100L })
    {
        char text[GUARDED_SIZE];
        UseDate(order, '/');
        FillGuard(text);
        EXPECT_EQ(FormatDateText(text, 7, 3, 2026), 1);
        EXPECT_EQ(FormatDateText(text, 31, 4, 2026), 0);
        EXPECT_EQ(FormatTodayDate(text), 1);
        GetDatePattern(text);
        EXPECT_EQ(FormatTodayWithMonthName(text), 0);
        EXPECT_TRUE(Untouched(text)) << order;
    }
}

struct TimeCase
{
    LONG format;
    char separator;
    WORD hour, minute, second;
    const char *text;
    int result;
};

static const TimeCase timeCases[] =
{
    /* 12-hour clock: only hours above 12 become pm. */
    { 0, ':', 0, 0, 0, "00:00:00am", 1 },
    { 0, ':', 12, 0, 0, "12:00:00am", 1 },
    { 0, ':', 12, 30, 0, "12:30:00am", 1 },
    { 0, ':', 13, 5, 9, "01:05:09pm", 1 },
    { 0, ':', 23, 59, 59, "11:59:59pm", 1 },
    { 0, ':', 24, 0, 0, "12:00:00pm", 1 },
    { 0, ':', 25, 0, 0, "13:00:00pm", 0 },
    { 0, ':', 11, 60, 60, "11:60:60am", 1 },
    { 0, ':', 11, 61, 0, "11:61:00am", 0 },
    { 0, '.', 13, 5, 9, "01.05.09pm", 1 },
    { 0, '-', 9, 5, 61, "09-05-61am", 0 },
    /* 24-hour clock: hour 24, minute 60 and second 60 pass. */
    { 1, ':', 0, 0, 0, "00:00:00", 1 },
    { 1, ':', 13, 5, 9, "13:05:09", 1 },
    { 1, ':', 24, 0, 0, "24:00:00", 1 },
    { 1, ':', 23, 60, 60, "23:60:60", 1 },
    { 1, ':', 25, 0, 0, "25:00:00", 0 },
    { 1, ':', 23, 61, 0, "23:61:00", 0 },
    { 1, ':', 23, 0, 61, "23:00:61", 0 },
    { 1, '.', 13, 5, 9, "13.05.09", 1 },
    { 1, 'h', 7, 5, 9, "07h05h09", 1 },
    { 1, ':', 100, 100, 100, "100:100:100", 0 },
};

TEST_F(DateText, FormatTimeTextOnBothClocks)
{
    for (const TimeCase &c : timeCases)
    {
        char text[GUARDED_SIZE];
        FillGuard(text);
        UseTime(c.format, c.separator);
        EXPECT_EQ(FormatTimeText(text, c.hour, c.minute, c.second), c.result)
            << c.hour << ":" << c.minute << ":" << c.second << " clock " << c.format;
        EXPECT_STREQ(text, c.text);
        EXPECT_TRUE(GuardIntactAfterText(text)) << c.text;
    }
}

TEST_F(DateText, UnknownClockWritesNothingAndRejectsNoHour)
{
    for (LONG format : { 2L, -1L })
    {
        char text[GUARDED_SIZE];
        UseTime(format, ':');
        FillGuard(text);
        EXPECT_EQ(FormatTimeText(text, 99, 0, 0), 1);
        EXPECT_EQ(FormatTimeText(text, 1, 61, 0), 0);
        EXPECT_EQ(FormatCurrentTime(text), 1);
        GetTimePattern(text);
        EXPECT_TRUE(Untouched(text)) << format;
        EXPECT_EQ(IsValidTime(65535, 60, 60), 1);
    }
}

struct UnitsCase
{
    LONG format;
    char separator;
    WORD hours, minutes, seconds;
    const char *text;
    int result;
};

static const UnitsCase unitsCases[] =
{
    { 0, ':', 1, 5, 9, "01h:05m:09s", 1 },
    { 1, ':', 1, 5, 9, "01h:05m:09s", 1 },
    { 0, ':', 20, 0, 0, "20h:00m:00s", 1 },
    { 0, '.', 24, 60, 60, "24h.60m.60s", 1 },
    { 0, ':', 25, 0, 0, "25h:00m:00s", 0 },
    { 1, ':', 13, 61, 0, "13h:61m:00s", 0 },
    { 5, ':', 25, 0, 0, "25h:00m:00s", 0 },
    { 5, '-', 23, 0, 0, "23h-00m-00s", 1 },
};

TEST_F(DateText, TimeWithUnitsUsesTheTwentyFourHourRules)
{
    for (const UnitsCase &c : unitsCases)
    {
        char text[GUARDED_SIZE];
        FillGuard(text);
        UseTime(c.format, c.separator);
        EXPECT_EQ(FormatTimeTextWithUnits(text, c.hours, c.minutes, c.seconds), c.result)
            << c.text;
        EXPECT_STREQ(text, c.text);
        EXPECT_TRUE(GuardIntactAfterText(text));
        EXPECT_EQ(LocaleDateTimeSettings.timeFormat, c.format);
        EXPECT_EQ(LocaleDateTimeSettings.timeSeparator, c.separator);
    }
}

TEST_F(DateText, PatternsFollowTheConventions)
{
    static const struct { LONG order; char separator; const char *pattern; } datePatterns[] =
    {
        { 0, '/', "mm/dd/yyyy" }, { 1, '.', "dd.mm.yyyy" }, { 2, '-', "yyyy-mm-dd" },
        { 1, '/', "dd/mm/yyyy" },
    };
    static const struct { LONG format; char separator; const char *pattern; } timePatterns[] =
    {
        { 0, ':', "hh:mma" }, { 1, ':', "HH:mm" }, { 1, '.', "HH.mm" }, { 0, '.', "hh.mma" },
    };
    char text[GUARDED_SIZE];

    for (const auto &c : datePatterns)
    {
        FillGuard(text);
        UseDate(c.order, c.separator);
        GetDatePattern(text);
        EXPECT_STREQ(text, c.pattern);
        EXPECT_TRUE(GuardIntactAfterText(text));
    }
    for (const auto &c : timePatterns)
    {
        FillGuard(text);
        UseTime(c.format, c.separator);
        GetTimePattern(text);
        EXPECT_STREQ(text, c.pattern);
        EXPECT_TRUE(GuardIntactAfterText(text));
    }
}

TEST_F(DateText, LeapYearsThroughTheWindow)
{
    static const struct { WORD year; int leap; } cases[] =
    {
        { 0, 1 }, { 96, 1 }, { 2000, 1 }, { 2024, 1 }, { 4, 1 }, { 88, 1 },
        { 85, 0 }, { 100, 0 }, { 2100, 0 }, { 1900, 0 }, { 2023, 0 }, { 86, 0 },
        { 400, 1 }, { 65535, 0 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;

    /* From 100 on the year stands as it is: the platform's calendar. */
    for (int year = 1601; year <= 30827; year++)
        ASSERT_EQ(IsLeapYear((WORD)year), PlatformTakesDate(year, 2, 29) ? 1 : 0) << year;
}

TEST_F(DateText, ValidDatesAgreeWithThePlatformCalendar)
{
    static const struct { WORD day, month, year; int valid; } cases[] =
    {
        { 31, 4, 2026, 0 }, { 30, 4, 2026, 1 }, { 31, 6, 2026, 0 }, { 31, 9, 2026, 0 },
        { 31, 11, 2026, 0 }, { 31, 12, 2026, 1 }, { 30, 2, 2024, 0 }, { 29, 2, 2024, 1 },
        { 29, 2, 2100, 0 }, { 29, 2, 0, 1 }, { 29, 2, 1900, 0 }, { 0, 1, 2026, 0 },
        { 1, 0, 2026, 0 }, { 32, 1, 2026, 0 }, { 1, 13, 2026, 0 }, { 1, 1, 65535, 1 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsValidDate(c.day, c.month, c.year), c.valid)
            << c.day << " " << c.month << " " << c.year;

    for (int year = 1601; year <= 2500; year++)
        for (int month = 0; month <= 13; month++)
            for (int day = 0; day <= 32; day++)
                ASSERT_EQ(IsValidDate((WORD)day, (WORD)month, (WORD)year),
                          PlatformTakesDate(year, month, day) ? 1 : 0)
                    << day << " " << month << " " << year;
}

TEST_F(DateText, ValidTimesOnBothClocks)
{
    static const struct { LONG format; WORD hour, minute, second; int valid; } cases[] =
    {
        { 0, 12, 0, 0, 1 }, { 0, 13, 0, 0, 0 }, { 0, 0, 60, 60, 1 }, { 0, 0, 61, 0, 0 },
        { 1, 24, 0, 0, 1 }, { 1, 25, 0, 0, 0 }, { 1, 0, 0, 61, 0 }, { 1, 23, 60, 60, 1 },
        { 7, 65535, 0, 0, 1 }, { 7, 0, 0, 61, 0 },
    };
    for (const auto &c : cases)
    {
        UseTime(c.format, ':');
        EXPECT_EQ(IsValidTime(c.hour, c.minute, c.second), c.valid)
            << c.format << " " << c.hour << ":" << c.minute << ":" << c.second;
    }
}

/* Runs the check with the local time read before and after; retries when
 * the clock passes into another second (or day) in between. */
static void AgainstTheClock(const std::function<bool()> &check)
{
    for (int attempt = 0; attempt < 5; attempt++)
        if (check())
            return;
    ADD_FAILURE() << "the routine matched neither reading of the clock";
}

TEST_F(DateText, TodayMatchesTheClock)
{
    static const struct { LONG order; char separator; } settings[] =
    {
        { 0, '/' }, { 1, '.' }, { 2, '-' },
    };
    for (const auto &s : settings)
    {
        UseDate(s.order, s.separator);
        AgainstTheClock([&]() {
            SYSTEMTIME before, after;
            char text[GUARDED_SIZE];
            GetLocalTime(&before);
            int result = FormatTodayDate(text);
            GetLocalTime(&after);
            EXPECT_EQ(result, 1);
            return text == DateTextOf(s.order, s.separator, before.wYear, before.wMonth, before.wDay)
                || text == DateTextOf(s.order, s.separator, after.wYear, after.wMonth, after.wDay);
        });
    }
}

static std::string ClockText(LONG format, char separator, const SYSTEMTIME &t)
{
    char text[32];
    if (format == 1)
        wsprintfA(text, "%02d%c%02d%c%02d", t.wHour, separator, t.wMinute, separator, t.wSecond);
    else if (t.wHour > 12)
        wsprintfA(text, "%02d%c%02d%c%02dpm", t.wHour - 12, separator, t.wMinute, separator, t.wSecond);
    else
        wsprintfA(text, "%02d%c%02d%c%02dam", t.wHour, separator, t.wMinute, separator, t.wSecond);
    return text;
}

TEST_F(DateText, CurrentTimeMatchesTheClock)
{
    static const struct { LONG format; char separator; } settings[] =
    {
        { 0, ':' }, { 1, ':' }, { 1, '.' }, { 0, '.' },
    };
    for (const auto &s : settings)
    {
        UseTime(s.format, s.separator);
        AgainstTheClock([&]() {
            SYSTEMTIME before, after;
            char text[GUARDED_SIZE];
            GetLocalTime(&before);
            int result = FormatCurrentTime(text);
            GetLocalTime(&after);
            EXPECT_EQ(result, 1);
            return text == ClockText(s.format, s.separator, before)
                || text == ClockText(s.format, s.separator, after);
        });
    }
}

/* A date as a layout gives it: M stands for the month's abbreviated name
 * in the locale's own data, D for the day in two digits, Y for the year in
 * four; any other character for itself. */
static std::string DateByLayout(const char *layout, const SYSTEMTIME &t)
{
    std::string text;
    for (const char *at = layout; *at; at++)
    {
        char field[64] = "";
        if (*at == 'M')
            GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVMONTHNAME1 + t.wMonth - 1, field,
                           sizeof(field));
        else if (*at == 'D')
            wsprintfA(field, "%02d", t.wDay);
        else if (*at == 'Y')
            wsprintfA(field, "%04d", t.wYear);
        else
            field[0] = *at;
        text += field;
    }
    return text;
}

/* Whether the month-name date's text and result are the layout's for the
 * date: the text with its terminator, or 0 when they would not fit. */
static bool IsMonthNameDate(const char *layout, const SYSTEMTIME &t, const char *text, int result)
{
    std::string expected = DateByLayout(layout, t);
    int size = (int)expected.size() + 1;
    return size > MONTH_NAME_DATE_SIZE ? result == 0 : result == size && text == expected;
}

TEST_F(DateText, TodayWithMonthNameMatchesTheClockAndTheLocale)
{
    static const struct { LONG order; char separator; const char *layout; } settings[] =
    {
        { 0, '/', "M/D/Y" }, { 1, '-', "D-M-Y" }, { 2, ' ', "Y M D" },
    };
    for (const auto &s : settings)
    {
        UseDate(s.order, s.separator);
        AgainstTheClock([&]() {
            SYSTEMTIME before, after;
            char text[GUARDED_SIZE];
            FillGuard(text);
            GetLocalTime(&before);
            int result = FormatTodayWithMonthName(text);
            GetLocalTime(&after);
            return IsMonthNameDate(s.layout, before, text, result) ||
                   IsMonthNameDate(s.layout, after, text, result);
        });
    }
}

/* The user's real locale, loaded by the loaders: Wine takes it from LC_ALL. */
class DateTimeLocale : public SettingsFixture {};

struct LocaleTextCase
{
    const char *lcAll;
    const char *date;          /* 7 March 2026 */
    const char *time;          /* 13:05:09 */
    const char *datePattern;
    const char *timePattern;
    const char *monthLayout;   /* the month-name date, as DateByLayout reads it */
    WORD monthsThatFit;        /* bit m: the month-name date of month m fits */
};

#define ALL_MONTHS      0x1FFE
#define MONTH_BIT(m)    (1 << (m))

static const LocaleTextCase localeTextCases[] =
{
    { "en_US.UTF-8", "03/07/2026", "01:05:09pm", "mm/dd/yyyy", "hh:mma", "M/D/Y", ALL_MONTHS },
    /* Wine writes September "Sept" in English (UK). */
    { "en_GB.UTF-8", "07/03/2026", "13:05:09", "dd/mm/yyyy", "HH:mm", "D/M/Y",
      ALL_MONTHS & ~MONTH_BIT(9) },
    /* After a day Wine writes German months as "Jan.", "März", "Dez.":
     * only "Mai" keeps three characters. */
    { "de_DE.UTF-8", "07.03.2026", "13:05:09", "dd.mm.yyyy", "HH:mm", "D.M.Y", MONTH_BIT(5) },
    /* "10月" to "12月" take four characters in the ANSI code page. */
    { "ja_JP.UTF-8", "2026/03/07", "13:05:09", "yyyy/mm/dd", "HH:mm", "Y/M/D",
      ALL_MONTHS & ~(MONTH_BIT(10) | MONTH_BIT(11) | MONTH_BIT(12)) },
    /* Finnish names ("tammik.", "jouluk.") are all longer than three. */
    { "fi_FI.UTF-8", "07.03.2026", "13.05.09", "dd.mm.yyyy", "HH.mm", "D.M.Y", 0 },
};

TEST_F(DateTimeLocale, FormatsInTheUsersConventions_Native)
{
    char lcAll[64] = "";
    GetEnvironmentVariableA("LC_ALL", lcAll, sizeof(lcAll));

    for (const LocaleTextCase &c : localeTextCases)
    {
        if (lstrcmpiA(c.lcAll, lcAll) != 0)
            continue;
        LoadLocaleDateSettings();
        LoadLocaleTimeSettings();

        char text[GUARDED_SIZE];
        EXPECT_EQ(FormatDateText(text, 7, 3, 2026), 1);
        EXPECT_STREQ(text, c.date);
        EXPECT_EQ(DateTextToDayNumber(text), 2461107);
        EXPECT_STREQ(text, c.date);
        EXPECT_EQ(FormatTimeText(text, 13, 5, 9), 1);
        EXPECT_STREQ(text, c.time);
        GetDatePattern(text);
        EXPECT_STREQ(text, c.datePattern);
        GetTimePattern(text);
        EXPECT_STREQ(text, c.timePattern);

        /* The month name is today's: compare with either reading of the
         * clock around the call. */
        SYSTEMTIME before, after;
        int result;
        do
        {
            GetLocalTime(&before);
            result = FormatTodayWithMonthName(text);
            GetLocalTime(&after);
        } while (before.wMonth != after.wMonth);
        if (c.monthsThatFit & MONTH_BIT(before.wMonth))
        {
            EXPECT_EQ(result, MONTH_NAME_DATE_SIZE);
            EXPECT_TRUE(IsMonthNameDate(c.monthLayout, before, text, result) ||
                        IsMonthNameDate(c.monthLayout, after, text, result)) << text;
        }
        else
            EXPECT_EQ(result, 0);
        return;
    }
    FAIL() << "no expectation for LC_ALL=" << lcAll << ": the suite runs this under the locales it lists";
}
