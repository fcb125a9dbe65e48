/* Views one log file in a fresh process, so that the process's peak
 * memory belongs to this one call, and prints the time taken, the peak
 * private bytes before and after, the peak working set and the listed
 * lines. The log viewer's benchmark (bench_logview.py) and its memory test
 * run it. */
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include "util/msglist.h"

int main(int argc, char **argv)
{
    PROCESS_MEMORY_COUNTERS before = {}, after = {};
    LARGE_INTEGER frequency, start, stop;
    HWND list;

    if (argc < 2)
        return 2;
    list = CreateWindowExA(0, "LISTBOX", "", WS_POPUP, 0, 0, 400, 300, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
    before.cb = after.cb = sizeof(before);
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof(before));
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    ViewLogFile(list, argv[1]);
    QueryPerformanceCounter(&stop);
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof(after));

    printf("%.3f %lu %lu %lu %d\n",
           (stop.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart,
           (unsigned long)(before.PeakPagefileUsage / 1024),
           (unsigned long)(after.PeakPagefileUsage / 1024),
           (unsigned long)(after.PeakWorkingSetSize / 1024),
           (int)SendMessageA(list, LB_GETCOUNT, 0, 0));
    DestroyWindow(list);
    return 0;
}
