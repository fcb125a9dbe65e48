/*
 * A launcher of another brand, the README's example (Héron 4.2.17, built
 * from a JPEG splash and a PNG icon), beside the KELMORA one: its own
 * title and mutex, its version block, the splash on the screen as the
 * previews show it before and after a colour change, and its icon.
 */
#include <gtest/gtest.h>
#include "capture.h"
#include "launcher_driver.h"
#include "launcher.h"

#define BRANDED_EXE        "Tarnell_branded.exe"
#define BRANDED_PRODUCT    "H\xe9ron"
#define BRANDED_MUTEX      " " BRANDED_PRODUCT " CD-ROM Autorun Program (%s v%s)"
#define BRANDED_TITLE      " " BRANDED_PRODUCT " CD-ROM Autorun Program (Tarnell.exe v4.2.17)"
#define KELMORA_TITLE      " KELMORA CD-ROM Autorun Program (Tarnell.exe v2.31.005)"

/* The previews, turned into BMP files for this program at build time. */
#define PREVIEW_FIRST      "brand-preview-splash.bmp"
#define PREVIEW_AFTER      "brand-preview-after.bmp"
#define PREVIEW_ICON       "brand-preview-icon.bmp"
/* The icon preview is laid on this colour, which the icon does not use. */
#define ICON_BACKDROP      RGB(255, 0, 255)
#define ICON_SIZE          32

static LauncherRun StartBranded(const std::string &name, bool waitForWindow = true)
{
    std::string folder = FreshFolder(name);
    CopyTo(TestProgramFolder() + BRANDED_EXE, folder + "TARNELL.EXE");
    return StartLauncher(folder, "TARNELL.EXE", "", waitForWindow);
}

/* The part of the picture control's screen area that a control covers, in
 * the picture's own coordinates, as the system places them. */
static RECT AreaWithin(HWND picture, HWND control)
{
    RECT origin, area;
    GetWindowRect(picture, &origin);
    GetWindowRect(control, &area);
    OffsetRect(&area, -origin.left, -origin.top);
    return area;
}

/* Pixels that differ outside the buttons, which the previews draw only
 * roughly; the first one is described. */
static int CountDifferences(const Picture &shown, const Picture &expected,
                            const LauncherControls &controls, std::string &first)
{
    const RECT buttons[] = { AreaWithin(controls.picture, controls.start),
                             AreaWithin(controls.picture, controls.dont) };
    int differences = 0;
    for (int y = 0; y < expected.height; y++)
        for (int x = 0; x < expected.width; x++)
        {
            POINT point = { x, y };
            if (PtInRect(&buttons[0], point) || PtInRect(&buttons[1], point))
                continue;
            if (shown.At(x, y) != expected.At(x, y) && differences++ == 0)
            {
                char text[96];
                wsprintfA(text, "x %d, y %d: shown %06X, preview %06X", x, y, shown.At(x, y),
                          expected.At(x, y));
                first = text;
            }
        }
    return differences;
}

TEST(BrandedLauncher, RunsBesideKelmoraWithItsOwnTitleAndMutex_Native)
{
    LauncherRun kelmora = StartLauncher(FreshFolder("brand-kelmora"));
    ASSERT_TRUE(kelmora.window);
    LauncherRun branded = StartBranded("brand-first");
    ASSERT_TRUE(branded.window) << "a KELMORA copy kept the other brand from starting";

    EXPECT_EQ(WindowText(kelmora.window), KELMORA_TITLE);
    EXPECT_EQ(WindowText(branded.window), BRANDED_TITLE);
    EXPECT_TRUE(MutexExists(LAUNCHER_MUTEX_NAME));
    EXPECT_TRUE(MutexExists(BRANDED_MUTEX));

    /* A second copy of the same brand is refused, as a KELMORA one is. */
    LauncherRun second = StartBranded("brand-second", false);
    MessageBoxSeen box = AnswerMessageBox(second.process.info.dwProcessId);
    EXPECT_TRUE(box.found);
    EXPECT_EQ(box.caption, "Tarnell.exe Error Information");
    EXPECT_EQ(box.text, TEXT_SECOND_INSTANCE);
    EXPECT_EQ(FinishLauncher(second), EXIT_REFUSED);

    EXPECT_EQ(CloseWithAltF4(branded), 0u);
    EXPECT_EQ(CloseWithAltF4(kelmora), 0u);
    EXPECT_FALSE(MutexExists(BRANDED_MUTEX));
}

TEST(BrandedVersionBlock, CarriesTheBrandsTextsAndNumbers)
{
    static const struct { const char *name, *value; } strings[] =
    {
        { "FileDescription", BRANDED_PRODUCT " CD-ROM Autorun Program" },
        { "FileVersion", "4.2.17" },
        { "ProductName", BRANDED_PRODUCT },
        { "ProductVersion", "4.2.17" },
        { "CompanyName", "H\xe9ron Cartography Ltd." },
        { "LegalCopyright", "\xa9 2026 H\xe9ron Cartography Ltd. All rights reserved." },
        /* Fixed whatever the brand. */
        { "InternalName", "Tarnell" },
        { "OriginalFilename", "Tarnell.exe" },
    };
    std::vector<BYTE> data = VersionData(TestProgramFolder() + BRANDED_EXE);
    ASSERT_FALSE(data.empty());
    for (const auto &s : strings)
        EXPECT_EQ(VersionString(data, s.name), s.value) << s.name;

    /* 4.2.17 is 4.2.0.17 in the fixed part. */
    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", (void **)&fixed, &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00040002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000011u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00040002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000011u);
}

/* The previews' colour schemes: the Windows Standard colours, and a dark
 * scheme, each written where the launcher reads them at start. After a
 * colour change the page takes the dark scheme's 3-D face colour. */
struct SchemeCase
{
    const char *preview;
    const char *window, *face, *light, *shadow;
    bool colourChange;
    DWORD page;         /* 0xRRGGBB */
};

static const SchemeCase schemeCases[] =
{
    { PREVIEW_FIRST, "255 255 255", "192 192 192", "223 223 223", "128 128 128", false, 0xFFFFFF },
    { PREVIEW_AFTER, "0 0 0", "48 48 56", "80 80 88", "24 24 28", true, 0x303038 },
};

TEST(BrandedSplash, ShowsWhatThePreviewsShow_Native)
{
    for (const SchemeCase &c : schemeCases)
    {
        Picture expected = ReadBitmapFile(TestProgramFolder() + c.preview);
        ASSERT_EQ(expected.width, 590) << c.preview;
        ASSERT_EQ(expected.height, 369) << c.preview;

        UserColours colours({ { "Window", c.window }, { "ButtonFace", c.face },
                              { "ButtonLight", c.light }, { "ButtonShadow", c.shadow } });
        LauncherRun run = StartBranded(c.colourChange ? "brand-dark" : "brand-standard");
        ASSERT_TRUE(run.window) << c.preview;
        SetForegroundWindow(run.window);
        LauncherControls controls = FindControls(run.window);
        HWND picture = controls.picture;
        ASSERT_TRUE(picture && controls.start && controls.dont);
        if (c.colourChange)
            PostMessageA(run.window, WM_SYSCOLORCHANGE, 0, 0);

        /* The first pixel, bottom left, is page: wait until it shows, and
         * until two captures in a row agree. The control erases its
         * background in the 3-D face colour before the bitmap goes on,
         * and a capture in between shows the bottom rows drawn and the
         * rest in that colour. */
        Picture shown, previous;
        WaitUntil([&] {
            previous = shown;
            shown = CaptureWindow(picture);
            return shown.width == 590 && shown.height == 369 && shown.At(0, 368) == c.page &&
                   shown.pixels == previous.pixels;
        });
        ASSERT_EQ(shown.width, 590) << c.preview;
        ASSERT_EQ(shown.height, 369) << c.preview;
        std::string first;
        EXPECT_EQ(CountDifferences(shown, expected, controls, first), 0) << c.preview << ": " << first;
        EXPECT_EQ(CloseWithAltF4(run), 0u);
    }
}

TEST(BrandedIcon, IsThePreviewedIcon_Native)
{
    Picture expected = ReadBitmapFile(TestProgramFolder() + PREVIEW_ICON);
    ASSERT_EQ(expected.width, ICON_SIZE);
    HMODULE module = LoadLibraryExA((TestProgramFolder() + BRANDED_EXE).c_str(), NULL,
                                    LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    HICON icon = (HICON)LoadImageA(module, LAUNCHER_ICON_NAME, IMAGE_ICON, ICON_SIZE, ICON_SIZE, 0);
    ASSERT_TRUE(icon);

    /* Drawn on the preview's backdrop, as the system draws it. */
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, ICON_SIZE, ICON_SIZE);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH backdrop = CreateSolidBrush(ICON_BACKDROP);
    RECT all = { 0, 0, ICON_SIZE, ICON_SIZE };
    FillRect(memory, &all, backdrop);
    EXPECT_TRUE(DrawIconEx(memory, 0, 0, icon, ICON_SIZE, ICON_SIZE, 0, NULL, DI_NORMAL));
    SelectObject(memory, old);
    Picture shown = ReadDib(memory, bitmap, ICON_SIZE, ICON_SIZE);

    int differences = 0, backdropPixels = 0;
    for (int y = 0; y < ICON_SIZE; y++)
        for (int x = 0; x < ICON_SIZE; x++)
        {
            differences += shown.At(x, y) != expected.At(x, y);
            backdropPixels += expected.At(x, y) == 0xFF00FF;
        }
    EXPECT_EQ(differences, 0);
    /* The round icon leaves its corners transparent. */
    EXPECT_GT(backdropPixels, 0);
    EXPECT_LT(backdropPixels, ICON_SIZE * ICON_SIZE);

    DeleteObject(backdrop);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    DestroyIcon(icon);
    FreeLibrary(module);
}
