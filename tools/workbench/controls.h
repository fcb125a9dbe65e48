/*
 * The workbench's layout measures and its control kit: how the panels
 * make their controls and place them in the client area.
 */
#ifndef TOOLS_WORKBENCH_CONTROLS_H
#define TOOLS_WORKBENCH_CONTROLS_H

#include <windows.h>

/* Layout in pixels of the client area. */
#define MARGIN                  8
#define GROUP_CAPTION_SPACE     20
#define GROUP_INSET             10
#define GROUP_BOTTOM_SPACE      8
#define ROW_HEIGHT              24
#define CONTROL_HEIGHT          22
#define LABEL_HEIGHT            16
#define LABEL_DROP              4
#define CAPTION_WIDTH           86
#define GAP                     6
#define LEFT_COLUMN_WIDTH       420
#define MIN_RIGHT_COLUMN_WIDTH  240
#define SYSTEM_ROWS             3
#define DATES_ROWS              8
#define CHOOSERS_ROWS           3
#define SIGNALS_ROWS            5
#define FILES_FIXED_ROWS        3
#define MIN_LIST_HEIGHT         60
#define DRAWING_ROWS            3
#define BITMAP_VIEW_HEIGHT      84
#define DATE_FIELD_WIDTH        110
#define CODE_FIELD_WIDTH        44
#define BROWSE_WIDTH            84
#define FILE_BUTTON_WIDTH       96
#define CHOOSER_BUTTON_WIDTH    196
#define CUE_BUTTON_WIDTH        74
#define REPORT_BUTTON_WIDTH     124
#define INITIAL_CLIENT_WIDTH    944
#define INITIAL_CLIENT_HEIGHT   640

/* The text colour of a refusal. */
#define REFUSAL_COLOUR          RGB(192, 0, 0)

#define WORKBENCH_MAIN_STYLE    (WS_OVERLAPPEDWINDOW)
#define LABEL_STYLE             (WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX)
#define CAPTION_STYLE           (WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP)
#define BUTTON_STYLE            (WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON)
#define CHECK_BOX_STYLE         (WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX)
#define GROUP_STYLE             (WS_CHILD | WS_VISIBLE | BS_GROUPBOX)
#define FIELD_STYLE             (WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL)
#define LIST_STYLE              (WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | \
                                 LBS_NOINTEGRALHEIGHT | LBS_NOSEL)
#define VIEW_STYLE              (WS_CHILD | WS_VISIBLE)

/* A rectangle of the client area: where one panel lies. */
typedef struct tagPANEL_AREA
{
    int x, y, width, height;
} PANEL_AREA;

HWND CreateControl(DWORD exStyle, LPCSTR className, LPCSTR text, DWORD style, int id);
HWND CreateGroup(LPCSTR text, int id);
HWND CreateButton(LPCSTR text, int id);
HWND CreateCaption(LPCSTR text, int id);
HWND CreateLabel(int id);
HWND CreateField(LPCSTR text, int id, int limit);
void Place(HDWP *batch, int id, int x, int y, int width, int height);
/* Places a panel's group box over the area; returns the area inside it,
 * where the panel's rows go. */
PANEL_AREA PlaceGroup(HDWP *batch, int groupId, const PANEL_AREA *area);
/* Places a caption and, right of it, its value label across the rest of
 * the row. */
void PlaceCaptionedLabel(HDWP *batch, int captionId, int labelId, int x, int y, int width);
void SetControlText(int id, LPCSTR text);
void GetControlText(int id, LPSTR text, int size);
HWND Control(int id);
/* A line in the message list, through the library's capped list. */
void LogLine(LPCSTR text);
/* The height of a panel of that many rows, group box included. */
int PanelHeight(int rows);

#endif
