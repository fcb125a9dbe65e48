/*
 * The launcher's window as the system sees it: title, class, style, size
 * and position, the four controls, the first focus, the
 * ways of closing, and the picture after a system colour change.
 */
#include <gtest/gtest.h>
#include <algorithm>
#include "capture.h"
#include "launcher_driver.h"
#include "contract.h"

#define TITLE_TARNELL " KELMORA CD-ROM Autorun Program (Tarnell.exe v2.31.005)"

static COLORREF ScreenPixel(HWND window, int clientX, int clientY)
{
    POINT point = { clientX, clientY };
    ClientToScreen(window, &point);
    HDC screen = GetDC(NULL);
    COLORREF color = GetPixel(screen, point.x, point.y);
    ReleaseDC(NULL, screen);
    return color;
}

class LauncherWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        run = StartLauncher(FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        ASSERT_TRUE(run.process.started);
        ASSERT_TRUE(run.window) << "no launcher window";
    }

    void TearDown() override
    {
        EndProgram(run.process);
    }

    LauncherRun run;
};

TEST_F(LauncherWindow, FrameAndPlacement)
{
    EXPECT_EQ(WindowText(run.window), TITLE_TARNELL);
    EXPECT_EQ(ClassName(run.window), LAUNCHER_CLASS);

    /* A fixed frame that can be minimised but neither sized nor maximised. */
    LONG style = GetWindowLongA(run.window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
              WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CHILD | WS_POPUP), 0);
    EXPECT_EQ(GetWindowLongA(run.window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    EXPECT_EQ(GetMenu(run.window), (HMENU)NULL);

    /* 630 x 427 on the 1024 x 768 test screen, centred. */
    RECT rect;
    GetWindowRect(run.window, &rect);
    EXPECT_EQ(rect.right - rect.left, 630);
    EXPECT_EQ(rect.bottom - rect.top, 427);
    EXPECT_EQ(rect.left, 197);
    EXPECT_EQ(rect.top, 171);

    /* The class: redraw on size and the button-face background, seen
     * left of the frame. (Another process cannot read class icons; the
     * resource tests load both class icons from the file.) */
    EXPECT_EQ(GetClassLongA(run.window, GCL_STYLE), (DWORD)(CS_HREDRAW | CS_VREDRAW));
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(run.window, 3, 100) == GetSysColor(COLOR_BTNFACE); }));

    LauncherControls controls = FindControls(run.window);
    EXPECT_EQ(FocusOf(run.window), controls.start);

    EXPECT_EQ(CloseWithAltF4(run), 0u);
}

struct ControlExpectation
{
    const char *className;
    const char *text;
    LONG style;
    int id;
};

static const ControlExpectation controlExpectations[] =
{
    { "button", "", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0 },
    { "static", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0 },
    { "button", TEXT_START_INSTALL, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
      ID_START_INSTALL },
    { "button", TEXT_DONT_INSTALL, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, ID_DONT_INSTALL },
};

TEST_F(LauncherWindow, ControlsAndFont_Native)
{
    std::vector<HWND> children = ChildWindows(run.window);
    ASSERT_EQ(children.size(), 4u);

    for (size_t i = 0; i < children.size(); i++)
    {
        const ControlExpectation &expected = controlExpectations[i];
        EXPECT_EQ(LowerCase(ClassName(children[i])), expected.className) << i;
        EXPECT_EQ(WindowText(children[i]), expected.text) << i;
        EXPECT_EQ(GetWindowLongA(children[i], GWL_STYLE), expected.style) << i;
        EXPECT_EQ(GetDlgCtrlID(children[i]), expected.id) << i;
    }

    RECT client;
    GetClientRect(run.window, &client);
    struct { RECT rect; } expectedRects[] =
    {
        { { 8, 0, client.right - 8, client.bottom - 8 } },
        { { 16, 16, 16 + 590, 16 + 369 } },
        { { client.right - 320, 230, client.right - 220, 258 } },
        { { client.right - 180, 230, client.right - 80, 258 } },
    };
    for (size_t i = 0; i < children.size(); i++)
    {
        RECT rect = ChildRect(children[i]);
        EXPECT_TRUE(EqualRect(&rect, &expectedRects[i].rect))
            << i << ": " << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
    }
    /* With the usual frame the buttons stand at x 304 and 444. */
    if (client.right == 624)
    {
        EXPECT_EQ(ChildRect(children[2]).left, 304);
        EXPECT_EQ(ChildRect(children[3]).left, 444);
    }

    EXPECT_EQ(CloseWithAltF4(run), 0u);
}

TEST_F(LauncherWindow, MinimisesAndRestoresButKeepsItsSize_Native)
{
    RECT before;
    GetWindowRect(run.window, &before);

    PostMessageA(run.window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(run.window) != 0; }));
    /* The style changes before the window has moved back: the wait is
     * for both. */
    PostMessageA(run.window, WM_SYSCOMMAND, SC_RESTORE, 0);
    RECT after = {};
    EXPECT_TRUE(WaitUntil([&] {
        GetWindowRect(run.window, &after);
        return !IsIconic(run.window) && EqualRect(&before, &after);
    })) << after.left << "," << after.top << "," << after.right << "," << after.bottom;

    /* The close box sends SC_CLOSE. */
    PostMessageA(run.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(FinishLauncher(run), 0u);
}

/* The picture's first pixel is its bottom-left corner, plain page white;
 * its colour entry is sampled well inside the page, away from the edges.
 * The panel behind the buttons is the picture's 3-D grey, which follows
 * the button face. */
#define CORNER_X (16 + 30)
#define CORNER_Y (16 + 355)
#define PANEL_X  (16 + 276)
#define PANEL_Y  (16 + 204)

TEST(LauncherColours, ColourChangeReloadsThePictureWithTheFirstPixelReplaced)
{
    const COLORREF window = RGB(10, 120, 200), face = RGB(200, 180, 120);
    UserColours colours({ { "Window", "10 120 200" }, { "ButtonFace", "200 180 120" } });
    LauncherRun run = StartLauncher(FreshFolder("colours"));
    ASSERT_TRUE(run.window);
    SetForegroundWindow(run.window);

    /* First load: the greys follow the 3-D face, the page stays white. */
    /* (The panel has the colour of the window's own background, so the
     * white page tells that the picture has been drawn.) */
    ASSERT_TRUE(WaitUntil([&] { return ScreenPixel(run.window, CORNER_X, CORNER_Y) == RGB(255, 255, 255); }))
        << std::hex << ScreenPixel(run.window, CORNER_X, CORNER_Y);
    EXPECT_EQ(ScreenPixel(run.window, PANEL_X, PANEL_Y), face);

    /* After the colour change message the reload replaces the colour of
     * the first pixel, the page white, everywhere. With the 3-D colour
     * mapping in the same load the system takes the 3-D face colour for
     * it rather than the window colour. */
    PostMessageA(run.window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(run.window, CORNER_X, CORNER_Y) == face; }))
        << std::hex << ScreenPixel(run.window, CORNER_X, CORNER_Y);
    EXPECT_EQ(ScreenPixel(run.window, CORNER_X + 370, CORNER_Y), face);
    EXPECT_EQ(ScreenPixel(run.window, PANEL_X, PANEL_Y), face);
    EXPECT_NE(ScreenPixel(run.window, CORNER_X, CORNER_Y), window);

    /* A second change reloads again and the launcher carries on. The
     * picture control then holds another bitmap (the new one is made
     * before the old one goes), and the handler has drawn it; what it
     * drew shows once the window has settled. */
    LauncherControls controls = FindControls(run.window);
    auto picture = [&] { return SendMessageA(controls.picture, STM_GETIMAGE, IMAGE_BITMAP, 0); };
    LRESULT first = picture();
    ASSERT_NE(first, 0);
    PostMessageA(run.window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return picture() != first; })) << "no reload";
    EXPECT_TRUE(SettleWindow(run.process.info.hProcess, run.window, TestTimeout()));
    EXPECT_EQ(ScreenPixel(run.window, CORNER_X, CORNER_Y), face);

    /* The buttons are still drawn over the new picture. */
    Picture button = CaptureWindow(controls.dont);
    ASSERT_GT(button.pixels.size(), 0u);
    EXPECT_NE(button.Count(face), button.pixels.size());
    EXPECT_EQ(CloseWithAltF4(run), 0u);
}

TEST(LauncherWithoutPicture, EndsQuietlyWithExitCodeZero_Native)
{
    std::string folder = FreshFolder("nobitmap");
    ASSERT_TRUE(CopyTo(TestProgramFolder() + "Tarnell_nobitmap.exe", folder + "TARNELL.EXE"));

    ChildProcess child = StartProgram(folder + "TARNELL.EXE");
    bool sawBox = false;
    bool ended = WaitUntil([&] {
        sawBox = sawBox || !ProcessWindows(child.info.dwProcessId, MESSAGE_BOX_CLASS).empty();
        return WaitForSingleObject(child.info.hProcess, 0) == WAIT_OBJECT_0;
    });
    EXPECT_TRUE(ended);
    EXPECT_FALSE(sawBox);
    EXPECT_EQ(WaitForExit(child), 0u);
    EndProgram(child);
}
