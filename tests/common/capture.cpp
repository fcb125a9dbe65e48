/* Pictures the tests compare: a window's screen area as the window-driving
 * library reads it, and a bitmap file loaded as a DIB section and read
 * with GetDIBits. */
#include "capture.h"
#include "testwin.h"

size_t Picture::Count(COLORREF color) const
{
    DWORD rgb = ((DWORD)GetRValue(color) << 16) | ((DWORD)GetGValue(color) << 8) | GetBValue(color);
    size_t count = 0;
    for (DWORD pixel : pixels)
        count += (pixel & 0xFFFFFF) == rgb;
    return count;
}

Picture ReadDib(HDC dc, HBITMAP bitmap, int width, int height)
{
    Picture picture;
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    picture.pixels.resize((size_t)width * height);
    if (GetDIBits(dc, bitmap, 0, height, picture.pixels.data(), &info, DIB_RGB_COLORS) == height)
    {
        picture.width = width;
        picture.height = height;
    }
    else
        picture.pixels.clear();
    return picture;
}

Picture ReadBitmapFile(const std::string &path)
{
    Picture picture;
    HBITMAP bitmap = (HBITMAP)LoadImageA(NULL, path.c_str(), IMAGE_BITMAP, 0, 0,
                                         LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    BITMAP info;
    if (bitmap && GetObjectA(bitmap, sizeof(info), &info))
    {
        HDC screen = GetDC(NULL);
        picture = ReadDib(screen, bitmap, info.bmWidth, info.bmHeight);
        ReleaseDC(NULL, screen);
    }
    DeleteObject(bitmap);
    return picture;
}

Picture CaptureWindow(HWND window)
{
    Picture picture;
    picture.pixels = ReadWindowArea(window, &picture.width, &picture.height);
    return picture;
}
