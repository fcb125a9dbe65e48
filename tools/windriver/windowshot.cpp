/* A picture of a window as the screen shows it; see windowshot.h. */
#include "tools/windriver/windriver.h"

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
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = rowBytes * height;
    BYTE *pixels = (BYTE *)HeapAlloc(GetProcessHeap(), 0, info.biSizeImage);
    GetDIBits(screen, bitmap, 0, height, pixels, (BITMAPINFO *)&info, DIB_RGB_COLORS);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
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
