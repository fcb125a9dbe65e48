/*
 * The launcher started from a CD-ROM drive that holds what a disc image
 * holds, as autorun starts it: the drive's type, Start Install, and the
 * disc's own SETUP.EXE started from the drive, not from the current
 * folder. The drive is set up by tests/disc/check_disc_drive.sh, which
 * names it in TARNELL_DISC_DRIVE ("R:") and lists, in TARNELL_DISC_FILES,
 * other files the disc must show (separated by '|').
 */
#include <gtest/gtest.h>
#include <cstdlib>
#include <sstream>
#include "launcher_driver.h"

#define SAMPLE_SETUP_CAPTION "KELMORA Setup"

static std::string Environment(const char *name)
{
    const char *value = getenv(name);
    return value ? value : "";
}

TEST(DiscDrive, StartInstallStartsTheDiscsSetupFromTheDrive)
{
    std::string drive = Environment("TARNELL_DISC_DRIVE");
    ASSERT_FALSE(drive.empty()) << "run through check_disc_drive.sh";
    std::string root = drive + "\\";
    EXPECT_EQ(GetDriveTypeA(root.c_str()), (UINT)DRIVE_CDROM);

    std::stringstream files(Environment("TARNELL_DISC_FILES"));
    for (std::string file; std::getline(files, file, '|');)
    {
        EXPECT_TRUE(FileExists(root + file)) << file << " is not on the disc";
    }

    /* A SETUP.EXE in the current folder must not be the one started. */
    std::string elsewhere = FreshFolder("disc-drive-elsewhere");
    PlaceSetup(elsewhere, "SETUP.EXE");
    LauncherRun run = StartLauncher(root, "TARNELL.EXE", elsewhere);
    ASSERT_TRUE(run.window) << "no launcher window from " << root;
    PressKey(run.window, VK_RETURN);

    HWND box = NULL;
    WaitUntil([&] { return (box = FindWindowA(MESSAGE_BOX_CLASS, SAMPLE_SETUP_CAPTION)) != NULL; });
    ASSERT_TRUE(box) << "the disc's SETUP.EXE showed nothing";
    std::string text = MessageBoxText(box);
    EXPECT_NE(text.find(root + "SETUP.EXE"), std::string::npos) << text;
    PressKey(box, VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));

    EXPECT_EQ(FinishLauncher(run), 0u);
    EXPECT_FALSE(FileExists(elsewhere + SETUP_RECORD));
}
