/*
 * Window placement: move a window so that its centre lies on the centre of
 * a reference window (the desktop, or the window's parent or owner),
 * keeping its size; both are measured by their whole window rectangles.
 * The window is raised but not activated.
 */
#ifndef UTIL_PLACEMENT_H
#define UTIL_PLACEMENT_H

#include <windows.h>

void CenterWindowOnDesktop(HWND window);
BOOL CenterWindowOnParent(HWND window);

#endif
