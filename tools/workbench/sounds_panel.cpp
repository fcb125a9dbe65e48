/*
 * The sound cues and reports panel: the five cues played from the
 * workbench's own WAVE resources, with the mute switch (sounds), and the
 * library's message boxes (reports): the coded error and status reports
 * for a code and text typed here, with the error report's one-line log
 * form, and the save-changes question that runs the workbench's own save
 * command.
 */
#include "workbench.h"
#include <stdlib.h>
#include "util/reports.h"
#include "util/sounds.h"
#include "util/texthelp.h"

#define SIGNAL_LINE_SIZE 128

struct CUE_BUTTON
{
    int id;
    LPCSTR text;
    void (*play)(void);
};

static const CUE_BUTTON CueButtons[] = {
    { IDC_CUE_ATTENTION, TEXT_CUE_ATTENTION, PlayAttentionCue },
    { IDC_CUE_IP_ACCEPT, TEXT_CUE_IP_ACCEPT, PlayIpAcceptCue },
    { IDC_CUE_IP_REJECT, TEXT_CUE_IP_REJECT, PlayIpRejectCue },
    { IDC_CUE_FAILURE, TEXT_CUE_FAILURE, PlayFailureCue },
    { IDC_CUE_SUCCESS, TEXT_CUE_SUCCESS, PlaySuccessCue },
};
#define CUE_BUTTON_COUNT ((int)(sizeof(CueButtons) / sizeof(CueButtons[0])))

static const int CodeFields[] = { IDC_CODE_MAJOR, IDC_CODE_MINOR, IDC_CODE_DETAIL };
#define CODE_FIELD_COUNT ((int)(sizeof(CodeFields) / sizeof(CodeFields[0])))

void OnCueButton(int id)
{
    char line[SIGNAL_LINE_SIZE];

    for (int i = 0; i < CUE_BUTTON_COUNT; i++)
    {
        if (CueButtons[i].id != id)
            continue;
        /* The library itself stays silent while muted. */
        CueButtons[i].play();
        wsprintfA(line, TEXT_CUE_LINE, CueButtons[i].text, SoundCuesMuted ? TEXT_MUTED_SUFFIX : "");
        LogLine(line);
    }
}

void OnMuteSwitch(void)
{
    SoundCuesMuted = IsDlgButtonChecked(Workbench.window, IDC_MUTE) == BST_CHECKED;
}

/* The three code fields as numbers; FALSE when one is empty or holds
 * anything but hexadecimal digits. */
static BOOL ReadReportCode(WORD *code)
{
    char text[CODE_FIELD_LIMIT + 1];

    for (int i = 0; i < CODE_FIELD_COUNT; i++)
    {
        GetControlText(CodeFields[i], text, sizeof(text));
        if (!text[0] || !IsHexString(text))
            return FALSE;
        code[i] = (WORD)strtoul(text, NULL, HEX_RADIX);
    }
    return TRUE;
}

void OnReportButton(int id)
{
    WORD code[CODE_FIELD_COUNT];
    /* The report routines may cut the caller's text to fit their buffer. */
    char text[REPORT_TEXT_SIZE];

    if (!ReadReportCode(code))
    {
        ShowErrorBox(Workbench.window, TEXT_BAD_CODE, WORKBENCH_TITLE);
        return;
    }
    GetControlText(IDC_REPORT_TEXT, text, sizeof(text));
    SetReportCode(code[0], code[1], code[2]);
    if (id == IDC_ERROR_REPORT)
        ShowErrorReport(Workbench.window, text);
    else
        ShowStatusReport(Workbench.window, text);

    FormatErrorReport(text);
    SetControlText(IDC_LOG_FORM_TEXT, ReportTextBuffer);
    LogLine(ReportTextBuffer);
}

void OnSaveQuestion(void)
{
    char line[SIGNAL_LINE_SIZE];
    LPCSTR answer;

    switch (ConfirmSaveChanges(Workbench.window, IDC_SAVE_NOTES, TEXT_SAVE_DOCUMENT, WORKBENCH_TITLE))
    {
    case IDYES:
        answer = "Yes";
        break;
    case IDNO:
        answer = "No";
        break;
    default:
        answer = "Cancel";
        break;
    }
    wsprintfA(line, TEXT_ANSWER_LINE, answer);
    LogLine(line);
}

/* The command that the save question sends before it returns Yes. */
void OnSaveNotes(void)
{
    LogLine(TEXT_SAVE_LINE);
}

void CreateSoundsPanel(void)
{
    static const LPCSTR defaults[CODE_FIELD_COUNT] = {
        TEXT_DEFAULT_MAJOR, TEXT_DEFAULT_MINOR, TEXT_DEFAULT_DETAIL };

    CreateGroup(TEXT_SIGNALS_GROUP, IDC_SIGNALS_GROUP);
    for (int i = 0; i < CUE_BUTTON_COUNT; i++)
        CreateButton(CueButtons[i].text, CueButtons[i].id);
    CreateControl(0, "BUTTON", TEXT_MUTE, CHECK_BOX_STYLE, IDC_MUTE);
    CreateCaption(TEXT_CODE_CAPTION, IDC_CODE_CAPTION);
    for (int i = 0; i < CODE_FIELD_COUNT; i++)
        CreateField(defaults[i], CodeFields[i], CODE_FIELD_LIMIT);
    CreateField(TEXT_DEFAULT_REPORT, IDC_REPORT_TEXT, REPORT_TEXT_SIZE - 1);
    CreateButton(TEXT_ERROR_REPORT, IDC_ERROR_REPORT);
    CreateButton(TEXT_STATUS_REPORT, IDC_STATUS_REPORT);
    CreateButton(TEXT_SAVE_QUESTION, IDC_SAVE_QUESTION);
    CreateCaption(TEXT_LOG_FORM_CAPTION, IDC_LOG_FORM_CAPTION);
    CreateLabel(IDC_LOG_FORM_TEXT);
}

void LayoutSoundsPanel(HDWP *batch, const PANEL_AREA *area)
{
    PANEL_AREA inside = PlaceGroup(batch, IDC_SIGNALS_GROUP, area);
    static const int reportButtons[] = { IDC_ERROR_REPORT, IDC_STATUS_REPORT, IDC_SAVE_QUESTION };
    int y = inside.y;
    int x;

    for (int i = 0; i < CUE_BUTTON_COUNT; i++)
        Place(batch, CueButtons[i].id, inside.x + i * (CUE_BUTTON_WIDTH + GAP), y,
              CUE_BUTTON_WIDTH, CONTROL_HEIGHT);
    y += ROW_HEIGHT;
    Place(batch, IDC_MUTE, inside.x, y, inside.width, CONTROL_HEIGHT);

    y += ROW_HEIGHT;
    Place(batch, IDC_CODE_CAPTION, inside.x, y + LABEL_DROP, CAPTION_WIDTH, LABEL_HEIGHT);
    x = inside.x + CAPTION_WIDTH;
    for (int i = 0; i < CODE_FIELD_COUNT; i++, x += CODE_FIELD_WIDTH + GAP)
        Place(batch, CodeFields[i], x, y, CODE_FIELD_WIDTH, CONTROL_HEIGHT);
    Place(batch, IDC_REPORT_TEXT, x, y, inside.x + inside.width - x, CONTROL_HEIGHT);

    y += ROW_HEIGHT;
    x = inside.x;
    for (size_t i = 0; i < sizeof(reportButtons) / sizeof(reportButtons[0]); i++)
    {
        Place(batch, reportButtons[i], x, y, REPORT_BUTTON_WIDTH, CONTROL_HEIGHT);
        x += REPORT_BUTTON_WIDTH + GAP;
    }
    y += ROW_HEIGHT;
    PlaceCaptionedLabel(batch, IDC_LOG_FORM_CAPTION, IDC_LOG_FORM_TEXT, inside.x, y, inside.width);
}
