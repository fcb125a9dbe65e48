/* Settings of the test prefix written from test programs; see
 * winesettings.h. */
#include "winesettings.h"

static REGSAM ViewFlag(SettingView view)
{
    return view == WINE_VIEW ? KEY_WOW64_64KEY : 0;
}

HKEY OpenSettingKey(SettingView view, HKEY root, const char *path)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, NULL, 0, KEY_READ | KEY_WRITE | ViewFlag(view), NULL,
                        &key, NULL) != ERROR_SUCCESS)
        return NULL;
    return key;
}

bool WriteSettingText(SettingView view, HKEY root, const char *path, const char *name,
                      const std::string &value, bool removeIfEmpty)
{
    HKEY key = OpenSettingKey(view, root, path);
    if (key == NULL)
        return false;
    LONG result;
    if (removeIfEmpty && value.empty())
        result = RegDeleteValueA(key, name);
    else
        result = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)value.c_str(),
                                (DWORD)value.size() + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS || (removeIfEmpty && value.empty());
}

std::string ReadSettingText(SettingView view, HKEY root, const char *path, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | ViewFlag(view), &key) != ERROR_SUCCESS)
        return "";
    char value[1024];
    DWORD type, size = sizeof(value) - 1;
    LONG result = RegQueryValueExA(key, name, NULL, &type, (BYTE *)value, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return "";
    value[size] = '\0';
    return value;
}

void DeleteSettingKey(SettingView view, HKEY root, const char *path)
{
    RegDeleteKeyExA(root, path, ViewFlag(view), 0);
}
