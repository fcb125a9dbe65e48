/* The capped message list, the hex dump and the log tail viewer. */
#include "msglist.h"
#include "texthelp.h"

#include <stdlib.h>

#define HEX_BYTES_PER_LINE  16
#define HEX_LINE_SIZE       80
/* A log line and its terminator; longer lines are split into pieces of
 * at most this many bytes less one, never inside a character. */
#define LOG_LINE_SIZE       128
#define CR                  '\r'
/* Every log line ends in CR LF: the viewer steps over both. */
#define LINE_END_LENGTH     2

#define LOG_ERROR_CAPTION   "Log File I/O Error"

void AppendMessageLine(HWND listBox, FILE *echo, LPCSTR text)
{
    LRESULT index;

    if (!text)
        text = " ";
    if (echo)
        fprintf(echo, "%s\n", text);

    index = SendMessageA(listBox, LB_GETCOUNT, 0, 0);
    /* Equality, not "at least": a list filled longer by other means is
     * left as it is. */
    if (index == MESSAGE_LIST_LIMIT)
    {
        SendMessageA(listBox, LB_DELETESTRING, 0, 0);
        index = MESSAGE_LIST_LIMIT - 1;
    }
    SendMessageA(listBox, LB_INSERTSTRING, (WPARAM)index, (LPARAM)text);
    SendMessageA(listBox, LB_SETTOPINDEX, (WPARAM)index, 0);
}

void AppendHexDump(HWND listBox, const void *data, short count, LPCSTR title)
{
    const BYTE *bytes = (const BYTE *)data;
    char line[HEX_LINE_SIZE];
    short offset = 0;

    AppendMessageLine(listBox, NULL, title);
    while (count > 0)
    {
        int length = wsprintfA(line, "%04X: ", (WORD)offset);
        int n = count < HEX_BYTES_PER_LINE ? count : HEX_BYTES_PER_LINE;

        for (int i = 0; i < n; i++)
        {
            length += wsprintfA(line + length, "%02X ", *bytes);
            bytes++;
            count--;
        }
        AppendMessageLine(listBox, NULL, line);
        offset += HEX_BYTES_PER_LINE;
    }
}

static void LogWarning(LPCSTR text)
{
    MessageBoxA(NULL, text, LOG_ERROR_CAPTION, MB_ICONWARNING);
}

/* Where the line after the CR at cr begins: past the CR and its LF, or at
 * the end when the bytes read stop before that. */
static const char *StepOverLineEnd(const char *cr, const char *end)
{
    return end - cr > LINE_END_LENGTH ? cr + LINE_END_LENGTH : end;
}

/* Lists the bytes from start up to end, splitting at CR and stepping over
 * the character after each CR. A zero byte ends the listing; a piece
 * without a CR before the end of the bytes read is listed as it is. A
 * line longer than the line buffer is listed in several pieces. Nothing
 * at or beyond end is looked at. */
static void ListLogLines(HWND listBox, const char *start, const char *end)
{
    char line[LOG_LINE_SIZE];
    const char *position = start;

    while (position < end && *position != '\0')
    {
        const char *stop = position;
        while (stop < end && *stop != CR && *stop != '\0')
            stop++;

        /* Pieces of at most 127 bytes, each its own list line; a
         * double-byte character that would straddle two pieces starts the
         * next one. */
        do
        {
            int length = WholeCharacterLength(position, (int)(stop - position),
                                              LOG_LINE_SIZE - 1);
            CopyMemory(line, position, length);
            line[length] = '\0';
            AppendMessageLine(listBox, NULL, line);
            position += length;
        } while (position < stop);

        /* A zero byte inside a line ends the listing like one at a line
         * start; the end of the bytes read ends it as well. */
        if (stop >= end || *stop != CR)
            break;
        position = StepOverLineEnd(stop, end);
    }
}

/* Reads the last count bytes of a file of the given size into the buffer;
 * returns the warning to show, or NULL. The file is closed either way. */
static LPCSTR ReadLogTail(LPCSTR fileName, DWORD size, char *buffer, DWORD count)
{
    FILE *file = fopen(fileName, "rb");
    LPCSTR failure = NULL;

    if (!file)
        return "File Open Failed";
    /* A stream that cannot be positioned is an input failure like a short
     * read. */
    if (size > count && fseek(file, (long)(size - count), SEEK_SET) != 0)
        failure = "File Read Failed";
    else if (fread(buffer, 1, count, file) != count)
        failure = "File Read Failed";
    fclose(file);
    return failure;
}

void ViewLogFile(HWND listBox, LPCSTR fileName)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(fileName, &found);
    DWORD size, toRead;
    char *buffer;
    const char *start, *end;
    LPCSTR failure;

    if (search == INVALID_HANDLE_VALUE)
        return;
    FindClose(search);
    /* The tail of a file of 4 GiB or more lies where no 32-bit offset
     * reaches; its low size word alone would point into the file's start.
     * Like a tail past 2 GiB it cannot be positioned to. */
    if (found.nFileSizeHigh != 0)
    {
        LogWarning("File Read Failed");
        return;
    }
    size = found.nFileSizeLow;

    buffer = (char *)calloc(LOG_TAIL_BYTES, 1);
    if (!buffer)
    {
        LogWarning("Memory Allocation Failed");
        return;
    }
    toRead = size > LOG_TAIL_BYTES ? LOG_TAIL_BYTES : size;
    failure = ReadLogTail(fileName, size, buffer, toRead);
    if (failure)
    {
        free(buffer);
        LogWarning(failure);
        return;
    }

    start = buffer;
    end = buffer + toRead;
    if (size > LOG_TAIL_BYTES)
    {
        /* The tail begins inside a line: skip up to and past its CR LF. A
         * tail without any CR lists nothing. */
        while (start < end && *start != CR)
            start++;
        start = StepOverLineEnd(start, end);
    }
    ListLogLines(listBox, start, end);
    free(buffer);
}
