/*
 * The disc trial's hands and eyes, run under Wine once for each Windows
 * version, in a session of its own: starts the disc's autorun program as
 * autorun does (the drive's root as the current folder), waits for what
 * it shows, saves a picture of it, and works it as a person would. A
 * window: optionally a second copy is started beside it and its answer
 * read; then Start Install is clicked and what it started is recorded. A
 * message box: its caption and text are read and it is answered.
 *
 * Every process the program starts, and every one those start, runs in a
 * job of the driver's: the job reports each start as it happens, so that
 * an installer that ends at once (a bootstrapper that starts the real
 * installer and goes) is seen all the same, and ending the job at the end
 * ends the whole tree, since a real installer must not run on.
 *
 * Usage: trial_driver [--limit MS] [--version NAME] [--second] ROOT COMMAND
 *   --limit    how long each step may wait (default 30000 ms)
 *   --version  the Windows version (Wine's name) that the programs started
 *              from now on are told
 *   --second   start a second copy beside the first and read its answer
 *
 * The record goes to standard output, which the trial holds as a pipe:
 * no file the disc's programs could replace. The programs started get
 * NUL as their standard handles, and the driver's own are not passed on.
 * One "key=value" line per fact (backslashes and line breaks of values
 * escaped as \\ and \n), as each is known:
 *   appeared  window, box, nothing (ended without showing anything),
 *             crash or timeout
 *   exit      the program's exit code, when it ended
 *   class, title, caption, text, rect   what appeared
 *   second_caption, second_text, second_exit   the second copy's answer
 *   button    the button pressed
 *   started   the program Start Install started, with its path, or none
 *   then      what that program started in turn, one path a line
 *   installer_shown  the class and title of what the installer showed
 *   shown_ms, settled_ms, started_ms, ended_ms   how long the steps took
 *   user_language, code_page   the user's language (a LANGID) and ANSI code
 *             page in the session, from which a program takes its texts
 *   picture   the length of the picture of what appeared, a 24-bit BMP
 *             whose bytes follow the line
 */
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "tools/windriver/windriver.h"
/* The launcher's control ids (from its contract). */
#include "contract.h"

#define DEFAULT_LIMIT_MS    30000
#define CRASH_CODE_FLOOR    0xC0000000u
#define EXIT_USAGE          2
#define WINE_SETTINGS_KEY   "Software\\Wine"
#define WINE_VERSION_VALUE  "Version"
#define UNNAMED_PROGRAM     "(a program whose file the system does not name)"
#define OPEN_LIMIT_MS       2000

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

/* How long a step took since the last one, for a session that took long. */
static void RecordStep(FILE *out, const char *key)
{
    static DWORD last = GetTickCount();
    DWORD now = GetTickCount();
    RecordNumber(out, key, now - last);
    last = now;
}

/* --- The job that holds every process of the session ----------------------- */

struct Seen
{
    DWORD id;
    HANDLE process;     /* kept, so that a process that ended is still named */
};

struct ProcessWatch
{
    HANDLE job, port, thread;
    CRITICAL_SECTION lock;
    std::vector<Seen> seen;
};

static ProcessWatch Watch;

/* A handle to a process the job reported. Wine may report a process
 * before it can be opened (seen under load, on a busy machine): asked
 * again, within the limit. */
static HANDLE OpenSeen(DWORD id, DWORD limit)
{
    HANDLE process = NULL;
    WaitUntil([&] {
        process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id);
        return process != NULL;
    }, limit);
    return process;
}

/* Takes the job's reports as they come: each process started in it. */
static DWORD WINAPI WatchJob(LPVOID unused)
{
    (void)unused;
    DWORD message;
    ULONG_PTR key;
    LPOVERLAPPED data;

    while (GetQueuedCompletionStatus(Watch.port, &message, &key, &data, INFINITE))
    {
        if (message != JOB_OBJECT_MSG_NEW_PROCESS)
            continue;
        DWORD id = (DWORD)(ULONG_PTR)data;
        Seen entry = { id, OpenSeen(id, OPEN_LIMIT_MS) };
        EnterCriticalSection(&Watch.lock);
        Watch.seen.push_back(entry);
        LeaveCriticalSection(&Watch.lock);
    }
    return 0;
}

/* The job, reporting to the watch; closing the driver ends what is left
 * in it. */
static bool StartWatch()
{
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};

    InitializeCriticalSection(&Watch.lock);
    Watch.job = CreateJobObjectA(NULL, NULL);
    Watch.port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, NULL, 0, 1);
    if (!Watch.job || !Watch.port)
        return false;
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(Watch.job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    association.CompletionKey = Watch.job;
    association.CompletionPort = Watch.port;
    if (!SetInformationJobObject(Watch.job, JobObjectAssociateCompletionPortInformation,
                                 &association, sizeof(association)))
        return false;
    Watch.thread = CreateThread(NULL, 0, WatchJob, NULL, 0, NULL);
    return Watch.thread != NULL;
}

/* How many processes the job has reported started so far. */
static size_t SeenCount()
{
    EnterCriticalSection(&Watch.lock);
    size_t count = Watch.seen.size();
    LeaveCriticalSection(&Watch.lock);
    return count;
}

static Seen SeenAt(size_t index)
{
    EnterCriticalSection(&Watch.lock);
    Seen entry = Watch.seen[index];
    LeaveCriticalSection(&Watch.lock);
    return entry;
}

/* Whether a process of the job still runs, as the job itself counts
 * them; and only once the watch has taken the report of every process the
 * job ever held, so that one started just before the last ended is not
 * missed. */
static bool AnyRunning()
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts = {};
    if (!QueryInformationJobObject(Watch.job, JobObjectBasicAccountingInformation, &counts,
                                   sizeof(counts), NULL))
        return true;
    return counts.ActiveProcesses > 0 || SeenCount() < counts.TotalProcesses;
}

/* The file a process runs. A process just created may not have its image
 * mapped yet: asked again until it has, or has ended. */
static std::string ImagePath(const Seen &entry, DWORD limit)
{
    char path[MAX_PATH] = "";
    HANDLE process = entry.process ? entry.process : OpenSeen(entry.id, OPEN_LIMIT_MS);
    if (!process)
        return UNNAMED_PROGRAM;
    WaitUntil([&] {
        DWORD size = sizeof(path);
        if (QueryFullProcessImageNameA(process, 0, path, &size))
            return true;
        path[0] = '\0';
        return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    }, limit);
    if (process != entry.process)
        CloseHandle(process);
    return path[0] ? path : UNNAMED_PROGRAM;
}

/* The driver's standard handles stay its own: the record's pipe is not
 * passed on to the programs it starts. */
static void KeepStandardHandles()
{
    const DWORD which[] = { STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE };
    for (DWORD handle : which)
        SetHandleInformation(GetStdHandle(handle), HANDLE_FLAG_INHERIT, 0);
}

/* NUL, to be inherited as a started program's standard handle. */
static HANDLE OpenNul(DWORD access)
{
    SECURITY_ATTRIBUTES inherited = { sizeof(inherited), NULL, TRUE };
    return CreateFileA("NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                       OPEN_EXISTING, 0, NULL);
}

/* Starts a program in the job, as autorun would: from the drive's root,
 * with NUL as its standard handles, so that nothing it writes reaches the
 * record. */
static bool Start(const char *root, const char *command, PROCESS_INFORMATION *process)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = OpenNul(GENERIC_READ);
    startup.hStdOutput = startup.hStdError = OpenNul(GENERIC_WRITE);
    std::vector<char> line(command, command + lstrlenA(command) + 1);
    BOOL started = CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, CREATE_SUSPENDED, NULL,
                                  root, &startup, process);
    CloseHandle(startup.hStdInput);
    CloseHandle(startup.hStdOutput);
    if (!started)
        return false;
    AssignProcessToJobObject(Watch.job, process->hProcess);
    ResumeThread(process->hThread);
    return true;
}

/* --- Working the program ------------------------------------------------------ */

/* A visible push button. */
static bool IsShownButton(HWND control)
{
    return control && IsWindowVisible(control) &&
           lstrcmpiA(ClassName(control).c_str(), WC_BUTTONA) == 0;
}

/* The launcher's Start Install button, by its control id, whatever its
 * text in the user's language; in another program's window its first
 * visible default push button; NULL when it has neither. */
static HWND StartButton(HWND window)
{
    HWND start = GetDlgItem(window, ID_START_INSTALL);
    if (IsShownButton(start))
        return start;
    for (HWND child : ChildWindows(window))
        if (IsShownButton(child) &&
            (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return child;
    return NULL;
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

/* A shown window of any process the job reported from the index on;
 * NULL when none shows one. */
static HWND ShownSince(size_t first)
{
    for (size_t i = first; i < SeenCount(); i++)
    {
        HWND window = ShownProcessWindow(SeenAt(i).id);
        if (window)
            return window;
    }
    return NULL;
}

/* Presses Start Install and records what it started, however briefly it
 * ran, and what that started in turn, until the installer shows something
 * or all of it has ended. When the program ends without starting anything
 * that is known at once: nothing is left that could still start one. */
static void StartInstall(FILE *out, HWND window, const PROCESS_INFORMATION &process, DWORD limit)
{
    size_t before = SeenCount();
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

    WaitUntil([&] { return SeenCount() > before || !AnyRunning(); }, limit);
    RecordStep(out, "started_ms");
    if (SeenCount() <= before)
    {
        Record(out, "started", "none");
        RecordEnd(out, "exit", process, limit);
        RecordStep(out, "ended_ms");
        return;
    }
    Record(out, "started", ImagePath(SeenAt(before), limit));

    HWND shown = NULL;
    WaitUntil([&] {
        shown = ShownSince(before);
        return shown != NULL || !AnyRunning();
    }, limit);
    std::string then;
    for (size_t i = before + 1; i < SeenCount(); i++)
        then += (then.empty() ? "" : "\n") + ImagePath(SeenAt(i), limit);
    if (!then.empty())
        Record(out, "then", then);
    if (shown)
        Record(out, "installer_shown", ClassName(shown) + ": " + WindowText(shown));
    RecordEnd(out, "exit", process, limit);
    RecordStep(out, "ended_ms");
}

/* Wine tells every program started from now on this Windows version. */
static bool SetWindowsVersion(const char *version)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, WINE_SETTINGS_KEY, 0, NULL, 0, KEY_SET_VALUE, NULL,
                        &key, NULL) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, WINE_VERSION_VALUE, 0, REG_SZ, (const BYTE *)version,
                                 (DWORD)lstrlenA(version) + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

static int Usage()
{
    fprintf(stderr, "usage: trial_driver [--limit MS] [--version NAME] [--second] ROOT COMMAND\n");
    return EXIT_USAGE;
}

/* The picture of what appeared, in the record: its length, then its bytes. */
static bool RecordPicture(FILE *out, HWND window)
{
    std::vector<BYTE> bmp;
    if (!WindowPicture(window, &bmp))
        return false;
    fprintf(out, "picture=%lu\n", (unsigned long)bmp.size());
    bool written = fwrite(bmp.data(), 1, bmp.size(), out) == bmp.size();
    fflush(out);
    return written;
}

int main(int argc, char **argv)
{
    DWORD limit = DEFAULT_LIMIT_MS;
    const char *version = NULL;
    bool second = false;
    int next = 1;
    for (; next < argc && argv[next][0] == '-' && argv[next][1] == '-'; next++)
    {
        if (lstrcmpA(argv[next], "--second") == 0)
            second = true;
        else if (lstrcmpA(argv[next], "--limit") == 0 && next + 1 < argc)
            limit = (DWORD)strtoul(argv[++next], NULL, 10);
        else if (lstrcmpA(argv[next], "--version") == 0 && next + 1 < argc)
            version = argv[++next];
        else
            return Usage();
    }
    if (argc - next != 2 || limit == 0)
        return Usage();
    const char *root = argv[next], *command = argv[next + 1];
    /* Bytes as they are: the picture is binary, and a line ends in \n. */
    FILE *out = stdout;
    _setmode(_fileno(out), _O_BINARY);
    KeepStandardHandles();
    if (version && !SetWindowsVersion(version))
        Record(out, "version_error", version);
    char language[16];
    wsprintfA(language, "0x%04X", GetUserDefaultLangID());
    Record(out, "user_language", language);
    RecordNumber(out, "code_page", GetACP());
    /* Wine starts the session's desktop (explorer.exe) for the first
     * program that needs it: the driver, rather than the disc's program,
     * whose job would then hold a process that never ends. */
    GetDesktopWindow();
    if (!StartWatch())
    {
        Record(out, "appeared", "nothing");
        Record(out, "error", "no job to start the program in");
        return 1;
    }

    PROCESS_INFORMATION process;
    if (!Start(root, command, &process))
    {
        Record(out, "appeared", "nothing");
        Record(out, "error", "cannot start " + std::string(command));
        return 0;
    }
    bool ended;
    RecordStep(out, "start_ms");
    HWND shown = WaitForShown(process, limit, &ended);
    RecordStep(out, "shown_ms");
    if (!shown)
    {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        Record(out, "appeared", !ended ? "timeout" : code >= CRASH_CODE_FLOOR ? "crash" : "nothing");
        if (ended)
            RecordNumber(out, "exit", code);
    }
    else
    {
        BringToForeground(shown);
        SettleWindow(process.hProcess, shown, limit);
        RecordStep(out, "settled_ms");
        RECT rect;
        GetWindowRect(shown, &rect);
        char box[64];
        wsprintfA(box, "%ld,%ld,%ld,%ld", rect.left, rect.top, rect.right, rect.bottom);
        Record(out, "rect", box);
        Record(out, "class", ClassName(shown));
        if (!RecordPicture(out, shown))
            Record(out, "shot_error", "the window could not be read");

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
    }
    fflush(out);
    /* Whatever the program or its installer left running ends with the job. */
    TerminateJobObject(Watch.job, 1);
    return 0;
}
