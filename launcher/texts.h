/*
 * The texts the user reads: English, or the translation of the user's
 * language when the launcher carries one (built with TARNELL_LANGUAGES).
 * A launcher without translations uses the English constants themselves,
 * so that it is built exactly as before translations existed.
 */
#ifndef LAUNCHER_TEXTS_H
#define LAUNCHER_TEXTS_H

#ifdef TARNELL_LANGUAGES

#include "languages.h"

/* A text holds LAUNCHER_TEXT_SIZE - 1 characters and its terminator, the
 * caption's words CAPTION_WORDS_CHARS after their space; the build refuses
 * longer translations. */
#define TRANSLATED_TEXT_SIZE  LAUNCHER_TEXT_SIZE
#define CAPTION_SUFFIX_CHARS  (CAPTION_WORDS_CHARS + 1)

/* Chooses the texts once, before the first is shown: the translation of
 * the user's default language, or English. */
void ChooseLauncherLanguage(void);
LPCSTR LauncherText(UINT id);
/* The room for the display name in the title of this format, terminator
 * included. */
int TitleNameRoom(LPCSTR format);

#define LAUNCHER_TEXT(name)      LauncherText(IDS_##name)
#define TITLE_NAME_BUFFER        TITLE_SIZE
#define TITLE_NAME_ROOM(format)  TitleNameRoom(format)

#else

#define ChooseLauncherLanguage() ((void)0)
#define LAUNCHER_TEXT(name)      TEXT_##name
#define CAPTION_SUFFIX_CHARS     (sizeof(ERROR_CAPTION_SUFFIX) - 1)
#define TITLE_NAME_BUFFER        (TITLE_NAME_CHARS + 1)
#define TITLE_NAME_ROOM(format)  TITLE_NAME_BUFFER

#endif

#endif
