/*
 * The Windows systems a launcher accepts. Their bits and names, and how
 * each is known (GetOsType's codes, or the NT version and product type of
 * a later one), are the contract's (SYSTEM_*, CONTRACT_KNOWN_SYSTEMS and
 * CONTRACT_LATER_SYSTEMS in contract.h). Servers are named on their own:
 * their version numbers are their desktop twins', told apart by the
 * product type.
 *
 * A launcher built without a list accepts what GetOsType identifies, as
 * it always has. One built with a list (TARNELL_SYSTEMS, whose accepted.h
 * the build writes) accepts the systems the list names; one whose list
 * names a later system (XP x64 and on) also carries a manifest and starts
 * its installer so that one that needs administrator rights can ask for
 * them; where it cannot start it, it says so (TEXT_INSTALLER_FAILED).
 */
#ifndef LAUNCHER_SYSTEMS_H
#define LAUNCHER_SYSTEMS_H

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
