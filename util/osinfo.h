/*
 * Operating-system identification: one small code per known Windows
 * version, single bits per system so that callers can test sets of systems
 * with a mask. Windows 98 and Millennium share bit 16 and differ in bit 0;
 * Windows 2000 and XP share bit 128 and differ in bit 0.
 */
#ifndef UTIL_OSINFO_H
#define UTIL_OSINFO_H

#include <windows.h>

#define OS_TYPE_UNKNOWN   0   /* version query failed or NT version not listed */
#define OS_TYPE_OTHER     2   /* neither the 95 family nor NT, e.g. Win32s */
#define OS_TYPE_WIN95A    4
#define OS_TYPE_WIN95B    8
#define OS_TYPE_WIN98     16
#define OS_TYPE_WINME     17
#define OS_TYPE_WINNT3    32
#define OS_TYPE_WINNT4    64
#define OS_TYPE_WIN2000   128
#define OS_TYPE_WINXP     129

/* Longest display name ("Windows Millennium") with its terminator. */
#define OS_NAME_SIZE      19

int GetOsType(void);
/* The classification of GetOsType, for a version record already read. */
int ClassifyOsVersion(const OSVERSIONINFOA *info);
LPSTR GetOsName(int osType, LPSTR buffer);

#endif
