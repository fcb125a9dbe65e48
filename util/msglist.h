/*
 * A list box as a scrolling message list capped at MESSAGE_LIST_LIMIT
 * lines (a list that other code filled past the cap is not trimmed), with
 * an optional echo to an open stdio stream; a hex dump of a memory block
 * and a viewer of a log file's tail that list their lines through it. The
 * list box belongs to the caller.
 */
#ifndef UTIL_MSGLIST_H
#define UTIL_MSGLIST_H

#include <windows.h>
#include <stdio.h>

#define MESSAGE_LIST_LIMIT 1100
#define LOG_TAIL_BYTES     64000

void AppendMessageLine(HWND listBox, FILE *echo, LPCSTR text);
void AppendHexDump(HWND listBox, const void *data, short count, LPCSTR title);
void ViewLogFile(HWND listBox, LPCSTR fileName);

#endif
