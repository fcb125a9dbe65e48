/* OS identification: every code through Wine's version setting, the
 * classification of versions Wine cannot report, and the names. */
#include <gtest/gtest.h>
#include "testwin.h"
#include "util/osinfo.h"

struct WineVersionCase
{
    const char *wineVersion;
    int code;
    const char *name;
};

static const WineVersionCase wineVersionCases[] =
{
    { "win95",   OS_TYPE_WIN95A,  "Windows 95A" },
    { "win98",   OS_TYPE_WIN98,   "Windows 98" },
    { "winme",   OS_TYPE_WINME,   "Windows Millennium" },
    { "nt351",   OS_TYPE_WINNT3,  "Windows NT 3.51" },
    { "nt40",    OS_TYPE_WINNT4,  "Windows NT 4" },
    { "win2k",   OS_TYPE_WIN2000, "Windows 2000" },
    { "winxp",   OS_TYPE_WINXP,   "Windows XP" },
    { "win2003", OS_TYPE_UNKNOWN, "Unknown" },
    { "vista",   OS_TYPE_UNKNOWN, "Unknown" },
    { "win10",   OS_TYPE_UNKNOWN, "Unknown" },
    { "win31",   OS_TYPE_OTHER,   "Unknown" },
};

TEST(OsType, FollowsTheWindowsVersionWineReports_Native)
{
    std::string folder = FreshFolder("osinfo");

    for (const WineVersionCase &c : wineVersionCases)
    {
        std::string exeName = std::string("osprobe_") + c.wineVersion + ".exe";
        ASSERT_TRUE(CopyTo(TestProgramFolder() + "os_probe.exe", folder + exeName));
        SetProgramWindowsVersion(exeName, c.wineVersion);

        DWORD exitCode;
        std::string output = RunAndCapture(folder + exeName, &exitCode);
        ClearProgramWindowsVersion(exeName);

        EXPECT_EQ(exitCode, 0u) << c.wineVersion;
        EXPECT_EQ(output, std::to_string(c.code) + " " + c.name + "\n") << c.wineVersion;
    }
}

struct VersionRecordCase
{
    DWORD platform, major, minor, build;
    int code;
};

/* Versions Wine has no setting for: later 95 builds, NT 3.1 and 3.5,
 * and the build number with the version in its high word. */
static const VersionRecordCase versionRecordCases[] =
{
    { VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950, OS_TYPE_WIN95A },
    { VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x040003B6, OS_TYPE_WIN95A },
    { VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1110, OS_TYPE_WIN95A },
    { VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1111, OS_TYPE_WIN95B },
    { VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x04000457, OS_TYPE_WIN95B },
    { VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x0400FFFF, OS_TYPE_WIN95B },
    { VER_PLATFORM_WIN32_WINDOWS, 4, 3, 0, OS_TYPE_WIN95A },
    { VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, OS_TYPE_WIN98 },
    { VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A08AE, OS_TYPE_WIN98 },
    { VER_PLATFORM_WIN32_WINDOWS, 7, 10, 0, OS_TYPE_WIN98 },
    { VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000, OS_TYPE_WINME },
    { VER_PLATFORM_WIN32_NT, 3, 10, 511, OS_TYPE_WINNT3 },
    { VER_PLATFORM_WIN32_NT, 3, 50, 807, OS_TYPE_WINNT3 },
    { VER_PLATFORM_WIN32_NT, 3, 51, 1057, OS_TYPE_WINNT3 },
    { VER_PLATFORM_WIN32_NT, 4, 0, 1381, OS_TYPE_WINNT4 },
    { VER_PLATFORM_WIN32_NT, 4, 5, 0, OS_TYPE_WINNT4 },
    { VER_PLATFORM_WIN32_NT, 5, 0, 2195, OS_TYPE_WIN2000 },
    { VER_PLATFORM_WIN32_NT, 5, 1, 2600, OS_TYPE_WINXP },
    { VER_PLATFORM_WIN32_NT, 5, 2, 3790, OS_TYPE_UNKNOWN },
    { VER_PLATFORM_WIN32_NT, 6, 1, 7601, OS_TYPE_UNKNOWN },
    { VER_PLATFORM_WIN32_NT, 10, 0, 19045, OS_TYPE_UNKNOWN },
    { VER_PLATFORM_WIN32s, 3, 10, 0, OS_TYPE_OTHER },
    { 3, 5, 1, 0, OS_TYPE_OTHER },
};

TEST(OsType, ClassifiesVersionRecordsInOrder)
{
    for (const VersionRecordCase &c : versionRecordCases)
    {
        OSVERSIONINFOA info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        info.dwPlatformId = c.platform;
        info.dwMajorVersion = c.major;
        info.dwMinorVersion = c.minor;
        info.dwBuildNumber = c.build;
        EXPECT_EQ(ClassifyOsVersion(&info), c.code)
            << c.platform << " " << c.major << "." << c.minor << " build " << c.build;
    }
}

TEST(OsName, NamesEveryCodeAndOnlyThose)
{
    static const struct { int code; const char *name; } names[] =
    {
        { 0, "Unknown" }, { 2, "Unknown" }, { 4, "Windows 95A" }, { 8, "Windows 95B" },
        { 16, "Windows 98" }, { 17, "Windows Millennium" }, { 32, "Windows NT 3.51" },
        { 64, "Windows NT 4" }, { 128, "Windows 2000" }, { 129, "Windows XP" },
        { 1, "Unknown" }, { 5, "Unknown" }, { 130, "Unknown" }, { 256, "Unknown" },
        { -1, "Unknown" },
    };

    for (const auto &n : names)
    {
        /* The buffer is exactly as long as the longest name needs; the
         * guard byte after it must survive. */
        char buffer[OS_NAME_SIZE + 1];
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(GetOsName(n.code, buffer), buffer);
        EXPECT_STREQ(buffer, n.name) << n.code;
        EXPECT_EQ(buffer[OS_NAME_SIZE], 'x');
    }
}
