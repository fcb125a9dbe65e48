/*
 * Date parsing, day numbers, day counts from today and the packed MS-DOS
 * date and time, for every date order with several separators; day
 * numbers against Python's calendar (day_numbers.txt, made at build time)
 * and counts from today against the platform's clock and calendar.
 */
#include <functional>
#include "datetest.h"
#include "dbcstest.h"
#include "testwin.h"
#include "util/datetext.h"
#include "util/dates.h"

class Dates : public SettingsFixture {};

#define UNSET 0xBEEF   /* an output the routine must not have written */

struct ParseCase
{
    LONG order;
    char separator;
    const char *input;
    const char *text;          /* the text afterwards */
    int result;
    WORD day, month, year;     /* UNSET when not written */
};

static const ParseCase parseCases[] =
{
    { 0, '/', "3/7/26", "03/07/2026", 1, 7, 3, 2026 },
    { 0, '/', "3/7/86", "03/07/1986", 1, 7, 3, 1986 },
    { 0, '/', "3/7/85", "03/07/2085", 1, 7, 3, 2085 },
    { 0, '/', "3/7/100", "03/07/ 100", 1, 7, 3, 100 },
    { 0, '/', "3/7/2026/9", "03/07/2026", 1, 7, 3, 2026 },
    { 0, '/', "3-7-2026", "3-7-2026", 0, UNSET, UNSET, UNSET },
    { 0, '/', "3/7", "3/7", 0, UNSET, UNSET, UNSET },
    { 0, '/', "", "", 0, UNSET, UNSET, UNSET },
    { 0, '/', "2/30/2024", "02/30/2024", 0, 30, 2, 2024 },
    { 0, '/', "x/7/26", "00/07/2026", 0, 7, 0, 2026 },
    { 0, '/', " 3/+7/ 26", "03/07/2026", 1, 7, 3, 2026 },
    { 0, '/', "3/7/", "03/07/2000", 1, 7, 3, 2000 },
    { 0, '/', "-1/7/26", "65535/07/2026", 0, 7, 65535, 2026 },
    { 0, '/', "2/29/1900", "02/29/1900", 0, 29, 2, 1900 },
    { 0, '/', "2/29/0", "02/29/2000", 1, 29, 2, 2000 },
    { 0, '-', "3-7-2026", "03-07-2026", 1, 7, 3, 2026 },
    { 1, '.', "7.3.26", "07.03.2026", 1, 7, 3, 2026 },
    { 1, '.', "07/03/2026", "07/03/2026", 0, UNSET, UNSET, UNSET },
    { 1, '.', "31.4.2026", "31.04.2026", 0, 31, 4, 2026 },
    { 1, ' ', "1 2 3", "01 02 2003", 1, 1, 2, 2003 },
    { 2, '/', "2026/3/7", "2026/03/07", 1, 7, 3, 2026 },
    { 2, '-', "26-3-7", "2026-03-07", 1, 7, 3, 2026 },
    { 2, '-', "100-3-7", " 100-03-07", 1, 7, 3, 100 },
    { 2, '-', "99-12-31", "1999-12-31", 1, 31, 12, 1999 },
    /* No date order known: nothing changes. */
    { 3, '/', "3/7/26", "3/7/26", 0, UNSET, UNSET, UNSET },
    { -1, '/', "3/7/26", "3/7/26", 0, UNSET, UNSET, UNSET },
    /* Only the first 11 characters are read; the text is written only as
     * far as its normal form reaches. */
    { 0, '/', "03/07/2026xyz", "03/07/2026", 1, 7, 3, 2026 },
    { 0, '/', "0003/0007/2026", "03/07/2002", 1, 7, 3, 2002 },
    { 0, '/', "12345678901/1/1", "12345678901/1/1", 0, UNSET, UNSET, UNSET },
    { 0, '/', "1234567890/1/1", "1234567890/1/1", 0, UNSET, UNSET, UNSET },
    { 0, '/', "123456789/1/1", "123456789/1/1", 0, UNSET, UNSET, UNSET },
    { 2, '.', "65535.65535.65535", "65535.65535.65535", 0, UNSET, UNSET, UNSET },
    /* The widest normal form: 17 characters and the terminator. */
    { 2, '.', "-1.-1.-1", "65535.65535.65535", 0, 65535, 65535, 65535 },
    { 0, '/', "99999/9/9", "34463/09/2009", 0, 9, 34463, 2009 },
};

static void ExpectParse(const ParseCase &c)
{
    char text[GUARDED_SIZE];
    WORD day = UNSET, month = UNSET, year = UNSET;
    FillGuard(text);
    lstrcpyA(text, c.input);
    std::string before(text, GUARDED_SIZE);

    LocaleDateTimeSettings.dateOrder = c.order;
    LocaleDateTimeSettings.dateSeparator = c.separator;
    EXPECT_EQ(ParseDateText(text, &day, &month, &year), c.result) << c.input;
    EXPECT_STREQ(text, c.text) << c.input;
    EXPECT_EQ(day, c.day) << c.input;
    EXPECT_EQ(month, c.month) << c.input;
    EXPECT_EQ(year, c.year) << c.input;
    /* After the new terminator every character is the caller's own. */
    int end = lstrlenA(text) + 1;
    EXPECT_EQ(std::string(text + end, GUARDED_SIZE - end), before.substr(end)) << c.input;
}

TEST_F(Dates, ParseDateTextInEveryOrder)
{
    for (const ParseCase &c : parseCases)
        ExpectParse(c);
}

/* A separator whose value a trail byte can have (the backslash) is found
 * only where it stands as a character of its own. */
TEST_F(Dates, DoubleByteTextIsSplitOnlyAtWholeSeparators)
{
    REQUIRE_DOUBLE_BYTE_SAMPLE(sample);
    const std::string c = sample->character;
    const std::string inputs[] = { "3" + c + "\\7\\26", c + "\\" + c, "2026\\3\\7" + c };
    const ParseCase cases[] = {
        { 0, '\\', inputs[0].c_str(), "03\\07\\2026", 1, 7, 3, 2026 },
        { 0, '\\', inputs[1].c_str(), inputs[1].c_str(), 0, UNSET, UNSET, UNSET },
        { 2, '\\', inputs[2].c_str(), "2026\\03\\07", 1, 7, 3, 2026 },
    };

    for (const ParseCase &k : cases)
        ExpectParse(k);
}

struct DayNumberCase
{
    LONG order;
    char separator;
    const char *input;
    LONG number;
    const char *text;          /* the text afterwards */
};

static const DayNumberCase dayNumberCases[] =
{
    { 0, '/', "01/01/2000", 2451545, "01/01/2000" },
    { 0, '/', "02/29/2000", 2451604, "02/29/2000" },
    { 0, '/', "03/07/2026", 2461107, "03/07/2026" },
    { 0, '/', "3/7/26", 2461107, "03/07/2026" },
    { 0, '/', "02/30/2024", -1, "02/30/2024" },
    { 0, '/', "abc", -1, "abc" },
    { 0, '/', "03-07-2026", -1, "03-07-2026" },
    { 1, '.', "1.1.2000", 2451545, "01.01.2000" },
    { 1, '.', "31.12.1999", 2451544, "31.12.1999" },
    { 2, '-', "2026-3-7", 2461107, "2026-03-07" },
    { 2, '-', "1600-3-1", 2305508, "1600-03-01" },
    { 0, '/', "1/1/100", 1757585, "01/01/ 100" },
    { 0, '/', "12/31/65535", 25657591, "12/31/65535" },
    { 3, '/', "03/07/2026", -1, "03/07/2026" },
};

TEST_F(Dates, DateTextToDayNumber)
{
    for (const DayNumberCase &c : dayNumberCases)
    {
        char text[GUARDED_SIZE];
        lstrcpyA(text, c.input);
        UseDate(c.order, c.separator);
        EXPECT_EQ(DateTextToDayNumber(text), c.number) << c.input;
        EXPECT_STREQ(text, c.text) << c.input;
    }
}

struct NumberTextCase
{
    LONG order;
    char separator;
    LONG number;
    const char *text;          /* NULL: nothing written */
    int result;
};

static const NumberTextCase numberTextCases[] =
{
    { 0, '/', 2451545, "01/01/2000", 1 },
    { 1, '.', 2451545, "01.01.2000", 1 },
    { 2, '-', 2451545, "2000-01-01", 1 },
    { 0, '/', 2482957, "01/01/1986", 1 },
    { 0, '/', 2461107, "03/07/2026", 1 },
    { 0, '/', 1721120, "03/01/2000", 1 },
    { 0, '/', 1721119, "03/00/2000", 0 },
    { 2, '-', 1721119, "2000-03-00", 0 },
    { 0, '/', 1721118, NULL, 0 },
    { 0, '/', -1, NULL, 0 },
    { 0, '/', LONG_MIN, NULL, 0 },
    /* The last day of year 32767 and the day after it. */
    { 0, '/', 13689325, "12/31/2067", 1 },
    { 1, '.', 13689326, NULL, 0 },
    { 0, '/', 21474836, NULL, 0 },
    { 0, '/', LONG_MAX, NULL, 0 },
    { 3, '/', 2451545, NULL, 1 },
};

TEST_F(Dates, DayNumberToDateText)
{
    for (const NumberTextCase &c : numberTextCases)
    {
        char text[GUARDED_SIZE];
        FillGuard(text);
        UseDate(c.order, c.separator);
        EXPECT_EQ(DayNumberToDateText(c.number, text), c.result) << c.number;
        if (c.text)
        {
            EXPECT_STREQ(text, c.text) << c.number;
            EXPECT_TRUE(GuardIntactAfterText(text)) << c.number;
        }
        else
            EXPECT_TRUE(Untouched(text)) << c.number;
    }
}

/* The day number of every date 1986 to 2085 from Python's calendar. */
TEST_F(Dates, DayNumbersAgreeWithPythonsCalendar)
{
    std::string data = ReadTextFile(TestProgramFolder() + "day_numbers.txt");
    ASSERT_FALSE(data.empty()) << "day_numbers.txt missing beside the program";

    static const struct { LONG order; char separator; } settings[] =
    {
        { 0, '/' }, { 1, '.' }, { 2, '-' },
    };
    for (const auto &s : settings)
    {
        UseDate(s.order, s.separator);
        int dates = 0;
        const char *line = data.c_str();
        while (*line)
        {
            int year, month, day;
            long number;
            ASSERT_EQ(sscanf(line, "%d %d %d %ld", &year, &month, &day, &number), 4);
            std::string normal = DateTextOf(s.order, s.separator, year, month, day);

            char text[GUARDED_SIZE];
            lstrcpyA(text, normal.c_str());
            ASSERT_EQ(DateTextToDayNumber(text), number) << normal;
            ASSERT_STREQ(text, normal.c_str());

            FillGuard(text);
            ASSERT_EQ(DayNumberToDateText(number, text), 1) << number;
            ASSERT_STREQ(text, normal.c_str()) << number;

            dates++;
            line = strchr(line, '\n');
            ASSERT_NE(line, nullptr);
            line++;
        }
        EXPECT_EQ(dates, 36525);   /* 100 years, 25 of them leap years */
    }
}

/* Today's date read around the call; retried when the day changes. */
static void AroundToday(const std::function<void(const SYSTEMTIME &)> &run)
{
    SYSTEMTIME before, after;
    do
    {
        GetLocalTime(&before);
        run(before);
        GetLocalTime(&after);
    } while (!SameDay(before, after) && !::testing::Test::HasFailure());
}

static std::string TextDaysAfter(LONG order, char separator, const SYSTEMTIME &today, int days)
{
    SYSTEMTIME date = DaysAfter(today, days);
    return DateTextOf(order, separator, date.wYear, date.wMonth, date.wDay);
}

TEST_F(Dates, DaysFromTodayCountsToADate)
{
    static const struct { LONG order; char separator; } settings[] =
    {
        { 0, '/' }, { 1, '.' }, { 2, '-' },
    };
    static const struct { int days; int result; WORD count; } cases[] =
    {
        { 0, 1, 0 }, { 1, 1, 1 }, { 30, 1, 30 }, { 999, 1, 999 },
        { 1000, 0, 0 }, { -1, 0, 0 }, { -1000, 0, 0 },
    };
    for (const auto &s : settings)
    {
        UseDate(s.order, s.separator);
        for (const auto &c : cases)
        {
            AroundToday([&](const SYSTEMTIME &today) {
                std::string date = TextDaysAfter(s.order, s.separator, today, c.days);
                char text[GUARDED_SIZE];
                WORD count = 0;
                lstrcpyA(text, date.c_str());
                EXPECT_EQ(DaysFromToday(text, &count), c.result) << date;
                EXPECT_EQ(count, c.count) << date;
                EXPECT_STREQ(text, date.c_str());
            });
        }

        /* A short text is rewritten in normal form even when refused. */
        char text[GUARDED_SIZE] = "abc";
        WORD count = 0;
        EXPECT_EQ(DaysFromToday(text, &count), 0);
        EXPECT_STREQ(text, "abc");
        EXPECT_EQ(count, 0);
    }
}

TEST_F(Dates, DaysFromTodayRewritesAShortTextEvenWhenRefused)
{
    UseDate(0, '/');
    char text[GUARDED_SIZE] = "1/1/86";
    WORD count = 0;
    EXPECT_EQ(DaysFromToday(text, &count), 0);
    EXPECT_STREQ(text, "01/01/1986");
    EXPECT_EQ(count, 0);
}

TEST_F(Dates, DaysFromTodayWritesTheDateAhead)
{
    static const struct { LONG order; char separator; } settings[] =
    {
        { 0, '/' }, { 1, '.' }, { 2, '-' },
    };
    for (const auto &s : settings)
    {
        UseDate(s.order, s.separator);
        for (int days : { 1, 30, 365, 999 })
        {
            AroundToday([&](const SYSTEMTIME &today) {
                char text[GUARDED_SIZE];
                WORD count = (WORD)days;
                FillGuard(text);
                EXPECT_EQ(DaysFromToday(text, &count), 1) << days;
                EXPECT_STREQ(text, TextDaysAfter(s.order, s.separator, today, days).c_str());
                EXPECT_TRUE(GuardIntactAfterText(text));
                EXPECT_EQ(count, days);
            });
        }
        for (WORD days : { (WORD)1000, (WORD)65535 })
        {
            char text[GUARDED_SIZE];
            WORD count = days;
            FillGuard(text);
            EXPECT_EQ(DaysFromToday(text, &count), 0) << days;
            EXPECT_TRUE(Untouched(text));
            EXPECT_EQ(count, days);
        }
    }
}

TEST_F(Dates, DaysFromTodayRefusesAnUnknownDateOrder)
{
    for (LONG order : { 3L, -1L })
    {
        UseDate(order, '/');
        char text[GUARDED_SIZE] = "03/07/2026";
        WORD count = 0;
        EXPECT_EQ(DaysFromToday(text, &count), 0);
        EXPECT_STREQ(text, "03/07/2026");
        EXPECT_EQ(count, 0);

        FillGuard(text);
        count = 5;
        EXPECT_EQ(DaysFromToday(text, &count), 0);
        EXPECT_TRUE(Untouched(text));
        EXPECT_EQ(count, 5);
    }
}

struct DosDateCase
{
    LONG order;
    char separator;
    const char *input;
    const char *text;
    int result;
    WORD packed;               /* UNSET when not stored */
};

static const DosDateCase dosDateCases[] =
{
    { 0, '/', "03/07/2026", "03/07/2026", 1, 0x5C67 },
    { 0, '/', "01/01/1900", "01/01/1900", 1, 0x6021 },
    { 0, '/', "1/1/1979", "01/01/1979", 1, 0xFE21 },
    { 0, '/', "1/1/80", "01/01/2080", 1, 0xC821 },
    { 0, '/', "02/30/2024", "02/30/2024", 0, UNSET },
    { 0, '/', "abc", "abc", 0, UNSET },
    { 1, '.', "7.3.2026", "07.03.2026", 1, 0x5C67 },
    { 2, '-', "2026-3-7", "2026-03-07", 1, 0x5C67 },
    { 3, '/', "03/07/2026", "03/07/2026", 0, UNSET },
};

TEST_F(Dates, DateTextToDosDate)
{
    for (const DosDateCase &c : dosDateCases)
    {
        char text[GUARDED_SIZE];
        WORD packed = UNSET;
        lstrcpyA(text, c.input);
        UseDate(c.order, c.separator);
        EXPECT_EQ(DateTextToDosDate(text, &packed), c.result) << c.input;
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(packed, c.packed) << c.input;
    }
}

static const struct { LONG order; char separator; WORD packed; const char *text; int result; }
dosToTextCases[] =
{
    { 0, '/', 0x5C67, "03/07/2026", 1 },
    { 1, '.', 0x5C67, "07.03.2026", 1 },
    { 2, '-', 0x5C67, "2026-03-07", 1 },
    { 0, '/', 0x0021, "01/01/2080", 1 },
    { 0, '/', 0x0000, "00/00/2080", 0 },
    { 0, '/', 0xFFFF, "15/31/2007", 0 },
    { 0, '/', 0xF19D, "12/29/2000", 1 },   /* 29 December 2100 */
    { 0, '/', 0xF05D, "02/29/2000", 1 },   /* 29 February 2100, no such day */
};

TEST_F(Dates, DosDateToText)
{
    for (const auto &c : dosToTextCases)
    {
        char text[GUARDED_SIZE];
        FillGuard(text);
        UseDate(c.order, c.separator);
        EXPECT_EQ(DosDateToText(text, c.packed), c.result) << std::hex << c.packed;
        EXPECT_STREQ(text, c.text);
        EXPECT_TRUE(GuardIntactAfterText(text));
    }
}

/* Every packed date 1980 to 2107 with a day and month in range: out to
 * text, which shows the year in 1986 to 2085, and back again. */
TEST_F(Dates, EveryDosDateToTextAndBack)
{
    static const struct { LONG order; char separator; } settings[] =
    {
        { 0, '/' }, { 1, '.' }, { 2, '-' },
    };
    for (const auto &s : settings)
    {
        UseDate(s.order, s.separator);
        for (int yearOffset = 0; yearOffset <= 127; yearOffset++)
            for (int month = 1; month <= 12; month++)
                for (int day = 1; day <= 31; day++)
                {
                    WORD packed = (WORD)((yearOffset << 9) | (month << 5) | day);
                    int shown = 1980 + yearOffset;
                    if (shown < 1986)
                        shown += 100;
                    else if (shown > 2085)
                        shown -= 100;
                    int valid = PlatformTakesDate(shown, month, day) ? 1 : 0;
                    std::string expected = DateTextOf(s.order, s.separator, shown, month, day);

                    char text[GUARDED_SIZE];
                    ASSERT_EQ(DosDateToText(text, packed), valid) << std::hex << packed;
                    ASSERT_STREQ(text, expected.c_str());

                    WORD back = UNSET;
                    ASSERT_EQ(DateTextToDosDate(text, &back), valid) << expected;
                    ASSERT_STREQ(text, expected.c_str());
                    if (!valid)
                        ASSERT_EQ(back, UNSET);
                    else if (yearOffset >= 6 && yearOffset <= 105)
                        ASSERT_EQ(back, packed) << expected;
                    else
                        ASSERT_EQ(back, (WORD)(((shown - 1980) << 9) | (month << 5) | day))
                            << expected;
                }
    }
}

static const struct { LONG format; char separator; WORD packed; int units; const char *text; int result; }
dosTimeCases[] =
{
    { 0, ':', 0x68A9, 0, "01:05:18pm", 1 },
    { 1, ':', 0x68A9, 0, "13:05:18", 1 },
    { 0, ':', 0x68A9, 1, "13h:05m:18s", 1 },
    { 1, '.', 0x68A9, 7, "13h.05m.18s", 1 },
    { 1, '.', 0x68A9, 0, "13.05.18", 1 },
    { 0, ':', 0x0000, 0, "00:00:00am", 1 },
    { 0, ':', 0x001F, 0, "00:00:62am", 0 },
    { 1, ':', 0xC780, 0, "24:60:00", 1 },
    { 1, ':', 0xFFFF, 0, "31:63:62", 0 },
    { 0, ':', 0xFFFF, 1, "31h:63m:62s", 0 },
    { 2, ':', 0x68A9, 0, NULL, 1 },
};

TEST_F(Dates, DosTimeToText)
{
    for (const auto &c : dosTimeCases)
    {
        char text[GUARDED_SIZE];
        FillGuard(text);
        UseTime(c.format, c.separator);
        EXPECT_EQ(DosTimeToText(text, c.packed, c.units), c.result) << std::hex << c.packed;
        if (c.text)
        {
            EXPECT_STREQ(text, c.text);
            EXPECT_TRUE(GuardIntactAfterText(text));
        }
        else
            EXPECT_TRUE(Untouched(text));
    }

    /* Seconds come out even, two by two. */
    UseTime(1, ':');
    for (int half = 0; half < 30; half++)
    {
        char text[GUARDED_SIZE], expected[16];
        wsprintfA(expected, "00:00:%02d", half * 2);
        EXPECT_EQ(DosTimeToText(text, (WORD)half, 0), 1);
        EXPECT_STREQ(text, expected);
    }
}
