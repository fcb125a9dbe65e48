/* The folder chooser driven as a person would: its dialog (OS code 32) on
 * a real folder tree, worked with double-clicks, buttons, Escape and the
 * close box, and the shell's folder browser (any other code), chosen from
 * and cancelled. The chooser runs on a thread of its own so that this
 * thread can drive it and read the library's buffers. */
#include <gtest/gtest.h>
#include <shlobj.h>
#include <commctrl.h>
#include <map>
#include <string>
#include "allocwatch.h"
#include "dbcstest.h"
#include "testwin.h"
#include "util/folders.h"
#include "util/osinfo.h"

#define CALLER_ROOM        400
#define HELP_CAPTION       "Temporary Condition"
#define HELP_TEXT          "Not Yet Implemented"
#define TREE_CLASS         "SysTreeView32"

/* One ChooseFolder call on its own thread. */
struct ChooserCall
{
    HINSTANCE instance;
    int osType;
    std::string title;
    char path[CALLER_ROOM];
    int result;
};

static DWORD WINAPI RunChooser(LPVOID context)
{
    ChooserCall *call = (ChooserCall *)context;

    /* The shell browser wants COM on its thread, as any caller gives it. */
    CoInitialize(NULL);
    call->result = ChooseFolder(call->instance, NULL, call->osType, call->path, call->title.c_str());
    CoUninitialize();
    return 0;
}

static BOOL CALLBACK CollectDialog(HWND window, LPARAM context)
{
    if (ClassName(window) == MESSAGE_BOX_CLASS && IsWindowVisible(window))
        ((std::vector<HWND> *)context)->push_back(window);
    return TRUE;
}

/* The visible dialog windows of a thread. */
static std::vector<HWND> ThreadDialogs(DWORD threadId)
{
    std::vector<HWND> found;
    EnumThreadWindows(threadId, CollectDialog, (LPARAM)&found);
    return found;
}

/* The index of an entry, matched without regard to case; -1 if absent. */
static int FindEntry(HWND list, const std::string &entry)
{
    std::vector<std::string> entries = ListBoxLines(list);
    for (size_t i = 0; i < entries.size(); i++)
        if (LowerCase(entries[i]) == LowerCase(entry))
            return (int)i;
    return -1;
}

/* The last character decides, not the last byte, which can be the second
 * byte of a double-byte character. */
static std::string WithoutTrailingBackslash(std::string path)
{
    if (path.size() > 3 && *CharPrevA(path.c_str(), path.c_str() + path.size()) == '\\')
        path.pop_back();
    return path;
}

class Chooser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = FreshFolder("Chooser");
        for (const char *folder : { "Data", "Data\\Old", "Data\\New", "Zeta" })
            CreateDirectoryA((root + folder).c_str(), NULL);
        GetCurrentDirectoryA(sizeof(savedFolder), savedFolder);
    }

    void TearDown() override
    {
        /* Whatever is still open is cancelled, so the thread can end. */
        if (thread)
        {
            for (int i = 0; i < 10 && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT; i++)
            {
                for (HWND window : ThreadDialogs(threadId))
                    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                WaitForSingleObject(thread, 1000);
            }
            CloseHandle(thread);
        }
        SetCurrentDirectoryA(savedFolder);
    }

    void Start(int osType, const std::string &start, const std::string &title = "Pick a folder",
               HINSTANCE instance = GetModuleHandleA(NULL))
    {
        call.instance = instance;
        call.osType = osType;
        call.title = title;
        lstrcpynA(call.path, start.c_str(), sizeof(call.path));
        call.result = -1;
        thread = CreateThread(NULL, 0, RunChooser, &call, 0, &threadId);
    }

    /* The chooser's window; fails the test when none shows. */
    HWND Dialog()
    {
        HWND found = NULL;
        WaitUntil([&] {
            std::vector<HWND> dialogs = ThreadDialogs(threadId);
            found = dialogs.empty() ? NULL : dialogs[0];
            return found != NULL;
        });
        EXPECT_NE(found, (HWND)NULL) << "no chooser window";
        return found;
    }

    /* Waits for the call to return; false when it does not. */
    bool Finished()
    {
        return WaitForSingleObject(thread, TestTimeout()) == WAIT_OBJECT_0;
    }

    /* Double-clicks a list entry where it shows, scrolling it into view
     * first, and waits until the path or the list changes. */
    void DoubleClickEntry(HWND dialog, int listId, const std::string &entry)
    {
        HWND list = GetDlgItem(dialog, listId);
        int index = FindEntry(list, entry);
        ASSERT_GE(index, 0) << entry << " not listed";
        SendMessageA(list, LB_SETTOPINDEX, index, 0);

        RECT item;
        SendMessageA(list, LB_GETITEMRECT, index, (LPARAM)&item);
        POINT middle = { (item.left + item.right) / 2, (item.top + item.bottom) / 2 };
        ClientToScreen(list, &middle);
        std::string before = FolderPathBuffer;
        std::vector<std::string> entriesBefore = ListBoxLines(GetDlgItem(dialog, IDC_FOLDER_LIST));
        ClickAt(dialog, middle, 2);
        WaitUntil([&] {
            return before != FolderPathBuffer ||
                   entriesBefore != ListBoxLines(GetDlgItem(dialog, IDC_FOLDER_LIST));
        }, 3000);
    }

    std::string root;
    char savedFolder[MAX_PATH];
    ChooserCall call;
    HANDLE thread = NULL;
    DWORD threadId = 0;
};

/* The navigation of the dialog, step by step, on a real tree: into two
 * folders, up twice, onto another drive and back, then OK. */
TEST_F(Chooser, WorkedNavigationAndOk_Native)
{
    static const struct { int list; const char *entry; const char *path; const char *driveText; } steps[] = {
        { IDC_FOLDER_LIST, "[Data]", "@Data\\", NULL },
        { IDC_FOLDER_LIST, "[Old]", "@Data\\Old\\", NULL },
        { IDC_FOLDER_LIST, "[..]", "@Data", NULL },
        { IDC_FOLDER_LIST, "[..]", "C:\\tarnell-tests\\Chooser", NULL },
        { IDC_FOLDER_LIST, "[..]", "C:\\tarnell-tests", NULL },
        { IDC_FOLDER_LIST, "[..]", "C:\\", NULL },
        { IDC_DRIVE_LIST, "[-z-]", "z:\\", "z:\\" },
        { IDC_DRIVE_LIST, "[-c-]", "c:\\", "c:\\" },
        { IDC_FOLDER_LIST, "[tarnell-tests]", "c:\\tarnell-tests\\", NULL },
    };

    Start(OS_TYPE_WINNT3, root);
    HWND dialog = Dialog();
    ASSERT_TRUE(dialog);
    EXPECT_STREQ(FolderPathBuffer, root.c_str());

    for (const auto &step : steps)
    {
        std::string expected = step.path;
        if (expected[0] == '@')
            expected = root + expected.substr(1);
        DoubleClickEntry(dialog, step.list, step.entry);
        EXPECT_EQ(std::string(FolderPathBuffer), expected) << "after " << step.entry;
        /* The list shows the folder the path names. */
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CURRENT_FOLDER)),
                  LowerCase(WithoutTrailingBackslash(expected))) << "after " << step.entry;
        if (step.driveText)
        {
            EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_DRIVE_TEXT)), step.driveText);
        }
    }

    ClickControl(GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 1);
    EXPECT_STREQ(call.path, "c:\\tarnell-tests\\");
}

/* Folders whose names end in a character whose second byte is 0x5C,
 * down and up and down again: such a name is never taken to end in a
 * backslash, so going up keeps it whole and entering a folder below it
 * puts a backslash between the two. */
TEST_F(Chooser, DoubleByteFoldersDownAndUp_Native)
{
    REQUIRE_DOUBLE_BYTE_SAMPLE(sample);
    const std::string name = sample->folder, c = sample->character;
    const std::string top = root + name, below = top + "\\" + c;
    ASSERT_TRUE(CreateDirectoryA(top.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(below.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((top + "\\OLD").c_str(), NULL));

    const struct { std::string entry, path; } steps[] = {
        { "[" + name + "]", top + "\\" },
        { "[OLD]", top + "\\OLD\\" },
        { "[..]", top },
        { "[OLD]", top + "\\OLD\\" },
        { "[..]", top },
        { "[" + c + "]", below + "\\" },
        { "[..]", top },
        { "[..]", WithoutTrailingBackslash(root) },
    };

    Start(OS_TYPE_WINNT3, root);
    HWND dialog = Dialog();
    ASSERT_TRUE(dialog);
    for (const auto &step : steps)
    {
        DoubleClickEntry(dialog, IDC_FOLDER_LIST, step.entry);
        EXPECT_EQ(std::string(FolderPathBuffer), step.path) << "after " << step.entry;
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CURRENT_FOLDER)),
                  LowerCase(WithoutTrailingBackslash(step.path))) << "after " << step.entry;
    }

    DoubleClickEntry(dialog, IDC_FOLDER_LIST, "[" + name + "]");
    ClickControl(GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(std::string(call.path), top + "\\");
}

/* Cancel, Escape and the close box all give 0 and leave the caller's
 * buffer as it was, after some navigation. */
TEST_F(Chooser, CancelEscapeAndCloseBoxKeepTheCallersBuffer_Native)
{
    static const char *const ways[] = { "Cancel", "Escape", "close box" };

    for (const char *way : ways)
    {
        Start(OS_TYPE_WINNT3, root);
        HWND dialog = Dialog();
        ASSERT_TRUE(dialog);
        DoubleClickEntry(dialog, IDC_FOLDER_LIST, "[Zeta]");
        ASSERT_EQ(std::string(FolderPathBuffer), root + "Zeta\\");

        if (way == ways[0])
            ClickControl(GetDlgItem(dialog, IDCANCEL));
        else if (way == ways[1])
            PressKey(dialog, VK_ESCAPE);
        else
        {
            /* The close box sits at the right end of the caption bar. */
            RECT frame;
            GetWindowRect(dialog, &frame);
            POINT box = { frame.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2,
                          frame.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2 };
            ASSERT_EQ(SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(box.x, box.y)), HTCLOSE);
            ClickAt(dialog, box);
        }
        ASSERT_TRUE(Finished()) << way;
        EXPECT_EQ(call.result, 0) << way;
        EXPECT_EQ(std::string(call.path), root) << way;
        EXPECT_STREQ(FolderPathBuffer, "") << way;
        CloseHandle(thread);
        thread = NULL;
    }
}

/* OK at once hands back the start path character for character; the
 * start path's drive is selected whatever the case of either letter, the
 * drive text shows the letter as the list does, and the dialog is centred
 * on the desktop. */
TEST_F(Chooser, OkAtOnceKeepsTheStartPathAndSelectsItsDrive)
{
    std::string lower = "c:\\TARNELL-tests\\chooser";
    std::string upper = "C:\\tarnell-tests\\Chooser\\Data\\";

    for (const std::string &start : { lower, upper })
    {
        Start(OS_TYPE_WINNT3, start);
        HWND dialog = Dialog();
        ASSERT_TRUE(dialog);

        HWND drives = GetDlgItem(dialog, IDC_DRIVE_LIST);
        int selected = (int)SendMessageA(drives, LB_GETCURSEL, 0, 0);
        ASSERT_GE(selected, 0) << start;
        std::string entry = ListBoxText(drives, selected);
        ASSERT_GE(entry.size(), 3u);
        EXPECT_EQ(toupper((unsigned char)entry[2]), 'C') << entry;
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_DRIVE_TEXT)), std::string(1, entry[2]) + ":");

        /* The folder list has the focus; Tab goes on through the drives
         * and the buttons back to it. */
        EXPECT_EQ(FocusOf(dialog), GetDlgItem(dialog, IDC_FOLDER_LIST));
        static const int tabOrder[] = { IDC_DRIVE_LIST, IDOK, IDCANCEL, IDHELP, IDC_FOLDER_LIST };
        HWND control = GetDlgItem(dialog, IDC_FOLDER_LIST);
        for (int id : tabOrder)
        {
            control = GetNextDlgTabItem(dialog, control, FALSE);
            EXPECT_EQ(GetDlgCtrlID(control), id);
        }

        RECT rect, desktop;
        GetWindowRect(dialog, &rect);
        GetWindowRect(GetDesktopWindow(), &desktop);
        EXPECT_LE(abs((rect.left + rect.right) - (desktop.left + desktop.right)), 1);
        EXPECT_LE(abs((rect.top + rect.bottom) - (desktop.top + desktop.bottom)), 1);

        ClickControl(GetDlgItem(dialog, IDOK));
        ASSERT_TRUE(Finished()) << start;
        EXPECT_EQ(call.result, 1);
        EXPECT_EQ(std::string(call.path), start);
        CloseHandle(thread);
        thread = NULL;
    }
}

/* A start path the listing rejects opens the program's own folder, which
 * becomes the path with its trailing backslash. */
TEST_F(Chooser, AnUnlistableStartOpensTheProgramsFolder)
{
    Start(OS_TYPE_WINNT3, "Q:\\nowhere\\");
    HWND dialog = Dialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(std::string(FolderPathBuffer), TestProgramFolder());
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CURRENT_FOLDER)),
              LowerCase(WithoutTrailingBackslash(TestProgramFolder())));

    PressKey(dialog, VK_RETURN);
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(std::string(call.path), TestProgramFolder());
}

/* Help shows its box, owned by the dialog, and the dialog stays open. */
TEST_F(Chooser, HelpIsNotYetImplemented)
{
    Start(OS_TYPE_WINNT3, root);
    HWND dialog = Dialog();
    ASSERT_TRUE(dialog);

    ClickControl(GetDlgItem(dialog, IDHELP));
    HWND box = NULL;
    WaitUntil([&] {
        for (HWND window : ThreadDialogs(threadId))
            if (window != dialog)
                box = window;
        return box != NULL;
    });
    ASSERT_TRUE(box) << "no help box";
    EXPECT_EQ(WindowText(box), HELP_CAPTION);
    EXPECT_EQ(MessageBoxText(box), HELP_TEXT);
    EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
    EXPECT_TRUE(GetDlgItem(box, IDOK));
    EXPECT_FALSE(GetDlgItem(box, IDCANCEL));
    PressKey(box, VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));

    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(WaitForSingleObject(thread, 0), (DWORD)WAIT_TIMEOUT) << "the dialog ended";
    EXPECT_EQ(std::string(FolderPathBuffer), root);
    ClickControl(GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 1);
}

/* The parent of a path without any backslash is the path itself; the
 * dialog lists the current folder for such a start. */
TEST_F(Chooser, ParentOfAPathWithoutBackslashKeepsIt_Native)
{
    ASSERT_TRUE(SetCurrentDirectoryA((root + "Data\\Old").c_str()));
    Start(OS_TYPE_WINNT3, ".");
    HWND dialog = Dialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CURRENT_FOLDER)), LowerCase(root + "Data\\Old"));

    DoubleClickEntry(dialog, IDC_FOLDER_LIST, "[..]");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CURRENT_FOLDER)), LowerCase(root + "Data"));
    EXPECT_STREQ(FolderPathBuffer, ".");
    ClickControl(GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 1);
    EXPECT_STREQ(call.path, ".");
}

/* A sub-folder whose joined path would pass 260 characters is not
 * entered: the path and the list stay as they were. */
TEST_F(Chooser, ASubFolderTooDeepForTheBufferIsNotEntered_Native)
{
    std::string deep = root + std::string(100, 'd');
    deep += "\\" + std::string(230 - deep.size() - 1, 'e');
    ASSERT_EQ(deep.size(), 230u);
    ASSERT_TRUE(CreateDirectoryA((root + std::string(100, 'd')).c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), NULL));
    /* With the selection's backslash, 230 + 1 + 28 + 1 = 260 characters fit;
     * one more does not. */
    std::string fits(28, 'f'), tooLong(29, 'g');
    /* Past the ANSI calls' limit: made through the long-path form. */
    for (const std::string &name : { fits, tooLong })
    {
        std::string full = "\\\\?\\" + deep + "\\" + name;
        ASSERT_TRUE(CreateDirectoryW(std::wstring(full.begin(), full.end()).c_str(), NULL)) << name;
    }

    Start(OS_TYPE_WINNT3, deep);
    HWND dialog = Dialog();
    ASSERT_TRUE(dialog);
    ASSERT_GE(FindEntry(GetDlgItem(dialog, IDC_FOLDER_LIST), "[" + tooLong + "]"), 0);

    DoubleClickEntry(dialog, IDC_FOLDER_LIST, "[" + tooLong + "]");
    EXPECT_EQ(std::string(FolderPathBuffer), deep);
    EXPECT_GE(FindEntry(GetDlgItem(dialog, IDC_FOLDER_LIST), "[" + tooLong + "]"), 0)
        << "the list moved on";

    DoubleClickEntry(dialog, IDC_FOLDER_LIST, "[" + fits + "]");
    EXPECT_EQ(std::string(FolderPathBuffer), deep + "\\" + fits + "\\");
    EXPECT_EQ(strlen(FolderPathBuffer), 261u - 1);
    ClickControl(GetDlgItem(dialog, IDOK));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(std::string(call.path), deep + "\\" + fits + "\\");
}

/* Refusals that show nothing: a start path too long for the library's
 * buffer, and an instance without the dialog template. The caller's
 * buffer stays as it was; a long title is cut to the buffer. */
TEST_F(Chooser, RefusalsLeaveTheCallersBufferUntouched)
{
    std::string longPath = "C:\\" + std::string(CALLER_ROOM - 10, 'p');
    std::string title(120, 't');
    title[94] = 'X';

    Start(OS_TYPE_WINNT3, longPath, title);
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(std::string(call.path), longPath);
    CloseHandle(thread);

    Start(OS_TYPE_WINNT3, root, title, GetModuleHandleA("kernel32.dll"));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(std::string(call.path), root);
    EXPECT_EQ(std::string(FolderTitleBuffer), title.substr(0, FOLDER_TITLE_SIZE - 1));
}

/* When even the program's own folder cannot be listed (here it was moved
 * away after the program started), the dialog gives up and the call
 * returns 0 with the caller's buffer as it was. */
TEST(ChooserProgram, GivesUpWhenItsOwnFolderCannotBeListed_Native)
{
    std::string base = FreshFolder("ChooserGone");
    std::string program = base + "Program\\";
    CreateDirectoryA(program.c_str(), NULL);
    ASSERT_TRUE(CopyTo(TestProgramFolder() + "folder_probe.exe", program + "folder_probe.exe"));
    std::string output = base + "result.txt";
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, "TarnellFolderProbeReady");
    HANDLE go = CreateEventA(NULL, TRUE, FALSE, "TarnellFolderProbeGo");

    ChildProcess probe = StartProgram("\"" + program + "folder_probe.exe\" Q:\\nowhere\\ \"" + output +
                                      "\" TarnellFolderProbe", base);
    ASSERT_TRUE(probe.started);
    ASSERT_EQ(WaitForSingleObject(ready, TestTimeout()), (DWORD)WAIT_OBJECT_0);
    bool moved = MoveFileA((base + "Program").c_str(), (base + "Moved").c_str()) != 0;
    SetEvent(go);
    DWORD exitCode = WaitForExit(probe);
    CloseHandle(go);
    CloseHandle(ready);
    ASSERT_TRUE(moved) << "could not move the running program's folder: " << GetLastError();
    ASSERT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadTextFile(output), "0\nQ:\\nowhere\\\n\n");
}


/* The shell's browser for any other code: it shows the title (cut to the
 * buffer), ignores the start path, and its choice comes back as a path. */
class ShellChooser : public Chooser
{
protected:
    HWND Tree(HWND browser)
    {
        for (HWND child : ChildWindows(browser))
            if (ClassName(child) == TREE_CLASS)
                return child;
        return NULL;
    }

    static std::string ItemText(HWND tree, HTREEITEM item)
    {
        char text[MAX_PATH] = "";
        TVITEMA info;
        ZeroMemory(&info, sizeof(info));
        info.mask = TVIF_TEXT;
        info.hItem = item;
        info.pszText = text;
        info.cchTextMax = sizeof(text);
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&info);
        return text;
    }

    /* Expands an item and finds the child of the given name, without
     * regard to case. */
    static HTREEITEM FindChild(HWND tree, HTREEITEM parent, const std::string &name)
    {
        /* Drives show as "Label (C:)": those are matched by their letter. */
        bool byPart = name[0] == '(';
        HTREEITEM found = NULL;
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)parent);
        WaitUntil([&] {
            for (HTREEITEM child = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)parent);
                 child; child = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)child))
            {
                std::string text = LowerCase(ItemText(tree, child));
                if (byPart ? text.find(LowerCase(name)) != std::string::npos : text == LowerCase(name))
                    found = child;
            }
            return found != NULL;
        }, 5000);
        if (!found) /* what there is instead, for the failure's reader */
            for (HTREEITEM child = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)parent);
                 child; child = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)child))
                printf("tree item: %s\n", ItemText(tree, child).c_str());
        return found;
    }

    /* Clicks an item where it shows. */
    static void ClickItem(HWND browser, HWND tree, HTREEITEM item)
    {
        SendMessageA(tree, TVM_ENSUREVISIBLE, 0, (LPARAM)item);
        union { RECT rect; HTREEITEM item; } request;
        request.item = item;
        SendMessageA(tree, TVM_GETITEMRECT, TRUE, (LPARAM)&request);
        RECT rect = request.rect;
        POINT middle = { (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2 };
        ClientToScreen(tree, &middle);
        ClickAt(browser, middle);
        WaitUntil([&] { return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) == item; }, 3000);
    }

    static bool ShowsText(HWND browser, const std::string &text)
    {
        for (HWND child : ChildWindows(browser))
            if (WindowText(child) == text && IsWindowVisible(child))
                return true;
        return false;
    }
};

/* The item list that the browser hands back is released: no block with
 * its bytes is left with the allocator after the call. */
TEST_F(ShellChooser, ShowsTheTitleAndHandsBackTheChosenPath_Native)
{
    std::string title = "Where shall the files go? " + std::string(100, '.');
    std::string chosen = root + "Data";
    CoInitialize(NULL);
    LPITEMIDLIST expectedItem = ILCreateFromPathA(chosen.c_str());
    ASSERT_TRUE(expectedItem);
    /* Lives on: blocks allocated under it may be freed after it is revoked. */
    static AllocatorWatch watch;
    ASSERT_EQ(CoRegisterMallocSpy(&watch), S_OK);

    Start(OS_TYPE_WINNT4, "ignored start", title);
    HWND browser = Dialog();
    ASSERT_TRUE(browser);
    EXPECT_TRUE(ShowsText(browser, title.substr(0, FOLDER_TITLE_SIZE - 1)));
    EXPECT_FALSE(ShowsText(browser, title));

    HWND tree = Tree(browser);
    ASSERT_TRUE(tree);
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    for (const char *step : { "My Computer", "(C:)", "tarnell-tests", "Chooser", "Data" })
    {
        item = FindChild(tree, item, step);
        ASSERT_TRUE(item) << "no tree item " << step;
    }
    ClickItem(browser, tree, item);
    ClickControl(GetDlgItem(browser, IDOK));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 1);
    EXPECT_EQ(std::string(call.path), chosen);

    EXPECT_FALSE(watch.Holds(expectedItem, ILGetSize(expectedItem))) << "the item list was kept";
    CoRevokeMallocSpy();
    ILFree(expectedItem);
    CoUninitialize();
}

TEST_F(ShellChooser, CancelAndAnItemWithoutAPathGiveNothing_Native)
{
    Start(OS_TYPE_WINNT4, root);
    HWND browser = Dialog();
    ASSERT_TRUE(browser);
    ClickControl(GetDlgItem(browser, IDCANCEL));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(std::string(call.path), root);
    CloseHandle(thread);

    /* My Computer is a place of the shell, not a folder on a disk. */
    Start(OS_TYPE_WIN2000, root);
    browser = Dialog();
    ASSERT_TRUE(browser);
    HWND tree = Tree(browser);
    ASSERT_TRUE(tree);
    HTREEITEM computer = FindChild(tree, (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0),
                                   "My Computer");
    ASSERT_TRUE(computer);
    ClickItem(browser, tree, computer);
    ClickControl(GetDlgItem(browser, IDOK));
    ASSERT_TRUE(Finished());
    EXPECT_EQ(call.result, 0);
    EXPECT_EQ(std::string(call.path), root);
}
