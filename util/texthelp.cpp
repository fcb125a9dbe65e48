/* The text and buffer helpers. */
#include "texthelp.h"

#include <stdlib.h>

#define SPACE           ' '
#define TICK_SEED_MASK  0xFFFF
/* The first draw, scaled to 0..CHAIN_SCALE, starts the chain; each byte
 * is a draw scaled to 0..BYTE_SCALE, cut to 8 bits, XOR the byte before;
 * RAND_MAX is 32767. */
#define CHAIN_SCALE     1001
#define BYTE_SCALE      256

LPSTR TrimLeadingSpaces(LPSTR text)
{
    /* Moving the rest down within the caller's own text needs no working
     * copy, so a text of any length is trimmed and nothing is written
     * past its terminator. */
    LPCSTR from = text;
    LPSTR to = text;

    while (*from == SPACE)
        from++;
    if (from != to)
        while ((*to++ = *from++) != '\0')
            ;
    return text;
}

int IsZeroBuffer(const void *data, short count)
{
    const BYTE *byte = (const BYTE *)data;
    const BYTE *end = byte + (count > 0 ? count : 0);

    for (; byte < end; byte++)
        if (*byte != 0)
            return 0;
    return 1;
}

static int IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int IsHexString(LPCSTR text)
{
    /* An int index and one length: a 16-bit index would wrap to a
     * negative position on a text longer than 32,767 characters. */
    int length = lstrlenA(text);

    for (int i = 0; i < length; i++)
        if (!IsHexDigit(text[i]))
            return 0;
    return 1;
}

LPSTR FindLastBackslash(LPSTR text)
{
    LPSTR last = NULL;

    for (LPSTR p = text; *p; p = CharNextA(p))
        if (*p == '\\')
            last = p;
    return last;
}

int WholeCharacterLength(LPCSTR text, int length, int limit)
{
    int kept = 0;

    while (kept < length)
    {
        /* A lead byte that ends the bytes given has no trail byte to keep
         * it company; it counts alone. */
        int step = IsDBCSLeadByte((BYTE)text[kept]) && kept + 1 < length ? 2 : 1;
        if (kept + step > limit)
            break;
        kept += step;
    }
    return kept;
}

int CutTextToLength(LPSTR text, int limit)
{
    int length = lstrlenA(text);

    if (length <= limit)
        return length;
    length = WholeCharacterLength(text, length, limit);
    text[length] = '\0';
    return length;
}

LPSTR CopyWholeCharacters(LPSTR to, LPCSTR from, int size)
{
    int length = 0;

    if (size <= 0)
        return to;
    /* As lstrcpynA, the source is read no further than the copy needs:
     * the byte after the room tells only whether a lead byte there has
     * its trail byte. */
    while (length < size && from[length])
        length++;
    length = WholeCharacterLength(from, length, size - 1);
    CopyMemory(to, from, length);
    to[length] = '\0';
    return to;
}

DWORD ReadModulePath(HMODULE module, LPSTR path, DWORD size, LPSTR *name)
{
    DWORD length = GetModuleFileNameA(module, path, size);

    /* A path that fills the buffer comes back cut and, on older systems,
     * without its terminator: it ends after its last whole character, so
     * that no lone lead byte is left at its end. */
    if (length == 0)
        path[0] = '\0';
    else if (length >= size)
        path[WholeCharacterLength(path, (int)size, (int)size - 1)] = '\0';
    LPSTR last = FindLastBackslash(path);
    *name = last ? last + 1 : path;
    return length;
}

void FillRandomBytes(void *buffer, int count)
{
    BYTE *bytes = (BYTE *)buffer;
    BYTE chain;

    srand(GetTickCount() & TICK_SEED_MASK);
    chain = (BYTE)((unsigned)rand() * CHAIN_SCALE / RAND_MAX);
    for (int i = 0; i < count; i++)
    {
        BYTE draw = (BYTE)((unsigned)rand() * BYTE_SCALE / RAND_MAX);
        bytes[i] = (BYTE)(draw ^ chain);
        chain = bytes[i];
    }
}

LRESULT SendUserFlagMessage1(HWND window, WPARAM value, int flag)
{
    return SendMessageA(window, USER_FLAG_MESSAGE1, value, flag ? 1 : 0);
}

LRESULT SendUserFlagMessage2(HWND window, WPARAM value, int flag)
{
    return SendMessageA(window, USER_FLAG_MESSAGE2, value, flag ? 1 : 0);
}
