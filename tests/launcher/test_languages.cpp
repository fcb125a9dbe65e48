/*
 * A KELMORA launcher that carries German and French (its French title
 * the publisher's own) under the user's real language: its buttons, its
 * title and its refusal boxes speak the user's language, or English when
 * it carries none or the system's code page is not Windows-1252; it shares
 * its mutex with the English launcher. The suite runs the Languages tests
 * once per locale (TARNELL_TEST_LANGUAGE names the case); Wine takes the
 * user's language from LC_MESSAGES (or LC_ALL) and the code page from
 * LC_CTYPE, and a process's children inherit them.
 */
#include <algorithm>
#include <gtest/gtest.h>
#include "launcher_driver.h"
#include "launcher.h"

#define LANGUAGES_EXE "Tarnell_languages.exe"

struct LanguageCase
{
    const char *name;           /* TARNELL_TEST_LANGUAGE */
    WORD userLanguage;          /* what Wine gives the user, checked first */
    UINT codePage;
    const char *start, *dont, *unsupported, *second, *caption, *titleStart;
};

/* The contract's English texts (contract.h). */
#define ENGLISH_TEXTS TEXT_START_INSTALL, TEXT_DONT_INSTALL, TEXT_UNSUPPORTED_OS, \
    TEXT_SECOND_INSTANCE, TEXT_ERROR_CAPTION, " KELMORA CD-ROM Autorun Program ("

static const LanguageCase languageCases[] =
{
    { "de", LANG_GERMAN, 1252, "Installieren", "Nicht installieren",
      "Nicht unterst\xfctztes Betriebssystem",
      "Es kann nur eine Instanz dieses Programms ausgef\xfchrt werden!",
      " Fehlerinformationen", " KELMORA CD-ROM Autorun Program (" },
    { "fr", LANG_FRENCH, 1252, "Installer", "Ne pas installer",
      "Syst\xe8me d'exploitation non pris en charge",
      "Une seule instance de ce programme est autoris\xe9" "e !",
      " Informations sur l'erreur", " Ex\xe9" "cution automatique du CD-ROM KELMORA (" },
    { "en", LANG_ENGLISH, 1252, ENGLISH_TEXTS },
    /* A language the launcher does not carry. */
    { "ja", LANG_JAPANESE, 932, ENGLISH_TEXTS },
    /* German user on a system whose ANSI code page is Japanese: the German
     * letters would show as other characters. */
    { "de-cp932", LANG_GERMAN, 932, ENGLISH_TEXTS },
};

static const LanguageCase *ThisLanguage()
{
    char name[32] = "";
    GetEnvironmentVariableA("TARNELL_TEST_LANGUAGE", name, sizeof(name));
    for (const LanguageCase &c : languageCases)
        if (lstrcmpA(c.name, name) == 0)
            return &c;
    return NULL;
}

/* The case, once Wine is seen to give the user that language. */
#define REQUIRE_LANGUAGE(c) \
    const LanguageCase *c = ThisLanguage(); \
    if (!c) \
        FAIL() << "TARNELL_TEST_LANGUAGE names no case"; \
    ASSERT_EQ(PRIMARYLANGID(GetUserDefaultLangID()), c->userLanguage) << c->name; \
    ASSERT_EQ(GetACP(), c->codePage) << c->name

static LauncherRun StartTranslated(const std::string &folderName, const std::string &exeName = "TARNELL.EXE",
                                   bool waitForWindow = true)
{
    std::string folder = FreshFolder(folderName);
    CopyTo(TestProgramFolder() + LANGUAGES_EXE, folder + exeName);
    return StartLauncher(folder, exeName, "", waitForWindow);
}

TEST(Languages, ButtonsTitleAndSecondCopyRefusalInTheUsersLanguage)
{
    REQUIRE_LANGUAGE(c);
    LauncherRun first = StartTranslated("language-first");
    ASSERT_TRUE(first.window);
    LauncherControls controls = FindControls(first.window);
    EXPECT_EQ(WindowText(controls.start), c->start);
    EXPECT_EQ(WindowText(controls.dont), c->dont);
    EXPECT_EQ(WindowText(first.window), std::string(c->titleStart) + "Tarnell.exe v2.31.005)");
    /* Whatever the language, the mutex is the English launcher's. */
    EXPECT_TRUE(MutexExists(LAUNCHER_MUTEX_NAME));

    LauncherRun second = StartTranslated("language-second", "AUTORUN.EXE", false);
    MessageBoxSeen seen = AnswerMessageBox(second.process.info.dwProcessId);
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.caption, std::string("Autorun.exe") + c->caption);
    EXPECT_EQ(seen.text, c->second);
    EXPECT_TRUE(seen.errorStyle);
    EXPECT_EQ(FinishLauncher(second), EXIT_REFUSED);

    EXPECT_EQ(CloseWithAltF4(first), 0u);
}

TEST(Languages, UnsupportedSystemIsRefusedInTheUsersLanguage_Native)
{
    REQUIRE_LANGUAGE(c);
    SetProgramWindowsVersion("TARNELL.EXE", "vista");
    LauncherRun run = StartTranslated("language-os", "TARNELL.EXE", false);
    MessageBoxSeen seen = AnswerMessageBox(run.process.info.dwProcessId);
    ClearProgramWindowsVersion("TARNELL.EXE");

    EXPECT_TRUE(seen.found);
    EXPECT_EQ(seen.caption, std::string("Tarnell.exe") + c->caption);
    EXPECT_EQ(seen.text, c->unsupported);
    EXPECT_TRUE(seen.errorStyle);
    EXPECT_EQ(FinishLauncher(run), EXIT_REFUSED);
}

/* The title's room for the file name follows the length of its words. */
TEST(Languages, LongFileNameIsCutToFitTheTitle_Native)
{
    REQUIRE_LANGUAGE(c);
    LauncherRun run = StartTranslated("language-long", "KELMORA_AUTORUN_LAUNCHER_WITH_A_VERY_LONG_FILE_NAME.EXE");
    ASSERT_TRUE(run.window);
    std::string title = WindowText(run.window);
    EXPECT_EQ(title.size(), 79u) << title;
    EXPECT_EQ(title.rfind(std::string(c->titleStart) + "Kelmora_autorun_", 0), 0u) << title;
    EXPECT_EQ(title.substr(title.size() - 11), " v2.31.005)") << title;
    EXPECT_EQ(CloseWithAltF4(run), 0u);
}

/* Each copy refuses the other, in its own tongue: the English launcher
 * knows no other. */
TEST(Languages, TranslatedAndEnglishCopiesExcludeEachOther_Native)
{
    REQUIRE_LANGUAGE(c);
    for (bool translatedFirst : { true, false })
    {
        LauncherRun first = translatedFirst ? StartTranslated("exclude-first")
                                            : StartLauncher(FreshFolder("exclude-first"));
        ASSERT_TRUE(first.window) << translatedFirst;
        LauncherRun second = translatedFirst
            ? StartLauncher(FreshFolder("exclude-second"), "TARNELL.EXE", "", false)
            : StartTranslated("exclude-second", "TARNELL.EXE", false);
        MessageBoxSeen seen = AnswerMessageBox(second.process.info.dwProcessId);
        EXPECT_TRUE(seen.found) << translatedFirst;
        EXPECT_EQ(seen.caption, std::string("Tarnell.exe") +
                  (translatedFirst ? " Error Information" : c->caption)) << translatedFirst;
        EXPECT_EQ(seen.text, translatedFirst ? TEXT_SECOND_INSTANCE : c->second) << translatedFirst;
        EXPECT_EQ(FinishLauncher(second), EXIT_REFUSED) << translatedFirst;
        EXPECT_EQ(CloseWithAltF4(first), 0u) << translatedFirst;
    }
}

static BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found)
{
    ((std::vector<WORD> *)found)->push_back(language);
    return TRUE;
}

static BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR count)
{
    (*(int *)count)++;
    return TRUE;
}

/* The English launcher has no string table; the other has one in each
 * of its languages. */
TEST(LanguageResources, AStringTablePerLanguageAndNoneWithout)
{
    static const struct { const char *exe; std::vector<WORD> languages; } cases[] =
    {
        { LAUNCHER_EXE, {} },
        { LANGUAGES_EXE, { MAKELANGID(LANG_GERMAN, SUBLANG_DEFAULT), MAKELANGID(LANG_FRENCH, SUBLANG_DEFAULT) } },
    };
    for (const auto &c : cases)
    {
        HMODULE module = LoadLibraryExA((TestProgramFolder() + c.exe).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module) << c.exe;
        int tables = 0;
        EnumResourceNamesA(module, (LPCSTR)RT_STRING, CountName, (LONG_PTR)&tables);
        EXPECT_EQ(tables, c.languages.empty() ? 0 : 1) << c.exe;
        std::vector<WORD> found;
        EnumResourceLanguagesA(module, (LPCSTR)RT_STRING, MAKEINTRESOURCEA(1), CollectLanguage, (LONG_PTR)&found);
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, c.languages) << c.exe;
        FreeLibrary(module);
    }
}
