/*
 * The systems a launcher built with a list (TARNELL_SYSTEMS) accepts, and
 * how it starts the installer on the later ones of its list.
 *
 * The library's GetOsType cannot tell the later systems: it identifies
 * the systems up to XP and gives 0 for every other Windows NT, for every
 * program that uses it. So for a 0 the launcher asks the platform itself:
 * GetVersionExA with the larger OSVERSIONINFOEXA record, whose product
 * type tells a server from its desktop twin. It asks only then: the 95
 * family and NT before 4.0 SP6 refuse the larger record. Windows 8.1 and
 * later report their own version only to a program whose manifest names
 * them, which a launcher for them carries (tarnell.manifest).
 */
#include "launcher.h"
#include <shellapi.h>
#include "util/osinfo.h"
#include "util/texthelp.h"

#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740
#endif

typedef struct tagKNOWN_SYSTEM
{
    int osType;                 /* GetOsType's code */
    int system;
} KNOWN_SYSTEM;

/* The contract names the library's codes; they must be the library's. */
CONTRACT_OS_TYPE_CHECKS

static const KNOWN_SYSTEM knownSystems[] = CONTRACT_KNOWN_SYSTEMS;

typedef struct tagLATER_SYSTEM
{
    DWORD major, minor;
    BOOL server;                /* any product type but a workstation */
    DWORD firstBuild;           /* where a system shares its twin's version */
    int system;
} LATER_SYSTEM;

/* Servers of 6.2 and later (2012 and on) have no name: they are refused.
 * Windows 11 reports 10.0, from its first build on. */
static const LATER_SYSTEM laterSystems[] = CONTRACT_LATER_SYSTEMS;

#define COUNT_OF(table) (sizeof(table) / sizeof((table)[0]))

/* The later system that runs, or 0 when it has no name here: of the
 * systems of its version and product type, the one of the latest first
 * build it has reached. */
static int RunningLaterSystem(void)
{
    OSVERSIONINFOEXA info;
    UINT index;
    int system = 0;
    DWORD reached = 0;

    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA((OSVERSIONINFOA *)&info) || info.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return 0;
    for (index = 0; index < COUNT_OF(laterSystems); index++)
    {
        const LATER_SYSTEM *later = &laterSystems[index];

        if (later->major == info.dwMajorVersion && later->minor == info.dwMinorVersion &&
            later->server == (info.wProductType != VER_NT_WORKSTATION) &&
            info.dwBuildNumber >= later->firstBuild && (!system || later->firstBuild >= reached))
        {
            system = later->system;
            reached = later->firstBuild;
        }
    }
    return system;
}

BOOL AcceptRunningSystem(int osType)
{
    UINT index;

    Launcher.system = 0;
    if (osType == OS_TYPE_UNKNOWN)
        Launcher.system = RunningLaterSystem();
    for (index = 0; index < COUNT_OF(knownSystems); index++)
    {
        if (knownSystems[index].osType == osType)
            Launcher.system = knownSystems[index].system;
    }
    return (Launcher.system & TARNELL_SYSTEMS_MASK) != 0;
}

#ifdef TARNELL_SYSTEMS_LATER

#define SHELL_LIBRARY            "SHELL32.DLL"
#define SHELL_EXECUTE_NAME       "ShellExecuteExA"
#define SHELL_OPEN_VERB          "open"
/* Where a path does not fit the box's room, its cut is marked. */
#define CUT_MARK                 "..."
/* The text, then the installer's path on a line of its own. */
#define FAILURE_PATH_LEAD        "\n"
#define FAILURE_MESSAGE_SIZE     (LAUNCHER_TEXT_SIZE - 1 + sizeof(FAILURE_PATH_LEAD) - 1 + INSTALLER_PATH_SIZE)

typedef BOOL (WINAPI *SHELL_EXECUTE_EX)(SHELLEXECUTEINFOA *);

/* The installer's path in the launcher's folder, as far as the installer
 * path buffer holds it: one that does not fit ends in the cut mark. */
static void DescribeInstallerPath(LPSTR path)
{
    char full[MODULE_PATH_SIZE + sizeof(INSTALLER_NAME)];
    LPSTR last;

    lstrcpyA(full, Launcher.modulePath);
    last = FindLastBackslash(full);
    lstrcpyA(last ? last + 1 : full, INSTALLER_NAME);
    if (lstrlenA(full) < INSTALLER_PATH_SIZE)
    {
        lstrcpyA(path, full);
        return;
    }
    CopyWholeCharacters(path, full, INSTALLER_PATH_SIZE - (sizeof(CUT_MARK) - 1));
    lstrcatA(path, CUT_MARK);
}

/* The first attempt, as WinExec would start it but with the failure's
 * reason kept. Built with TARNELL_TEST_ELEVATION it fails as Windows
 * fails it for an installer that needs administrator rights: Wine starts
 * such a program, so the tests take this seam to reach the shell. */
static BOOL CreateInstallerProcess(LPCSTR path, LPCSTR command)
{
#ifdef TARNELL_TEST_ELEVATION
    (void)path;
    (void)command;
    SetLastError(ERROR_ELEVATION_REQUIRED);
    return FALSE;
#else
    STARTUPINFOA startup = {};
    PROCESS_INFORMATION process;
    char line[INSTALLER_PATH_SIZE + 2];

    /* CreateProcessA may write into the command line. */
    CopyWholeCharacters(line, command, sizeof(line));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    if (!CreateProcessA(path, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return FALSE;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return TRUE;
#endif
}

/* The shell's "open" asks the user's consent for a program that needs
 * administrator rights. SHELL32 is loaded here, not imported, so that the
 * launcher still starts where only KERNEL32, USER32 and GDI32 are sure.
 * The launcher ends right after: the shell finishes before it returns. */
static BOOL OpenThroughShell(HWND window, LPCSTR path)
{
    HMODULE shell = LoadLibraryA(SHELL_LIBRARY);
    SHELL_EXECUTE_EX execute;
    SHELLEXECUTEINFOA info = {};

    if (!shell)
        return FALSE;
    execute = (SHELL_EXECUTE_EX)(void (*)(void))GetProcAddress(shell, SHELL_EXECUTE_NAME);
    if (!execute)
        return FALSE;
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.hwnd = window;
    info.lpVerb = SHELL_OPEN_VERB;
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    return execute(&info);
}

void StartInstaller(HWND window, LPCSTR command, BOOL built)
{
    char path[INSTALLER_PATH_SIZE];
    char message[FAILURE_MESSAGE_SIZE];

    if (!(Launcher.system & ~SYSTEMS_ORIGINAL))
    {
        if (built)
            WinExec(command, SW_SHOWNORMAL);
        return;
    }

    /* A later system: what cannot be started (missing, the consent
     * refused, any other failure) is said before the launcher closes. */
    DescribeInstallerPath(path);
    if (built && CreateInstallerProcess(path, command))
        return;
    if (built && GetLastError() == ERROR_ELEVATION_REQUIRED && OpenThroughShell(window, path))
        return;
    CopyWholeCharacters(message, LAUNCHER_TEXT(INSTALLER_FAILED), LAUNCHER_TEXT_SIZE);
    lstrcatA(message, FAILURE_PATH_LEAD);
    lstrcatA(message, path);
    ShowErrorBox(window, message);
}

#endif
