/*
 * The disc trial's hands and eyes, run under Wine once for each Windows
 * version: starts the disc's autorun program as autorun does (the drive's
 * root as the current folder), waits for what it shows, saves a picture
 * of it, and works it as a person would. A window: optionally a second
 * copy is started beside it and its answer read; then Start Install is
 * clicked, and the program started by it recorded, then ended with
 * whatever it started, since a real installer must not run on. A
 * message box: its caption and text are read and it is answered.
 *
 * Usage: trial_driver ROOT COMMAND RESULT.TXT SHOT.BMP LIMIT_MS [second]
 * RESULT.TXT gets one "key=value" line per fact (backslashes and line
 * breaks of values escaped as \\ and \n):
 *   appeared  window, box, nothing (ended without showing anything),
 *             crash or timeout
 *   exit      the program's exit code, when it ended
 *   class, title, caption, text, rect   what appeared
 *   second_caption, second_text, second_exit   the second copy's answer
 *   button    the button pressed, started (the program Start Install
 *             started, with its path) or started=none
 */
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "tools/windriver/windriver.h"

#define POLL_MS             100
#define SETTLE_MS           1000
#define KEY_GAP_MS          50
#define MESSAGE_BOX_CLASS   "#32770"
#define MESSAGE_BOX_TEXT_ID 0xFFFF
#define START_INSTALL_TEXT  "Start Install"
#define CRASH_CODE_FLOOR    0xC0000000u
#define EXIT_USAGE          2

struct Found
{
    DWORD processId;
    HWND window;
};

static BOOL CALLBACK FindShownWindow(HWND window, LPARAM context)
{
    Found *found = (Found *)context;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != found->processId || !IsWindowVisible(window))
        return TRUE;
    found->window = window;
    return FALSE;
}

/* The first visible top-level window of the process, or NULL. */
static HWND ShownWindow(DWORD processId)
{
    Found found = { processId, NULL };
    EnumWindows(FindShownWindow, (LPARAM)&found);
    return found.window;
}

static std::string ClassOf(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof(name));
    return name;
}

static std::string TextOf(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

static void Record(FILE *out, const char *key, const std::string &value)
{
    fprintf(out, "%s=", key);
    for (char c : value)
    {
        if (c == '\\')
            fputs("\\\\", out);
        else if (c == '\n')
            fputs("\\n", out);
        else if (c != '\r')
            fputc(c, out);
    }
    fputc('\n', out);
    fflush(out);
}

static void RecordNumber(FILE *out, const char *key, unsigned long value)
{
    char text[16];
    wsprintfA(text, "%lu", value);
    Record(out, key, text);
}

static bool Start(const char *root, const char *command, PROCESS_INFORMATION *process)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::vector<char> line(command, command + lstrlenA(command) + 1);
    return CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, root, &startup,
                          process) != 0;
}

static void PressKey(HWND window, WORD key)
{
    SetForegroundWindow(window);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
    Sleep(KEY_GAP_MS);
}

static void ClickMiddleOf(HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    SetForegroundWindow(GetAncestor(control, GA_ROOT));
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

struct ButtonSearch
{
    HWND start, fallback;
};

static BOOL CALLBACK FindStartButton(HWND child, LPARAM context)
{
    ButtonSearch *search = (ButtonSearch *)context;
    if (lstrcmpiA(ClassOf(child).c_str(), "Button") != 0 || !IsWindowVisible(child))
        return TRUE;
    if (TextOf(child) == START_INSTALL_TEXT)
    {
        search->start = child;
        return FALSE;
    }
    if ((GetWindowLongA(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON && !search->fallback)
        search->fallback = child;
    return TRUE;
}

/* The processes running now, with their parents. */
static std::vector<PROCESSENTRY32> Processes()
{
    std::vector<PROCESSENTRY32> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return list;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        list.push_back(entry);
    CloseHandle(snapshot);
    return list;
}

/* A process whose parent is the given one, or 0. */
static DWORD ChildOf(DWORD parent)
{
    for (const PROCESSENTRY32 &entry : Processes())
        if (entry.th32ParentProcessID == parent && entry.th32ProcessID != parent)
            return entry.th32ProcessID;
    return 0;
}

/* The file a process runs; "" while the system cannot tell yet (a
 * process just created may not have its image mapped). */
static std::string ImagePath(DWORD processId)
{
    char path[MAX_PATH] = "";
    DWORD size = sizeof(path);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process)
    {
        if (!QueryFullProcessImageNameA(process, 0, path, &size))
            path[0] = '\0';
        CloseHandle(process);
    }
    return path;
}

static std::string WaitForImagePath(DWORD processId, DWORD limit)
{
    std::string path;
    for (DWORD waited = 0; (path = ImagePath(processId)).empty() && waited < limit;
         waited += POLL_MS)
        Sleep(POLL_MS);
    return path.empty() ? "(a program whose file the system does not name)" : path;
}

/* Ends a process and everything it started, children first. */
static void EndTree(DWORD processId)
{
    for (DWORD child; (child = ChildOf(processId)) != 0;)
        EndTree(child);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    if (process)
    {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

/* Waits for a shown window of the process; NULL when the process ended
 * first or the limit passed (then *ended tells which). */
static HWND WaitForShown(const PROCESS_INFORMATION &process, DWORD limit, bool *ended)
{
    *ended = false;
    for (DWORD waited = 0; waited < limit; waited += POLL_MS)
    {
        HWND window = ShownWindow(process.dwProcessId);
        if (window)
            return window;
        if (WaitForSingleObject(process.hProcess, POLL_MS) == WAIT_OBJECT_0)
        {
            *ended = ShownWindow(process.dwProcessId) == NULL;
            if (*ended)
                return NULL;
        }
    }
    return NULL;
}

static void RecordEnd(FILE *out, const char *key, const PROCESS_INFORMATION &process, DWORD limit)
{
    DWORD code;
    if (WaitForSingleObject(process.hProcess, limit) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process.hProcess, &code))
        RecordNumber(out, key, code);
    else
        EndTree(process.dwProcessId);
}

/* Reads a message box and answers it with Enter. */
static void AnswerBox(FILE *out, HWND box, const char *captionKey, const char *textKey)
{
    char text[1024] = "";
    GetDlgItemTextA(box, MESSAGE_BOX_TEXT_ID, text, sizeof(text));
    Record(out, captionKey, TextOf(box));
    Record(out, textKey, text);
    PressKey(box, VK_RETURN);
}

static void TrySecondCopy(FILE *out, const char *root, const char *command, DWORD limit)
{
    PROCESS_INFORMATION second;
    if (!Start(root, command, &second))
    {
        Record(out, "second_caption", "");
        return;
    }
    bool ended;
    HWND shown = WaitForShown(second, limit, &ended);
    if (shown && ClassOf(shown) == MESSAGE_BOX_CLASS)
        AnswerBox(out, shown, "second_caption", "second_text");
    else
        Record(out, "second_caption", shown ? "(a window: " + TextOf(shown) + ")" : "");
    RecordEnd(out, "second_exit", second, limit);
    CloseHandle(second.hThread);
    CloseHandle(second.hProcess);
}

/* Presses Start Install and records what it started. */
static void StartInstall(FILE *out, HWND window, const PROCESS_INFORMATION &process, DWORD limit)
{
    ButtonSearch search = { NULL, NULL };
    EnumChildWindows(window, FindStartButton, (LPARAM)&search);
    HWND button = search.start ? search.start : search.fallback;
    if (button)
    {
        Record(out, "button", TextOf(button));
        ClickMiddleOf(button);
    }
    else
    {
        Record(out, "button", "(Enter)");
        PressKey(window, VK_RETURN);
    }

    DWORD child = 0;
    for (DWORD waited = 0; !child && waited < limit; waited += POLL_MS)
    {
        child = ChildOf(process.dwProcessId);
        if (!child)
            Sleep(POLL_MS);
    }
    Record(out, "started", child ? WaitForImagePath(child, limit) : "none");
    if (child)
        EndTree(child);
    RecordEnd(out, "exit", process, limit);
}

int main(int argc, char **argv)
{
    if (argc < 6)
    {
        fprintf(stderr, "usage: trial_driver ROOT COMMAND RESULT.TXT SHOT.BMP LIMIT_MS [second]\n");
        return EXIT_USAGE;
    }
    const char *root = argv[1], *command = argv[2], *shot = argv[4];
    DWORD limit = (DWORD)strtoul(argv[5], NULL, 10);
    bool second = argc > 6 && lstrcmpA(argv[6], "second") == 0;
    FILE *out = fopen(argv[3], "w");
    if (!out)
    {
        fprintf(stderr, "trial_driver: cannot write %s\n", argv[3]);
        return 1;
    }

    PROCESS_INFORMATION process;
    if (!Start(root, command, &process))
    {
        Record(out, "appeared", "nothing");
        Record(out, "error", "cannot start " + std::string(command));
        fclose(out);
        return 0;
    }
    bool ended;
    HWND shown = WaitForShown(process, limit, &ended);
    if (!shown)
    {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        Record(out, "appeared", !ended ? "timeout" : code >= CRASH_CODE_FLOOR ? "crash" : "nothing");
        if (ended)
            RecordNumber(out, "exit", code);
        else
            EndTree(process.dwProcessId);
        fclose(out);
        return 0;
    }

    /* Until the program waits for input it may still be filling the
     * window; then its own painting settles. */
    WaitForInputIdle(process.hProcess, limit);
    Sleep(SETTLE_MS);
    SetForegroundWindow(shown);
    RECT rect;
    GetWindowRect(shown, &rect);
    char box[64];
    wsprintfA(box, "%ld,%ld,%ld,%ld", rect.left, rect.top, rect.right, rect.bottom);
    Record(out, "rect", box);
    Record(out, "class", ClassOf(shown));
    if (!SaveWindowPicture(shown, shot))
        Record(out, "shot_error", shot);

    if (ClassOf(shown) == MESSAGE_BOX_CLASS)
    {
        Record(out, "appeared", "box");
        AnswerBox(out, shown, "caption", "text");
        RecordEnd(out, "exit", process, limit);
    }
    else
    {
        Record(out, "appeared", "window");
        Record(out, "title", TextOf(shown));
        if (second)
            TrySecondCopy(out, root, command, limit);
        StartInstall(out, shown, process, limit);
    }
    fclose(out);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
