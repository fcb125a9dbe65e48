/*
 * A launcher built with a list of systems (98, xp, 7 and 10) under Wine's
 * per-program Windows version: it runs and starts the installer on the
 * systems of its list and refuses the others as the default launcher
 * refuses an unknown one; Windows 10 is taken for 10, not for the 8 it
 * reports to a program without a manifest. On the later systems a
 * missing installer is named in an error box, and one that needs
 * administrator rights is started through the shell (reached through the
 * test launcher's seam: Wine never refuses such a start). The resources:
 * the list and the manifest, only in a launcher built with a list.
 */
#include <gtest/gtest.h>
#include "launcher_driver.h"
#include "launcher.h"

#define SYSTEMS_EXE     "Tarnell_systems.exe"
#define ELEVATION_EXE   "Tarnell_elevation.exe"
#define STARTED_AS      "TARNELL.EXE"
#define REFUSAL_CAPTION "Tarnell.exe Error Information"

/* A copy of the launcher variant in a folder of its own, started on the
 * given Windows version; the setting stays until the run has shown what
 * it decided, and goes with the object. */
struct VersionedRun
{
    LauncherRun run;
    std::string folder;

    VersionedRun(const char *variant, const char *wineVersion, const std::string &name, bool withSetup,
                 bool waitForWindow = true)
        : folder(FreshFolder(name))
    {
        if (withSetup)
            PlaceSetup(folder);
        CopyTo(TestProgramFolder() + variant, folder + STARTED_AS);
        SetProgramWindowsVersion(STARTED_AS, wineVersion);
        run = StartLauncher(folder, STARTED_AS, "", waitForWindow);
    }
    ~VersionedRun() { ClearProgramWindowsVersion(STARTED_AS); }
};

struct SystemCase
{
    const char *wineVersion;
    bool accepted;
};

/* Wine 8.0 swaps two product types: its win2008r2 reports 6.1 on a
 * workstation, Windows 7, and its win7 6.1 on a server, Server 2008 R2,
 * which the list does not name. */
static const SystemCase systemCases[] =
{
    { "win98", true }, { "winxp", true }, { "win2008r2", true }, { "win10", true },
    { "win95", false }, { "nt351", false }, { "win8", false }, { "win7", false },
};

TEST(Systems, RunsOnTheSystemsOfItsListAndRefusesTheOthers_Native)
{
    for (const SystemCase &c : systemCases)
    {
        VersionedRun versioned(SYSTEMS_EXE, c.wineVersion, std::string("systems-") + c.wineVersion,
                               c.accepted, c.accepted);
        LauncherRun &run = versioned.run;
        ASSERT_TRUE(run.process.started) << c.wineVersion;
        if (c.accepted)
        {
            ASSERT_TRUE(run.window) << c.wineVersion;
            PressKey(run.window, VK_RETURN);
            EXPECT_EQ(FinishLauncher(run), 0u) << c.wineVersion;
            EXPECT_EQ(WaitForSetupRecord(versioned.folder), versioned.folder + "Setup.exe") << c.wineVersion;
        }
        else
        {
            MessageBoxSeen seen = AnswerMessageBox(run.process.info.dwProcessId);
            EXPECT_TRUE(seen.found) << c.wineVersion;
            EXPECT_EQ(seen.caption, REFUSAL_CAPTION) << c.wineVersion;
            EXPECT_EQ(seen.text, "Unsupported Operating System") << c.wineVersion;
            EXPECT_TRUE(seen.errorStyle) << c.wineVersion;
            EXPECT_EQ(FinishLauncher(run), EXIT_REFUSED) << c.wineVersion;
        }
    }
}

/* Without its manifest the launcher would read 6.2, Windows 8, which it
 * refuses. One start, so that it runs in the emulated set too. */
TEST(Systems, TakesWindows10ForTen)
{
    VersionedRun versioned(SYSTEMS_EXE, "win10", "systems-ten", false);
    ASSERT_TRUE(versioned.run.window);
    EXPECT_EQ(CloseWithAltF4(versioned.run), 0u);
}

TEST(Systems, InstallerThatNeedsRightsIsStartedThroughTheShell_Native)
{
    VersionedRun versioned(ELEVATION_EXE, "win10", "systems-elevation", true);
    LauncherRun &run = versioned.run;
    ASSERT_TRUE(run.window);
    PressKey(run.window, VK_RETURN);
    EXPECT_FALSE(ShowedBoxBeforeItEnded(run));
    EXPECT_EQ(FinishLauncher(run), 0u);
    /* Wine's shell quotes the program's path in the command line it
     * builds; the launcher's own start leaves a path without a space bare. */
    EXPECT_EQ(WaitForSetupRecord(versioned.folder), "\"" + versioned.folder + "Setup.exe\"");
}

TEST(Systems, MissingInstallerIsNamedOnLaterSystemsAndSilentOnTheOthers_Native)
{
    for (const char *wineVersion : { "win10", "winxp" })
    {
        bool later = lstrcmpA(wineVersion, "win10") == 0;
        VersionedRun versioned(SYSTEMS_EXE, wineVersion, std::string("systems-nosetup-") + wineVersion, false);
        LauncherRun &run = versioned.run;
        ASSERT_TRUE(run.window) << wineVersion;
        PressKey(run.window, VK_RETURN);
        if (later)
        {
            MessageBoxSeen seen = AnswerMessageBox(run.process.info.dwProcessId);
            EXPECT_TRUE(seen.found);
            EXPECT_EQ(seen.caption, REFUSAL_CAPTION);
            EXPECT_EQ(seen.text, "The installer could not be started:\n" + versioned.folder + "Setup.exe");
            EXPECT_TRUE(seen.errorStyle);
        }
        else
        {
            EXPECT_FALSE(ShowedBoxBeforeItEnded(run));
        }
        EXPECT_EQ(FinishLauncher(run), 0u) << wineVersion;
    }
}

/* The systems a manifest names, by the Ids Windows gives them. */
static const char *const supportedOs[] =
{
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",   /* Vista */
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",   /* 7 */
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",   /* 8 */
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",   /* 8.1 */
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",   /* 10 and 11 */
};

static std::string ManifestOf(const std::string &path)
{
    std::string manifest;
    HMODULE module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return "<cannot load>";
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), (LPCSTR)RT_MANIFEST);
    HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
    if (loaded)
        manifest.assign((const char *)LockResource(loaded), SizeofResource(module, found));
    FreeLibrary(module);
    return manifest;
}

TEST(SystemsResources, TheListAndTheManifestOnlyWithTheSetting)
{
    std::vector<BYTE> plain = VersionData(TestProgramFolder() + LAUNCHER_EXE);
    EXPECT_EQ(VersionString(plain, "SupportedSystems"), "<missing>");
    EXPECT_EQ(ManifestOf(TestProgramFolder() + LAUNCHER_EXE), "");

    std::vector<BYTE> listed = VersionData(TestProgramFolder() + SYSTEMS_EXE);
    EXPECT_EQ(VersionString(listed, "SupportedSystems"), "98,xp,7,10");
    std::string manifest = ManifestOf(TestProgramFolder() + SYSTEMS_EXE);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    for (const char *id : supportedOs)
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + id + "\"/>"), std::string::npos) << id;
}
