/*
 * A stand-in for the product's installer on the sample disc: it only shows
 * that the launcher started it, and from where.
 */
#include <windows.h>

#define SETUP_CAPTION "KELMORA Setup"
#define SETUP_TEXT    "KELMORA Setup was started from\n\n%s\n\n" \
                      "This sample stands in for the product's installer."
#define PATH_SIZE     MAX_PATH

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    char path[PATH_SIZE];
    char text[PATH_SIZE + sizeof(SETUP_TEXT)];

    (void)previous;
    (void)commandLine;
    (void)showCommand;

    GetModuleFileNameA(instance, path, sizeof(path));
    path[sizeof(path) - 1] = '\0';
    wsprintfA(text, SETUP_TEXT, path);
    MessageBoxA(NULL, text, SETUP_CAPTION, MB_ICONINFORMATION | MB_OK);
    return 0;
}
