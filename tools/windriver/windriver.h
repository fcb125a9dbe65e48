/*
 * Working another program's windows as a person at the screen would, for
 * the tools that show a program off or try it (the showcase, the disc
 * trial's driver) and for the test drivers: find a program's top-level
 * window or message box, wait for it, let it settle, press keys, type,
 * click, read its texts, and take a picture of what the screen shows.
 * Every wait has a bound.
 */
#ifndef TOOLS_WINDRIVER_WINDRIVER_H
#define TOOLS_WINDRIVER_WINDRIVER_H

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

/* Class of the system's message box windows. */
#define MESSAGE_BOX_CLASS "#32770"
/* Id of the message box's text control. */
#define MESSAGE_BOX_TEXT_ID 0xFFFF

/* Polls until the condition holds; false once limit milliseconds passed
 * without it. */
bool WaitUntil(const std::function<bool()> &condition, DWORD limit);

/* Top-level windows of a process, shown or not, optionally only those of
 * one class. */
std::vector<HWND> ProcessWindows(DWORD processId, const char *className = NULL);
/* The first visible one of them; NULL when there is none. */
HWND ShownProcessWindow(DWORD processId, const char *className = NULL);
/* Waits at most limit milliseconds for ShownProcessWindow; NULL after the
 * limit, or at once when the process (a handle, or NULL not to watch it)
 * ended without showing one. */
HWND WaitForShownWindow(DWORD processId, const char *className, DWORD limit, HANDLE process);
std::vector<HWND> ChildWindows(HWND parent);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
/* The text of a message box's text control. */
std::string MessageBoxText(HWND box);

/* Makes the window the foreground window and waits a short while for the
 * system to do it; false when it did not. */
bool BringToForeground(HWND window);
/* Until the program waits for input it may still be filling its window;
 * then its own painting settles: waits for input idle, then captures the
 * window's screen area until two captures in a row agree. Each step waits
 * at most limit milliseconds; false when the captures never agreed. */
bool SettleWindow(HANDLE process, HWND window, DWORD limit);

/* Brings the window to the foreground and presses one key, optionally
 * with a modifier (VK_SHIFT, VK_MENU) held, through SendInput; false when
 * the window did not come to the foreground in time (the key is pressed
 * all the same, as a person would). */
bool PressKey(HWND window, WORD virtualKey, WORD modifier = 0);
/* Brings the window to the foreground and types the text into its focus
 * through SendInput: each character on the key that the keyboard layout
 * gives it, with Shift where the layout wants it, or as the character
 * itself where no key makes it. */
void TypeText(HWND window, const std::string &text);
/* Brings the window to the foreground and clicks the left mouse button at
 * a screen point, once or twice in quick succession (a double click),
 * through SendInput. */
void ClickAt(HWND window, POINT screen, int clicks = 1);
/* Clicks the middle of a child control. */
void ClickControl(HWND control, int clicks = 1);

/* The header of a 32-bit top-down device-independent bitmap: each pixel
 * one DWORD 0x00RRGGBB, rows from the top. */
BITMAPINFO TopDownBitmapInfo(int width, int height);
/* A bitmap compatible with the screen holding the window's screen area,
 * frame included, as far as it lies on the screen; the caller deletes it. */
HBITMAP CopyWindowArea(HWND window, int *width, int *height);
/* The window's screen area, frame included, as TopDownBitmapInfo pixels;
 * empty, and 0 x 0, when it cannot be read. */
std::vector<DWORD> ReadWindowArea(HWND window, int *width, int *height);
/* The window's screen area, frame included, as far as it lies on the
 * screen, as the bytes of a 24-bit BMP file; false, and empty, when it
 * cannot be read. */
bool WindowPicture(HWND window, std::vector<BYTE> *bmp);
/* The same written to a BMP file; FALSE when it cannot be read or the
 * file cannot be written. */
BOOL SaveWindowPicture(HWND window, const char *path);

#endif
