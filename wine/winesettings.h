/* Settings of the test prefix written from test programs: the C++ side of
 * wine-config.sh. Every write names the registry view of its reader, so
 * that the 64-bit and the 32-bit builds take the same path:
 *   WINE_VIEW     Wine's own settings and the user's (HKCU\Software\Wine,
 *                 HKCU\Control Panel), read by Wine's 64-bit services or
 *                 through a key that has one view for both bitnesses;
 *   PROGRAM_VIEW  HKLM\Software keys that the program itself reads, in
 *                 the view of its own bitness (a 32-bit program's is the
 *                 Wow6432Node). */
#ifndef TARNELL_TESTS_WINESETTINGS_H
#define TARNELL_TESTS_WINESETTINGS_H

#include <windows.h>
#include <string>

enum SettingView
{
    WINE_VIEW,
    PROGRAM_VIEW
};

/* Opens (creating it when missing) a key of the prefix's registry in the
 * view given, for reading and writing; NULL when it cannot. */
HKEY OpenSettingKey(SettingView view, HKEY root, const char *path);

/* Writes a REG_SZ value, creating the key; an empty text removes the
 * value when removeIfEmpty is set. False when the key cannot be opened. */
bool WriteSettingText(SettingView view, HKEY root, const char *path, const char *name,
                      const std::string &value, bool removeIfEmpty = false);

/* Reads a REG_SZ value; "" when it is missing. */
std::string ReadSettingText(SettingView view, HKEY root, const char *path, const char *name);

/* Removes a key that has no sub-keys. */
void DeleteSettingKey(SettingView view, HKEY root, const char *path);

#endif
