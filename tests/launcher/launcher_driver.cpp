/* Shared pieces of the launcher tests; see launcher_driver.h. */
#include "launcher_driver.h"
#include "winesettings.h"

LauncherRun StartLauncher(const std::string &folder, const std::string &exeName,
                          const std::string &currentFolder, bool waitForWindow)
{
    LauncherRun run;

    run.folder = folder;
    run.exePath = folder + exeName;
    if (!FileExists(run.exePath))
        CopyTo(TestProgramFolder() + LAUNCHER_EXE, run.exePath);
    run.process = StartProgram("\"" + run.exePath + "\"", currentFolder);
    if (waitForWindow && run.process.started)
        run.window = WaitForProcessWindow(run.process.info.dwProcessId, LAUNCHER_CLASS);
    return run;
}

void PlaceSetup(const std::string &folder, const std::string &name)
{
    CopyTo(TestProgramFolder() + "setup_probe.exe", folder + name);
}

std::string WaitForSetupRecord(const std::string &folder)
{
    WaitUntil([&] { return !ReadTextFile(folder + SETUP_RECORD).empty(); });
    return ReadTextFile(folder + SETUP_RECORD);
}

LauncherControls FindControls(HWND window)
{
    LauncherControls controls = {};
    std::vector<HWND> children = ChildWindows(window);

    if (children.size() == 4)
    {
        controls.frame = children[0];
        controls.picture = children[1];
        controls.start = children[2];
        controls.dont = children[3];
    }
    return controls;
}

MessageBoxSeen AnswerMessageBox(DWORD processId)
{
    MessageBoxSeen seen = {};
    HWND box = WaitForProcessWindow(processId, MESSAGE_BOX_CLASS);

    if (!box)
        return seen;
    seen.found = true;
    seen.caption = WindowText(box);
    seen.text = MessageBoxText(box);

    /* MB_ICONERROR | MB_OK: an icon control and a single OK button. */
    int buttons = 0, icons = 0;
    bool onlyOk = true;
    for (HWND child : ChildWindows(box))
    {
        std::string className = LowerCase(ClassName(child));
        if (className == "button" && IsWindowVisible(child))
        {
            buttons++;
            onlyOk = onlyOk && GetDlgCtrlID(child) == IDOK;
        }
        if (className == "static" && IsWindowVisible(child) &&
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            icons++;
    }
    seen.errorStyle = icons == 1 && buttons == 1 && onlyOk;

    PressKey(box, VK_RETURN);
    return seen;
}

bool ShowedBoxBeforeItEnded(LauncherRun &run)
{
    bool sawBox = false;
    WaitUntil([&] {
        sawBox = sawBox || !ProcessWindows(run.process.info.dwProcessId, MESSAGE_BOX_CLASS).empty();
        return WaitForSingleObject(run.process.info.hProcess, 0) == WAIT_OBJECT_0;
    });
    return sawBox;
}

DWORD FinishLauncher(LauncherRun &run)
{
    DWORD code = WaitForExit(run.process);
    EndProgram(run.process);
    return code;
}

/* How long the launcher is given to take Alt+F4 before it is pressed
 * again: a busy machine may give the foreground late, or take the first
 * press while the window was not yet the foreground one. */
#define ALT_F4_AGAIN_MS 3000

DWORD CloseWithAltF4(LauncherRun &run)
{
    DWORD started = GetTickCount();
    while (GetTickCount() - started < TestTimeout())
    {
        if (!IsWindow(run.window) ||
            WaitForSingleObject(run.process.info.hProcess, 0) == WAIT_OBJECT_0)
            break;
        PressKey(run.window, VK_F4, VK_MENU);
        if (WaitForSingleObject(run.process.info.hProcess, ALT_F4_AGAIN_MS) == WAIT_OBJECT_0)
            break;
    }
    return FinishLauncher(run);
}

#define COLOURS_KEY "Control Panel\\Colors"

static std::string ReadColour(const std::string &name)
{
    return ReadSettingText(WINE_VIEW, HKEY_CURRENT_USER, COLOURS_KEY, name.c_str());
}

static void WriteColour(const std::string &name, const std::string &value)
{
    WriteSettingText(WINE_VIEW, HKEY_CURRENT_USER, COLOURS_KEY, name.c_str(), value, true);
}

UserColours::UserColours(std::initializer_list<std::pair<const char *, const char *>> colours)
{
    for (const auto &colour : colours)
    {
        saved.emplace_back(colour.first, ReadColour(colour.first));
        WriteColour(colour.first, colour.second);
    }
}

UserColours::~UserColours()
{
    for (const auto &colour : saved)
        WriteColour(colour.first, colour.second);
}

std::vector<BYTE> VersionData(const std::string &path)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<BYTE> data(size);
    if (!size || !GetFileVersionInfoA(path.c_str(), 0, size, data.data()))
        data.clear();
    return data;
}

std::string VersionString(std::vector<BYTE> &data, const char *name)
{
    std::string query = std::string("\\StringFileInfo\\040904E4\\") + name;
    char *value = NULL;
    UINT length = 0;
    if (data.empty() || !VerQueryValueA(data.data(), query.c_str(), (void **)&value, &length) || !value)
        return "<missing>";
    return value;
}

bool MutexExists(const char *name)
{
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (mutex)
        CloseHandle(mutex);
    return mutex != NULL;
}
