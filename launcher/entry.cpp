/*
 * The launcher's own process entry. The launcher links no C runtime (the
 * runtime DLL is missing from some of the systems it runs on), so this
 * takes the runtime's place: it calls WinMain and ends the process with
 * its result. The compiler may still emit calls to memset and memcpy for
 * zeroed records and copies; they are supplied here.
 */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

extern "C" void WINAPI Entry(void)
{
    STARTUPINFOA startup;
    int showCommand = SW_SHOWDEFAULT;

    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW)
        showCommand = startup.wShowWindow;
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, GetCommandLineA(), showCommand));
}

extern "C" void *memset(void *destination, int value, size_t count)
{
    unsigned char *bytes = (unsigned char *)destination;

    while (count--)
        *bytes++ = (unsigned char)value;
    return destination;
}

extern "C" void *memcpy(void *destination, const void *source, size_t count)
{
    unsigned char *to = (unsigned char *)destination;
    const unsigned char *from = (const unsigned char *)source;

    while (count--)
        *to++ = *from++;
    return destination;
}
