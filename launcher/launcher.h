/*
 * The launcher's state record, fixed names and texts, and the message
 * handlers that the window procedure routes to.
 */
#ifndef LAUNCHER_LAUNCHER_H
#define LAUNCHER_LAUNCHER_H

#include <windows.h>
#include "resource.h"
#include "layout.h"

/* Class, class menu and icon share the one word. */
#define LAUNCHER_CLASS_NAME  "TARNELL"
#define LAUNCHER_MENU_NAME   "TARNELL"
#define LAUNCHER_ICON_NAME   "TARNELL"
#define SPLASH_BITMAP_NAME   "IDB_TARNELL"

/* The title format doubles, unformatted, as the single-instance mutex
 * name, so that every copy of the launcher uses the same mutex whatever
 * its file name, and launchers of other products do not. */
#define LAUNCHER_TITLE_FORMAT TITLE_LEAD TARNELL_PRODUCT_NAME TITLE_WORDS
#define LAUNCHER_MUTEX_NAME   LAUNCHER_TITLE_FORMAT

#define ERROR_CAPTION_SUFFIX  " Error Information"
#define TEXT_UNSUPPORTED_OS   "Unsupported Operating System"
#define TEXT_SECOND_INSTANCE  "Only one instance of this program allowed!"
#define TEXT_ERROR_CAPTION    ERROR_CAPTION_SUFFIX
#define TEXT_TITLE_FORMAT     LAUNCHER_TITLE_FORMAT

#define INSTALLER_NAME        "Setup.exe"
#define TEXT_START_INSTALL    "Start Install"
#define TEXT_DONT_INSTALL     "Don't Install"

/* Buffer sizes, terminators included. */
#define MODULE_PATH_SIZE      772
#define DISPLAY_NAME_SIZE     256
#define INSTALLER_PATH_SIZE   256
#define ERROR_CAPTION_SIZE    (DISPLAY_NAME_SIZE + CAPTION_SUFFIX_CHARS)

/* The title's fixed text and version take 44 characters for KELMORA
 * 2.31.005, which leaves room for 35 characters of the display name. The
 * build refuses a brand that leaves less than an 8.3 name's 12. */
#define TITLE_FIXED_CHARS     ((int)(sizeof(LAUNCHER_TITLE_FORMAT) - 1 - TITLE_FIELD_CHARS + sizeof(TARNELL_VERSION_TEXT) - 1))
#define TITLE_NAME_CHARS      (TITLE_SIZE - 1 - TITLE_FIXED_CHARS)

/* The texts in the user's language, and the sizes that follow from them. */
#include "texts.h"

/* The systems the launcher accepts, and how it starts the installer. */
#include "systems.h"

/* Window style; its size and the panel's layout are in layout.h. */
#define LAUNCHER_STYLE        (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX)
#define POINTS_PER_INCH       72

typedef struct tagLAUNCHER_STATE
{
    char modulePath[MODULE_PATH_SIZE];
    char ModuleDisplayName[DISPLAY_NAME_SIZE];
    int OsType;
#ifdef TARNELL_SYSTEMS
    int system;             /* the running system's SYSTEM_ bit */
#endif
    char title[TITLE_SIZE];
    HBITMAP splashBitmap;
    HWND splashStatic;
    HWND startButton;
    HWND dontButton;
    WNDPROC previousButtonProc;
    HFONT dialogFont;
} LAUNCHER_STATE;

extern LAUNCHER_STATE Launcher;

LRESULT CALLBACK LauncherWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ButtonSubclassProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);

/* Frame handlers (main.cpp). */
void OnLauncherPaint(HWND window);
void OnLauncherClose(HWND window);
void OnLauncherDestroy(HWND window);

/* Splash panel handlers (splash.cpp). */
BOOL OnLauncherCreate(HWND window);
void OnLauncherKeyDown(HWND window, UINT virtualKey);
void OnLauncherCommand(HWND window, int id, HWND control, UINT notifyCode);
void OnLauncherColorChange(HWND window);

#endif
