/*
 * The launcher's texts in the user's language. Each language it carries
 * has a string table of its own, in that language; the one of the user's
 * default language is read once at start-up. English, the texts of the
 * code, stands in when the user's language is not carried, when its table
 * cannot be read whole, and when the system's ANSI code page is not the
 * one the translations are written in (their letters would show as other
 * characters).
 */
#include "launcher.h"
#include "util/instance.h"

#define TEXT_COUNT         (IDS_LAST_TEXT - IDS_START_INSTALL + 1)
#define STRINGS_PER_BLOCK  16
#define TEXT_BLOCK         (IDS_START_INSTALL / STRINGS_PER_BLOCK + 1)

typedef struct tagCARRIED_LANGUAGE
{
    WORD primary;           /* the user languages it serves */
    WORD tableLanguage;     /* the language of its string table */
} CARRIED_LANGUAGE;

static const CARRIED_LANGUAGE carriedLanguages[TARNELL_LANGUAGE_COUNT] = TARNELL_LANGUAGE_TABLE;

/* By string id, from IDS_START_INSTALL. */
static const LPCSTR englishTexts[TEXT_COUNT] =
{
    TEXT_START_INSTALL, TEXT_DONT_INSTALL, TEXT_UNSUPPORTED_OS,
    TEXT_SECOND_INSTANCE, TEXT_ERROR_CAPTION, TEXT_TITLE_FORMAT, TEXT_INSTALLER_FAILED,
};

static char translatedTexts[TEXT_COUNT][TRANSLATED_TEXT_SIZE];
static BOOL translated;

/* Reads the texts of one table into translatedTexts. A string block is
 * sixteen counted UTF-16 strings; every length is checked against the
 * resource's size. Returns FALSE unless every text was read. */
static BOOL ReadTranslation(WORD language)
{
    HRSRC found = FindResourceExA(ModuleInstance, (LPCSTR)RT_STRING,
                                  MAKEINTRESOURCEA(TEXT_BLOCK), language);
    HGLOBAL loaded;
    const WCHAR *entry, *end;
    int slot, read = 0;

    if (!found || !(loaded = LoadResource(ModuleInstance, found)))
        return FALSE;
    entry = (const WCHAR *)LockResource(loaded);
    if (!entry)
        return FALSE;
    end = entry + SizeofResource(ModuleInstance, found) / sizeof(WCHAR);

    for (slot = 0; slot < STRINGS_PER_BLOCK && entry < end; slot++)
    {
        UINT length = *entry++;
        UINT id = (TEXT_BLOCK - 1) * STRINGS_PER_BLOCK + slot;

        if (length > (UINT)(end - entry))
            return FALSE;
        if (id >= IDS_START_INSTALL && id <= IDS_LAST_TEXT && length > 0)
        {
            LPSTR text = translatedTexts[id - IDS_START_INSTALL];
            int bytes = WideCharToMultiByte(TEXT_CODE_PAGE, 0, entry, (int)length, text,
                                            TRANSLATED_TEXT_SIZE - 1, NULL, NULL);
            if (bytes <= 0)
                return FALSE;
            text[bytes] = '\0';
            read++;
        }
        entry += length;
    }
    return read == TEXT_COUNT;
}

void ChooseLauncherLanguage(void)
{
    WORD primary = PRIMARYLANGID(GetUserDefaultLangID());
    int index;

    if (GetACP() != TEXT_CODE_PAGE)
        return;
    for (index = 0; index < TARNELL_LANGUAGE_COUNT; index++)
    {
        if (carriedLanguages[index].primary == primary)
        {
            translated = ReadTranslation(carriedLanguages[index].tableLanguage);
            return;
        }
    }
}

LPCSTR LauncherText(UINT id)
{
    if (id < IDS_START_INSTALL || id > IDS_LAST_TEXT)
        return "";
    return translated ? translatedTexts[id - IDS_START_INSTALL] : englishTexts[id - IDS_START_INSTALL];
}

/* The format's two %s give way to the name and the version. */
int TitleNameRoom(LPCSTR format)
{
    int room = TITLE_ROOM(lstrlenA(format), lstrlenA(TARNELL_VERSION_TEXT));

    return room < 0 ? 1 : room + 1;
}
