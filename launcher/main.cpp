/*
 * The launcher's entry point and window frame: start-up checks (operating
 * system, single instance), the window class, the fixed-size window, the
 * message loop and the procedure that routes each message to its handler.
 */
#include "launcher.h"
#include "util/instance.h"
#include "util/localeconv.h"
#include "util/osinfo.h"
#include "util/texthelp.h"

LAUNCHER_STATE Launcher;

/* Derives the display name from the executable's path: the file name with
 * extension, first character upper case and the rest lower case
 * (AUTORUN.EXE gives Autorun.exe). */
static void StoreDisplayName(LPCSTR name)
{
    LPSTR display = Launcher.ModuleDisplayName;

    CopyWholeCharacters(display, name, sizeof(Launcher.ModuleDisplayName));
    CharUpperA(display);
    if (*display)
        CharLowerA(CharNextA(display));
}

/* The error boxes' caption: the display name and " Error Information",
 * in the user's language. */
static void ComposeErrorCaption(LPSTR caption)
{
    lstrcpyA(caption, Launcher.ModuleDisplayName);
    lstrcatA(caption, LAUNCHER_TEXT(ERROR_CAPTION));
}

/* Refusal boxes have no owner: the launcher has no window yet. */
static void ShowRefusal(LPCSTR text)
{
    char caption[ERROR_CAPTION_SIZE];

    ComposeErrorCaption(caption);
    MessageBoxA(NULL, text, caption, MB_ICONERROR | MB_OK);
}

#ifdef TARNELL_SYSTEMS_LATER
void ShowErrorBox(HWND owner, LPCSTR text)
{
    char caption[ERROR_CAPTION_SIZE];

    ComposeErrorCaption(caption);
    MessageBoxA(owner, text, caption, MB_ICONERROR | MB_OK);
}
#endif

static_assert(TITLE_NAME_CHARS >= DOS_NAME_CHARS,
              "the product word and version leave no room for an 8.3 name in the title");

/* Formats the caption. A display name too long for the 80-character title
 * is cut to the room that the fixed text leaves, one byte shorter where
 * the cut would split a double-byte character. */
static void ComposeTitle(void)
{
    char name[TITLE_NAME_BUFFER];
    LPCSTR format = LAUNCHER_TEXT(TITLE_FORMAT);

    CopyWholeCharacters(name, Launcher.ModuleDisplayName, TITLE_NAME_ROOM(format));
    wsprintfA(Launcher.title, format, name, TARNELL_VERSION_TEXT);
}

static void RegisterLauncherClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass;

    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = LauncherWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, LAUNCHER_ICON_NAME);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = LAUNCHER_MENU_NAME;
    windowClass.lpszClassName = LAUNCHER_CLASS_NAME;
    windowClass.hIconSm = LoadIconA(instance, LAUNCHER_ICON_NAME);
    RegisterClassExA(&windowClass);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    HANDLE guard;
    HWND window;
    MSG message;
    LPSTR name;

    (void)previous;
    (void)commandLine;

    ModuleInstance = instance;
    LoadLocaleDateSettings();
    LoadLocaleTimeSettings();
    /* Before any text is shown, the refusals included. */
    ChooseLauncherLanguage();

    /* A path that does not fit is cut: the display name is what is left
     * after its last backslash. */
    ReadModulePath(instance, Launcher.modulePath, sizeof(Launcher.modulePath), &name);
    StoreDisplayName(name);

    /* The OS check comes before the mutex, so an unsupported system is
     * refused as such even when another copy is running. */
    Launcher.OsType = GetOsType();
    if (!SYSTEM_ACCEPTED(Launcher.OsType))
    {
        ShowRefusal(LAUNCHER_TEXT(UNSUPPORTED_OS));
        return -1;
    }

    /* The mutex is only an existence marker; it is never waited on and the
     * handle is kept until the process ends. */
    guard = CreateMutexA(NULL, FALSE, LAUNCHER_MUTEX_NAME);
    if (guard && GetLastError() == ERROR_ALREADY_EXISTS)
    {
        CloseHandle(guard);
        ShowRefusal(LAUNCHER_TEXT(SECOND_INSTANCE));
        return -1;
    }

    RegisterLauncherClass(instance);
    ComposeTitle();
    window = CreateWindowExA(0, LAUNCHER_CLASS_NAME, Launcher.title, LAUNCHER_STYLE,
                             CW_USEDEFAULT, CW_USEDEFAULT, LAUNCHER_WIDTH, LAUNCHER_HEIGHT,
                             NULL, NULL, instance, NULL);
    if (!window)
        return 0;

    ShowWindow(window, showCommand);
    UpdateWindow(window);

    while (GetMessageA(&message, NULL, 0, 0))
    {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

LRESULT CALLBACK LauncherWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_CREATE:
        return OnLauncherCreate(window) ? 0 : -1;
    case WM_DESTROY:
        OnLauncherDestroy(window);
        return 0;
    case WM_PAINT:
        OnLauncherPaint(window);
        return 0;
    case WM_CLOSE:
        OnLauncherClose(window);
        return 0;
    case WM_SYSCOLORCHANGE:
        OnLauncherColorChange(window);
        return 0;
    case WM_KEYDOWN:
        OnLauncherKeyDown(window, (UINT)wParam);
        return 0;
    case WM_COMMAND:
        OnLauncherCommand(window, LOWORD(wParam), (HWND)lParam, HIWORD(wParam));
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

/* The child controls paint themselves; the window only validates. */
void OnLauncherPaint(HWND window)
{
    PAINTSTRUCT paint;

    BeginPaint(window, &paint);
    EndPaint(window, &paint);
}

void OnLauncherClose(HWND window)
{
    DeleteObject(Launcher.splashBitmap);
    Launcher.splashBitmap = NULL;
    DestroyWindow(window);
}

void OnLauncherDestroy(HWND window)
{
    (void)window;
    PostQuitMessage(0);
}
