/* Window placement on real windows: centring on the desktop, on an owner
 * and on a parent, with odd sizes, oversized windows and Z order. */
#include <gtest/gtest.h>
#include "testwin.h"
#include "util/placement.h"

#define TEST_CLASS "PlacementTest"

class Placement : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        RegisterTestClass(TEST_CLASS, DefWindowProcA);
    }

    void TearDown() override
    {
        for (HWND window : windows)
            DestroyWindow(window);
    }

    HWND Make(DWORD style, int x, int y, int width, int height, HWND parent = NULL)
    {
        HWND window = CreateWindowExA(0, TEST_CLASS, "placement", style, x, y, width, height,
                                      parent, NULL, GetModuleHandleA(NULL), NULL);
        windows.push_back(window);
        return window;
    }

    std::vector<HWND> windows;
};

static RECT WindowRect(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

TEST_F(Placement, CentresOnTheDesktopKeepingTheSize)
{
    RECT desktop = WindowRect(GetDesktopWindow());
    static const SIZE sizes[] = { { 630, 427 }, { 631, 428 }, { 1, 1 }, { 1300, 900 } };

    for (const SIZE &size : sizes)
    {
        HWND window = Make(WS_POPUP | WS_VISIBLE, 3, 5, size.cx, size.cy);
        CenterWindowOnDesktop(window);
        RECT rect = WindowRect(window);
        EXPECT_EQ(rect.left, (desktop.left + desktop.right) / 2 - size.cx / 2) << size.cx;
        EXPECT_EQ(rect.top, (desktop.top + desktop.bottom) / 2 - size.cy / 2) << size.cy;
        EXPECT_EQ(rect.right - rect.left, size.cx);
        EXPECT_EQ(rect.bottom - rect.top, size.cy);
    }
}

TEST_F(Placement, LauncherSizedWindowOnTheTestDesktop)
{
    RECT desktop = WindowRect(GetDesktopWindow());
    ASSERT_EQ(desktop.right - desktop.left, 1024) << "the suite runs on a 1024 x 768 screen";
    ASSERT_EQ(desktop.bottom - desktop.top, 768);

    HWND window = Make(WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0, 630, 427);
    CenterWindowOnDesktop(window);
    RECT rect = WindowRect(window);
    EXPECT_EQ(rect.left, 197);
    EXPECT_EQ(rect.top, 171);

    /* Wider than the screen: the position goes negative. */
    HWND wide = Make(WS_POPUP | WS_VISIBLE, 0, 0, 1224, 100);
    CenterWindowOnDesktop(wide);
    EXPECT_EQ(WindowRect(wide).left, -100);
}

TEST_F(Placement, CentresAnOwnedWindowOnItsOwnersWholeRectangle)
{
    HWND owner = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 101, 51, 401, 301);
    HWND popup = Make(WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 200, 100, owner);
    RECT outer = WindowRect(owner);

    EXPECT_NE(CenterWindowOnParent(popup), 0);
    RECT rect = WindowRect(popup);
    EXPECT_EQ(rect.left, (outer.left + outer.right) / 2 - 100);
    EXPECT_EQ(rect.top, (outer.top + outer.bottom) / 2 - 50);
}

TEST_F(Placement, CentresAChildOnItsParentsFrameNotItsClientArea)
{
    HWND parent = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30, 500, 400);
    HWND child = Make(WS_CHILD | WS_VISIBLE, 0, 0, 101, 51, parent);
    RECT outer = WindowRect(parent);

    EXPECT_NE(CenterWindowOnParent(child), 0);
    RECT rect = WindowRect(child);
    EXPECT_EQ(rect.left, (outer.left + outer.right) / 2 - 50);
    EXPECT_EQ(rect.top, (outer.top + outer.bottom) / 2 - 25);
}

TEST_F(Placement, HalvesTruncateTowardZero)
{
    /* An owner left of the screen: its centre is a negative odd sum. */
    HWND owner = Make(WS_POPUP | WS_VISIBLE, -301, -201, 300, 200);
    HWND popup = Make(WS_POPUP | WS_VISIBLE, 0, 0, 3, 3, owner);

    CenterWindowOnParent(popup);
    RECT rect = WindowRect(popup);
    EXPECT_EQ(rect.left, (-301 + -1) / 2 - 1);
    EXPECT_EQ(rect.left, -152);
    EXPECT_EQ(rect.top, (-201 + -1) / 2 - 1);
}

TEST_F(Placement, WithoutParentCentresOnTheDesktop)
{
    RECT desktop = WindowRect(GetDesktopWindow());
    HWND window = Make(WS_POPUP | WS_VISIBLE, 0, 0, 300, 200);

    EXPECT_NE(CenterWindowOnParent(window), 0);
    EXPECT_EQ(WindowRect(window).left, (desktop.left + desktop.right) / 2 - 150);
}

TEST_F(Placement, RaisesWithoutActivating)
{
    HWND below = Make(WS_POPUP | WS_VISIBLE, 0, 0, 200, 200);
    HWND above = Make(WS_POPUP | WS_VISIBLE, 10, 10, 200, 200);
    SetForegroundWindow(above);
    SetActiveWindow(above);
    ASSERT_EQ(GetActiveWindow(), above);

    CenterWindowOnDesktop(below);
    EXPECT_EQ(GetActiveWindow(), above);

    /* "below" now comes before "above" in the Z order. */
    bool belowFirst = false;
    for (HWND scan = GetTopWindow(NULL); scan; scan = GetWindow(scan, GW_HWNDNEXT))
    {
        if (scan == below) { belowFirst = true; break; }
        if (scan == above) break;
    }
    EXPECT_TRUE(belowFirst);
}
