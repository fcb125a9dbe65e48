/* Centres windows on the desktop or on their parent. */
#include "placement.h"

/* Both rectangles are whole window rectangles in screen coordinates, so a
 * child is centred on its parent's frame and caption, not its client area.
 * The halves truncate toward zero, as C's division does. */
static BOOL CenterWindowOn(HWND window, HWND reference)
{
    RECT outer, own;
    POINT position;

    GetWindowRect(reference, &outer);
    GetWindowRect(window, &own);
    position.x = (outer.left + outer.right) / 2 - (own.right - own.left) / 2;
    position.y = (outer.top + outer.bottom) / 2 - (own.bottom - own.top) / 2;

    /* A child window is positioned in its parent's client coordinates,
     * not on the screen. */
    if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD)
        ScreenToClient(GetParent(window), &position);
    return SetWindowPos(window, HWND_TOP, position.x, position.y,
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
