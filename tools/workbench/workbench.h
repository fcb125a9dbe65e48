/*
 * The library workbench: one resizable window with a group box per topic
 * of the utility library, each worked by the library's own routines. Its
 * ids and texts are in resource.h, its layout and control kit in
 * controls.h; this header holds what the panels share: the state, their
 * numbers and the handlers of each panel.
 */
#ifndef TOOLS_WORKBENCH_H
#define TOOLS_WORKBENCH_H

#include <windows.h>
#include "controls.h"
#include "resource.h"

/* The clock of the dates panel. */
#define CLOCK_TIMER_ID          1
#define CLOCK_TIMER_MS          1000

/* The coded report of a file that cannot be checked: the files panel's
 * area, the step that failed, and the system's error code as detail. */
#define REPORT_AREA_FILES       0x0F11
#define REPORT_STEP_OPEN        0x0001
#define REPORT_STEP_READ        0x0002

/* The initial registers of the two checksums shown: CRC-16/XMODEM and
 * CRC-32/MPEG-2. */
#define CRC16_XMODEM_INITIAL    0x0000
#define CRC32_MPEG2_INITIAL     0xFFFFFFFFUL

/* The hex dump shows this many bytes from the file's start. */
#define HEX_DUMP_BYTES          128
/* The file is read in pieces of this size, each CRC passed on to the next. */
#define FILE_CHUNK_SIZE         4096
/* The typed date counts for this many characters; see DATE_TEXT_WORK_SIZE. */
#define DATE_FIELD_LIMIT        11
/* Hexadecimal digits of one code field. */
#define CODE_FIELD_LIMIT        4
#define HEX_RADIX               16

/* What the panels share. */
typedef struct tagWORKBENCH_STATE
{
    HWND window;
    HFONT font;               /* the controls' font (DEFAULT_GUI_FONT) */
    HFONT listFont;           /* the message list's fixed-pitch font */
    HBITMAP tile;             /* WORKBENCH_TILE_BITMAP */
    HWND focus;               /* the control that had the focus last */
    int osType;
    char fittedSource[MAX_PATH];  /* the path that the drawing panel fits */
} WORKBENCH_STATE;

extern WORKBENCH_STATE Workbench;

/* workbench.cpp: the frame. */
LRESULT CALLBACK WorkbenchWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

/* osinfo_panel.cpp: the system (osinfo, localeconv). */
void CreateOsinfoPanel(void);
void LayoutOsinfoPanel(HDWP *batch, const PANEL_AREA *area);

/* dates_panel.cpp: dates (datetext, dates). */
void CreateDatesPanel(void);
void LayoutDatesPanel(HDWP *batch, const PANEL_AREA *area);
void ShowToday(void);
void OnDateFieldChange(void);
/* Whether a static control shows a refusal, which is drawn in its colour. */
BOOL IsRefusalLabel(HWND control);

/* folders_panel.cpp: the folder chooser and the ports (folders, ports). */
void CreateFoldersPanel(void);
void LayoutFoldersPanel(HDWP *batch, const PANEL_AREA *area);
void OnChooseFolder(BOOL ownDialog);

/* sounds_panel.cpp: the sound cues and the reports (sounds, reports). */
void CreateSoundsPanel(void);
void LayoutSoundsPanel(HDWP *batch, const PANEL_AREA *area);
void OnCueButton(int id);
void OnMuteSwitch(void);
void OnReportButton(int id);
void OnSaveQuestion(void);
void OnSaveNotes(void);

/* checksum_panel.cpp: a file's checksums and the message list (checksum,
 * msglist). */
void CreateChecksumPanel(void);
void LayoutChecksumPanel(HDWP *batch, const PANEL_AREA *area);
void OnBrowse(void);
void OnCheckFile(void);
void OnViewTail(void);
void OnClearList(void);

/* drawing_panel.cpp: drawing (drawing). */
void RegisterDrawingClasses(HINSTANCE instance);
void CreateDrawingPanel(void);
void LayoutDrawingPanel(HDWP *batch, const PANEL_AREA *area);
/* Fits the path to show (fittedSource) anew into both fitted labels. */
void RefitTexts(void);

#endif
