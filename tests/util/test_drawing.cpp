/* Bitmap drawing on real device contexts (a memory DC over a DIB section,
 * and a window's own DC) under MM_TEXT and MM_LOMETRIC, and text fitting
 * measured in the real font of a real window. Expected forms come from the
 * platform's own text measurement. */
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "dbcstest.h"
#include "testwin.h"
#include "util/drawing.h"

#define BACKGROUND   0x000000u
#define FIT_CLASS    "FitTextTest"
#define DRAW_CLASS   "DrawTest"

/* A 32-bit top-down DIB section with its pixels at hand. */
struct Pixels
{
    HBITMAP bitmap;
    DWORD *bits;
    int width, height;

    DWORD At(int x, int y) const { return bits[y * width + x] & 0xFFFFFF; }
};

static Pixels MakePixels(int width, int height)
{
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    Pixels pixels = { NULL, NULL, width, height };

    pixels.bitmap = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, (void **)&pixels.bits, NULL, 0);
    return pixels;
}

/* A bitmap whose every pixel tells where it is: red 0x80, green its row,
 * blue its column. */
static Pixels MakePattern(int width, int height)
{
    Pixels pattern = MakePixels(width, height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            pattern.bits[y * width + x] = 0x800000 | ((y & 0xFF) << 8) | (x & 0xFF);
    return pattern;
}

static DWORD PatternAt(int x, int y)
{
    return 0x800000 | ((y & 0xFF) << 8) | (x & 0xFF);
}

/* A drawing target: a memory DC over a DIB section filled with the
 * background. */
struct Canvas
{
    HDC dc;
    Pixels pixels;
    HGDIOBJ previous;
};

static Canvas MakeCanvas(int width, int height)
{
    Canvas canvas;
    canvas.dc = CreateCompatibleDC(NULL);
    canvas.pixels = MakePixels(width, height);
    canvas.previous = SelectObject(canvas.dc, canvas.pixels.bitmap);
    for (int i = 0; i < width * height; i++)
        canvas.pixels.bits[i] = BACKGROUND;
    return canvas;
}

static void FreeCanvas(Canvas &canvas)
{
    SelectObject(canvas.dc, canvas.previous);
    DeleteDC(canvas.dc);
    DeleteObject(canvas.pixels.bitmap);
}

/* Compares the canvas with whole copies of a pattern at the given device
 * positions on the background; returns the number of wrong pixels and
 * describes the first. */
static int WrongPixels(const Canvas &canvas, int patternWidth, int patternHeight,
                       const std::vector<POINT> &copies, std::string *first)
{
    int wrong = 0;
    for (int y = 0; y < canvas.pixels.height; y++)
        for (int x = 0; x < canvas.pixels.width; x++)
        {
            DWORD expected = BACKGROUND;
            for (const POINT &at : copies)
                if (x >= at.x && x < at.x + patternWidth && y >= at.y && y < at.y + patternHeight)
                    expected = PatternAt(x - at.x, y - at.y);
            if (canvas.pixels.At(x, y) != expected && wrong++ == 0)
            {
                char text[96];
                wsprintfA(text, "(%d, %d) is %06lx, not %06lx", x, y, canvas.pixels.At(x, y), expected);
                *first = text;
            }
        }
    return wrong;
}

TEST(DrawBitmap, CentredInTheAreaAtTheGivenPositions)
{
    static const struct { int bw, bh, width, height, x, y; } cases[] = {
        { 200, 100, 100, 50, -50, -25 },   /* larger than the area: its middle shows */
        { 31, 31, 100, 100, 35, 35 },      /* odd sizes */
        { 64, 64, 100, 100, 18, 18 },
        { 10, 10, 101, 99, 45, 44 },
        { 1, 1, 1, 1, 0, 0 },
        { 40, 30, 0, 0, -20, -15 },
        { 200, 100, -20, -10, -110, -55 },
        { 33, 17, 257, 129, 112, 56 },
    };

    for (const auto &c : cases)
    {
        Canvas canvas = MakeCanvas(300, 240);
        Pixels pattern = MakePattern(c.bw, c.bh);
        EXPECT_NE(DrawBitmapCentered(canvas.dc, pattern.bitmap, c.width, c.height), 0);
        std::string first;
        EXPECT_EQ(WrongPixels(canvas, c.bw, c.bh, { { c.x, c.y } }, &first), 0)
            << c.bw << "x" << c.bh << " in " << c.width << "x" << c.height << ": " << first;
        FreeCanvas(canvas);
        DeleteObject(pattern.bitmap);
    }
}

TEST(DrawBitmap, TilesCoverTheAreaWithWholeCopies)
{
    static const struct { int bw, bh, width, height; std::vector<POINT> copies; } cases[] = {
        { 64, 64, 100, 100, { { 0, 0 }, { 64, 0 }, { 0, 64 }, { 64, 64 } } },
        { 30, 20, 65, 41, { { 0, 0 }, { 30, 0 }, { 60, 0 }, { 0, 20 }, { 30, 20 }, { 60, 20 },
                            { 0, 40 }, { 30, 40 }, { 60, 40 } } },
        { 50, 50, 50, 50, { { 0, 0 } } },
        { 50, 50, 51, 1, { { 0, 0 }, { 50, 0 } } },
        { 50, 50, 0, 100, {} },
        { 50, 50, 100, -5, {} },
    };

    for (const auto &c : cases)
    {
        Canvas canvas = MakeCanvas(200, 160);
        Pixels pattern = MakePattern(c.bw, c.bh);
        EXPECT_NE(TileBitmap(canvas.dc, pattern.bitmap, c.width, c.height), 0);
        std::string first;
        EXPECT_EQ(WrongPixels(canvas, c.bw, c.bh, c.copies, &first), 0)
            << c.bw << "x" << c.bh << " over " << c.width << "x" << c.height << ": " << first;
        FreeCanvas(canvas);
        DeleteObject(pattern.bitmap);
    }
}

/* The bounding box of everything drawn on the canvas. */
static RECT DrawnBox(const Canvas &canvas)
{
    RECT box = { canvas.pixels.width, canvas.pixels.height, -1, -1 };
    for (int y = 0; y < canvas.pixels.height; y++)
        for (int x = 0; x < canvas.pixels.width; x++)
            if (canvas.pixels.At(x, y) != BACKGROUND)
            {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}

/* In tenths of a millimetre, where the y axis points up: an area from the
 * origin down to a corner below it has a negative height, and the bitmap,
 * whose height is negative there too, still shows upright, at its size,
 * centred on the area. Tiles have no downward step there, so nothing is
 * drawn. */
TEST(DrawBitmap, UnderAMetricMappingMode)
{
    Canvas canvas = MakeCanvas(400, 300);
    Pixels pattern = MakePattern(64, 32);
    SetMapMode(canvas.dc, MM_LOMETRIC);
    /* The area is the device rectangle from (0, 0) to (320, 240). */
    POINT corner = { 320, 240 };
    DPtoLP(canvas.dc, &corner, 1);
    ASSERT_LT(corner.y, 0);

    EXPECT_NE(DrawBitmapCentered(canvas.dc, pattern.bitmap, corner.x, corner.y), 0);
    RECT box = DrawnBox(canvas);
    EXPECT_NEAR(box.right - box.left, 64, 1);
    EXPECT_NEAR(box.bottom - box.top, 32, 1);
    EXPECT_NEAR((box.left + box.right) / 2.0, 160, 2);
    EXPECT_NEAR((box.top + box.bottom) / 2.0, 120, 2);
    DWORD topLeft = canvas.pixels.At(box.left + 1, box.top + 1);
    EXPECT_LE(topLeft & 0xFF, 3u) << "column";
    EXPECT_LE((topLeft >> 8) & 0xFF, 3u) << "row: drawn upside down?";

    for (int i = 0; i < 400 * 300; i++)
        canvas.pixels.bits[i] = BACKGROUND;
    EXPECT_EQ(TileBitmap(canvas.dc, pattern.bitmap, corner.x, corner.y), 0);
    EXPECT_EQ(DrawnBox(canvas).right, -1) << "tiles drawn with an upward axis";
    FreeCanvas(canvas);
    DeleteObject(pattern.bitmap);
}

/* Handles that are no bitmap (or a bitmap that another DC holds) draw
 * nothing and give 0; nothing is kept, so many calls exhaust nothing. */
TEST(DrawBitmap, HandlesThatAreNoBitmapDrawNothing)
{
    Canvas canvas = MakeCanvas(64, 64);
    Pixels pattern = MakePattern(8, 8);
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    HFONT font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    HDC holder = CreateCompatibleDC(NULL);
    Pixels held = MakePattern(8, 8);
    HGDIOBJ holderPrevious = SelectObject(holder, held.bitmap);
    const HGDIOBJ handles[] = { brush, font, NULL, held.bitmap };

    for (HGDIOBJ handle : handles)
    {
        EXPECT_EQ(DrawBitmapCentered(canvas.dc, (HBITMAP)handle, 64, 64), 0);
        EXPECT_EQ(TileBitmap(canvas.dc, (HBITMAP)handle, 64, 64), 0);
        EXPECT_EQ(DrawnBox(canvas).right, -1);
    }
    EXPECT_EQ(GetObjectType(brush), (DWORD)OBJ_BRUSH);

    /* More calls than the system has GDI handles, were each to keep one. */
    for (int i = 0; i < 35000; i++)
    {
        DrawBitmapCentered(canvas.dc, pattern.bitmap, 64, 64);
        TileBitmap(canvas.dc, (HBITMAP)brush, 64, 64);
    }
    EXPECT_NE(TileBitmap(canvas.dc, pattern.bitmap, 64, 64), 0);
    std::vector<POINT> tiles;
    for (int y = 0; y < 64; y += 8)
        for (int x = 0; x < 64; x += 8)
            tiles.push_back({ x, y });
    std::string first;
    EXPECT_EQ(WrongPixels(canvas, 8, 8, tiles, &first), 0) << first;
    EXPECT_EQ(GetObjectType(pattern.bitmap), (DWORD)OBJ_BITMAP);

    SelectObject(holder, holderPrevious);
    DeleteDC(holder);
    DeleteObject(held.bitmap);
    DeleteObject(brush);
    FreeCanvas(canvas);
    DeleteObject(pattern.bitmap);
}

/* A real window's own device context. */
TEST(DrawBitmap, OnAWindowsDeviceContext)
{
    RegisterTestClass(DRAW_CLASS, DefWindowProcA);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, DRAW_CLASS, "draw", WS_POPUP | WS_VISIBLE,
                                  10, 10, 160, 120, NULL, NULL, GetModuleHandleA(NULL), NULL);
    UpdateWindow(window);
    Pixels pattern = MakePattern(40, 20);
    HDC dc = GetDC(window);

    EXPECT_NE(DrawBitmapCentered(dc, pattern.bitmap, 160, 120), 0);
    /* At (60, 50): the corners and the middle, read back as red 0x80,
     * green the row and blue the column. */
    EXPECT_EQ(GetPixel(dc, 60, 50), (COLORREF)RGB(0x80, 0, 0));
    EXPECT_EQ(GetPixel(dc, 99, 69), (COLORREF)RGB(0x80, 19, 39));
    EXPECT_EQ(GetPixel(dc, 80, 60), (COLORREF)RGB(0x80, 10, 20));
    EXPECT_NE(GetPixel(dc, 59, 50), (COLORREF)RGB(0x80, 0, 0xFF));
    EXPECT_NE(GetRValue(GetPixel(dc, 100, 70)), 0x80);

    ReleaseDC(window, dc);
    DestroyWindow(window);
    DeleteObject(pattern.bitmap);
}

/* Text fitting in the font that a window's own DC holds. */
class FitText : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        /* Its own DC keeps the font selected into it between GetDC calls. */
        RegisterTestClass(FIT_CLASS, DefWindowProcA, CS_OWNDC);
    }

    void SetUp() override
    {
        window = CreateWindowExA(0, FIT_CLASS, "fit", WS_POPUP, 0, 0, 300, 40, NULL, NULL,
                                 GetModuleHandleA(NULL), NULL);
        font = CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0,
                           "Tahoma");
        HDC dc = GetDC(window);
        SelectObject(dc, font);
        ReleaseDC(window, dc);
    }

    void TearDown() override
    {
        DestroyWindow(window);
        DeleteObject(font);
    }

    int Width(const std::string &text)
    {
        SIZE size = { 0, 0 };
        HDC dc = GetDC(window);
        GetTextExtentPoint32A(dc, text.c_str(), (int)text.size(), &size);
        ReleaseDC(window, dc);
        return size.cx;
    }

    /* The first of the forms, in the order they are tried, that fits. */
    std::string FirstFitting(const std::vector<std::string> &forms, int width)
    {
        for (const std::string &form : forms)
            if (Width(form) <= width - FIT_TEXT_MARGIN)
                return form;
        return "";
    }

    /* Fits the text in a buffer with guard bytes past the room a caller
     * must give (the text and three more characters). */
    std::string Fit(const std::string &text, int width, int pathMode, bool *guardsIntact = NULL)
    {
        std::vector<char> buffer(text.size() + FIT_TEXT_GROWTH + 1 + 16, '#');
        memcpy(buffer.data(), text.c_str(), text.size() + 1);
        EXPECT_EQ(FitTextToWidth(window, buffer.data(), width, pathMode), 1);
        bool intact = true;
        for (size_t i = text.size() + FIT_TEXT_GROWTH + 1; i < buffer.size(); i++)
            intact = intact && buffer[i] == '#';
        EXPECT_TRUE(intact) << "written past the caller's room";
        if (guardsIntact)
            *guardsIntact = intact;
        return buffer.data();
    }

    HWND window;
    HFONT font;
};

TEST_F(FitText, ATextThatFitsIsLeftAsItIs)
{
    static const struct { const char *text; int pathMode; } cases[] = {
        { "C:\\DIR\\SUB\\FILE.TXT", 1 }, { "C:\\DIR\\SUB\\FILE.TXT", 0 }, { "Hello World", 0 } };

    for (const auto &c : cases)
    {
        int exact = Width(c.text) + FIT_TEXT_MARGIN;
        EXPECT_EQ(Fit(c.text, exact, c.pathMode), c.text) << c.pathMode;
        EXPECT_EQ(Fit(c.text, exact + 50, c.pathMode), c.text) << c.pathMode;
        /* Narrower than the width, but inside the margin. */
        EXPECT_NE(Fit(c.text, exact - 1, c.pathMode), c.text) << c.pathMode;
    }
}

/* Every path with the forms it goes through, in order. The cut may stand
 * just before the last backslash (a folder of one character, a doubled
 * backslash): the last component still comes whole. */
TEST_F(FitText, PathsLoseTheFoldersNearestTheLastComponent)
{
    static const struct { const char *path; std::vector<std::string> forms; } cases[] = {
        { "C:\\DIR\\SUB\\FILE.TXT", { "C:\\DIR\\...\\FILE.TXT", "C:\\...\\FILE.TXT", "C...\\FILE.TXT" } },
        { "A\\LONGNAME.TXT", { "A...\\LONGNAME.TXT" } },
        { "x\\y", { "x...\\y" } },
        { "C:\\DIR\\\\FILE.TXT", { "C:\\DIR\\...\\FILE.TXT", "C:\\...\\FILE.TXT", "C...\\FILE.TXT" } },
        { "\\\\server\\share\\folder\\report.doc",
          { "\\\\server\\share\\...\\report.doc", "\\\\server\\...\\report.doc", "\\\\...\\report.doc",
            "\\...\\report.doc" } },
    };

    for (const auto &c : cases)
    {
        const std::string path = c.path;
        for (const std::string &form : c.forms)
            for (int slack : { 0, 1, -1 })
            {
                int width = Width(form) + FIT_TEXT_MARGIN + slack;
                std::string expected = FirstFitting(c.forms, width);
                if (expected.empty())
                    expected = c.forms.back();
                if (Width(path) <= width - FIT_TEXT_MARGIN)
                    expected = path;
                EXPECT_EQ(Fit(path, width, 1), expected) << path << " in width " << width;
            }
        /* Even the shortest form is too wide: the caller gets it anyway. */
        EXPECT_EQ(Fit(path, 1, 1), c.forms.back()) << path;
    }

    /* No backslash, or only a leading one: nothing to drop. */
    EXPECT_EQ(Fit("README.TXT", 1, 1), "README.TXT");
    EXPECT_EQ(Fit("\\README.TXT", 1, 1), "\\README.TXT");
}

TEST_F(FitText, PlainTextLosesCharactersFromTheEnd)
{
    const std::string text = "Hello World";
    std::vector<std::string> forms;
    for (size_t length = text.size() - 1; length >= 1; length--)
        forms.push_back(text.substr(0, length) + "...");
    ASSERT_EQ(forms.front(), "Hello Worl...");
    ASSERT_EQ(forms.back(), "H...");

    for (const std::string &form : forms)
        for (int slack : { 0, -1 })
        {
            int width = Width(form) + FIT_TEXT_MARGIN + slack;
            /* Forms wider than the text itself come into play only when
             * the text does not fit. */
            std::string expected = Width(text) <= width - FIT_TEXT_MARGIN ? text : FirstFitting(forms, width);
            if (expected.empty())
                expected = text;
            EXPECT_EQ(Fit(text, width, 0), expected) << "width " << width;
        }
    /* Nothing fits: the text stays whole, as does a single character. */
    EXPECT_EQ(Fit(text, 1, 0), text);
    EXPECT_EQ(Fit("W", 1, 0), "W");
}

/* The working texts hold 343 characters: the longest text whose forms fit
 * them is shortened within the caller's room; longer ones stay whole. */
TEST_F(FitText, LongTextsNeverPassTheWorkingBuffers)
{
    std::string longest(FIT_TEXT_MAX_LENGTH, 'm');
    std::string longPath = "C:\\" + std::string(FIT_TEXT_MAX_LENGTH - 12, 'd') + "\\FILE.TXT";
    ASSERT_EQ(longPath.size(), (size_t)FIT_TEXT_MAX_LENGTH);

    std::string plain = Fit(longest, 200, 0);
    EXPECT_LT(plain.size(), longest.size());
    EXPECT_EQ(plain.substr(plain.size() - 3), "...");
    EXPECT_LE(Width(plain), 200 - FIT_TEXT_MARGIN);
    EXPECT_EQ(Fit(longPath, 1, 1), "C...\\FILE.TXT");

    for (size_t length : { (size_t)FIT_TEXT_MAX_LENGTH + 1, (size_t)FIT_TEXT_SIZE, (size_t)2000 })
    {
        std::string text(length, 'x');
        text[length / 2] = '\\';
        EXPECT_EQ(Fit(text, 200, 0), text) << length;
        EXPECT_EQ(Fit(text, 200, 1), text) << length;
    }
}

/* Texts whose characters end in 0x5C, at every width from nothing to the
 * whole text: the result is always the text or the first of its forms
 * that fits (in path mode the last one when none fits), never a form that
 * ends in half a character or that took a trail byte for a backslash. */
TEST_F(FitText, DoubleByteTextsLoseWholeCharacters)
{
    REQUIRE_DOUBLE_BYTE_SAMPLE(sample);
    const std::string c = sample->character, folder = sample->folder;
    const std::string plain = "a" + c + c + "b" + c + c + c + c;
    std::vector<std::string> plainForms;
    for (const std::string &kept : { "a" + c + c + "b" + c + c + c, "a" + c + c + "b" + c + c,
                                     "a" + c + c + "b" + c, "a" + c + c + "b", "a" + c + c,
                                     "a" + c, std::string("a") })
        plainForms.push_back(kept + "...");
    const std::string path = "C:\\" + folder + "\\" + c + "\\" + folder;
    const std::vector<std::string> pathForms = {
        "C:\\" + folder + "\\...\\" + folder, "C:\\...\\" + folder, "C...\\" + folder };
    const std::string single = c + c;

    static const struct { int pathMode; bool keepsLast; } modes[] = { { 0, false }, { 1, true } };
    for (const auto &mode : modes)
    {
        const std::string &text = mode.pathMode ? path : plain;
        const std::vector<std::string> &forms = mode.pathMode ? pathForms : plainForms;
        for (int width = 1; width <= Width(text) + FIT_TEXT_MARGIN; width++)
        {
            std::string expected = FirstFitting(forms, width);
            if (expected.empty())
                expected = mode.keepsLast ? forms.back() : text;
            if (Width(text) <= width - FIT_TEXT_MARGIN)
                expected = text;
            EXPECT_EQ(Fit(text, width, mode.pathMode), expected)
                << "mode " << mode.pathMode << " width " << width;
        }
    }

    /* Two characters: only the first with "..." is tried; one character
     * is never cut. */
    for (int width = 1; width <= Width(single) + FIT_TEXT_MARGIN; width++)
    {
        std::string expected = Width(single) <= width - FIT_TEXT_MARGIN ? single
                             : Width(c + "...") <= width - FIT_TEXT_MARGIN ? c + "..." : single;
        EXPECT_EQ(Fit(single, width, 0), expected) << "width " << width;
        EXPECT_EQ(Fit(c, width, 0), c) << "width " << width;
    }
}
