/*
 * The seven local ports LPT1 to LPT3 and COM1 to COM4 by an 8-bit code:
 * the code's display name ("Lpt1" ... "Com4", "Inv" for no port), the code
 * of a display name, and which of the seven ports the print spooler lists.
 * PortCodeToName returns the shared PortNameBuffer, which its next call
 * overwrites: GUI thread only.
 */
#ifndef UTIL_PORTS_H
#define UTIL_PORTS_H

#include <windows.h>
#include <winspool.h>

#define PORT_NONE 0
#define PORT_LPT1 1
#define PORT_LPT2 2
#define PORT_LPT3 3
#define PORT_COM1 4
#define PORT_COM2 5
#define PORT_COM3 6
#define PORT_COM4 7
#define PORT_COUNT 7

#define PORT_NAME_BUFFER_SIZE 8

/* The latest result of PortCodeToName. */
extern char PortNameBuffer[PORT_NAME_BUFFER_SIZE];

/* The spooler's port enumeration, EnumPortsA unless a test puts in its
 * own to produce the failures that a working spooler never gives. */
typedef BOOL (WINAPI *ENUM_PORTS_ROUTINE)(LPSTR server, DWORD level, LPBYTE ports, DWORD size,
                                          LPDWORD needed, LPDWORD returned);
extern ENUM_PORTS_ROUTINE EnumPortsRoutine;

LPSTR PortCodeToName(BYTE code);
/* PORT_NONE for a text that names none of the seven ports. */
BYTE PortNameToCode(LPCSTR name);
/* Stores code k in portPresence[k - 1] for every port the spooler lists
 * and leaves the other elements alone: clear the PORT_COUNT bytes first.
 * A spooler name counts when its first four characters are the port's
 * name in capitals ("LPT1:", also "LPT10:"; not "lpt1:"). Non-zero on
 * success; 0 on failure, with nothing written. */
BOOL GetPresentPorts(BYTE *portPresence);

#endif
