/*
 * The locale loaders under real locales and under the user's own
 * overrides in the registry, including queries that fail because the
 * locale's text does not fit the loader's buffer.
 *
 * Wine takes a process's locale from the Unix LC_ALL it starts with, which
 * children inherit; the suite runs this program once per locale.
 */
#include <gtest/gtest.h>
#include "dbcstest.h"
#include "testwin.h"
#include "winesettings.h"

#define INTERNATIONAL_KEY "Control Panel\\International"

/* Runs the probe under this process's locale and returns its lines, one
 * per mode (space-separated) in a single process. */
static std::string ProbeLocale(const char *mode = "")
{
    DWORD exitCode;
    std::string output = RunAndCapture(TestProgramFolder() + "locale_probe.exe " + mode, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    return output;
}

struct LocaleCase
{
    const char *lcAll;
    const char *expected;   /* dateSep dateOrder timeSep timeFormat results */
};

static const LocaleCase localeCases[] =
{
    { "en_US.UTF-8", "2F 0 3A 0 0 0\n" },
    { "en_GB.UTF-8", "2F 1 3A 1 1 1\n" },
    { "de_DE.UTF-8", "2E 1 3A 1 1 1\n" },
    { "ja_JP.UTF-8", "2F 2 3A 1 2 1\n" },
    { "fi_FI.UTF-8", "2E 1 2E 1 1 1\n" },
};

TEST(LocaleLoaders, ReadTheUsersLocale_Native)
{
    char lcAll[64] = "";
    GetEnvironmentVariableA("LC_ALL", lcAll, sizeof(lcAll));

    for (const LocaleCase &c : localeCases)
    {
        if (lstrcmpiA(c.lcAll, lcAll) == 0)
        {
            EXPECT_EQ(ProbeLocale(), c.expected) << c.lcAll;
            return;
        }
    }
    FAIL() << "no expectation for LC_ALL=" << lcAll << ": the suite runs this under the locales it lists";
}

TEST(LocaleLoaders, InitialRecordIsMonthFirstTwelveHour_Native)
{
    EXPECT_EQ(ProbeLocale("initial"), "2F 0 3A 0 -1 -1\n");
}

/* Sets the user's own short date and time formats for the duration of a
 * test and puts the previous ones back afterwards. */
class LocaleOverrides : public ::testing::Test
{
protected:
    void SetUp() override
    {
        /* Settle the registry on the base locale first, so that Wine does
         * not reset the overrides for a locale change. */
        ProbeLocale();
        savedDate = ReadValue("sShortDate");
        savedTime = ReadValue("sTimeFormat");
    }

    void TearDown() override
    {
        WriteValue("sShortDate", savedDate);
        WriteValue("sTimeFormat", savedTime);
    }

    static std::string ReadValue(const char *name)
    {
        return ReadSettingText(WINE_VIEW, HKEY_CURRENT_USER, INTERNATIONAL_KEY, name);
    }

    static void WriteValue(const char *name, const std::string &value)
    {
        ASSERT_TRUE(WriteSettingText(WINE_VIEW, HKEY_CURRENT_USER, INTERNATIONAL_KEY, name, value));
    }

    std::string savedDate, savedTime;
};

TEST_F(LocaleOverrides, TwoCharacterSeparatorKeepsItsFirstCharacter)
{
    WriteValue("sShortDate", "yyyy. MM. dd");
    WriteValue("sTimeFormat", "HH-mm-ss");
    EXPECT_EQ(ProbeLocale(), "2E 2 2D 1 2 1\n");
}

TEST_F(LocaleOverrides, QueryThatDoesNotFitLeavesItsFieldAlone_Native)
{
    /* Separators of 11 and 9 characters do not fit the loaders' buffers
     * of 11 and 9 characters with their terminators; the orders and the
     * clock still load. */
    WriteValue("sShortDate", "dd-----------MM-----------yyyy");
    WriteValue("sTimeFormat", "h.........mm.........ss tt");
    EXPECT_EQ(ProbeLocale("sentinel"), "23 1 23 0 1 0\n");

    /* Ten and eight characters still fit. */
    WriteValue("sShortDate", "yyyy----------MM----------dd");
    WriteValue("sTimeFormat", "HH........mm........ss");
    EXPECT_EQ(ProbeLocale("sentinel"), "2D 2 2E 1 2 1\n");
}

/* Separators that are double-byte characters (the year and the hour
 * characters) do not fit the one-byte fields: the fields stay as they
 * were, where their lead bytes alone would run into the next digit of
 * every date and time text. The orders and the clock still load. */
TEST_F(LocaleOverrides, DoubleByteSeparatorLeavesItsFieldAlone)
{
    REQUIRE_DOUBLE_BYTE_SAMPLE(sample);
    WriteValue("sShortDate", sample->shortDate);
    WriteValue("sTimeFormat", sample->timeFormat);
    EXPECT_EQ(ProbeLocale("sentinel plain"), "23 2 23 1 2 1\n2F 2 3A 1 2 1\n");
}
