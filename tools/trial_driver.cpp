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
#include <commctrl.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <set>
#include <string>
#include <vector>

#include "tools/windriver/windriver.h"

#define START_INSTALL_TEXT  "Start Install"
/* How long a process ended by the driver may take to go; one that has
 * not gone by then is left, and so are more rounds of processes it keeps
 * starting. */
#define END_WAIT_MS         5000
#define END_ROUNDS          3
#define CRASH_CODE_FLOOR    0xC0000000u
#define EXIT_USAGE          2

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

/* The window's Start Install button; else its first visible default push
 * button; NULL when it has neither. */
static HWND StartButton(HWND window)
{
    HWND fallback = NULL;
    for (HWND child : ChildWindows(window))
    {
        if (lstrcmpiA(ClassName(child).c_str(), WC_BUTTONA) != 0 || !IsWindowVisible(child))
            continue;
        if (WindowText(child) == START_INSTALL_TEXT)
            return child;
        if ((GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON && !fallback)
            fallback = child;
    }
    return fallback;
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
    WaitUntil([&] { return !(path = ImagePath(processId)).empty(); }, limit);
    return path.empty() ? "(a program whose file the system does not name)" : path;
}

/* The process and everything below it now, children before their parents;
 * each once, however the parent ids run (a reused id can make them loop). */
static std::vector<DWORD> TreeOf(DWORD root)
{
    std::vector<PROCESSENTRY32> running = Processes();
    std::vector<DWORD> tree = { root };
    std::set<DWORD> seen = { root };
    for (size_t i = 0; i < tree.size(); i++)
        for (const PROCESSENTRY32 &entry : running)
            if (entry.th32ParentProcessID == tree[i] && seen.insert(entry.th32ProcessID).second)
                tree.push_back(entry.th32ProcessID);
    return std::vector<DWORD>(tree.rbegin(), tree.rend());
}

/* Ends a process and everything it started, children first. Each process
 * is ended once: one that survives it (Wine keeps some) is left, rather
 * than tried for ever. */
static void EndTree(DWORD root)
{
    std::set<DWORD> ended;
    for (int round = 0; round < END_ROUNDS; round++)
    {
        bool more = false;
        for (DWORD id : TreeOf(root))
        {
            if (!ended.insert(id).second)
                continue;
            more = true;
            HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
            if (process)
            {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, END_WAIT_MS);
                CloseHandle(process);
            }
        }
        if (!more)
            return;
    }
}

/* Waits for a shown window of the process; NULL when the process ended
 * first or the limit passed (then *ended tells which). */
static HWND WaitForShown(const PROCESS_INFORMATION &process, DWORD limit, bool *ended)
{
    HWND window = WaitForShownWindow(process.dwProcessId, NULL, limit, process.hProcess);
    *ended = !window && WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
    return window;
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
    Record(out, captionKey, WindowText(box));
    Record(out, textKey, MessageBoxText(box));
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
    if (shown && ClassName(shown) == MESSAGE_BOX_CLASS)
        AnswerBox(out, shown, "second_caption", "second_text");
    else
        Record(out, "second_caption", shown ? "(a window: " + WindowText(shown) + ")" : "");
    RecordEnd(out, "second_exit", second, limit);
    CloseHandle(second.hThread);
    CloseHandle(second.hProcess);
}

/* Presses Start Install and records what it started. */
static void StartInstall(FILE *out, HWND window, const PROCESS_INFORMATION &process, DWORD limit)
{
    HWND button = StartButton(window);
    if (button)
    {
        Record(out, "button", WindowText(button));
        ClickControl(button);
    }
    else
    {
        Record(out, "button", "(Enter)");
        PressKey(window, VK_RETURN);
    }

    DWORD child = 0;
    WaitUntil([&] { return (child = ChildOf(process.dwProcessId)) != 0; }, limit);
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

    BringToForeground(shown);
    SettleWindow(process.hProcess, shown, limit);
    RECT rect;
    GetWindowRect(shown, &rect);
    char box[64];
    wsprintfA(box, "%ld,%ld,%ld,%ld", rect.left, rect.top, rect.right, rect.bottom);
    Record(out, "rect", box);
    Record(out, "class", ClassName(shown));
    if (!SaveWindowPicture(shown, shot))
        Record(out, "shot_error", shot);

    if (ClassName(shown) == MESSAGE_BOX_CLASS)
    {
        Record(out, "appeared", "box");
        AnswerBox(out, shown, "caption", "text");
        RecordEnd(out, "exit", process, limit);
    }
    else
    {
        Record(out, "appeared", "window");
        Record(out, "title", WindowText(shown));
        if (second)
            TrySecondCopy(out, root, command, limit);
        StartInstall(out, shown, process, limit);
    }
    fclose(out);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
