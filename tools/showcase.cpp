/*
 * Shows a program off without a person at the screen: starts it, waits
 * for its window of the given class, saves a picture of the window with
 * its frame as a BMP file, presses the given keys to close it and ends
 * with the program's exit code. The run scripts use it under Xvfb, inside
 * a Wine virtual desktop, which draws the window frames: run.sh for the
 * launcher (Tab, Enter: "Don't Install"), workbench.sh for the library
 * workbench (Alt+F4).
 *
 * Usage: showcase PROGRAM.EXE CLASS SHOT.BMP CODE.TXT [KEY...]
 * A key is a name of the table below, "alt+" before it holds Alt. The
 * exit code is also written to CODE.TXT, for callers that start the
 * showcase through a program that does not pass exit codes on.
 */
#include <windows.h>
#include <stdio.h>

#include "tools/windriver/windriver.h"

#define WAIT_LIMIT_MS    180000
#define EXIT_NO_WINDOW   2
/* Wine draws the caption buttons' glyphs with this font; without it they
 * come out as the letters "0 1 r". */
#define CAPTION_GLYPH_FONT "Marlett"

#define ALT_PREFIX "alt+"

struct KeyName
{
    const char *name;
    WORD key;
};

static const KeyName KeyNames[] = {
    { "tab", VK_TAB }, { "enter", VK_RETURN }, { "escape", VK_ESCAPE }, { "space", VK_SPACE },
    { "f4", VK_F4 },
};

/* Whether a font of that name is really there, rather than a substitute. */
static BOOL HasFont(const char *face)
{
    char found[LF_FACESIZE] = "";
    HDC screen = GetDC(NULL);
    HFONT font = CreateFontA(0, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, face);
    HGDIOBJ old = SelectObject(screen, font);
    GetTextFaceA(screen, sizeof(found), found);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(NULL, screen);
    return lstrcmpiA(found, face) == 0;
}

/* Presses a named key, with Alt held for an "alt+" name; FALSE for a name
 * that is not in the table. */
static BOOL PressNamedKey(HWND window, const char *keyName)
{
    char head[sizeof(ALT_PREFIX)];
    lstrcpynA(head, keyName, sizeof(head));
    BOOL alt = lstrcmpiA(head, ALT_PREFIX) == 0;
    const char *name = alt ? keyName + lstrlenA(ALT_PREFIX) : keyName;

    for (const KeyName &known : KeyNames)
    {
        if (lstrcmpiA(name, known.name) != 0)
            continue;
        PressKey(window, known.key, alt ? VK_MENU : 0);
        return TRUE;
    }
    return FALSE;
}

int main(int argc, char **argv)
{
    if (argc < 5)
    {
        fprintf(stderr, "usage: showcase PROGRAM.EXE CLASS SHOT.BMP CODE.TXT [KEY...]\n");
        return 1;
    }

    STARTUPINFOA startup = {};
    PROCESS_INFORMATION process;
    startup.cb = sizeof(startup);
    if (!CreateProcessA(argv[1], NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
    {
        fprintf(stderr, "showcase: cannot start %s\n", argv[1]);
        return 1;
    }

    HWND window = WaitForShownWindow(process.dwProcessId, argv[2], WAIT_LIMIT_MS, process.hProcess);
    if (!window)
    {
        fprintf(stderr, "showcase: %s showed no window of class %s\n", argv[1], argv[2]);
        TerminateProcess(process.hProcess, 1);
        return EXIT_NO_WINDOW;
    }

    BringToForeground(window);
    SettleWindow(process.hProcess, window, WAIT_LIMIT_MS);
    if (!HasFont(CAPTION_GLYPH_FONT))
        fprintf(stderr, "showcase: Wine has no %s font, so the caption buttons would show "
                        "letters; no picture saved\n", CAPTION_GLYPH_FONT);
    else if (!SaveWindowPicture(window, argv[3]))
        fprintf(stderr, "showcase: could not save %s\n", argv[3]);

    for (int i = 5; i < argc; i++)
        if (!PressNamedKey(window, argv[i]))
            fprintf(stderr, "showcase: no key is named %s\n", argv[i]);

    DWORD code = 1;
    WaitForSingleObject(process.hProcess, WAIT_LIMIT_MS);
    GetExitCodeProcess(process.hProcess, &code);
    printf("showcase: %s exited with code %ld\n", argv[1], (long)code);
    char text[16];
    DWORD written;
    HANDLE file = CreateFileA(argv[4], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE)
    {
        WriteFile(file, text, wsprintfA(text, "%ld", (long)(int)code), &written, NULL);
        CloseHandle(file);
    }
    return (int)code;
}
