/* Classifies the running Windows version and names the classes. */
#include "osinfo.h"

/* Windows 95 builds above this are OSR2 (95B); the 95 family reports the
 * version in the high word of the build number, so only the low word counts. */
#define WIN95A_LAST_BUILD 1110

#define WIN9X_MINOR_98 10
#define WIN9X_MINOR_ME 90

int GetOsType(void)
{
    OSVERSIONINFOA info;

    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info))
        return OS_TYPE_UNKNOWN;
    return ClassifyOsVersion(&info);
}

/* The tests run in this order and the first that matches decides; the
 * major version of the 95 family is not looked at. */
int ClassifyOsVersion(const OSVERSIONINFOA *info)
{
    if (info->dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
    {
        if (info->dwMinorVersion == WIN9X_MINOR_98)
            return OS_TYPE_WIN98;
        if (info->dwMinorVersion == WIN9X_MINOR_ME)
            return OS_TYPE_WINME;
        if (LOWORD(info->dwBuildNumber) <= WIN95A_LAST_BUILD)
            return OS_TYPE_WIN95A;
        return OS_TYPE_WIN95B;
    }

    if (info->dwPlatformId == VER_PLATFORM_WIN32_NT)
    {
        if (info->dwMajorVersion == 3)
            return OS_TYPE_WINNT3;
        if (info->dwMajorVersion == 4)
            return OS_TYPE_WINNT4;
        if (info->dwMajorVersion == 5 && info->dwMinorVersion == 0)
            return OS_TYPE_WIN2000;
        if (info->dwMajorVersion == 5 && info->dwMinorVersion == 1)
            return OS_TYPE_WINXP;
        return OS_TYPE_UNKNOWN;
    }

    return OS_TYPE_OTHER;
}

LPSTR GetOsName(int osType, LPSTR buffer)
{
    LPCSTR name;

    switch (osType)
    {
    case OS_TYPE_WIN95A:  name = "Windows 95A"; break;
    case OS_TYPE_WIN95B:  name = "Windows 95B"; break;
    case OS_TYPE_WIN98:   name = "Windows 98"; break;
    case OS_TYPE_WINME:   name = "Windows Millennium"; break;
    case OS_TYPE_WINNT3:  name = "Windows NT 3.51"; break;
    case OS_TYPE_WINNT4:  name = "Windows NT 4"; break;
    case OS_TYPE_WIN2000: name = "Windows 2000"; break;
    case OS_TYPE_WINXP:   name = "Windows XP"; break;
    default:              name = "Unknown"; break;
    }
    lstrcpyA(buffer, name);
    return buffer;
}
