/*
 * Reads and answers the message boxes that the calling thread shows, the
 * way Wine's own conformance tests do: a CBT hook on the showing thread
 * sees each box as it is activated, records its caption, text, icon and
 * buttons, and posts the click of the chosen button to it.
 */
#ifndef TESTS_UTIL_BOXHOOK_H
#define TESTS_UTIL_BOXHOOK_H

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "testwin.h"

struct SeenBox
{
    HWND box;
    HWND owner;
    std::string caption;
    std::string text;
    std::string icon;          /* "error", "information", "warning", "question" or "none" */
    std::vector<int> buttons;  /* ids of the visible buttons, in ascending order */
};

class BoxHook
{
public:
    /* Answers every box with the button of this id. */
    explicit BoxHook(int answer) : answer(answer)
    {
        current = this;
        hook = SetWindowsHookExA(WH_CBT, Watch, NULL, GetCurrentThreadId());
    }
    ~BoxHook()
    {
        UnhookWindowsHookEx(hook);
        current = NULL;
    }

    std::vector<SeenBox> seen;

private:
    static std::string IconName(HWND box)
    {
        static const struct { LPCSTR id; const char *name; } icons[] = {
            { IDI_ERROR, "error" }, { IDI_INFORMATION, "information" },
            { IDI_WARNING, "warning" }, { IDI_QUESTION, "question" } };

        for (HWND child : ChildWindows(box))
        {
            if (LowerCase(ClassName(child)) != "static" ||
                (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
                continue;
            HICON shown = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
            if (!shown || !(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE))
                continue;
            for (const auto &icon : icons)
                if (LoadIconA(NULL, icon.id) == shown)
                    return icon.name;
            return "other";
        }
        return "none";
    }

    static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam)
    {
        HWND box = (HWND)wParam;

        if (code == HCBT_ACTIVATE && current && ClassName(box) == MESSAGE_BOX_CLASS &&
            std::none_of(current->seen.begin(), current->seen.end(),
                         [box](const SeenBox &s) { return s.box == box; }))
        {
            SeenBox s;
            s.box = box;
            s.owner = GetWindow(box, GW_OWNER);
            s.caption = WindowText(box);
            s.text = MessageBoxText(box);
            s.icon = IconName(box);
            for (HWND child : ChildWindows(box))
                if (LowerCase(ClassName(child)) == "button" &&
                    (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE))
                    s.buttons.push_back(GetDlgCtrlID(child));
            std::sort(s.buttons.begin(), s.buttons.end());
            current->seen.push_back(s);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(current->answer, BN_CLICKED),
                         (LPARAM)GetDlgItem(box, current->answer));
        }
        return CallNextHookEx(NULL, code, wParam, lParam);
    }

    static BoxHook *current;
    HHOOK hook;
    int answer;
};

inline BoxHook *BoxHook::current = NULL;

#endif
