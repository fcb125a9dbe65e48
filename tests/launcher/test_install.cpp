/*
 * Starting the installer: Setup.exe from the launcher's own folder, not
 * the current one, with its path as the whole command line (quoted when it
 * holds a space); a missing installer or a path too long for the buffer
 * closes the launcher without starting anything.
 */
#include <gtest/gtest.h>
#include "launcher_driver.h"

/* Presses Enter on the focused Start Install and waits for the end. */
static DWORD PressStartInstall(LauncherRun &run)
{
    PressKey(run.window, VK_RETURN);
    return FinishLauncher(run);
}

TEST(StartInstall, EnterStartsSetupFromTheLaunchersFolder_Native)
{
    std::string disc = FreshFolder("install\\disc");
    std::string elsewhere = FreshFolder("install\\elsewhere");
    PlaceSetup(disc);
    PlaceSetup(elsewhere);

    LauncherRun run = StartLauncher(disc, "TARNELL.EXE", elsewhere);
    ASSERT_TRUE(run.window);
    EXPECT_EQ(PressStartInstall(run), 0u);

    EXPECT_EQ(WaitForSetupRecord(disc), disc + "Setup.exe");
    EXPECT_FALSE(FileExists(elsewhere + SETUP_RECORD));
}

TEST(StartInstall, PathWithASpaceIsQuoted_Native)
{
    /* Unquoted, "C:\tarnell-tests\with space\..." would start with.exe. */
    std::string root = FreshFolder("quoting");
    std::string disc = FreshFolder("quoting\\with space\\disc 1");
    PlaceSetup(disc);
    PlaceSetup(root, "with.exe");

    LauncherRun run = StartLauncher(disc);
    ASSERT_TRUE(run.window);
    EXPECT_EQ(PressStartInstall(run), 0u);

    EXPECT_EQ(WaitForSetupRecord(disc), "\"" + disc + "Setup.exe\"");
    EXPECT_FALSE(FileExists(root + SETUP_RECORD));
}

TEST(StartInstall, MissingSetupClosesSilently_Native)
{
    std::string disc = FreshFolder("nosetup");
    LauncherRun run = StartLauncher(disc);
    ASSERT_TRUE(run.window);

    PressKey(run.window, VK_RETURN);
    EXPECT_FALSE(ShowedBoxBeforeItEnded(run));
    EXPECT_EQ(FinishLauncher(run), 0u);
}

/* A folder whose path, with its trailing backslash, is the given length. */
static std::string FolderOfLength(const std::string &base, size_t length)
{
    std::string folder = FreshFolder(base);
    std::string nested = base;
    while (folder.size() < length)
    {
        size_t part = std::min<size_t>(length - folder.size() - 1, 60);
        std::string name(part ? part : 1, 'd');
        nested += "\\" + name;
        folder = FreshFolder(nested);
    }
    return folder;
}

TEST(StartInstall, InstallerPathTooLongForItsBufferStartsNothing_Native)
{
    /* The launcher's own path (248 + 5 characters) fits the 256-character
     * buffer, the installer's (248 + 9) does not: nothing may be started,
     * neither a cut-off path nor anything past the buffer. */
    std::string deep = FolderOfLength("longpath", 248);
    ASSERT_EQ(deep.size(), 248u);
    std::string shortName = "T.EXE";

    LauncherRun run = StartLauncher(deep, shortName);
    ASSERT_TRUE(run.window) << "could not start from " << deep;
    PlaceSetup(deep);
    PlaceSetup(deep, "Setup.e");

    /* Once the launcher has ended, its job has counted every process it
     * started. */
    PressKey(run.window, VK_RETURN);
    EXPECT_EQ(WaitForExit(run.process), 0u);
    EXPECT_EQ(ProcessesStarted(run.process), 1u) << "the launcher started a program";
    EXPECT_FALSE(FileExists(deep + SETUP_RECORD));
}

TEST(StartInstall, InstallerPathThatJustFitsIsStarted_Native)
{
    /* 246 + 9 characters and the terminator fill the buffer exactly. */
    std::string deep = FolderOfLength("fitpath", 246);
    ASSERT_EQ(deep.size(), 246u);
    PlaceSetup(deep);

    LauncherRun run = StartLauncher(deep, "T.EXE");
    ASSERT_TRUE(run.window);
    EXPECT_EQ(PressStartInstall(run), 0u);
    EXPECT_EQ(WaitForSetupRecord(deep), deep + "Setup.exe");
}
