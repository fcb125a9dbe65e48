/*
 * Crashes on purpose, on a thread made with CreateThread, as the folder
 * chooser's tests run the chooser: a write through a null pointer.
 *
 * Usage: crash_probe reported | bare
 *   reported  keeps the test helpers' crash report, as every test
 *             program has it
 *   bare      removes it first, so that only the Wine prefix decides what
 *             happens (no debugger may start)
 */
#include <windows.h>
#include <stdio.h>
#include "testwin.h"

static DWORD WINAPI WriteThroughNull(LPVOID target)
{
    *(volatile int *)target = 1;
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 2 || (lstrcmpA(argv[1], "reported") != 0 && lstrcmpA(argv[1], "bare") != 0))
    {
        fprintf(stderr, "usage: crash_probe reported | bare\n");
        return 2;
    }
    if (lstrcmpA(argv[1], "bare") == 0)
        SetUnhandledExceptionFilter(NULL);
    else
        InstallCrashReport();

    /* A crash that waits for a debugger keeps the program here, for the
     * caller's time limit to find. */
    HANDLE thread = CreateThread(NULL, 0, WriteThroughNull, NULL, 0, NULL);
    WaitForSingleObject(thread, INFINITE);
    printf("crash_probe: the thread did not crash\n");
    return 0;
}
