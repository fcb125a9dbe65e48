/*
 * A SETUP.EXE as many real ones are: a bootstrapper that starts the real
 * installer (INSTALL\REAL.EXE on the same disc) and ends at once, without
 * a window of its own. The disc trial must see it started all the same,
 * and what it started in turn.
 */
#include <windows.h>

#define REAL_INSTALLER "INSTALL\\REAL.EXE"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    char path[MAX_PATH + sizeof(REAL_INSTALLER)];
    STARTUPINFOA startup = {};
    PROCESS_INFORMATION process;
    char *slash;

    (void)previous;
    (void)commandLine;
    (void)showCommand;

    GetModuleFileNameA(instance, path, MAX_PATH);
    path[MAX_PATH - 1] = '\0';
    slash = strrchr(path, '\\');
    lstrcpyA(slash ? slash + 1 : path, REAL_INSTALLER);
    startup.cb = sizeof(startup);
    if (!CreateProcessA(path, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
