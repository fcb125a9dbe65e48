/*
 * The launcher's layout and title format, the one home of both: the
 * launcher's compiler reads them through launcher.h, and the brand tools
 * (brand/layout.py) read these #define lines for the title's limits, the
 * button texts' room and where the buttons stand on the picture. Keep each
 * value a plain decimal number or a string literal without escapes: that
 * is all brand/layout.py reads.
 */
#ifndef LAUNCHER_LAYOUT_H
#define LAUNCHER_LAYOUT_H

/* The window's outer size. */
#define LAUNCHER_WIDTH        630
#define LAUNCHER_HEIGHT       427

/* The panel, in client coordinates: the frame round it, the picture's
 * top-left corner, and the buttons, whose left edges lie the offsets
 * from the client area's right edge. */
#define FRAME_LEFT            8
#define FRAME_INSET           16
#define SPLASH_LEFT           16
#define SPLASH_TOP            16
#define BUTTON_TOP            230
#define BUTTON_WIDTH          100
#define BUTTON_HEIGHT         28
#define START_BUTTON_OFFSET   320
#define DONT_BUTTON_OFFSET    180

/* The buttons' font. */
#define BUTTON_FONT_FACE      "MS Sans Serif"
#define BUTTON_FONT_POINTS    8

/* The title: TITLE_LEAD, the product word, then TITLE_WORDS, whose two %s
 * (TITLE_FIELD_CHARS characters) take the file name and the version. It
 * lives in a buffer of TITLE_SIZE characters, terminator included, which
 * the build keeps large enough for the longest 8.3 name (ABCDEFGH.EXE),
 * DOS_NAME_CHARS long. */
#define TITLE_LEAD            " "
#define TITLE_WORDS           " CD-ROM Autorun Program (%s v%s)"
#define TITLE_FIELD_CHARS     4
#define TITLE_SIZE            80
#define DOS_NAME_CHARS        12

#endif
