/*
 * The workbench's control kit: every panel makes its controls with these
 * helpers, in the controls' font, and places them through one deferred
 * batch of window positions.
 */
#include "workbench.h"
#include "util/instance.h"
#include "util/msglist.h"

HWND Control(int id)
{
    return GetDlgItem(Workbench.window, id);
}

HWND CreateControl(DWORD exStyle, LPCSTR className, LPCSTR text, DWORD style, int id)
{
    /* The layout gives every control its place once the window has a size. */
    HWND control = CreateWindowExA(exStyle, className, text, style, 0, 0, 0, 0, Workbench.window,
                                   (HMENU)(INT_PTR)id, ModuleInstance, NULL);

    SendMessageA(control, WM_SETFONT, (WPARAM)Workbench.font, FALSE);
    return control;
}

HWND CreateGroup(LPCSTR text, int id)
{
    return CreateControl(0, "BUTTON", text, GROUP_STYLE, id);
}

HWND CreateButton(LPCSTR text, int id)
{
    return CreateControl(0, "BUTTON", text, BUTTON_STYLE, id);
}

HWND CreateCaption(LPCSTR text, int id)
{
    return CreateControl(0, "STATIC", text, CAPTION_STYLE, id);
}

HWND CreateLabel(int id)
{
    return CreateControl(0, "STATIC", TEXT_NO_VALUE, LABEL_STYLE, id);
}

HWND CreateField(LPCSTR text, int id, int limit)
{
    HWND field = CreateControl(WS_EX_CLIENTEDGE, "EDIT", text, FIELD_STYLE, id);

    SendMessageA(field, EM_LIMITTEXT, (WPARAM)limit, 0);
    return field;
}

void Place(HDWP *batch, int id, int x, int y, int width, int height)
{
    if (*batch)
        *batch = DeferWindowPos(*batch, Control(id), NULL, x, y, width, height,
                                SWP_NOZORDER | SWP_NOACTIVATE);
}

PANEL_AREA PlaceGroup(HDWP *batch, int groupId, const PANEL_AREA *area)
{
    PANEL_AREA inside;

    Place(batch, groupId, area->x, area->y, area->width, area->height);
    inside.x = area->x + GROUP_INSET;
    inside.y = area->y + GROUP_CAPTION_SPACE;
    inside.width = area->width - 2 * GROUP_INSET;
    inside.height = area->height - GROUP_CAPTION_SPACE - GROUP_BOTTOM_SPACE;
    return inside;
}

void PlaceCaptionedLabel(HDWP *batch, int captionId, int labelId, int x, int y, int width)
{
    Place(batch, captionId, x, y + LABEL_DROP, CAPTION_WIDTH, LABEL_HEIGHT);
    Place(batch, labelId, x + CAPTION_WIDTH, y + LABEL_DROP, width - CAPTION_WIDTH, LABEL_HEIGHT);
}

/* A label set to the text it already shows is left alone, so that the
 * clock's refresh does not make the other labels flicker. */
void SetControlText(int id, LPCSTR text)
{
    char shown[MAX_PATH * 2];

    GetWindowTextA(Control(id), shown, sizeof(shown));
    if (lstrcmpA(shown, text) != 0)
        SetWindowTextA(Control(id), text);
}

void GetControlText(int id, LPSTR text, int size)
{
    text[0] = '\0';
    GetWindowTextA(Control(id), text, size);
}

void LogLine(LPCSTR text)
{
    AppendMessageLine(Control(IDC_MESSAGE_LIST), NULL, text);
}

int PanelHeight(int rows)
{
    return GROUP_CAPTION_SPACE + rows * ROW_HEIGHT + GROUP_BOTTOM_SPACE;
}
