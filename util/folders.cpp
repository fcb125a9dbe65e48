/*
 * The folder chooser: ChooseFolder, the shell browser, and the dialog
 * procedure of IDD_CHOOSE_FOLDER with its handlers.
 */
#include <ctype.h>
#include <shlobj.h>
#include "util/folders.h"
#include "util/placement.h"
#include "util/texthelp.h"

/* Folders only, with the listed folder shown in the path control. */
#define FOLDER_LIST_MASK    (DDL_EXCLUSIVE | DDL_DIRECTORY)
/* Drives only. */
#define DRIVE_LIST_MASK     (DDL_EXCLUSIVE | DDL_DRIVES)
/* The platform shows a drive as "[-c-]": its letter is the third character. */
#define DRIVE_ENTRY_LETTER  2
/* A path this short that ends in a backslash is a drive root ("C:\"). */
#define DRIVE_ROOT_LENGTH   3
/* A last backslash before this index belongs to the drive root. */
#define FIRST_FOLDER_BACKSLASH 4

#define HELP_TEXT           "Not Yet Implemented"
#define HELP_CAPTION        "Temporary Condition"

char FolderTitleBuffer[FOLDER_TITLE_SIZE];
char FolderPathBuffer[FOLDER_PATH_SIZE];

/* The backslash that ends a path, or NULL. The last byte alone does not
 * tell: in a double-byte code page it can be the trail byte of the last
 * character (code page 932's 0x94 0x5C ends in it). */
static LPSTR TrailingBackslash(LPSTR path)
{
    LPSTR last = FindLastBackslash(path);

    return last && last[1] == '\0' ? last : NULL;
}

static void RemoveTrailingBackslash(LPSTR path)
{
    LPSTR last = TrailingBackslash(path);

    if (last)
        *last = '\0';
}

/* Lists the sub-folders of a path (which the platform rewrites) and makes
 * it the process's current folder. */
static BOOL ListFolders(HWND dialog, LPSTR path)
{
    return DlgDirListA(dialog, path, IDC_FOLDER_LIST, IDC_CURRENT_FOLDER, FOLDER_LIST_MASK);
}

/* A start path too long for the library's buffer is refused, leaving the
 * caller's buffer as it was; a long title is cut. */
int ChooseFolder(HINSTANCE instance, HWND owner, int osType, LPSTR path, LPCSTR title)
{
    if (!path || lstrlenA(path) >= FOLDER_PATH_SIZE)
        return 0;
    CopyWholeCharacters(FolderTitleBuffer, title ? title : "", FOLDER_TITLE_SIZE);
    lstrcpyA(FolderPathBuffer, path);

    if (osType == FOLDER_DIALOG_OS_TYPE)
    {
        /* A dialog that cannot be made leaves the start path in the
         * buffer, which must not read as a choice. */
        if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CHOOSE_FOLDER), owner,
                            FolderDialogProc, 0) == -1)
            return 0;
        if (!FolderPathBuffer[0])
            return 0;
    }
    else if (!BrowseForFolderWithShell(owner, FolderPathBuffer))
        return 0;

    lstrcpyA(path, FolderPathBuffer);
    return 1;
}

/* The browser starts at the desktop and ignores what the buffer holds; it
 * writes the chosen item's display name there, which the full path then
 * replaces. */
int BrowseForFolderWithShell(HWND owner, LPSTR pathBuffer)
{
    BROWSEINFOA info;
    int chosen;

    ZeroMemory(&info, sizeof(info));
    info.hwndOwner = owner;
    info.pidlRoot = NULL;
    info.pszDisplayName = pathBuffer;
    info.lpszTitle = FolderTitleBuffer;
    info.ulFlags = BIF_DONTGOBELOWDOMAIN;

    LPITEMIDLIST item = SHBrowseForFolderA(&info);
    if (!item)
        return 0;
    chosen = SHGetPathFromIDListA(item, pathBuffer) ? 1 : 0;
    CoTaskMemFree(item);
    return chosen;
}

INT_PTR CALLBACK FolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message)
    {
    case WM_INITDIALOG:
        return OnFolderDialogInit(dialog);
    case WM_COMMAND:
        OnFolderDialogCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    }
    return FALSE;
}

/* Makes the program's own folder, with its trailing backslash, the path
 * being chosen; FALSE when its name cannot be had whole. */
static BOOL TakeProgramFolder(HWND dialog)
{
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(dialog, GWLP_HINSTANCE);
    LPSTR name;
    DWORD length = ReadModulePath(instance, FolderPathBuffer, FOLDER_PATH_SIZE, &name);

    if (length == 0 || length >= FOLDER_PATH_SIZE || name == FolderPathBuffer)
    {
        FolderPathBuffer[0] = '\0';
        return FALSE;
    }
    *name = '\0';
    return TRUE;
}

/* Selects the drive list's entry for the path's drive and shows its
 * letter as the list shows it. */
static void SelectPathDrive(HWND dialog)
{
    char entry[MAX_PATH];
    HWND list = GetDlgItem(dialog, IDC_DRIVE_LIST);
    short count = (short)SendMessageA(list, LB_GETCOUNT, 0, 0);

    for (short i = 0; i < count; i++)
    {
        LRESULT length = SendMessageA(list, LB_GETTEXTLEN, i, 0);
        if (length <= DRIVE_ENTRY_LETTER || length >= (LRESULT)sizeof(entry))
            continue;
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)entry);
        if (toupper((unsigned char)FolderPathBuffer[0]) ==
            toupper((unsigned char)entry[DRIVE_ENTRY_LETTER]))
        {
            char text[sizeof("c:")];
            SendMessageA(list, LB_SETCURSEL, i, 0);
            wsprintfA(text, "%c:", entry[DRIVE_ENTRY_LETTER]);
            SetDlgItemTextA(dialog, IDC_DRIVE_TEXT, text);
            return;
        }
    }
}

/* A start path that cannot be listed gives way to the program's own
 * folder; when even that cannot be listed the dialog ends at once with the
 * path emptied, as after Cancel, instead of trying for ever. */
BOOL OnFolderDialogInit(HWND dialog)
{
    char work[MAX_PATH + 1];

    lstrcpyA(work, FolderPathBuffer);
    if (!ListFolders(dialog, work))
    {
        BOOL listed = FALSE;
        if (TakeProgramFolder(dialog))
        {
            lstrcpyA(work, FolderPathBuffer);
            listed = ListFolders(dialog, work);
        }
        if (!listed)
        {
            FolderPathBuffer[0] = '\0';
            EndDialog(dialog, 0);
            return TRUE;
        }
    }

    lstrcpyA(work, FolderPathBuffer);
    DlgDirListA(dialog, work, IDC_DRIVE_LIST, 0, DRIVE_LIST_MASK);
    SelectPathDrive(dialog);
    CenterWindowOnDesktop(dialog);
    return TRUE;
}

/* Up one folder: a drive root keeps its backslash, and a path without any
 * backslash stays as it is. */
static void GoToParent(void)
{
    if (lstrlenA(FolderPathBuffer) > DRIVE_ROOT_LENGTH)
        RemoveTrailingBackslash(FolderPathBuffer);

    LPSTR last = FindLastBackslash(FolderPathBuffer);
    if (!last)
        return;
    if (last - FolderPathBuffer >= FIRST_FOLDER_BACKSLASH)
        last[0] = '\0';
    else
        last[1] = '\0';
}

/* Into a sub-folder; FALSE, with the path unchanged, when the joined path
 * would not fit the buffer. */
static BOOL EnterFolder(LPCSTR selection)
{
    char joined[FOLDER_PATH_SIZE + 1 + FOLDER_PATH_SIZE];
    int length = lstrlenA(FolderPathBuffer);

    if (TrailingBackslash(FolderPathBuffer))
        length--;
    if (length + 1 + lstrlenA(selection) >= FOLDER_PATH_SIZE)
        return FALSE;

    RemoveTrailingBackslash(FolderPathBuffer);
    wsprintfA(joined, "%s\\%s", FolderPathBuffer, selection);
    lstrcpyA(FolderPathBuffer, joined);
    return TRUE;
}

/* The folder list is refreshed from the selection, which the platform
 * resolves against the folder it listed last (the current folder). */
static void OnFolderListDoubleClick(HWND dialog)
{
    char selection[FOLDER_PATH_SIZE];

    selection[0] = '\0';
    DlgDirSelectExA(dialog, selection, FOLDER_PATH_SIZE, IDC_FOLDER_LIST);
    if (!selection[0])
        return;
    if (selection[0] == '.' && selection[1] == '.')
        GoToParent();
    else if (!EnterFolder(selection))
        return;
    ListFolders(dialog, selection);
}

static void OnDriveListDoubleClick(HWND dialog)
{
    char selection[FOLDER_PATH_SIZE];

    selection[0] = '\0';
    DlgDirSelectExA(dialog, selection, FOLDER_PATH_SIZE, IDC_DRIVE_LIST);
    if (!selection[0] || lstrlenA(selection) + 1 >= FOLDER_PATH_SIZE)
        return;
    lstrcatA(selection, "\\");
    lstrcpyA(FolderPathBuffer, selection);
    SetDlgItemTextA(dialog, IDC_DRIVE_TEXT, selection);
    ListFolders(dialog, selection);
}

void OnFolderDialogCommand(HWND dialog, int id, int code)
{
    switch (id)
    {
    case IDC_FOLDER_LIST:
        if (code == LBN_DBLCLK)
            OnFolderListDoubleClick(dialog);
        break;
    case IDC_DRIVE_LIST:
        if (code == LBN_DBLCLK)
            OnDriveListDoubleClick(dialog);
        break;
    case IDHELP:
        MessageBoxA(dialog, HELP_TEXT, HELP_CAPTION, MB_OK);
        break;
    case IDOK:
        EndDialog(dialog, 0);
        break;
    case IDCANCEL:
        FolderPathBuffer[0] = '\0';
        EndDialog(dialog, 0);
        break;
    }
}
