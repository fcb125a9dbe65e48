/*
 * The drawing panel (drawing): the path of the file last checked, fitted
 * into two labels as the window's width changes, once as a path (folders
 * give way to an ellipsis, the file name stays) and once as plain text
 * (cut at the end); and the workbench's tile bitmap drawn centred in one
 * view and tiled over another.
 */
#include "workbench.h"
#include "util/drawing.h"

/* The longest path, the ellipsis a fitted form may add, the terminator. */
#define FITTED_TEXT_ROOM (MAX_PATH + FIT_TEXT_GROWTH)

/* Fits the path to show into the label's width and shows the result. The
 * label's own device context holds its font, so the library measures the
 * text as the label draws it. */
static void FitInto(HWND label)
{
    char text[FITTED_TEXT_ROOM];
    RECT client;

    lstrcpynA(text, Workbench.fittedSource, sizeof(text));
    GetClientRect(label, &client);
    FitTextToWidth(label, text, client.right, GetDlgCtrlID(label) == IDC_FITTED_PATH);
    SetWindowTextA(label, text);
    InvalidateRect(label, NULL, TRUE);
}

void RefitTexts(void)
{
    FitInto(Control(IDC_FITTED_PATH));
    FitInto(Control(IDC_FITTED_PLAIN));
}

static void OnFittedTextCreate(HWND label)
{
    /* The class's own device context keeps the font from here on. */
    HDC dc = GetDC(label);

    SelectObject(dc, Workbench.font);
    SetBkMode(dc, TRANSPARENT);
    ReleaseDC(label, dc);
}

static void OnFittedTextPaint(HWND label)
{
    PAINTSTRUCT paint;
    RECT client;
    char text[FITTED_TEXT_ROOM];
    HDC dc = BeginPaint(label, &paint);

    GetClientRect(label, &client);
    GetWindowTextA(label, text, sizeof(text));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextA(dc, text, -1, &client, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
    EndPaint(label, &paint);
}

static LRESULT CALLBACK FittedTextProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_CREATE:
        OnFittedTextCreate(label);
        return 0;
    case WM_SIZE:
        FitInto(label);
        return 0;
    case WM_PAINT:
        OnFittedTextPaint(label);
        return 0;
    default:
        return DefWindowProcA(label, message, wParam, lParam);
    }
}

static void OnBitmapViewPaint(HWND view)
{
    PAINTSTRUCT paint;
    RECT client;
    HDC dc = BeginPaint(view, &paint);

    GetClientRect(view, &client);
    if (GetDlgCtrlID(view) == IDC_CENTRED_VIEW)
        DrawBitmapCentered(dc, Workbench.tile, client.right, client.bottom);
    else
        TileBitmap(dc, Workbench.tile, client.right, client.bottom);
    EndPaint(view, &paint);
}

static LRESULT CALLBACK BitmapViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_PAINT:
        OnBitmapViewPaint(view);
        return 0;
    default:
        return DefWindowProcA(view, message, wParam, lParam);
    }
}

static void RegisterChildClass(HINSTANCE instance, LPCSTR name, WNDPROC procedure, UINT style,
                               int background)
{
    WNDCLASSEXA childClass;

    ZeroMemory(&childClass, sizeof(childClass));
    childClass.cbSize = sizeof(childClass);
    childClass.style = style;
    childClass.lpfnWndProc = procedure;
    childClass.hInstance = instance;
    childClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    childClass.hbrBackground = (HBRUSH)(INT_PTR)(background + 1);
    childClass.lpszClassName = name;
    RegisterClassExA(&childClass);
}

void RegisterDrawingClasses(HINSTANCE instance)
{
    /* A fitted label draws its whole text anew at every size; its own
     * device context is where FitTextToWidth finds the font. */
    RegisterChildClass(instance, FITTED_TEXT_CLASS, FittedTextProc,
                       CS_OWNDC | CS_HREDRAW | CS_VREDRAW, COLOR_BTNFACE);
    /* A centred picture moves with every change of size. */
    RegisterChildClass(instance, BITMAP_VIEW_CLASS, BitmapViewProc, CS_HREDRAW | CS_VREDRAW,
                       COLOR_WINDOW);
}

void CreateDrawingPanel(void)
{
    CreateGroup(TEXT_DRAWING_GROUP, IDC_DRAWING_GROUP);
    CreateCaption(TEXT_FIT_PATH_CAPTION, IDC_FIT_PATH_CAPTION);
    CreateControl(0, FITTED_TEXT_CLASS, "", VIEW_STYLE, IDC_FITTED_PATH);
    CreateCaption(TEXT_FIT_PLAIN_CAPTION, IDC_FIT_PLAIN_CAPTION);
    CreateControl(0, FITTED_TEXT_CLASS, "", VIEW_STYLE, IDC_FITTED_PLAIN);
    CreateCaption(TEXT_CENTRED_CAPTION, IDC_CENTRED_CAPTION);
    CreateControl(WS_EX_CLIENTEDGE, BITMAP_VIEW_CLASS, "", VIEW_STYLE, IDC_CENTRED_VIEW);
    CreateCaption(TEXT_TILED_CAPTION, IDC_TILED_CAPTION);
    CreateControl(WS_EX_CLIENTEDGE, BITMAP_VIEW_CLASS, "", VIEW_STYLE, IDC_TILED_VIEW);
}

void LayoutDrawingPanel(HDWP *batch, const PANEL_AREA *area)
{
    PANEL_AREA inside = PlaceGroup(batch, IDC_DRAWING_GROUP, area);
    int viewWidth = (inside.width - GAP) / 2;
    int tiledX = inside.x + viewWidth + GAP;
    int y = inside.y;

    PlaceCaptionedLabel(batch, IDC_FIT_PATH_CAPTION, IDC_FITTED_PATH, inside.x, y, inside.width);
    y += ROW_HEIGHT;
    PlaceCaptionedLabel(batch, IDC_FIT_PLAIN_CAPTION, IDC_FITTED_PLAIN, inside.x, y, inside.width);
    y += ROW_HEIGHT;
    Place(batch, IDC_CENTRED_CAPTION, inside.x, y + LABEL_DROP, viewWidth, LABEL_HEIGHT);
    Place(batch, IDC_TILED_CAPTION, tiledX, y + LABEL_DROP, viewWidth, LABEL_HEIGHT);
    y += ROW_HEIGHT;
    Place(batch, IDC_CENTRED_VIEW, inside.x, y, viewWidth, BITMAP_VIEW_HEIGHT);
    Place(batch, IDC_TILED_VIEW, tiledX, y, inside.width - viewWidth - GAP, BITMAP_VIEW_HEIGHT);
}
