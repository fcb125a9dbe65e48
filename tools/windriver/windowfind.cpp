/* Finding a program's windows, waiting for them and reading their texts;
 * see windriver.h. */
#include "tools/windriver/windriver.h"

#define POLL_INTERVAL_MS 20
/* A foreground switch takes a few of the system's steps; one that has not
 * happened by then is not coming. */
#define FOREGROUND_LIMIT_MS 2000
#define TEXT_SIZE 1024
#define CLASS_NAME_SIZE 256

bool WaitUntil(const std::function<bool()> &condition, DWORD limit)
{
    DWORD start = GetTickCount();

    for (;;)
    {
        if (condition())
            return true;
        if (GetTickCount() - start > limit)
            return false;
        Sleep(POLL_INTERVAL_MS);
    }
}

struct WindowSearch
{
    DWORD processId;
    const char *className;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM context)
{
    WindowSearch *search = (WindowSearch *)context;
    DWORD owner = 0;

    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId &&
        (!search->className || ClassName(window) == search->className))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> ProcessWindows(DWORD processId, const char *className)
{
    WindowSearch search = { processId, className, {} };

    EnumWindows(CollectWindow, (LPARAM)&search);
    return search.found;
}

HWND ShownProcessWindow(DWORD processId, const char *className)
{
    for (HWND window : ProcessWindows(processId, className))
        if (IsWindowVisible(window))
            return window;
    return NULL;
}

HWND WaitForShownWindow(DWORD processId, const char *className, DWORD limit, HANDLE process)
{
    HWND window = NULL;

    WaitUntil([&] {
        window = ShownProcessWindow(processId, className);
        if (window || !process || WaitForSingleObject(process, 0) != WAIT_OBJECT_0)
            return window != NULL;
        /* Ended: a window it showed just before is still found. */
        window = ShownProcessWindow(processId, className);
        return true;
    }, limit);
    return window;
}

static BOOL CALLBACK CollectChild(HWND window, LPARAM context)
{
    ((std::vector<HWND> *)context)->push_back(window);
    return TRUE;
}

std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> children;

    EnumChildWindows(parent, CollectChild, (LPARAM)&children);
    return children;
}

std::string WindowText(HWND window)
{
    char text[TEXT_SIZE] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

std::string ClassName(HWND window)
{
    char name[CLASS_NAME_SIZE] = "";
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string MessageBoxText(HWND box)
{
    char text[TEXT_SIZE] = "";
    GetDlgItemTextA(box, MESSAGE_BOX_TEXT_ID, text, sizeof(text));
    return text;
}

bool BringToForeground(HWND window)
{
    SetForegroundWindow(window);
    return WaitUntil([&] { return GetForegroundWindow() == window; }, FOREGROUND_LIMIT_MS);
}
