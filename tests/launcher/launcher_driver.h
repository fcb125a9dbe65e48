/*
 * Shared pieces of the launcher tests: start a copy of the real launcher
 * from a folder of its own, find its window and controls, answer its
 * message boxes, and read the stand-in installer's record.
 */
#ifndef TESTS_LAUNCHER_DRIVER_H
#define TESTS_LAUNCHER_DRIVER_H

#include "testwin.h"
/* The launcher's window class (the contract's). */
#include "contract.h"

#define LAUNCHER_EXE      "Tarnell.exe"
#define LAUNCHER_CLASS    LAUNCHER_CLASS_NAME
#define SETUP_RECORD      "setup-ran.txt"
#define EXIT_REFUSED      0xFFFFFFFFu

struct LauncherRun
{
    ChildProcess process;
    HWND window;
    std::string folder;
    std::string exePath;

    /* A launcher left running would hold the single-instance mutex and
     * make every later test fail: each run ends with its test. */
    LauncherRun() : process(), window(NULL) {}
    LauncherRun(LauncherRun &&other)
        : process(other.process), window(other.window), folder(other.folder), exePath(other.exePath)
    {
        other.process.started = false;
    }
    LauncherRun(const LauncherRun &) = delete;
    LauncherRun &operator=(const LauncherRun &) = delete;
    LauncherRun &operator=(LauncherRun &&other)
    {
        EndProgram(process);
        process = other.process;
        window = other.window;
        folder = other.folder;
        exePath = other.exePath;
        other.process.started = false;
        return *this;
    }
    ~LauncherRun() { EndProgram(process); }
};

/* Copies the launcher under test into the folder (under the given name)
 * and starts it from there, with an optional current folder. Waits for
 * its window unless told not to. */
LauncherRun StartLauncher(const std::string &folder, const std::string &exeName = "TARNELL.EXE",
                          const std::string &currentFolder = "", bool waitForWindow = true);
/* Copies the stand-in installer into the folder under the given name. */
void PlaceSetup(const std::string &folder, const std::string &name = "Setup.exe");
/* The command line the stand-in installer in the folder recorded, once it
 * has; empty when it did not within the tests' timeout. */
std::string WaitForSetupRecord(const std::string &folder);

/* The launcher's four child controls, in creation order. */
struct LauncherControls
{
    HWND frame, picture, start, dont;
};
LauncherControls FindControls(HWND window);

/* A message box of the process: caption, text, and whether it shows the
 * error icon and one OK button. Answers it with Enter. */
struct MessageBoxSeen
{
    bool found;
    std::string caption, text;
    bool errorStyle;
};
MessageBoxSeen AnswerMessageBox(DWORD processId);

/* The user's colours (names as under HKCU\Control Panel\Colors, values
 * "R G B"), set in the registry where the system reads them when a
 * program starts; the old values come back when the object goes. */
class UserColours
{
public:
    UserColours(std::initializer_list<std::pair<const char *, const char *>> colours);
    ~UserColours();

private:
    std::vector<std::pair<std::string, std::string>> saved;
};

/* Whether a mutex of that name exists in the session. */
bool MutexExists(const char *name);

/* A program's version block (empty when it has none), and one string of
 * its English (United States), code page 1252 table ("<missing>" when
 * absent). */
std::vector<BYTE> VersionData(const std::string &path);
std::string VersionString(std::vector<BYTE> &data, const char *name);

/* Waits for the process to end (without releasing it); whether it showed
 * a message box meanwhile. */
bool ShowedBoxBeforeItEnded(LauncherRun &run);
/* Waits for the process to end and releases it. */
DWORD FinishLauncher(LauncherRun &run);
/* Closes the window with Alt+F4 and returns the exit code. */
DWORD CloseWithAltF4(LauncherRun &run);

#endif
