/* A picture of a window as the screen shows it, and the wait until that
 * picture holds still; see windriver.h. */
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

HBITMAP CopyWindowArea(HWND window, int *width, int *height)
{
    RECT rect;
    GetWindowRect(window, &rect);
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

BOOL SaveWindowPicture(HWND window, const char *path)
{
    int width, height;
    HBITMAP bitmap = CopyWindowArea(window, &width, &height);
    int rowBytes = (width * 3 + 3) & ~3;
    HDC screen = GetDC(NULL);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = BMP_BITS;
    info.biCompression = BI_RGB;
    info.biSizeImage = rowBytes * height;
    BYTE *pixels = (BYTE *)HeapAlloc(GetProcessHeap(), 0, info.biSizeImage);
    GetDIBits(screen, bitmap, 0, height, pixels, (BITMAPINFO *)&info, DIB_RGB_COLORS);

    BITMAPFILEHEADER file = {};
    file.bfType = BMP_SIGNATURE;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;

    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written;
    BOOL ok = out != INVALID_HANDLE_VALUE &&
              WriteFile(out, &file, sizeof(file), &written, NULL) &&
              WriteFile(out, &info, sizeof(info), &written, NULL) &&
              WriteFile(out, pixels, info.biSizeImage, &written, NULL);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);

    HeapFree(GetProcessHeap(), 0, pixels);
    DeleteObject(bitmap);
    ReleaseDC(NULL, screen);
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
