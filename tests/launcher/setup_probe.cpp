/*
 * Stands in for Setup.exe in the launcher tests: records the command line
 * it was started with in setup-ran.txt beside itself, so the driver can
 * tell which copy ran and how it was called.
 */
#include <windows.h>

#define RECORD_NAME "setup-ran.txt"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    char path[MAX_PATH + sizeof(RECORD_NAME)];
    const char *line = GetCommandLineA();
    DWORD written;
    char *slash;

    (void)previous;
    (void)commandLine;
    (void)showCommand;

    GetModuleFileNameA(instance, path, MAX_PATH);
    path[MAX_PATH - 1] = '\0';
    slash = strrchr(path, '\\');
    lstrcpyA(slash ? slash + 1 : path, RECORD_NAME);

    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    WriteFile(file, line, lstrlenA(line), &written, NULL);
    CloseHandle(file);
    return 0;
}
