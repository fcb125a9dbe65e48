/*
 * The Windows systems a launcher accepts, the one home of their bits and
 * names: the launcher's compiler reads them here, and the brand tools
 * (brand/systems.py) read the SYSTEM_* number and name #define lines for
 * the names a brand may list (TARNELL_SYSTEMS). Keep each of those a plain
 * decimal number or a string literal without escapes, as in layout.h.
 * Servers are named on their own: their version numbers are their desktop
 * twins', told apart by the product type.
 *
 * A launcher built without a list accepts what GetOsType identifies, as
 * it always has. One built with a list (TARNELL_SYSTEMS, whose accepted.h
 * the build writes) accepts the systems the list names; one whose list
 * names a later system (XP x64 and on) also carries a manifest and starts
 * its installer so that one that needs administrator rights can ask for
 * them.
 */
#ifndef LAUNCHER_SYSTEMS_H
#define LAUNCHER_SYSTEMS_H

/* The systems GetOsType identifies: OS codes 4 and 8, 16, 17, 32, 64,
 * 128, 129, and 2 (another platform, such as Win32s). */
#define SYSTEM_95               1
#define SYSTEM_95_NAME          "95"
#define SYSTEM_98               2
#define SYSTEM_98_NAME          "98"
#define SYSTEM_ME               4
#define SYSTEM_ME_NAME          "me"
#define SYSTEM_NT351            8
#define SYSTEM_NT351_NAME       "nt3.51"
#define SYSTEM_NT4              16
#define SYSTEM_NT4_NAME         "nt4"
#define SYSTEM_2000             32
#define SYSTEM_2000_NAME        "2000"
#define SYSTEM_XP               64
#define SYSTEM_XP_NAME          "xp"
#define SYSTEM_WIN32S           128
#define SYSTEM_WIN32S_NAME      "win32s"
/* What a launcher without a list accepts. */
#define SYSTEMS_ORIGINAL        255

/* The later systems, which GetOsType reports as unknown (0). */
#define SYSTEM_XP64             256
#define SYSTEM_XP64_NAME        "xp64"
#define SYSTEM_2003             512
#define SYSTEM_2003_NAME        "2003"
#define SYSTEM_VISTA            1024
#define SYSTEM_VISTA_NAME       "vista"
#define SYSTEM_2008             2048
#define SYSTEM_2008_NAME        "2008"
#define SYSTEM_7                4096
#define SYSTEM_7_NAME           "7"
#define SYSTEM_2008R2           8192
#define SYSTEM_2008R2_NAME      "2008r2"
#define SYSTEM_8                16384
#define SYSTEM_8_NAME           "8"
#define SYSTEM_81               32768
#define SYSTEM_81_NAME          "8.1"
#define SYSTEM_10               65536
#define SYSTEM_10_NAME          "10"
#define SYSTEM_11               131072
#define SYSTEM_11_NAME          "11"

/* Shown, with the installer's path on the next line, when a later system
 * cannot start the installer; English stands in for a language file of
 * a launcher that never shows it. */
#define TEXT_INSTALLER_FAILED   "The installer could not be started:"

#ifdef TARNELL_SYSTEMS

#include "accepted.h"

/* Whether the running system is on the brand's list; keeps which one it
 * is for StartInstaller. */
BOOL AcceptRunningSystem(int osType);
#define SYSTEM_ACCEPTED(osType) AcceptRunningSystem(osType)

#else

#define SYSTEM_ACCEPTED(osType) ((osType) != OS_TYPE_UNKNOWN)

#endif

#ifdef TARNELL_SYSTEMS_LATER

/* Starts the command that BuildInstallerCommand built (built is FALSE when
 * the path did not fit): on the original systems as always, on the later
 * ones through the shell when the installer needs administrator rights,
 * and with an error box when it cannot be started at all. */
void StartInstaller(HWND window, LPCSTR command, BOOL built);
/* An error box with the refusals' caption, owned by the window (main.cpp). */
void ShowErrorBox(HWND owner, LPCSTR text);
#define START_INSTALLER(window, command, built) StartInstaller(window, command, built)

#else

/* A missing or failing installer is not reported: the launcher closes
 * all the same. */
#define START_INSTALLER(window, command, built) \
    ((built) ? (void)WinExec(command, SW_SHOWNORMAL) : (void)0)

#endif

#endif
