/*
 * A disc's program that tries to reach the host it runs on: it writes a
 * file at the host path it is given, through Wine's drive Z: and around
 * Wine's drives through \\?\unix\, reads the host's /etc/passwd both ways,
 * and then shows a message box that says how far it got, so that the disc
 * trial has something to see. Usage: escape_probe.exe HOST_PATH
 */
#include <windows.h>
#include <string>

static bool WriteTo(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, "escaped\r\n", 9, &written, NULL);
    CloseHandle(file);
    return written == 9;
}

static bool CanRead(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

/* The host path as Windows names it through Z:, and around the drives. */
static std::string Windows(const std::string &prefix, const std::string &unix)
{
    std::string path = prefix;
    for (char c : unix)
        path += c == '/' ? '\\' : c;
    return path;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)instance;
    (void)previous;
    (void)showCommand;

    std::string target = commandLine;
    std::string report = "wrote through Z: ";
    report += WriteTo(Windows("Z:", target + ".z")) ? "yes" : "no";
    report += "; wrote around the drives ";
    report += WriteTo(Windows("\\\\?\\unix", target + ".unix")) ? "yes" : "no";
    report += "; read the host's passwd ";
    report += CanRead("Z:\\etc\\passwd") || CanRead("\\\\?\\unix\\etc\\passwd") ? "yes" : "no";
    MessageBoxA(NULL, report.c_str(), "Escape probe", MB_OK);
    return 0;
}
