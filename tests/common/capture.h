/* Pictures the tests compare: what the screen shows of a window, and a
 * bitmap file, both read as 0xRRGGBB pixels row by row from the top. */
#ifndef TESTS_CAPTURE_H
#define TESTS_CAPTURE_H

#include <windows.h>
#include <string>
#include <vector>

struct Picture
{
    int width = 0, height = 0;          /* 0 x 0 when it could not be read */
    std::vector<DWORD> pixels;
    DWORD At(int x, int y) const { return pixels[y * width + x] & 0xFFFFFF; }
    /* How many pixels have the colour, given as a COLORREF. */
    size_t Count(COLORREF color) const;
};

/* The pixels of a bitmap selected into no DC. */
Picture ReadDib(HDC dc, HBITMAP bitmap, int width, int height);
Picture ReadBitmapFile(const std::string &path);
/* What the screen shows of a window, frame included. */
Picture CaptureWindow(HWND window);

#endif
