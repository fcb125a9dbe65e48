/* Keys, text and clicks through the system's input path, into the
 * foreground window; see windriver.h. */
#include "tools/windriver/windriver.h"

/* Wine moves the X pointer after the move; a press sent before it got
 * there can still land where the pointer was. A move that has not shown
 * by then is not coming. */
#define POINTER_LIMIT_MS 2000
/* Absolute mouse positions run from 0 to this across the primary screen. */
#define ABSOLUTE_SPAN 65535

static INPUT KeyInput(WORD virtualKey, bool up)
{
    INPUT input = {};

    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = (WORD)MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

/* One stroke of a key, with the modifier (0 for none) held around it. */
static void AddKeyStroke(std::vector<INPUT> &inputs, WORD virtualKey, WORD modifier)
{
    if (modifier)
        inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(KeyInput(virtualKey, false));
    inputs.push_back(KeyInput(virtualKey, true));
    if (modifier)
        inputs.push_back(KeyInput(modifier, true));
}

bool PressKey(HWND window, WORD virtualKey, WORD modifier)
{
    std::vector<INPUT> inputs;

    bool foreground = BringToForeground(window);
    AddKeyStroke(inputs, virtualKey, modifier);
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
    return foreground;
}

static INPUT CharacterInput(wchar_t character, bool up)
{
    INPUT input = {};

    input.type = INPUT_KEYBOARD;
    input.ki.wScan = character;
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return input;
}

void TypeText(HWND window, const std::string &text)
{
    std::vector<INPUT> inputs;

    BringToForeground(window);
    for (char character : text)
    {
        SHORT key = VkKeyScanA(character);
        if (key == -1)
        {
            inputs.push_back(CharacterInput((unsigned char)character, false));
            inputs.push_back(CharacterInput((unsigned char)character, true));
            continue;
        }
        bool shift = (HIBYTE(key) & 1) != 0;
        AddKeyStroke(inputs, LOBYTE(key), shift ? VK_SHIFT : 0);
    }
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

static INPUT MouseInput(DWORD flags, POINT screen)
{
    INPUT input = {};

    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, ABSOLUTE_SPAN, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, ABSOLUTE_SPAN, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return input;
}

void ClickAt(HWND window, POINT screen, int clicks)
{
    std::vector<INPUT> inputs;

    BringToForeground(window);
    INPUT move = MouseInput(MOUSEEVENTF_MOVE, screen);
    SendInput(1, &move, sizeof(INPUT));
    WaitUntil([&] {
        POINT at;
        return GetCursorPos(&at) && at.x == screen.x && at.y == screen.y;
    }, POINTER_LIMIT_MS);
    /* Each press and release carries the point too. */
    for (int i = 0; i < clicks; i++)
    {
        inputs.push_back(MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, screen));
        inputs.push_back(MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP, screen));
    }
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

void ClickControl(HWND control, int clicks)
{
    RECT rect;
    GetWindowRect(control, &rect);
    POINT middle = { (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2 };
    ClickAt(GetAncestor(control, GA_ROOT), middle, clicks);
}
