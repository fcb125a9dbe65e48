/*
 * The launcher's keyboard: Tab and Shift+Tab alternate between the two
 * buttons, Escape does nothing, Space and Enter press the focused button,
 * and Enter while the window itself has the focus presses Start Install.
 */
#include <gtest/gtest.h>
#include "launcher_driver.h"

/* Dispatches what this thread's own windows were sent, when a test made
 * one: Wine's change of foreground waits on the thread that loses it. */
static void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

class LauncherKeyboard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = FreshFolder(std::string("keys-") +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        PlaceSetup(folder);
        run = StartLauncher(folder);
        ASSERT_TRUE(run.window);
        controls = FindControls(run.window);
        ASSERT_TRUE(controls.start && controls.dont);
        ASSERT_TRUE(WaitUntil([&] { return FocusOf(run.window) == controls.start; }));
    }

    void TearDown() override
    {
        EndProgram(run.process);
    }

    /* Presses a key and waits for the focus to land on the expected
     * window. On a loaded machine a key sent while Wine still settles a
     * change of foreground can reach no window: while the focus has not
     * moved at all, the key is pressed again (one that arrived has moved
     * it). */
    bool KeyMovesFocusTo(WORD key, WORD modifier, HWND expected)
    {
        HWND before = FocusOf(run.window);
        for (int press = 0; press < 3; press++)
        {
            PressKey(run.window, key, modifier);
            if (WaitUntil([&] { PumpMessages(); return FocusOf(run.window) != before; }, 2000))
                break;
        }
        return WaitUntil([&] { PumpMessages(); return FocusOf(run.window) == expected; }, 5000);
    }

    bool SetupRan()
    {
        return FileExists(folder + SETUP_RECORD);
    }

    /* Tabs to Don't Install and presses it with the key: the launcher
     * closes and starts nothing. Once it has ended, its job has counted
     * every process it started. */
    void PressDontInstallWith(WORD key)
    {
        ASSERT_TRUE(KeyMovesFocusTo(VK_TAB, 0, controls.dont));
        PressKey(run.window, key);
        EXPECT_EQ(WaitForExit(run.process), 0u);
        EXPECT_EQ(ProcessesStarted(run.process), 1u) << "the launcher started a program";
        EXPECT_FALSE(SetupRan());
    }

    std::string folder;
    LauncherRun run;
    LauncherControls controls;
};

TEST_F(LauncherKeyboard, TabAndShiftTabAlternateBetweenTheButtons_Native)
{
    EXPECT_TRUE(KeyMovesFocusTo(VK_TAB, 0, controls.dont));
    EXPECT_TRUE(KeyMovesFocusTo(VK_TAB, 0, controls.start));
    EXPECT_TRUE(KeyMovesFocusTo(VK_TAB, VK_SHIFT, controls.dont));
    EXPECT_TRUE(KeyMovesFocusTo(VK_TAB, VK_SHIFT, controls.start));

    /* Escape has no effect: the window stays, the focus stays. Keys are
     * taken in order, so once the Tab after it has moved the focus on by
     * one, the Escape has been handled. */
    PressKey(run.window, VK_ESCAPE);
    EXPECT_TRUE(KeyMovesFocusTo(VK_TAB, 0, controls.dont));
    EXPECT_TRUE(IsWindowVisible(run.window));

    EXPECT_EQ(CloseWithAltF4(run), 0u);
    EXPECT_FALSE(SetupRan());
}

TEST_F(LauncherKeyboard, EnterOnDontInstallClosesWithoutStartingAnything_Native)
{
    PressDontInstallWith(VK_RETURN);
}

TEST_F(LauncherKeyboard, SpacePressesStartInstall_Native)
{
    PressKey(run.window, VK_SPACE);
    EXPECT_EQ(WaitForExit(run.process), 0u);
    /* The launcher and the installer: the count that the other tests
     * expect to stay at 1 sees a program started. */
    EXPECT_EQ(ProcessesStarted(run.process), 2u);
    EXPECT_TRUE(WaitUntil([&] { return SetupRan(); }));
}

TEST_F(LauncherKeyboard, SpacePressesDontInstall_Native)
{
    PressDontInstallWith(VK_SPACE);
}

/* A plain window that takes the activation away from the launcher. */
static HWND MakeOtherWindow()
{
    return CreateWindowExA(0, "static", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                           NULL, NULL, GetModuleHandleA(NULL), NULL);
}

/* When a plain window is activated again, the system gives the focus to
 * the window itself rather than to a button: activates a window of this
 * process, then the launcher again. Returns the other window. */
static HWND FocusTheWindowItself(HWND launcher)
{
    HWND other = MakeOtherWindow();
    /* On a busy machine the first switch may not have taken when the
     * launcher is brought back, which then keeps its button's focus: the
     * round is tried again. */
    for (int round = 0; round < 3 && FocusOf(launcher) != launcher; round++)
    {
        SetForegroundWindow(other);
        WaitUntil([&] { PumpMessages(); return GetForegroundWindow() == other; }, 5000);
        SetForegroundWindow(launcher);
        WaitUntil([&] { PumpMessages(); return FocusOf(launcher) == launcher; }, 5000);
    }
    return other;
}

TEST_F(LauncherKeyboard, EnterWhileTheWindowItselfHasFocusPressesStartInstall_Native)
{
    HWND other = FocusTheWindowItself(run.window);
    ASSERT_EQ(FocusOf(run.window), run.window);

    PressKey(run.window, VK_RETURN);
    EXPECT_EQ(FinishLauncher(run), 0u);
    EXPECT_TRUE(WaitUntil([&] { return SetupRan(); }));
    DestroyWindow(other);
}

TEST_F(LauncherKeyboard, TabWhileTheWindowItselfHasFocusGoesToStartInstall_Native)
{
    HWND other = FocusTheWindowItself(run.window);
    ASSERT_EQ(FocusOf(run.window), run.window);

    EXPECT_TRUE(KeyMovesFocusTo(VK_TAB, 0, controls.start));
    EXPECT_EQ(CloseWithAltF4(run), 0u);
    DestroyWindow(other);
}
