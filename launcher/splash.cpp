/*
 * The splash panel: the picture, the frame and the two install buttons,
 * their keyboard handling, starting the installer, and reloading the
 * picture when the system colours change.
 */
#include "launcher.h"
#include "util/instance.h"
#include "util/placement.h"
#include "util/texthelp.h"

/* LR_LOADMAP3DCOLORS maps the picture's three greys to the 3-D colours;
 * the reload after a colour change also maps the first pixel's colour to
 * the window colour. */
#define SPLASH_LOAD_FLAGS    LR_LOADMAP3DCOLORS
#define SPLASH_RELOAD_FLAGS  (LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT)

#define FRAME_STYLE          (WS_CHILD | WS_VISIBLE | BS_GROUPBOX)
#define SPLASH_STYLE         (WS_CHILD | WS_VISIBLE | SS_BITMAP)
#define START_BUTTON_STYLE   (WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON)
#define DONT_BUTTON_STYLE    (WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON)

static HBITMAP LoadSplash(UINT flags)
{
    return (HBITMAP)LoadImageA(ModuleInstance, SPLASH_BITMAP_NAME, IMAGE_BITMAP, 0, 0, flags);
}

static HFONT CreateButtonFont(HWND window)
{
    HDC dc = GetDC(window);
    int height = MulDiv(BUTTON_FONT_POINTS, GetDeviceCaps(dc, LOGPIXELSY), POINTS_PER_INCH);
    HFONT font;

    font = CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       0, 0, 0, FF_SWISS, BUTTON_FONT_FACE);
    ReleaseDC(window, dc);
    return font;
}

static HWND CreateChild(HWND parent, LPCSTR className, LPCSTR text, DWORD style,
                        int x, int y, int width, int height, int id)
{
    return CreateWindowExA(0, className, text, style, x, y, width, height,
                           parent, (HMENU)(INT_PTR)id, ModuleInstance, NULL);
}

/* Creates one push button with the button font and the subclass that
 * forwards Tab and Enter to the launcher window. */
static HWND CreateInstallButton(HWND parent, LPCSTR text, DWORD style, int x, int id)
{
    HWND button = CreateChild(parent, "button", text, style,
                              x, BUTTON_TOP, BUTTON_WIDTH, BUTTON_HEIGHT, id);

    SendMessageA(button, WM_SETFONT, (WPARAM)Launcher.dialogFont, TRUE);
    Launcher.previousButtonProc = (WNDPROC)SetWindowLongPtrA(button, GWLP_WNDPROC,
                                                              (LONG_PTR)ButtonSubclassProc);
    return button;
}

BOOL OnLauncherCreate(HWND window)
{
    RECT client;

    Launcher.splashBitmap = LoadSplash(SPLASH_LOAD_FLAGS);
    if (!Launcher.splashBitmap)
    {
        /* Without its picture the launcher has nothing to show: it closes
         * during its own creation and ends quietly. */
        SendMessageA(window, WM_CLOSE, 0, 0);
        if (!IsWindow(window))
            return TRUE;
    }

    Launcher.dialogFont = CreateButtonFont(window);
    GetClientRect(window, &client);

    CreateChild(window, "button", "", FRAME_STYLE, FRAME_LEFT, 0,
                client.right - FRAME_INSET, client.bottom - FRAME_LEFT, 0);
    Launcher.splashStatic = CreateChild(window, "static", "", SPLASH_STYLE,
                                        SPLASH_LEFT, SPLASH_TOP, 0, 0, 0);
    SendMessageA(Launcher.splashStatic, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)Launcher.splashBitmap);

    Launcher.startButton = CreateInstallButton(window, LAUNCHER_TEXT(START_INSTALL), START_BUTTON_STYLE,
                                               client.right - START_BUTTON_OFFSET, ID_START_INSTALL);
    Launcher.dontButton = CreateInstallButton(window, LAUNCHER_TEXT(DONT_INSTALL), DONT_BUTTON_STYLE,
                                              client.right - DONT_BUTTON_OFFSET, ID_DONT_INSTALL);

    CenterWindowOnDesktop(window);
    SetFocus(GetDlgItem(window, ID_START_INSTALL));
    return TRUE;
}

/* The launcher is a plain window, not a dialog, so the buttons hand Tab and
 * Enter to it; everything else goes to the system's button procedure, which
 * is how Space presses the focused button. */
LRESULT CALLBACK ButtonSubclassProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN)
    {
        if (wParam == VK_TAB || wParam == VK_RETURN)
            SendMessageA(GetParent(button), WM_KEYDOWN, wParam, lParam);
        else
            CallWindowProcA(Launcher.previousButtonProc, button, message, wParam, lParam);
        return 0;
    }
    return CallWindowProcA(Launcher.previousButtonProc, button, message, wParam, lParam);
}

/* Tab alternates between the two buttons (Shift makes no difference);
 * Enter presses the focused button, or Start Install when the window
 * itself has the focus. */
void OnLauncherKeyDown(HWND window, UINT virtualKey)
{
    HWND focus = GetFocus();

    if (virtualKey == VK_TAB)
    {
        if (focus == Launcher.startButton)
            SetFocus(Launcher.dontButton);
        else
            SetFocus(Launcher.startButton);
    }
    else if (virtualKey == VK_RETURN)
    {
        SendMessageA(focus == window ? Launcher.startButton : focus, BM_CLICK, 0, 0);
    }
}

/* Builds the command line that starts the installer in the launcher's own
 * folder. Returns FALSE, and nothing is started, when the launcher's path
 * or the installer's path does not fit the buffers: a cut-off path could
 * name another program. A path with a space is quoted so that no program
 * named after a part of it can be started in its place. */
static BOOL BuildInstallerCommand(LPSTR command, int commandSize)
{
    char path[INSTALLER_PATH_SIZE];
    LPSTR nameStart;
    DWORD length = ReadModulePath(ModuleInstance, path, sizeof(path), &nameStart);
    LPSTR scan;
    BOOL quote = FALSE;

    if (length == 0 || length >= sizeof(path) || nameStart == path)
        return FALSE;
    if ((nameStart - path) + sizeof(INSTALLER_NAME) > sizeof(path))
        return FALSE;
    lstrcpyA(nameStart, INSTALLER_NAME);

    for (scan = path; *scan; scan++)
    {
        if (*scan == ' ')
            quote = TRUE;
    }
    if (lstrlenA(path) + (quote ? 2 : 0) >= commandSize)
        return FALSE;
    if (quote)
    {
        lstrcpyA(command, "\"");
        lstrcatA(command, path);
        lstrcatA(command, "\"");
    }
    else
    {
        lstrcpyA(command, path);
    }
    return TRUE;
}

void OnLauncherCommand(HWND window, int id, HWND control, UINT notifyCode)
{
    char command[INSTALLER_PATH_SIZE + 2];

    (void)control;
    (void)notifyCode;

    switch (id)
    {
    case ID_START_INSTALL:
        /* The installer runs on by itself; the launcher closes all the
         * same, whether it started or not (systems.h). */
        START_INSTALLER(window, command, BuildInstallerCommand(command, sizeof(command)));
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case ID_DONT_INSTALL:
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    }
}

/* The new picture is loaded before the old one is let go: when the reload
 * fails the control keeps showing a bitmap that still exists. */
void OnLauncherColorChange(HWND window)
{
    HBITMAP reloaded = LoadSplash(SPLASH_RELOAD_FLAGS);

    (void)window;

    if (!reloaded)
        return;
    SendMessageA(Launcher.splashStatic, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)reloaded);
    DeleteObject(Launcher.splashBitmap);
    Launcher.splashBitmap = reloaded;

    /* The picture repaints over the buttons that lie on it; draw it now
     * and the buttons after it. */
    UpdateWindow(Launcher.splashStatic);
    InvalidateRect(Launcher.startButton, NULL, TRUE);
    InvalidateRect(Launcher.dontButton, NULL, TRUE);
}
