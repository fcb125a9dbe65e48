/*
 * The folder chooser: the library's own modal dialog, built from the
 * platform's directory list boxes, for Windows NT 3.51, and the shell's
 * folder browser everywhere else. A program that uses the dialog includes
 * util/folders.rc in its own resources; one that uses the browser
 * initialises COM on the calling thread first. The dialog lists a folder by
 * making it the process's current folder and does not put the old one back.
 */
#ifndef UTIL_FOLDERS_H
#define UTIL_FOLDERS_H

/* The dialog template and its controls; IDOK, IDCANCEL and IDHELP are the
 * usual buttons. */
#define IDD_CHOOSE_FOLDER   6101
#define IDC_CURRENT_FOLDER  6111
#define IDC_FOLDER_LIST     6112
#define IDC_DRIVE_TEXT      6113
#define IDC_DRIVE_LIST      6114

#ifndef RC_INVOKED

#include <windows.h>
#include "osinfo.h"

/* Buffer sizes, terminator included. */
#define FOLDER_TITLE_SIZE   96
#define FOLDER_PATH_SIZE    (MAX_PATH + 1)

/* The OS type code that selects the dialog rather than the shell browser. */
#define FOLDER_DIALOG_OS_TYPE OS_TYPE_WINNT3

/* The title of the latest call, and the path being chosen: the start path,
 * then the dialog's navigation or the browser's choice; empty after the
 * dialog's Cancel or when the dialog finds no folder it can list. */
extern char FolderTitleBuffer[FOLDER_TITLE_SIZE];
extern char FolderPathBuffer[FOLDER_PATH_SIZE];

int ChooseFolder(HINSTANCE instance, HWND owner, int osType, LPSTR path, LPCSTR title);
int BrowseForFolderWithShell(HWND owner, LPSTR pathBuffer);
INT_PTR CALLBACK FolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL OnFolderDialogInit(HWND dialog);
void OnFolderDialogCommand(HWND dialog, int id, int code);

#endif /* RC_INVOKED */

#endif
