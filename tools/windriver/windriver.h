/* A picture of a window as the screen shows it, for the tools that show
 * a program off or try it (the showcase, the disc trial's driver) and for
 * the tests that compare what the screen shows. */
#ifndef TOOLS_WINDRIVER_WINDRIVER_H
#define TOOLS_WINDRIVER_WINDRIVER_H

#include <windows.h>

/* A bitmap compatible with the screen holding the window's screen area,
 * frame included; the caller deletes it. */
HBITMAP CopyWindowArea(HWND window, int *width, int *height);

/* Copies the window's screen area, frame included, into a 24-bit BMP
 * file; FALSE when the file cannot be written. */
BOOL SaveWindowPicture(HWND window, const char *path);

#endif
