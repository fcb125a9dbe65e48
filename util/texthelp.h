/*
 * Small text and buffer helpers that share no state: leading-space
 * removal, an all-zero test for a byte range, a hexadecimal-digit test for
 * a text, a pseudo-random buffer fill seeded from the tick count (it
 * reseeds the C runtime's rand, whose state the runtime keeps for each
 * thread, on the calling thread), and two private
 * window messages that carry a value and an on/off flag; the search for a
 * text's last backslash and the split of a module's path that the path
 * routines share; and cuts at a byte count that keep double-byte
 * characters whole.
 */
#ifndef UTIL_TEXTHELP_H
#define UTIL_TEXTHELP_H

#include <windows.h>

/* wParam: the value; lParam: 1 when the flag is on, 0 when it is off. The
 * numbers are those of DM_SETDEFID and DM_REPOSITION: send them only to
 * windows of the program's own classes, never to a dialog box. */
#define USER_FLAG_MESSAGE1 (WM_USER + 1)
#define USER_FLAG_MESSAGE2 (WM_USER + 2)

/* Removes the leading spaces (code 32 only) of a text of any length in
 * place and returns the text. */
LPSTR TrimLeadingSpaces(LPSTR text);
/* 1 when the count bytes are all zero; a count of 0 or below reads
 * nothing and gives 1. */
int IsZeroBuffer(const void *data, short count);
/* 1 when every character is 0-9, A-F or a-f; the empty text gives 1. */
int IsHexString(LPCSTR text);
/* Fills count bytes (none when count is 0 or below) from srand/rand
 * seeded with the low 16 bits of GetTickCount; calls within one tick fill
 * the same bytes. */
void FillRandomBytes(void *buffer, int count);
/* The last backslash of a text, stepping by characters so that a
 * double-byte character's trail byte is never taken for one; NULL when
 * there is none. */
LPSTR FindLastBackslash(LPSTR text);
/* Reads a module's full path into a buffer of size bytes (at least 1),
 * always terminated: one that does not fit is cut after its last whole
 * character. Returns what GetModuleFileNameA returned: 0 on failure (the
 * path then empty), size or more when the path was cut. *name is set to
 * the file name, just after the last backslash (found by characters), or
 * to the path itself when it has none. */
DWORD ReadModulePath(HMODULE module, LPSTR path, DWORD size, LPSTR *name);
/* The most bytes, up to limit, of the first length bytes of text that end
 * on a whole character of the ANSI code page in force: one byte fewer
 * where the limit would fall between a lead byte and its trail byte.
 * Reads no byte at or beyond length, so the bytes need no terminator. */
int WholeCharacterLength(LPCSTR text, int length, int limit);
/* Ends a text after at most limit bytes without splitting a character
 * and returns its new length; a text within the limit stays whole. */
int CutTextToLength(LPSTR text, int limit);
/* lstrcpynA that never splits a character: copies at most size - 1 bytes
 * of whole characters and the terminator, and returns to. */
LPSTR CopyWholeCharacters(LPSTR to, LPCSTR from, int size);
LRESULT SendUserFlagMessage1(HWND window, WPARAM value, int flag);
LRESULT SendUserFlagMessage2(HWND window, WPARAM value, int flag);

#endif
