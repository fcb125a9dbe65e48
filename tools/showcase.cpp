/*
 * Shows the launcher off without a person at the screen: starts it, waits
 * for its window, saves a picture of the window with its frame as a BMP
 * file, presses "Don't Install" with the keyboard (Tab, Enter) and ends
 * with the launcher's exit code. The run script uses it under Xvfb, inside
 * a Wine virtual desktop, which draws the window frames.
 *
 * Usage: showcase LAUNCHER.EXE SHOT.BMP [CODE.TXT]
 * The exit code is also written to CODE.TXT, for callers that start the
 * showcase through a program that does not pass exit codes on.
 */
#include <windows.h>
#include <stdio.h>

#define LAUNCHER_CLASS   "TARNELL"
#define WAIT_STEP_MS     100
#define WAIT_LIMIT_MS    180000
#define SETTLE_MS        1500
#define EXIT_NO_WINDOW   2
/* Wine draws the caption buttons' glyphs with this font; without it they
 * come out as the letters "0 1 r". */
#define CAPTION_GLYPH_FONT "Marlett"

struct Search
{
    DWORD processId;
    HWND window;
};

static BOOL CALLBACK FindLauncher(HWND window, LPARAM context)
{
    Search *search = (Search *)context;
    DWORD owner = 0;
    char name[32];

    GetWindowThreadProcessId(window, &owner);
    GetClassNameA(window, name, sizeof(name));
    if (owner == search->processId && lstrcmpA(name, LAUNCHER_CLASS) == 0 && IsWindowVisible(window))
    {
        search->window = window;
        return FALSE;
    }
    return TRUE;
}

/* Copies the window's screen area, frame included, into a 24-bit BMP. */
static BOOL SaveWindowPicture(HWND window, const char *path)
{
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int rowBytes = (width * 3 + 3) & ~3;

    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = rowBytes * height;
    BYTE *pixels = (BYTE *)HeapAlloc(GetProcessHeap(), 0, info.biSizeImage);
    GetDIBits(memory, bitmap, 0, height, pixels, (BITMAPINFO *)&info, DIB_RGB_COLORS);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;

    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written;
    BOOL ok = out != INVALID_HANDLE_VALUE &&
              WriteFile(out, &file, sizeof(file), &written, NULL) &&
              WriteFile(out, &info, sizeof(info), &written, NULL) &&
              WriteFile(out, pixels, info.biSizeImage, &written, NULL);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);

    HeapFree(GetProcessHeap(), 0, pixels);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return ok;
}

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

static void PressKey(WORD key)
{
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
    Sleep(WAIT_STEP_MS * 3);
}

int main(int argc, char **argv)
{
    if (argc < 3)
    {
        fprintf(stderr, "usage: showcase LAUNCHER.EXE SHOT.BMP\n");
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

    Search search = { process.dwProcessId, NULL };
    for (DWORD waited = 0; !search.window && waited < WAIT_LIMIT_MS; waited += WAIT_STEP_MS)
    {
        if (WaitForSingleObject(process.hProcess, WAIT_STEP_MS) == WAIT_OBJECT_0)
            break;
        EnumWindows(FindLauncher, (LPARAM)&search);
    }
    if (!search.window)
    {
        fprintf(stderr, "showcase: the launcher showed no window\n");
        TerminateProcess(process.hProcess, 1);
        return EXIT_NO_WINDOW;
    }

    Sleep(SETTLE_MS);
    SetForegroundWindow(search.window);
    if (!HasFont(CAPTION_GLYPH_FONT))
        fprintf(stderr, "showcase: Wine has no %s font, so the caption buttons would show "
                        "letters; no picture saved\n", CAPTION_GLYPH_FONT);
    else if (!SaveWindowPicture(search.window, argv[2]))
        fprintf(stderr, "showcase: could not save %s\n", argv[2]);

    /* The focus starts on Start Install: Tab moves it to Don't Install. */
    PressKey(VK_TAB);
    PressKey(VK_RETURN);

    DWORD code = 1;
    WaitForSingleObject(process.hProcess, WAIT_LIMIT_MS);
    GetExitCodeProcess(process.hProcess, &code);
    printf("showcase: launcher exited with code %ld\n", (long)code);
    if (argc > 3)
    {
        char text[16];
        DWORD written;
        HANDLE file = CreateFileA(argv[3], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (file != INVALID_HANDLE_VALUE)
        {
            WriteFile(file, text, wsprintfA(text, "%ld", (long)(int)code), &written, NULL);
            CloseHandle(file);
        }
    }
    return (int)code;
}
