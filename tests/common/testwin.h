/*
 * Helpers for the test drivers: start programs, find their windows and
 * message boxes, press keys through the system's input path, wait for
 * state to settle, and set Wine's per-program Windows version.
 */
#ifndef TESTS_COMMON_TESTWIN_H
#define TESTS_COMMON_TESTWIN_H

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

/* How long to wait for a program to show or do something: 30 seconds, or
 * TARNELL_TEST_TIMEOUT_MS from the environment where programs start slowly
 * (32-bit Wine under emulation takes about a minute per process). */
DWORD TestTimeout();

/* A crash on any thread ends the program at once with a line on standard
 * error that names the exception, before Wine would start a debugger
 * (gtest catches crashes only on the thread that runs the tests). Every
 * program that links these helpers has it from its start. */
void InstallCrashReport();

/* Class of the system's message box windows. */
#define MESSAGE_BOX_CLASS "#32770"
/* Id of the message box's text control. */
#define MESSAGE_BOX_TEXT_ID 0xFFFF

struct ChildProcess
{
    PROCESS_INFORMATION info;
    bool started;
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
/* Waits for the process to end; returns its exit code, or STILL_ACTIVE
 * after the timeout. */
DWORD WaitForExit(ChildProcess &child, DWORD timeout = TestTimeout());
void EndProgram(ChildProcess &child);
/* Runs a console program to its end and returns what it wrote. */
std::string RunAndCapture(const std::string &commandLine, DWORD *exitCode,
                          const std::vector<std::string> &environment = {});

/* Polls until the condition holds; false after the timeout. */
bool WaitUntil(const std::function<bool()> &condition, DWORD timeout = TestTimeout());

/* The header of a 32-bit top-down device-independent bitmap: each pixel
 * one DWORD 0x00RRGGBB, rows from the top. */
BITMAPINFO TopDownBitmapInfo(int width, int height);

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

/* Top-level windows of a process, optionally of one class. */
std::vector<HWND> ProcessWindows(DWORD processId, const char *className = NULL);
HWND WaitForProcessWindow(DWORD processId, const char *className, DWORD timeout = TestTimeout());
std::vector<HWND> ChildWindows(HWND parent);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
std::string MessageBoxText(HWND box);
/* Rectangle of a child window in its parent's client coordinates. */
RECT ChildRect(HWND child);
HWND FocusOf(HWND window);

/* Brings the window's thread to the foreground and presses one key,
 * optionally with Shift or Alt held, through SendInput. */
void PressKey(HWND window, WORD virtualKey, WORD modifier = 0);

/* Brings the window's thread to the foreground and types the text into
 * its focus through SendInput: each character on the key that the
 * keyboard layout gives it, with Shift where the layout wants it, or as
 * the character itself where no key makes it. */
void TypeText(HWND window, const std::string &text);

/* Brings the window's thread to the foreground and clicks the left mouse
 * button at a screen point, once or twice in quick succession (a double
 * click), through SendInput. */
void ClickAt(HWND window, POINT screen, int clicks = 1);
/* Clicks the middle of a child control. */
void ClickControl(HWND control, int clicks = 1);

/* Wine's per-program Windows version (HKCU\Software\Wine\AppDefaults). */
void SetProgramWindowsVersion(const std::string &exeName, const char *version);
void ClearProgramWindowsVersion(const std::string &exeName);

#endif
