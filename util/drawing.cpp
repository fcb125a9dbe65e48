/*
 * Bitmap drawing and text fitting: DrawBitmapCentered, TileBitmap and
 * FitTextToWidth.
 */
#include "util/drawing.h"
#include "util/texthelp.h"

#define ELLIPSIS "..."

/* A bitmap selected into a memory device context that shares the target's
 * mapping mode, with its size and source origin in logical units. */
struct BitmapSource
{
    HDC memory;
    HGDIOBJ previous;
    POINT size;     /* the bitmap's width and height in the target's units */
    POINT origin;   /* the source point of every copy */
};

/* Prepares the source of the copies. Returns FALSE, with nothing left
 * acquired but the memory device context, when the handle is not a bitmap
 * that can be selected; source->memory is then still to be deleted. */
static BOOL OpenBitmapSource(HDC target, HBITMAP bitmap, BitmapSource *source)
{
    BITMAP record;

    source->memory = CreateCompatibleDC(target);
    source->previous = NULL;
    if (!source->memory || GetObjectType(bitmap) != OBJ_BITMAP)
        return FALSE;
    if (GetObjectA(bitmap, sizeof(record), &record) != sizeof(record))
        return FALSE;
    source->previous = SelectObject(source->memory, bitmap);
    if (!source->previous || source->previous == HGDI_ERROR)
    {
        source->previous = NULL;
        return FALSE;
    }
    SetMapMode(source->memory, GetMapMode(target));

    source->size.x = record.bmWidth;
    source->size.y = record.bmHeight;
    DPtoLP(target, &source->size, 1);
    source->origin.x = 0;
    source->origin.y = 0;
    DPtoLP(source->memory, &source->origin, 1);
    return TRUE;
}

/* Puts back what the memory device context held and deletes it; returns
 * the result of the deletion. */
static int CloseBitmapSource(BitmapSource *source)
{
    if (!source->memory)
        return 0;
    if (source->previous)
        SelectObject(source->memory, source->previous);
    return DeleteDC(source->memory);
}

static void CopyBitmapTo(HDC target, const BitmapSource *source, int x, int y)
{
    BitBlt(target, x, y, source->size.x, source->size.y,
           source->memory, source->origin.x, source->origin.y, SRCCOPY);
}

/* Positions are signed 16-bit, as callers of old expect: a bitmap far
 * larger than its area wraps the same way everywhere. */
int DrawBitmapCentered(HDC target, HBITMAP bitmap, int width, int height)
{
    BitmapSource source;

    if (!OpenBitmapSource(target, bitmap, &source))
    {
        CloseBitmapSource(&source);
        return 0;
    }
    short y = (short)(height / 2 - source.size.y / 2);
    short x = (short)(width / 2 - source.size.x / 2);
    CopyBitmapTo(target, &source, x, y);
    return CloseBitmapSource(&source);
}

/* Copies run in rows from the origin; the last row and column may reach
 * past the area and are trimmed by the target's clipping. A bitmap whose
 * size is not positive in the target's units (an empty bitmap, or a
 * mapping mode whose y axis points up) gives no step, so nothing is drawn
 * and the result is 0. */
int TileBitmap(HDC target, HBITMAP bitmap, int width, int height)
{
    BitmapSource source;

    if (!OpenBitmapSource(target, bitmap, &source) || source.size.x <= 0 || source.size.y <= 0)
    {
        CloseBitmapSource(&source);
        return 0;
    }
    for (int y = 0; y < height; y += source.size.y)
        for (int x = 0; x < width; x += source.size.x)
            CopyBitmapTo(target, &source, x, y);
    return CloseBitmapSource(&source);
}

static BOOL FitsWidth(HDC dc, LPCSTR text, int width)
{
    SIZE extent;

    return GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent) &&
           extent.cx <= width - FIT_TEXT_MARGIN;
}

/* Drops the folders nearest the last component, one at a time, keeping
 * the start of the path and the whole last component. Every form goes to
 * the caller's buffer as it is built, so the buffer ends with the last
 * form tried. The head is copied out rather than ended in place: when the
 * cut stands just before the tail, a terminator written after the cut
 * would land on the tail's own backslash and lose the last component. */
static void FitPath(HDC dc, LPSTR text, LPSTR work, int width)
{
    char head[FIT_TEXT_SIZE];
    char form[FIT_TEXT_SIZE];
    LPCSTR tail = FindLastBackslash(work);

    if (!tail || tail == work)
        return;

    for (LPCSTR cut = tail; cut > work;)
    {
        do
            cut = CharPrevA(work, cut);
        while (cut > work && *cut != '\\');

        /* The head runs through the whole character at the cut. */
        lstrcpynA(head, work, (int)(CharNextA(cut) - work) + 1);
        wsprintfA(form, "%s" ELLIPSIS "%s", head, tail);
        lstrcpyA(text, form);
        if (FitsWidth(dc, form, width))
            return;
    }
}

/* Cuts characters from the end, adding the ellipsis; the caller's text
 * changes only when a form fits. A double-byte character goes whole, and
 * the shortest form keeps the whole first character. */
static void FitPlain(HDC dc, LPSTR text, LPSTR work, int width)
{
    char form[FIT_TEXT_SIZE];

    for (LPSTR end = work + lstrlenA(work); *CharNextA(work);)
    {
        end = CharPrevA(work, end);
        *end = '\0';
        wsprintfA(form, "%s" ELLIPSIS, work);
        if (FitsWidth(dc, form, width))
        {
            lstrcpyA(text, form);
            return;
        }
    }
}

/* The text is measured in whatever font the window's device context holds
 * (its class's own DC, or the system font); the result is that of the
 * release, not whether the text changed. */
int FitTextToWidth(HWND window, LPSTR text, int width, int pathMode)
{
    char work[FIT_TEXT_SIZE];
    HDC dc = GetDC(window);

    if (text && lstrlenA(text) <= FIT_TEXT_MAX_LENGTH)
    {
        lstrcpyA(work, text);
        SIZE extent;
        if (GetTextExtentPoint32A(dc, work, lstrlenA(work), &extent) &&
            extent.cx > width - FIT_TEXT_MARGIN)
        {
            if (pathMode)
                FitPath(dc, text, work, width);
            else
                FitPlain(dc, text, work, width);
        }
    }
    return ReleaseDC(window, dc);
}
