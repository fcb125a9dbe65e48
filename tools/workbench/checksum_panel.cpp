/*
 * The files panel: a file picked by path or through the system's open
 * dialog, its CRC-16 and CRC-32 over the whole file read in pieces
 * (checksum), its first bytes as a hex dump in the capped message list or
 * its tail through the log viewer (msglist). A file that cannot be read is
 * told in a coded error report (reports). The message list is also where
 * the other panels write what they did.
 */
#include "workbench.h"
#include <commdlg.h>
#include "util/checksum.h"
#include "util/msglist.h"
#include "util/reports.h"
#include "util/texthelp.h"

#define FILE_LINE_SIZE (MAX_PATH + 96)
#define OPEN_FILTER "All files\0*.*\0"

/* The pieces of the file, one at a time; kept off the stack. */
static BYTE Chunk[FILE_CHUNK_SIZE];

/* The path in the file field without leading spaces, and its file name. */
static LPSTR ReadPathField(LPSTR path, int size)
{
    LPSTR name;

    GetControlText(IDC_FILE_PATH, path, size);
    TrimLeadingSpaces(path);
    name = FindLastBackslash(path);
    return name ? name + 1 : path;
}

/* The coded error report of a step that failed, with the system's error
 * code as its detail; the list keeps the report's one-line form. */
static void ReportFileFailure(WORD step, LPCSTR what)
{
    char text[REPORT_TEXT_SIZE];
    WORD detail = (WORD)GetLastError();

    SetControlText(IDC_CHECKSUMS, TEXT_NO_VALUE);
    lstrcpynA(text, what, sizeof(text));
    SetReportCode(REPORT_AREA_FILES, step, detail);
    ShowErrorReport(Workbench.window, text);
    LogLine(FormatErrorReport(text));
}

void OnCheckFile(void)
{
    char path[MAX_PATH];
    char line[FILE_LINE_SIZE];
    BYTE first[HEX_DUMP_BYTES];
    int firstCount = 0;
    DWORD total = 0, got = 0;
    WORD crc16 = CRC16_XMODEM_INITIAL;
    DWORD crc32 = CRC32_MPEG2_INITIAL;
    LPSTR name = ReadPathField(path, sizeof(path));
    HANDLE file;
    BOOL read;

    if (!path[0])
        return;
    file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
    {
        ReportFileFailure(REPORT_STEP_OPEN, TEXT_OPEN_FAILED);
        return;
    }
    /* Each piece's CRCs start from the registers the pieces before left. */
    while ((read = ReadFile(file, Chunk, sizeof(Chunk), &got, NULL)) != FALSE && got > 0)
    {
        crc16 = ComputeCrc16(crc16, Chunk, got);
        crc32 = ComputeCrc32(crc32, Chunk, got);
        for (DWORD i = 0; i < got && firstCount < HEX_DUMP_BYTES; i++)
            first[firstCount++] = Chunk[i];
        total += got;
    }
    if (!read)
    {
        ReportFileFailure(REPORT_STEP_READ, TEXT_READ_FAILED);
        CloseHandle(file);
        return;
    }
    CloseHandle(file);

    wsprintfA(line, TEXT_CHECKSUMS_FORMAT, total, (UINT)crc16, crc32);
    SetControlText(IDC_CHECKSUMS, line);
    wsprintfA(line, TEXT_DUMP_TITLE_FORMAT, firstCount, name);
    AppendHexDump(Control(IDC_MESSAGE_LIST), first, (short)firstCount, line);

    lstrcpyA(Workbench.fittedSource, path);
    RefitTexts();
}

void OnViewTail(void)
{
    char path[MAX_PATH];
    char line[FILE_LINE_SIZE];
    LPSTR name = ReadPathField(path, sizeof(path));

    if (!path[0])
        return;
    /* The viewer lists nothing, silently, for a file it cannot find. */
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
    {
        ReportFileFailure(REPORT_STEP_OPEN, TEXT_OPEN_FAILED);
        return;
    }
    wsprintfA(line, TEXT_TAIL_TITLE_FORMAT, name);
    LogLine(line);
    ViewLogFile(Control(IDC_MESSAGE_LIST), path);
}

void OnBrowse(void)
{
    OPENFILENAMEA dialog;
    char path[MAX_PATH];

    ReadPathField(path, sizeof(path));
    ZeroMemory(&dialog, sizeof(dialog));
    /* The record as the systems before Windows 2000 know it. */
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = Workbench.window;
    dialog.lpstrFilter = OPEN_FILTER;
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof(path);
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&dialog))
        return;
    SetControlText(IDC_FILE_PATH, path);
    OnCheckFile();
}

void OnClearList(void)
{
    SendMessageA(Control(IDC_MESSAGE_LIST), LB_RESETCONTENT, 0, 0);
}

void CreateChecksumPanel(void)
{
    char path[MAX_PATH];
    DWORD length;
    HWND list;

    CreateGroup(TEXT_FILES_GROUP, IDC_FILES_GROUP);
    CreateCaption(TEXT_FILE_CAPTION, IDC_FILE_CAPTION);
    CreateField("", IDC_FILE_PATH, MAX_PATH - 1);
    CreateButton(TEXT_BROWSE, IDC_BROWSE);
    CreateButton(TEXT_CHECK_FILE, IDC_CHECK_FILE);
    CreateButton(TEXT_VIEW_TAIL, IDC_VIEW_TAIL);
    CreateButton(TEXT_CLEAR_LIST, IDC_CLEAR_LIST);
    CreateLabel(IDC_CHECKSUMS);
    list = CreateControl(WS_EX_CLIENTEDGE, "LISTBOX", "", LIST_STYLE, IDC_MESSAGE_LIST);
    SendMessageA(list, WM_SETFONT, (WPARAM)Workbench.listFont, FALSE);

    /* The field starts with the workbench's own program. */
    length = GetModuleFileNameA(NULL, path, sizeof(path));
    if (length > 0 && length < sizeof(path))
        SetControlText(IDC_FILE_PATH, path);
}

void LayoutChecksumPanel(HDWP *batch, const PANEL_AREA *area)
{
    PANEL_AREA inside = PlaceGroup(batch, IDC_FILES_GROUP, area);
    static const int fileButtons[] = { IDC_CHECK_FILE, IDC_VIEW_TAIL, IDC_CLEAR_LIST };
    int fieldX = inside.x + CAPTION_WIDTH;
    int browseX = inside.x + inside.width - BROWSE_WIDTH;
    int y = inside.y;
    int x = fieldX;

    Place(batch, IDC_FILE_CAPTION, inside.x, y + LABEL_DROP, CAPTION_WIDTH, LABEL_HEIGHT);
    Place(batch, IDC_FILE_PATH, fieldX, y, browseX - GAP - fieldX, CONTROL_HEIGHT);
    Place(batch, IDC_BROWSE, browseX, y, BROWSE_WIDTH, CONTROL_HEIGHT);
    y += ROW_HEIGHT;
    for (size_t i = 0; i < sizeof(fileButtons) / sizeof(fileButtons[0]); i++)
    {
        Place(batch, fileButtons[i], x, y, FILE_BUTTON_WIDTH, CONTROL_HEIGHT);
        x += FILE_BUTTON_WIDTH + GAP;
    }
    y += ROW_HEIGHT;
    Place(batch, IDC_CHECKSUMS, inside.x, y + LABEL_DROP, inside.width, LABEL_HEIGHT);
    y += ROW_HEIGHT;
    Place(batch, IDC_MESSAGE_LIST, inside.x, y, inside.width, inside.y + inside.height - y);
}
