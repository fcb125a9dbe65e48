/* Centres windows on the desktop or on their parent. */
#include "placement.h"

/* Both rectangles are whole window rectangles in screen coordinates, so a
 * child is centred on its parent's frame and caption, not its client area.
 * The halves truncate toward zero, as C's division does. */
static BOOL CenterWindowOn(HWND window, HWND reference)
{
    RECT outer, own;
    int centerX, centerY;

    GetWindowRect(reference, &outer);
    GetWindowRect(window, &own);
    centerX = (outer.left + outer.right) / 2;
    centerY = (outer.top + outer.bottom) / 2;
    return SetWindowPos(window, HWND_TOP,
                        centerX - (own.right - own.left) / 2,
                        centerY - (own.bottom - own.top) / 2,
                        0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void CenterWindowOnDesktop(HWND window)
{
    CenterWindowOn(window, GetDesktopWindow());
}

BOOL CenterWindowOnParent(HWND window)
{
    HWND parent = GetParent(window);

    return CenterWindowOn(window, parent ? parent : GetDesktopWindow());
}
