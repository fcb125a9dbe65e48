/*
 * Window placement: move a window so that its centre lies on the centre of
 * a reference window, keeping its size. The window is raised but not
 * activated.
 */
#ifndef UTIL_PLACEMENT_H
#define UTIL_PLACEMENT_H

#include <windows.h>

void CenterWindowOnDesktop(HWND window);
BOOL CenterWindowOnParent(HWND window);

#endif
