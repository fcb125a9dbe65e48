/*
 * Start-up checks: the launcher runs on the systems it identifies and
 * refuses the others; a second copy is refused, whatever its file name,
 * and the first copy goes on unchanged; the title and the refusal caption
 * follow the launcher's file name.
 */
#include <gtest/gtest.h>
#include "launcher_driver.h"
#include "launcher.h"

struct VersionCase
{
    const char *wineVersion;
    bool accepted;
};

static const VersionCase versionCases[] =
{
    { "win95", true }, { "win98", true }, { "winme", true }, { "nt351", true },
    { "nt40", true }, { "win2k", true }, { "winxp", true },
    { "win2003", false }, { "vista", false }, { "win10", false }, { "win31", true },
};

TEST(Startup, RunsOnTheSystemsItKnowsAndRefusesTheOthers_Native)
{
    std::string folder = FreshFolder("versions");

    for (const VersionCase &c : versionCases)
    {
        /* The setting is read while the process starts: it stays until
         * the process has shown what it decided. */
        SetProgramWindowsVersion("TARNELL.EXE", c.wineVersion);
        LauncherRun run = StartLauncher(folder, "TARNELL.EXE", "", c.accepted);
        ASSERT_TRUE(run.process.started);

        if (c.accepted)
        {
            ASSERT_TRUE(run.window) << c.wineVersion;
            EXPECT_TRUE(MutexExists(LAUNCHER_MUTEX_NAME)) << c.wineVersion;
            EXPECT_EQ(CloseWithAltF4(run), 0u) << c.wineVersion;
        }
        else
        {
            HWND box = WaitForProcessWindow(run.process.info.dwProcessId, MESSAGE_BOX_CLASS);
            std::string seenWindows;
            for (HWND w : ProcessWindows(run.process.info.dwProcessId))
                seenWindows += ClassName(w) + ":" + WindowText(w) + " ";
            ASSERT_TRUE(box) << c.wineVersion << " exit " << WaitForExit(run.process, 0) << " " << seenWindows;
            /* The refusal comes before the mutex is taken. */
            EXPECT_FALSE(MutexExists(LAUNCHER_MUTEX_NAME)) << c.wineVersion;
            MessageBoxSeen seen = AnswerMessageBox(run.process.info.dwProcessId);
            EXPECT_EQ(seen.caption, "Tarnell.exe Error Information") << c.wineVersion;
            EXPECT_EQ(seen.text, TEXT_UNSUPPORTED_OS) << c.wineVersion;
            EXPECT_TRUE(seen.errorStyle) << c.wineVersion;
            EXPECT_EQ(FinishLauncher(run), EXIT_REFUSED) << c.wineVersion;
            EXPECT_TRUE(ProcessWindows(run.process.info.dwProcessId, LAUNCHER_CLASS).empty());
        }
        ClearProgramWindowsVersion("TARNELL.EXE");
    }
}

TEST(Startup, UnsupportedSystemIsRefusedAsSuchEvenWithAnotherCopyRunning)
{
    LauncherRun first = StartLauncher(FreshFolder("os-first"));
    ASSERT_TRUE(first.window);

    SetProgramWindowsVersion("AUTORUN.EXE", "vista");
    LauncherRun second = StartLauncher(FreshFolder("os-second"), "AUTORUN.EXE", "", false);
    MessageBoxSeen seen = AnswerMessageBox(second.process.info.dwProcessId);
    ClearProgramWindowsVersion("AUTORUN.EXE");

    EXPECT_EQ(seen.caption, "Autorun.exe Error Information");
    EXPECT_EQ(seen.text, TEXT_UNSUPPORTED_OS);
    EXPECT_EQ(FinishLauncher(second), EXIT_REFUSED);

    EXPECT_EQ(CloseWithAltF4(first), 0u);
}

TEST(Startup, SecondCopyUnderAnotherNameIsRefusedAndTheFirstGoesOn_Native)
{
    LauncherRun first = StartLauncher(FreshFolder("instance-first"));
    ASSERT_TRUE(first.window);
    RECT before;
    GetWindowRect(first.window, &before);
    std::string titleBefore = WindowText(first.window);

    LauncherRun second = StartLauncher(FreshFolder("instance-second"), "AUTORUN.EXE", "", false);
    MessageBoxSeen seen = AnswerMessageBox(second.process.info.dwProcessId);
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.caption, "Autorun.exe Error Information");
    EXPECT_EQ(seen.text, TEXT_SECOND_INSTANCE);
    EXPECT_TRUE(seen.errorStyle);
    EXPECT_EQ(FinishLauncher(second), EXIT_REFUSED);
    EXPECT_TRUE(ProcessWindows(second.process.info.dwProcessId, LAUNCHER_CLASS).empty());

    /* The first copy is as it was. */
    EXPECT_EQ(WaitForSingleObject(first.process.info.hProcess, 0), (DWORD)WAIT_TIMEOUT);
    RECT after;
    GetWindowRect(first.window, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(WindowText(first.window), titleBefore);
    EXPECT_TRUE(IsWindowVisible(first.window));

    /* A copy of the same name is refused too. */
    LauncherRun third = StartLauncher(FreshFolder("instance-third"), "TARNELL.EXE", "", false);
    seen = AnswerMessageBox(third.process.info.dwProcessId);
    EXPECT_EQ(seen.caption, "Tarnell.exe Error Information");
    EXPECT_EQ(seen.text, TEXT_SECOND_INSTANCE);
    EXPECT_EQ(FinishLauncher(third), EXIT_REFUSED);

    EXPECT_EQ(CloseWithAltF4(first), 0u);
}

TEST(Startup, TitleFollowsTheFileName_Native)
{
    LauncherRun run = StartLauncher(FreshFolder("autorun-name"), "AUTORUN.EXE");
    ASSERT_TRUE(run.window);
    EXPECT_EQ(WindowText(run.window), " KELMORA CD-ROM Autorun Program (Autorun.exe v2.31.005)");
    EXPECT_EQ(CloseWithAltF4(run), 0u);
}

TEST(Startup, LongFileNameIsCutToFitTheTitle_Native)
{
    const std::string longName = "KELMORA_AUTORUN_LAUNCHER_WITH_A_VERY_LONG_FILE_NAME.EXE";
    LauncherRun run = StartLauncher(FreshFolder("long-name"), longName);
    ASSERT_TRUE(run.window);

    std::string displayName = "Kelmora_autorun_launcher_with_a_very_long_file_name.exe";
    std::string title = WindowText(run.window);
    EXPECT_EQ(title, " KELMORA CD-ROM Autorun Program (" + displayName.substr(0, 35) + " v2.31.005)");
    EXPECT_EQ(title.size(), 79u);
    EXPECT_EQ(CloseWithAltF4(run), 0u);
}
