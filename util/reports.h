/*
 * Message boxes and coded reports: a plain error box, a save-changes
 * question that runs the owner's own Save command, and error and status
 * reports carrying a three-part hexadecimal code under the program's
 * short name. Also the module identity (folder, file name, short name)
 * that the reports use. GUI thread only: the texts below are shared
 * (ShowErrorBox and ConfirmSaveChanges use none of them).
 */
#ifndef UTIL_REPORTS_H
#define UTIL_REPORTS_H

#include <windows.h>

#define MODULE_FOLDER_SIZE      260
#define MODULE_FILE_NAME_SIZE   256
#define MODULE_SHORT_NAME_SIZE  12
#define REPORT_TEXT_SIZE        128

/* The code printed by the next coded report; set by the program, never by
 * the library. A major code of 0 means "no code" to the status report. */
struct ReportCode
{
    WORD major;
    WORD minor;
    WORD detail;
};

extern char ModuleFolder[MODULE_FOLDER_SIZE];
extern char ModuleFileName[MODULE_FILE_NAME_SIZE];
extern char ModuleShortName[MODULE_SHORT_NAME_SIZE];
extern ReportCode LastReportCode;
extern char ReportTextBuffer[REPORT_TEXT_SIZE];

int ShowErrorBox(HWND owner, LPCSTR text, LPCSTR caption);
int ConfirmSaveChanges(HWND owner, WPARAM saveCommand, LPCSTR documentName, LPCSTR caption);
DWORD LoadModuleIdentity(HMODULE module);
void SetReportCode(WORD major, WORD minor, WORD detail);
/* The coded reports write into ReportTextBuffer and first cut the caller's
 * text in place, so that the whole report fits REPORT_TEXT_SIZE. */
LPSTR FormatErrorReport(LPSTR text);
int ShowErrorReport(HWND owner, LPSTR text);
int ShowStatusReport(HWND owner, LPSTR text);

#endif
