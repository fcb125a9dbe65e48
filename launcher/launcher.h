/*
 * The launcher's state record, fixed names and texts, and the message
 * handlers that the window procedure routes to.
 */
#ifndef LAUNCHER_LAUNCHER_H
#define LAUNCHER_LAUNCHER_H

#include <windows.h>
#include "resource.h"

/* Class (the contract's), class menu and icon share the one word. */
#define LAUNCHER_MENU_NAME   LAUNCHER_CLASS_NAME
#define LAUNCHER_ICON_NAME   LAUNCHER_CLASS_NAME

/* The title format doubles, unformatted, as the single-instance mutex
 * name, so that every copy of the launcher uses the same mutex whatever
 * its file name, and launchers of other products do not. */
#define LAUNCHER_TITLE_FORMAT TITLE_LEAD TARNELL_PRODUCT_NAME TITLE_WORDS
#define LAUNCHER_MUTEX_NAME   LAUNCHER_TITLE_FORMAT
#define TEXT_TITLE_FORMAT     LAUNCHER_TITLE_FORMAT

/* Buffer sizes, terminators included. */
#define MODULE_PATH_SIZE      772
#define DISPLAY_NAME_SIZE     256
#define INSTALLER_PATH_SIZE   256
#define ERROR_CAPTION_SIZE    (DISPLAY_NAME_SIZE + CAPTION_SUFFIX_CHARS)

/* The title's fixed text and version take 44 characters for KELMORA
 * 2.31.005, which leaves room for 35 characters of the display name. The
 * build refuses a brand that leaves less than an 8.3 name's 12. */
#define TITLE_NAME_CHARS      ((int)TITLE_ROOM(sizeof(LAUNCHER_TITLE_FORMAT) - 1, sizeof(TARNELL_VERSION_TEXT) - 1))

/* The texts in the user's language, and the sizes that follow from them. */
#include "texts.h"

/* The systems the launcher accepts, and how it starts the installer. */
#include "systems.h"

/* Window style; its size and the panel's layout are the contract's. */
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
