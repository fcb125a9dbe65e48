/* A picture of a window as the screen shows it, and the wait until that
 * picture holds still; see windriver.h. */
#include <string.h>

#include "tools/windriver/windriver.h"

/* Time between two captures that must agree: long enough for a paint in
 * progress to show as a change. */
#define SETTLE_STEP_MS 100
#define BMP_SIGNATURE  0x4D42  /* "BM" */
#define BMP_BITS       24

BITMAPINFO TopDownBitmapInfo(int width, int height)
{
    BITMAPINFO info = {};

    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

/* The part of the window's rectangle that lies on the screen: a window
 * may claim any size, and only what the screen shows can be copied. */
static RECT ShownPart(HWND window)
{
    RECT rect, screen;
    screen.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    screen.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    screen.right = screen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    screen.bottom = screen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (!GetWindowRect(window, &rect) || !IntersectRect(&rect, &rect, &screen))
        SetRectEmpty(&rect);
    return rect;
}

HBITMAP CopyWindowArea(HWND window, int *width, int *height)
{
    RECT rect = ShownPart(window);
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;

    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, *width, *height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, *width, *height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return bitmap;
}

std::vector<DWORD> ReadWindowArea(HWND window, int *width, int *height)
{
    HBITMAP bitmap = CopyWindowArea(window, width, height);
    BITMAPINFO info = TopDownBitmapInfo(*width, *height);
    std::vector<DWORD> pixels(*width > 0 && *height > 0 ? (size_t)*width * *height : 0);
    HDC screen = GetDC(NULL);

    if (pixels.empty() ||
        GetDIBits(screen, bitmap, 0, *height, pixels.data(), &info, DIB_RGB_COLORS) != *height)
    {
        pixels.clear();
        *width = *height = 0;
    }
    ReleaseDC(NULL, screen);
    DeleteObject(bitmap);
    return pixels;
}

bool WindowPicture(HWND window, std::vector<BYTE> *bmp)
{
    int width, height;
    HBITMAP bitmap = CopyWindowArea(window, &width, &height);
    DWORD rowBytes = ((DWORD)width * 3 + 3) & ~3u;
    HDC screen = GetDC(NULL);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = BMP_BITS;
    info.biCompression = BI_RGB;
    info.biSizeImage = rowBytes * (DWORD)height;

    BITMAPFILEHEADER file = {};
    file.bfType = BMP_SIGNATURE;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;

    bmp->assign(file.bfSize, 0);
    memcpy(bmp->data(), &file, sizeof(file));
    memcpy(bmp->data() + sizeof(file), &info, sizeof(info));
    bool ok = bitmap && width > 0 && height > 0 &&
              GetDIBits(screen, bitmap, 0, height, bmp->data() + file.bfOffBits,
                        (BITMAPINFO *)(bmp->data() + sizeof(file)), DIB_RGB_COLORS) == height;
    if (!ok)
        bmp->clear();

    if (bitmap)
        DeleteObject(bitmap);
    ReleaseDC(NULL, screen);
    return ok;
}

BOOL SaveWindowPicture(HWND window, const char *path)
{
    std::vector<BYTE> bmp;
    if (!WindowPicture(window, &bmp))
        return FALSE;
    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written = 0;
    BOOL ok = out != INVALID_HANDLE_VALUE &&
              WriteFile(out, bmp.data(), (DWORD)bmp.size(), &written, NULL) &&
              written == bmp.size();
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    return ok;
}

bool SettleWindow(HANDLE process, HWND window, DWORD limit)
{
    WaitForInputIdle(process, limit);

    DWORD start = GetTickCount();
    int width, height;
    std::vector<DWORD> shown = ReadWindowArea(window, &width, &height);
    while (GetTickCount() - start <= limit)
    {
        Sleep(SETTLE_STEP_MS);
        int nextWidth, nextHeight;
        std::vector<DWORD> next = ReadWindowArea(window, &nextWidth, &nextHeight);
        if (!next.empty() && nextWidth == width && nextHeight == height && next == shown)
            return true;
        shown.swap(next);
        width = nextWidth;
        height = nextHeight;
    }
    return false;
}
