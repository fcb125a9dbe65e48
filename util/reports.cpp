/* Error boxes, the save-changes question, the module identity and the
 * coded error and status reports. */
#include "reports.h"
#include "texthelp.h"

/* Room for the question around a document name of up to 746 characters. */
#define QUESTION_SIZE       772
#define SAVE_QUESTION_FORMAT "Save current changes in %s?"
/* The report captions: a short name and a fixed suffix. */
#define CAPTION_SIZE        80
/* The longest report text; the buffer adds the terminator. */
#define REPORT_TEXT_LIMIT   (REPORT_TEXT_SIZE - 1)

char ModuleFolder[MODULE_FOLDER_SIZE];
char ModuleFileName[MODULE_FILE_NAME_SIZE];
char ModuleShortName[MODULE_SHORT_NAME_SIZE];
ReportCode LastReportCode;
char ReportTextBuffer[REPORT_TEXT_SIZE];

int ShowErrorBox(HWND owner, LPCSTR text, LPCSTR caption)
{
    return MessageBoxA(owner, text, caption, MB_ICONERROR);
}

int ConfirmSaveChanges(HWND owner, WPARAM saveCommand, LPCSTR documentName, LPCSTR caption)
{
    char question[QUESTION_SIZE];
    char name[QUESTION_SIZE - sizeof(SAVE_QUESTION_FORMAT) + sizeof("%s")];
    int answer;

    /* wsprintfA stops only at 1024 characters, so a longer name is cut
     * here (to 746 characters, one fewer rather than half a double-byte
     * character) rather than run past the question. */
    CopyWholeCharacters(name, documentName ? documentName : "", sizeof(name));
    wsprintfA(question, SAVE_QUESTION_FORMAT, name);

    answer = MessageBoxA(owner, question, caption, MB_YESNOCANCEL | MB_ICONQUESTION);
    /* The owner saves before the caller learns the answer. */
    if (answer == IDYES)
        SendMessageA(owner, WM_COMMAND, saveCommand, 0);
    return answer;
}

DWORD LoadModuleIdentity(HMODULE module)
{
    char path[MODULE_FOLDER_SIZE];
    LPSTR name, dot;
    DWORD length = ReadModulePath(module, path, sizeof(path), &name);

    if (length == 0)
        return 0;
    if (length >= sizeof(path))
        length = sizeof(path) - 1;

    /* Lower-casing keeps every character's length: name stays in place. */
    CharLowerA(path);
    CopyWholeCharacters(ModuleFileName, name, sizeof(ModuleFileName));
    *name = '\0';
    lstrcpyA(ModuleFolder, path);

    /* The first character, which a double-byte one fills with two bytes. */
    CharUpperBuffA(ModuleFileName, (DWORD)(CharNextA(ModuleFileName) - ModuleFileName));
    CopyWholeCharacters(ModuleShortName, ModuleFileName, sizeof(ModuleShortName));
    dot = NULL;
    for (LPSTR scan = ModuleShortName; *scan; scan = CharNextA(scan))
        if (*scan == '.')
            dot = scan;
    if (dot)
        *dot = '\0';
    return length;
}

void SetReportCode(WORD major, WORD minor, WORD detail)
{
    LastReportCode.major = major;
    LastReportCode.minor = minor;
    LastReportCode.detail = detail;
}

/* Appends the caller's text after the header already in the report
 * buffer, first cutting it in place so that the whole stays within the
 * buffer: the caller sees the cut in its own text. A double-byte
 * character that the cut would split goes whole. */
static void AppendCutText(LPSTR text)
{
    CutTextToLength(text, REPORT_TEXT_LIMIT - lstrlenA(ReportTextBuffer));
    lstrcatA(ReportTextBuffer, text);
}

/* The coded error report, after the given program name and a colon when
 * there is a name. */
static void WriteErrorReport(LPCSTR name, LPSTR text)
{
    wsprintfA(ReportTextBuffer, "%s%sError %04X-%04X-%04X ", name, name[0] ? ": " : "",
              LastReportCode.major, LastReportCode.minor, LastReportCode.detail);
    AppendCutText(text);
}

LPSTR FormatErrorReport(LPSTR text)
{
    WriteErrorReport(ModuleShortName, text);
    return ReportTextBuffer;
}

int ShowErrorReport(HWND owner, LPSTR text)
{
    char caption[CAPTION_SIZE];

    /* The box names the program in its caption, so the text goes without
     * the name prefix. */
    WriteErrorReport("", text);
    lstrcpyA(caption, ModuleShortName);
    lstrcatA(caption, " Error Information");
    return MessageBoxA(owner, ReportTextBuffer, caption, MB_ICONERROR);
}

int ShowStatusReport(HWND owner, LPSTR text)
{
    char caption[CAPTION_SIZE];

    lstrcpyA(caption, ModuleShortName);
    lstrcatA(caption, " Status Information");

    /* Without a code the text stands alone, never after an older report. */
    ReportTextBuffer[0] = '\0';
    if (LastReportCode.major != 0)
        wsprintfA(ReportTextBuffer, "Status %04X-%04X-%04X \n",
                  LastReportCode.major, LastReportCode.minor, LastReportCode.detail);
    AppendCutText(text);
    return MessageBoxA(owner, ReportTextBuffer, caption, MB_ICONINFORMATION);
}
