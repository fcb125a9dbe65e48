/*
 * Helpers for the test drivers: start programs, wait for state to settle,
 * read what only tests read (list boxes, focus, child rectangles), and set
 * Wine's per-program Windows version. Finding windows and message boxes,
 * keys, typing and clicks come from the window-driving library, with the
 * tests' timeout where a wait takes none.
 */
#ifndef TESTS_COMMON_TESTWIN_H
#define TESTS_COMMON_TESTWIN_H

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "tools/windriver/windriver.h"

/* How long to wait for a program to show or do something: 30 seconds, or
 * TARNELL_TEST_TIMEOUT_MS from the environment where programs start slowly
 * (32-bit Wine under emulation takes about a minute per process). */
DWORD TestTimeout();

/* A crash on any thread ends the program at once with a line on standard
 * error that names the exception, before Wine would start a debugger
 * (gtest catches crashes only on the thread that runs the tests). Every
 * program that links these helpers has it from its start. */
void InstallCrashReport();

struct ChildProcess
{
    PROCESS_INFORMATION info;
    bool started;
    /* A job of the program's own, which every process it starts joins. */
    HANDLE job;
};

/* Folder of the running test program, with a trailing backslash. */
std::string TestProgramFolder();
/* A fresh, empty folder for one test under C:\tarnell-tests. */
std::string FreshFolder(const std::string &name);
bool CopyTo(const std::string &from, const std::string &to);
bool FileExists(const std::string &path);
std::string ReadTextFile(const std::string &path);
/* Writes the bytes as the whole of the file; false when it cannot. */
bool WriteWholeFile(const std::string &path, const std::string &bytes);
std::string LowerCase(std::string text);

/* Starts a program; environment is a list of NAME=VALUE texts added to
 * this process's own environment (empty: inherit). */
ChildProcess StartProgram(const std::string &commandLine, const std::string &folder = "",
                          const std::vector<std::string> &environment = {});
/* How many processes have run in the program's job, the program
 * included, however briefly each ran: once the program has ended, 1 says
 * that it started nothing. */
DWORD ProcessesStarted(const ChildProcess &child);
/* Waits for the process to end; returns its exit code, or STILL_ACTIVE
 * after the timeout. */
DWORD WaitForExit(ChildProcess &child, DWORD timeout = TestTimeout());
void EndProgram(ChildProcess &child);
/* Runs a console program to its end and returns what it wrote. */
std::string RunAndCapture(const std::string &commandLine, DWORD *exitCode,
                          const std::vector<std::string> &environment = {});

/* The library's WaitUntil, by default with the tests' timeout. */
bool WaitUntil(const std::function<bool()> &condition, DWORD timeout = TestTimeout());

/* Registers a window class of this program with the given procedure and
 * class styles. */
void RegisterTestClass(const char *className, WNDPROC procedure, UINT style = 0);

/* A list box entry's text; empty when there is no such entry. A list of
 * another thread of this process is read on that thread, in one step, so
 * that a refill cannot come between; one of another process entry by
 * entry through the platform's messages. */
std::string ListBoxText(HWND list, int index);
/* Every entry of a list box, in order, as one state of the list. */
std::vector<std::string> ListBoxLines(HWND list);

/* A visible top-level window of the process, optionally of one class;
 * NULL after the timeout. */
HWND WaitForProcessWindow(DWORD processId, const char *className, DWORD timeout = TestTimeout());

/* Rectangle of a child window in its parent's client coordinates. */
RECT ChildRect(HWND child);
HWND FocusOf(HWND window);

/* Wine's per-program Windows version (HKCU\Software\Wine\AppDefaults). */
void SetProgramWindowsVersion(const std::string &exeName, const char *version);
void ClearProgramWindowsVersion(const std::string &exeName);

#endif
