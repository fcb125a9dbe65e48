/* A picture of a window as the screen shows it, for the tools that show
 * a program off or try it: the showcase and the disc trial's driver. */
#ifndef TOOLS_WINDOWSHOT_H
#define TOOLS_WINDOWSHOT_H

#include <windows.h>

/* Copies the window's screen area, frame included, into a 24-bit BMP
 * file; FALSE when the file cannot be written. */
BOOL SaveWindowPicture(HWND window, const char *path);

#endif
