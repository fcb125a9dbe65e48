/*
 * Drawing for windows that paint themselves: a bitmap centred in an area
 * or tiled over it, and a text or path shortened with an ellipsis until it
 * fits a width in the window's font. Areas start at the target's logical
 * origin and are measured in its logical units.
 */
#ifndef UTIL_DRAWING_H
#define UTIL_DRAWING_H

#include <windows.h>

/* Pixels that a fitted text keeps free of the width it is given. */
#define FIT_TEXT_MARGIN   4
/* The working texts of FitTextToWidth, terminator included. */
#define FIT_TEXT_SIZE     344
/* A shortened form is at most this much longer than its source text, so
 * the caller's buffer needs this much room beyond the text. */
#define FIT_TEXT_GROWTH   3
/* The longest text that FitTextToWidth shortens; longer ones stay as
 * they are, since their forms would not fit the working texts. */
#define FIT_TEXT_MAX_LENGTH (FIT_TEXT_SIZE - 1 - FIT_TEXT_GROWTH)

int DrawBitmapCentered(HDC target, HBITMAP bitmap, int width, int height);
int TileBitmap(HDC target, HBITMAP bitmap, int width, int height);
int FitTextToWidth(HWND window, LPSTR text, int width, int pathMode);

#endif
