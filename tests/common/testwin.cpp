/* Helpers for the test drivers; see testwin.h. */
#include "testwin.h"
#include "winesettings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#define TEST_ROOT "C:\\tarnell-tests\\"
#define WINE_APP_DEFAULTS "Software\\Wine\\AppDefaults\\"

#define DEFAULT_TIMEOUT_MS 30000

/* Nothing here uses the heap, which may be what the crash damaged. */
static LONG WINAPI ReportCrash(EXCEPTION_POINTERS *pointers)
{
    const EXCEPTION_RECORD *record = pointers->ExceptionRecord;
    char line[128];
    DWORD written;
    int length = wsprintfA(line, "test program crashed: exception %08lX at %p (thread %04lX)\r\n",
                           record->ExceptionCode, record->ExceptionAddress, GetCurrentThreadId());

    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, length, &written, NULL);
    TerminateProcess(GetCurrentProcess(), record->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

void InstallCrashReport()
{
    SetUnhandledExceptionFilter(ReportCrash);
}

/* The C runtime sets a filter of its own before the constructors run;
 * this one replaces it in every program that links the helpers. */
static const bool CrashReportInstalled = (InstallCrashReport(), true);

DWORD TestTimeout()
{
    char value[32];
    DWORD length = GetEnvironmentVariableA("TARNELL_TEST_TIMEOUT_MS", value, sizeof(value));
    DWORD timeout = length && length < sizeof(value) ? strtoul(value, NULL, 10) : 0;
    return timeout ? timeout : DEFAULT_TIMEOUT_MS;
}

std::string TestProgramFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof(path));
    std::string text(path);
    return text.substr(0, text.rfind('\\') + 1);
}

/* Works on the long-path form, so that folders deeper than the ANSI
 * calls reach go as well. */
static void DeleteTreeWide(const std::wstring &folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);

    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTreeWide(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

static void DeleteTree(const std::string &folder)
{
    std::string longForm = "\\\\?\\" + folder;
    DeleteTreeWide(std::wstring(longForm.begin(), longForm.end()));
}

std::string FreshFolder(const std::string &name)
{
    std::string folder = TEST_ROOT + name;

    CreateDirectoryA(TEST_ROOT, NULL);
    DeleteTree(folder);
    /* Create every level of a nested name. */
    for (size_t at = folder.find('\\', sizeof(TEST_ROOT) - 1); at != std::string::npos;
         at = folder.find('\\', at + 1))
        CreateDirectoryA(folder.substr(0, at).c_str(), NULL);
    CreateDirectoryA(folder.c_str(), NULL);
    return folder + "\\";
}

bool CopyTo(const std::string &from, const std::string &to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadTextFile(const std::string &path)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_EXISTING, 0, NULL);
    char buffer[4096];
    DWORD got;

    if (file == INVALID_HANDLE_VALUE)
        return text;
    while (ReadFile(file, buffer, sizeof(buffer), &got, NULL) && got)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

bool WriteWholeFile(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written = 0;

    if (file == INVALID_HANDLE_VALUE)
        return false;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string LowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return (char)std::tolower(c); });
    return text;
}

/* Builds an environment block: this process's variables with the given
 * ones replacing or joining them. */
static std::string BuildEnvironment(const std::vector<std::string> &extra)
{
    std::vector<std::string> entries;
    char *block = GetEnvironmentStringsA();

    for (char *scan = block; *scan; scan += strlen(scan) + 1)
    {
        std::string entry(scan);
        std::string name = LowerCase(entry.substr(0, entry.find('=', 1)));
        bool replaced = false;
        for (const std::string &added : extra)
            replaced = replaced || LowerCase(added.substr(0, added.find('='))) == name;
        if (!replaced)
            entries.push_back(entry);
    }
    FreeEnvironmentStringsA(block);
    entries.insert(entries.end(), extra.begin(), extra.end());

    std::string result;
    for (const std::string &entry : entries)
        result += entry + '\0';
    result += '\0';
    return result;
}

static ChildProcess Start(const std::string &commandLine, const std::string &folder,
                          const std::vector<std::string> &environment, STARTUPINFOA *startup)
{
    ChildProcess child = {};
    std::vector<char> command(commandLine.begin(), commandLine.end());
    std::string block;

    command.push_back('\0');
    if (!environment.empty())
        block = BuildEnvironment(environment);
    /* In its job before it runs a single instruction. */
    child.started = CreateProcessA(NULL, command.data(), NULL, NULL, TRUE, CREATE_SUSPENDED,
                                   environment.empty() ? NULL : (void *)block.data(),
                                   folder.empty() ? NULL : folder.c_str(),
                                   startup, &child.info) != 0;
    if (!child.started)
        return child;
    child.job = CreateJobObjectA(NULL, NULL);
    if (child.job)
        AssignProcessToJobObject(child.job, child.info.hProcess);
    ResumeThread(child.info.hThread);
    return child;
}

ChildProcess StartProgram(const std::string &commandLine, const std::string &folder,
                          const std::vector<std::string> &environment)
{
    STARTUPINFOA startup = {};

    startup.cb = sizeof(startup);
    return Start(commandLine, folder, environment, &startup);
}

DWORD ProcessesStarted(const ChildProcess &child)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};

    if (!child.started || !child.job ||
        !QueryInformationJobObject(child.job, JobObjectBasicAccountingInformation, &accounting,
                                   sizeof(accounting), NULL))
        return 0;
    return accounting.TotalProcesses;
}

DWORD WaitForExit(ChildProcess &child, DWORD timeout)
{
    DWORD code = STILL_ACTIVE;

    if (!child.started)
        return STILL_ACTIVE;
    WaitForSingleObject(child.info.hProcess, timeout);
    GetExitCodeProcess(child.info.hProcess, &code);
    return code;
}

void EndProgram(ChildProcess &child)
{
    if (!child.started)
        return;
    if (WaitForSingleObject(child.info.hProcess, 0) == WAIT_TIMEOUT)
    {
        TerminateProcess(child.info.hProcess, 1);
        WaitForSingleObject(child.info.hProcess, TestTimeout());
    }
    CloseHandle(child.info.hThread);
    CloseHandle(child.info.hProcess);
    if (child.job)
        CloseHandle(child.job);
    child.job = NULL;
    child.started = false;
}

std::string RunAndCapture(const std::string &commandLine, DWORD *exitCode,
                          const std::vector<std::string> &environment)
{
    SECURITY_ATTRIBUTES inherit = { sizeof(inherit), NULL, TRUE };
    HANDLE readEnd, writeEnd;
    STARTUPINFOA startup = {};
    std::string output;
    char buffer[1024];
    DWORD got;

    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);

    ChildProcess child = Start(commandLine, "", environment, &startup);
    CloseHandle(writeEnd);
    while (child.started && ReadFile(readEnd, buffer, sizeof(buffer), &got, NULL) && got)
        output.append(buffer, got);
    CloseHandle(readEnd);
    /* The runtime's text mode writes CR LF; the tests compare plain lines. */
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
    *exitCode = WaitForExit(child);
    EndProgram(child);
    return output;
}

void RegisterTestClass(const char *className, WNDPROC procedure, UINT style)
{
    WNDCLASSA windowClass = {};

    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
}

#define READ_ALL_ENTRIES (-1)

/* One read of a list box, done where the list lives. */
struct ListRead
{
    int index;                       /* the entry, or READ_ALL_ENTRIES */
    std::vector<std::string> lines;
};

/* Reads the list's entries in the range the read asks for, one entry at a
 * time through readEntry, which gives false for an entry it cannot read. */
static void ReadEntries(HWND list, ListRead *read, bool (*readEntry)(HWND, int, std::string *))
{
    int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
    int first = read->index == READ_ALL_ENTRIES ? 0 : read->index;
    int last = read->index == READ_ALL_ENTRIES ? count - 1 : read->index;
    std::string text;

    for (int i = first; i <= last && i < count; i++)
        if (readEntry(list, i, &text))
            read->lines.push_back(text);
}

/* An entry read on the list's own thread: the length asked for is then
 * the length copied. */
static bool ReadOwnEntry(HWND list, int index, std::string *text)
{
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR)
        return false;
    std::vector<char> entry(length + 1, '\0');
    SendMessageA(list, LB_GETTEXT, index, (LPARAM)entry.data());
    *text = entry.data();
    return true;
}

/* Room for an entry of another process that grew between asking for its
 * length and copying it. */
#define FOREIGN_ENTRY_SPARE 1024

/* An entry of a list of another process, where no hook of this program
 * runs: the platform copies it across. Wine copies an entry whole only
 * to a caller that asks for wide characters. */
static bool ReadForeignEntry(HWND list, int index, std::string *text)
{
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR)
        return false;
    std::vector<wchar_t> entry(length + 1 + FOREIGN_ENTRY_SPARE, L'\0');
    if (SendMessageW(list, LB_GETTEXT, index, (LPARAM)entry.data()) == LB_ERR)
        return false;
    int size = WideCharToMultiByte(CP_ACP, 0, entry.data(), -1, NULL, 0, NULL, NULL);
    std::vector<char> narrow(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, entry.data(), -1, narrow.data(), size, NULL, NULL);
    *text = narrow.data();
    return true;
}

static UINT ListReadMessage()
{
    static UINT message = RegisterWindowMessageA("TarnellTestListRead");
    return message;
}

/* Runs on the list's thread just before its window procedure sees the
 * message, so the whole read happens between two of that thread's own
 * steps. */
static LRESULT CALLBACK ListReadHook(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;

    if (code == HC_ACTION && call->message == ListReadMessage())
        ReadEntries(call->hwnd, (ListRead *)call->lParam, ReadOwnEntry);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

/* A list box that another thread fills may be refilled between asking for
 * an entry's length and copying the entry, and LB_GETTEXT takes no buffer
 * size: a longer entry would run past the buffer. So a list of another
 * thread is read on that thread, through a call-window hook. */
static ListRead ReadList(HWND list, int index)
{
    ListRead read;
    DWORD ownerProcess = 0;
    DWORD owner = GetWindowThreadProcessId(list, &ownerProcess);

    read.index = index;
    if (owner == GetCurrentThreadId())
    {
        ReadEntries(list, &read, ReadOwnEntry);
        return read;
    }
    if (ownerProcess != GetCurrentProcessId())
    {
        ReadEntries(list, &read, ReadForeignEntry);
        return read;
    }
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, ListReadHook, NULL, owner);
    if (hook)
    {
        SendMessageA(list, ListReadMessage(), 0, (LPARAM)&read);
        UnhookWindowsHookEx(hook);
    }
    return read;
}

std::string ListBoxText(HWND list, int index)
{
    ListRead read = ReadList(list, index);
    return read.lines.empty() ? "" : read.lines[0];
}

std::vector<std::string> ListBoxLines(HWND list)
{
    return ReadList(list, READ_ALL_ENTRIES).lines;
}

HWND WaitForProcessWindow(DWORD processId, const char *className, DWORD timeout)
{
    return WaitForShownWindow(processId, className, timeout, NULL);
}

RECT ChildRect(HWND child)
{
    RECT rect;

    GetWindowRect(child, &rect);
    MapWindowPoints(NULL, GetParent(child), (POINT *)&rect, 2);
    return rect;
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};

    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info);
    return info.hwndFocus;
}

void SetProgramWindowsVersion(const std::string &exeName, const char *version)
{
    std::string path = WINE_APP_DEFAULTS + exeName;
    WriteSettingText(WINE_VIEW, HKEY_CURRENT_USER, path.c_str(), "Version", version);
}

void ClearProgramWindowsVersion(const std::string &exeName)
{
    std::string path = WINE_APP_DEFAULTS + exeName;
    DeleteSettingKey(WINE_VIEW, HKEY_CURRENT_USER, path.c_str());
}
