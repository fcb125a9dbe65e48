/*
 * The workbench's entry point and frame: start-up (module identity, the
 * locale's conventions, the OS code, COM for the shell's folder browser),
 * the window class, the message loop with the dialog keys, the window
 * procedure that routes each message to its handler, and the layout of
 * the panels (controls.cpp has the kit they make their controls with).
 */
#include "workbench.h"
#include <objbase.h>
#include "util/instance.h"
#include "util/localeconv.h"
#include "util/msglist.h"
#include "util/osinfo.h"
#include "util/placement.h"
#include "util/reports.h"

WORKBENCH_STATE Workbench;

/* Every control has its own row of the batch; a few more do no harm. */
#define LAYOUT_BATCH_SIZE 96

static int DrawingPanelHeight(void)
{
    return PanelHeight(DRAWING_ROWS) + BITMAP_VIEW_HEIGHT;
}

/* The left column's panels have fixed heights, stacked from the top. */
static int LeftColumnHeight(void)
{
    return PanelHeight(SYSTEM_ROWS) + PanelHeight(DATES_ROWS) + PanelHeight(CHOOSERS_ROWS) +
           PanelHeight(SIGNALS_ROWS) + 5 * MARGIN;
}

static int MinimumRightColumnHeight(void)
{
    return PanelHeight(FILES_FIXED_ROWS) + MIN_LIST_HEIGHT + DrawingPanelHeight() + 3 * MARGIN;
}

static void RegisterWorkbenchClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass;

    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.cbSize = sizeof(windowClass);
    /* The group boxes paint only their frames: a resized window is
     * repainted whole so that no old frame stays behind. */
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WorkbenchWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WORKBENCH_CLASS;
    RegisterClassExA(&windowClass);
}

/* Enter outside a multi-line control reaches the window as IDOK: it
 * checks the file when typed in the file field, and presses a focused
 * push button as Space would. */
static void OnEnterKey(void)
{
    HWND focus = GetFocus();
    char className[sizeof("BUTTON")];

    if (focus == Control(IDC_FILE_PATH))
    {
        OnCheckFile();
        return;
    }
    GetClassNameA(focus, className, sizeof(className));
    if (lstrcmpiA(className, "BUTTON") == 0 &&
        (GetWindowLongA(focus, GWL_STYLE) & BS_TYPEMASK) == BS_PUSHBUTTON)
        SendMessageA(focus, BM_CLICK, 0, 0);
}

/* A dialog box gives the focus back to the control that had it when it
 * was last active, or to its first control; an ordinary window would
 * keep the focus itself, where no key reaches a control. */
static LRESULT OnActivate(HWND window, WPARAM state, HWND other)
{
    HWND focus = GetFocus();

    if (LOWORD(state) == WA_INACTIVE)
    {
        if (focus && IsChild(window, focus))
            Workbench.focus = focus;
    }
    else if (!HIWORD(state))
    {
        SetFocus(Workbench.focus ? Workbench.focus : GetNextDlgTabItem(window, NULL, FALSE));
        return 0;
    }
    return DefWindowProcA(window, WM_ACTIVATE, state, (LPARAM)other);
}

/* The dialog manager moves the focus with this message to the window it
 * works for, which only a dialog box answers by itself: Alt with a
 * caption's letter focuses the caption, then the control after it. A
 * field reached so has its text selected, as in a dialog box. */
static void OnNextDialogControl(HWND window, WPARAM target, LPARAM byHandle)
{
    HWND next;

    if (LOWORD(byHandle))
        next = (HWND)target;
    else
        next = GetNextDlgTabItem(window, GetFocus(), target != 0);
    if (!next)
        return;
    SetFocus(next);
    if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageA(next, EM_SETSEL, 0, -1);
}

static BOOL OnCreate(HWND window)
{
    Workbench.window = window;
    Workbench.font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    /* The hex dump's columns line up only in a fixed-pitch font. */
    Workbench.listFont = (HFONT)GetStockObject(ANSI_FIXED_FONT);
    Workbench.tile = LoadBitmapA(ModuleInstance, WORKBENCH_TILE_BITMAP);

    /* Creation order is the Tab order: down the left column, then the
     * right. */
    CreateOsinfoPanel();
    CreateDatesPanel();
    CreateFoldersPanel();
    CreateSoundsPanel();
    CreateChecksumPanel();
    CreateDrawingPanel();

    /* Something to look at from the start: today in the date field, and
     * the workbench's own program in the file field, checked. */
    ShowToday();
    SetTimer(window, CLOCK_TIMER_ID, CLOCK_TIMER_MS, NULL);
    OnDateFieldChange();
    OnCheckFile();
    return TRUE;
}

static void OnSize(HWND window, UINT kind, int width, int height)
{
    PANEL_AREA area;
    HDWP batch;
    int rightX = 2 * MARGIN + LEFT_COLUMN_WIDTH;

    (void)window;
    if (kind == SIZE_MINIMIZED)
        return;
    batch = BeginDeferWindowPos(LAYOUT_BATCH_SIZE);

    area.x = MARGIN;
    area.y = MARGIN;
    area.width = LEFT_COLUMN_WIDTH;
    area.height = PanelHeight(SYSTEM_ROWS);
    LayoutOsinfoPanel(&batch, &area);
    area.y += area.height + MARGIN;
    area.height = PanelHeight(DATES_ROWS);
    LayoutDatesPanel(&batch, &area);
    area.y += area.height + MARGIN;
    area.height = PanelHeight(CHOOSERS_ROWS);
    LayoutFoldersPanel(&batch, &area);
    area.y += area.height + MARGIN;
    area.height = PanelHeight(SIGNALS_ROWS);
    LayoutSoundsPanel(&batch, &area);

    /* The right column takes what the left leaves: the message list grows
     * with the height, the fitted texts and the pictures with the width. */
    area.x = rightX;
    area.y = MARGIN;
    area.width = width - rightX - MARGIN;
    area.height = height - DrawingPanelHeight() - 3 * MARGIN;
    LayoutChecksumPanel(&batch, &area);
    area.y += area.height + MARGIN;
    area.height = DrawingPanelHeight();
    LayoutDrawingPanel(&batch, &area);

    if (batch)
        EndDeferWindowPos(batch);
}

static void OnGetMinMaxInfo(HWND window, MINMAXINFO *limits)
{
    RECT frame;
    int rightHeight = MinimumRightColumnHeight();
    int leftHeight = LeftColumnHeight();

    (void)window;
    frame.left = 0;
    frame.top = 0;
    frame.right = 3 * MARGIN + LEFT_COLUMN_WIDTH + MIN_RIGHT_COLUMN_WIDTH;
    frame.bottom = leftHeight > rightHeight ? leftHeight : rightHeight;
    AdjustWindowRectEx(&frame, WORKBENCH_MAIN_STYLE, FALSE, 0);
    limits->ptMinTrackSize.x = frame.right - frame.left;
    limits->ptMinTrackSize.y = frame.bottom - frame.top;
}

static void OnTimer(HWND window, UINT_PTR id)
{
    (void)window;
    if (id == CLOCK_TIMER_ID)
        ShowToday();
}

static LRESULT OnCtlColorStatic(HWND window, HDC dc, HWND control)
{
    if (!IsRefusalLabel(control))
        return DefWindowProcA(window, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)control);
    SetTextColor(dc, REFUSAL_COLOUR);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return (LRESULT)GetSysColorBrush(COLOR_BTNFACE);
}

static void OnCommand(HWND window, int id, HWND control, UINT code)
{
    (void)window;
    (void)control;
    switch (id)
    {
    case IDOK:
        OnEnterKey();
        break;
    case IDC_DATE_FIELD:
        if (code == EN_CHANGE)
            OnDateFieldChange();
        break;
    case IDC_CHOOSE_DIALOG:
        OnChooseFolder(TRUE);
        break;
    case IDC_CHOOSE_SHELL:
        OnChooseFolder(FALSE);
        break;
    case IDC_CUE_ATTENTION:
    case IDC_CUE_IP_ACCEPT:
    case IDC_CUE_IP_REJECT:
    case IDC_CUE_FAILURE:
    case IDC_CUE_SUCCESS:
        OnCueButton(id);
        break;
    case IDC_MUTE:
        OnMuteSwitch();
        break;
    case IDC_ERROR_REPORT:
    case IDC_STATUS_REPORT:
        OnReportButton(id);
        break;
    case IDC_SAVE_QUESTION:
        OnSaveQuestion();
        break;
    case IDC_SAVE_NOTES:
        OnSaveNotes();
        break;
    case IDC_BROWSE:
        OnBrowse();
        break;
    case IDC_CHECK_FILE:
        OnCheckFile();
        break;
    case IDC_VIEW_TAIL:
        OnViewTail();
        break;
    case IDC_CLEAR_LIST:
        OnClearList();
        break;
    }
}

static void OnDestroy(HWND window)
{
    KillTimer(window, CLOCK_TIMER_ID);
    if (Workbench.tile)
        DeleteObject(Workbench.tile);
    Workbench.tile = NULL;
    PostQuitMessage(0);
}

LRESULT CALLBACK WorkbenchWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_CREATE:
        return OnCreate(window) ? 0 : -1;
    case WM_SIZE:
        OnSize(window, (UINT)wParam, LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_GETMINMAXINFO:
        OnGetMinMaxInfo(window, (MINMAXINFO *)lParam);
        return 0;
    case WM_TIMER:
        OnTimer(window, (UINT_PTR)wParam);
        return 0;
    case WM_ACTIVATE:
        return OnActivate(window, wParam, (HWND)lParam);
    case WM_NEXTDLGCTL:
        OnNextDialogControl(window, wParam, lParam);
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(window, (HDC)wParam, (HWND)lParam);
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), (HWND)lParam, HIWORD(wParam));
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    RECT frame = { 0, 0, INITIAL_CLIENT_WIDTH, INITIAL_CLIENT_HEIGHT };
    HWND window;
    MSG message;

    (void)previous;
    (void)commandLine;
    ModuleInstance = instance;
    /* The reports' captions and the error report's log form carry the
     * program's short name. */
    LoadModuleIdentity(instance);
    LoadLocaleDateSettings();
    LoadLocaleTimeSettings();
    Workbench.osType = GetOsType();
    /* The shell's folder browser wants COM on the thread that calls it. */
    CoInitialize(NULL);

    RegisterWorkbenchClass(instance);
    RegisterDrawingClasses(instance);
    AdjustWindowRectEx(&frame, WORKBENCH_MAIN_STYLE, FALSE, 0);
    window = CreateWindowExA(0, WORKBENCH_CLASS, WORKBENCH_TITLE, WORKBENCH_MAIN_STYLE,
                             CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                             frame.bottom - frame.top, NULL, NULL, instance, NULL);
    if (!window)
    {
        CoUninitialize();
        return 1;
    }
    CenterWindowOnDesktop(window);
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    /* The dialog manager's keys in an ordinary window: Tab and Shift+Tab
     * between the controls, Alt with a caption's letter, Enter. */
    while (GetMessageA(&message, NULL, 0, 0) > 0)
    {
        if (IsDialogMessageA(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    CoUninitialize();
    return (int)message.wParam;
}
