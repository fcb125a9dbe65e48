/* Message boxes and coded reports on real message boxes, read and answered
 * by a CBT hook; the module identity of real programs under chosen names. */
#include <gtest/gtest.h>
#include <sstream>
#include "boxhook.h"
#include "dbcstest.h"
#include "testwin.h"
#include "util/reports.h"

#define OWNER_CLASS "ReportsOwner"
/* A save command that uses the whole 32-bit wParam. */
#define SAVE_COMMAND 0x8001ABCDu

static const std::vector<int> OK_ONLY = { IDOK };
/* Button ids in ascending order, as the hook reports them. */
static const std::vector<int> YES_NO_CANCEL = { IDCANCEL, IDYES, IDNO };

/* The owner counts the WM_COMMAND messages it receives. */
static int commandCount;
static WPARAM lastCommand;
static bool confirmReturned;
static bool commandBeforeReturn;

static LRESULT CALLBACK OwnerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
    {
        commandCount++;
        lastCommand = wParam;
        commandBeforeReturn = !confirmReturned;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class Reports : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        RegisterTestClass(OWNER_CLASS, OwnerWndProc);
    }

    void SetUp() override
    {
        ModuleShortName[0] = '\0';
        SetReportCode(0, 0, 0);
        /* Hidden: a shown top-level window costs seconds under Wine
         * without a window manager, and a box may have a hidden owner. */
        owner = CreateWindowExA(0, OWNER_CLASS, "owner", WS_OVERLAPPEDWINDOW,
                                50, 50, 300, 200, NULL, NULL, GetModuleHandleA(NULL), NULL);
        commandCount = 0;
        lastCommand = 0;
        confirmReturned = false;
        commandBeforeReturn = false;
    }

    void TearDown() override
    {
        DestroyWindow(owner);
        ModuleShortName[0] = '\0';
    }

    HWND owner;
};

TEST_F(Reports, ErrorBoxShowsTextAndCaptionWithTheErrorIcon)
{
    BoxHook hook(IDOK);

    EXPECT_EQ(ShowErrorBox(owner, "Something broke", "Tool Error"), IDOK);
    ASSERT_EQ(hook.seen.size(), 1u);
    EXPECT_EQ(hook.seen[0].caption, "Tool Error");
    EXPECT_EQ(hook.seen[0].text, "Something broke");
    EXPECT_EQ(hook.seen[0].icon, "error");
    EXPECT_EQ(hook.seen[0].buttons, OK_ONLY);
    EXPECT_EQ(hook.seen[0].owner, owner);

    BoxHook ownerless(IDOK);
    EXPECT_EQ(ShowErrorBox(NULL, "No owner", "Cap"), IDOK);
    ASSERT_EQ(ownerless.seen.size(), 1u);
    EXPECT_EQ(ownerless.seen[0].owner, (HWND)NULL);
}

TEST_F(Reports, ConfirmSaveChangesSendsTheSaveCommandOnlyOnYes)
{
    static const struct { int answer; int commands; } cases[] = {
        { IDYES, 1 }, { IDNO, 0 }, { IDCANCEL, 0 } };

    for (const auto &c : cases)
    {
        commandCount = 0;
        lastCommand = 0;
        confirmReturned = false;
        BoxHook hook(c.answer);
        int answer = ConfirmSaveChanges(owner, SAVE_COMMAND, "Report.txt", "Editor");
        confirmReturned = true;

        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(commandCount, c.commands) << c.answer;
        ASSERT_EQ(hook.seen.size(), 1u);
        EXPECT_EQ(hook.seen[0].text, "Save current changes in Report.txt?");
        EXPECT_EQ(hook.seen[0].caption, "Editor");
        EXPECT_EQ(hook.seen[0].icon, "question");
        EXPECT_EQ(hook.seen[0].buttons, YES_NO_CANCEL);
        EXPECT_EQ(hook.seen[0].owner, owner);
        if (c.commands)
        {
            EXPECT_EQ(lastCommand, (WPARAM)SAVE_COMMAND);
            EXPECT_TRUE(commandBeforeReturn);
        }
    }
}

TEST_F(Reports, ConfirmSaveChangesCutsAnOverlongDocumentName)
{
    static const struct { size_t length; size_t shown; } cases[] = {
        { 746, 746 }, { 747, 746 }, { 2000, 746 } };

    for (const auto &c : cases)
    {
        std::string name(c.length, 'n');
        BoxHook hook(IDNO);
        EXPECT_EQ(ConfirmSaveChanges(owner, SAVE_COMMAND, name.c_str(), "Editor"), IDNO);
        ASSERT_EQ(hook.seen.size(), 1u);
        EXPECT_EQ(hook.seen[0].text, "Save current changes in " + std::string(c.shown, 'n') + "?")
            << c.length;
        EXPECT_EQ(commandCount, 0);
    }
}

TEST_F(Reports, FormatErrorReportPrintsTheCodesAndTheName)
{
    static const struct { const char *name; WORD major, minor, detail; const char *text;
                          const char *expected; } cases[] = {
        { "", 0, 0, 0, "abc", "Error 0000-0000-0000 abc" },
        { "Mytool", 0x12, 3, 0xAB, "Disk full.", "Mytool: Error 0012-0003-00AB Disk full." },
        { "", 1, 0xab, 0xFFFF, "x", "Error 0001-00AB-FFFF x" },
        { "Setupwizard", 0xFFFF, 0xFFFF, 0xFFFF, "",
          "Setupwizard: Error FFFF-FFFF-FFFF " },
    };

    for (const auto &c : cases)
    {
        char text[64];
        lstrcpyA(ModuleShortName, c.name);
        SetReportCode(c.major, c.minor, c.detail);
        lstrcpyA(text, c.text);
        LPSTR report = FormatErrorReport(text);
        EXPECT_EQ(report, ReportTextBuffer);
        EXPECT_STREQ(report, c.expected);
        EXPECT_STREQ(text, c.text) << "a short text is not cut";
        EXPECT_EQ(LastReportCode.major, c.major) << "reports never reset the code";
    }
}

TEST_F(Reports, ReportsCutTheCallersTextToFit)
{
    /* The header "Mytool: Error 0012-0003-00AB " is 29 characters. */
    static const struct { size_t length; size_t kept; } cases[] = {
        { 97, 97 }, { 98, 98 }, { 99, 98 }, { 100, 98 }, { 500, 98 } };

    lstrcpyA(ModuleShortName, "Mytool");
    SetReportCode(0x12, 3, 0xAB);
    for (const auto &c : cases)
    {
        std::vector<char> text(c.length + 1, 't');
        text[c.length] = '\0';
        LPSTR report = FormatErrorReport(text.data());
        EXPECT_EQ(lstrlenA(report), (int)(29 + c.kept)) << c.length;
        EXPECT_EQ(strlen(text.data()), c.kept) << "the caller's buffer is cut in place";
        EXPECT_EQ(std::string(report), "Mytool: Error 0012-0003-00AB " + std::string(text.data()));
    }
}

/* A program whose short name and texts are double-byte characters that
 * end in 0x5C: every cut to fit comes one byte short rather than leave a
 * lead byte alone, in the caller's buffer, the report and the box. */
TEST_F(Reports, DoubleByteTextsAreCutBetweenCharacters)
{
    REQUIRE_DOUBLE_BYTE_SAMPLE(sample);
    const std::string c = sample->character, name = sample->folder;
    /* The headers: name, ": Error 0012-0003-00AB " (27 bytes, 100 left);
     * "Error 0012-0003-00AB " (106 left); "Status 0012-0003-00AB \n"
     * (104 left). */
    enum { FORMAT, ERROR_BOX, STATUS_BOX };
    const struct { int routine; std::string text, kept; } cases[] = {
        { FORMAT, "x" + Repeated(c, 60), "x" + Repeated(c, 49) },
        { FORMAT, Repeated(c, 60), Repeated(c, 50) },
        { ERROR_BOX, "x" + Repeated(c, 60), "x" + Repeated(c, 52) },
        { ERROR_BOX, Repeated(c, 60), Repeated(c, 53) },
        { STATUS_BOX, "x" + Repeated(c, 60), "x" + Repeated(c, 51) },
        { STATUS_BOX, Repeated(c, 60), Repeated(c, 52) },
    };

    lstrcpyA(ModuleShortName, name.c_str());
    SetReportCode(0x12, 3, 0xAB);
    for (const auto &k : cases)
    {
        char text[200];
        lstrcpyA(text, k.text.c_str());
        BoxHook hook(IDOK);
        std::string expected;
        if (k.routine == FORMAT)
        {
            FormatErrorReport(text);
            expected = name + ": Error 0012-0003-00AB " + k.kept;
        }
        else if (k.routine == ERROR_BOX)
        {
            ShowErrorReport(owner, text);
            expected = "Error 0012-0003-00AB " + k.kept;
        }
        else
        {
            ShowStatusReport(owner, text);
            expected = "Status 0012-0003-00AB \n" + k.kept;
        }
        EXPECT_EQ(std::string(text), k.kept) << k.routine;
        EXPECT_EQ(std::string(ReportTextBuffer), expected) << k.routine;
        if (k.routine == ERROR_BOX)
        {
            ASSERT_EQ(hook.seen.size(), 1u);
            EXPECT_EQ(hook.seen[0].caption, name + " Error Information");
            EXPECT_EQ(hook.seen[0].text, expected);
        }
    }

    /* The document name of the question: 746 bytes of room. */
    BoxHook hook(IDNO);
    EXPECT_EQ(ConfirmSaveChanges(owner, SAVE_COMMAND, ("x" + Repeated(c, 400)).c_str(), name.c_str()),
              IDNO);
    ASSERT_EQ(hook.seen.size(), 1u);
    EXPECT_EQ(hook.seen[0].text, "Save current changes in x" + Repeated(c, 372) + "?");
}

TEST_F(Reports, ErrorReportBoxWithAndWithoutIdentity)
{
    static const struct { const char *name; const char *caption; } cases[] = {
        { "", " Error Information" }, { "Mytool", "Mytool Error Information" } };

    for (const auto &c : cases)
    {
        char text[200];
        lstrcpyA(ModuleShortName, c.name);
        SetReportCode(0x12, 3, 0xAB);
        lstrcpyA(text, "Disk full.");
        BoxHook hook(IDOK);
        EXPECT_EQ(ShowErrorReport(owner, text), IDOK);
        ASSERT_EQ(hook.seen.size(), 1u);
        EXPECT_EQ(hook.seen[0].caption, c.caption);
        EXPECT_EQ(hook.seen[0].text, "Error 0012-0003-00AB Disk full.");
        EXPECT_EQ(hook.seen[0].icon, "error");
        EXPECT_EQ(hook.seen[0].buttons, OK_ONLY);
        EXPECT_STREQ(ModuleShortName, c.name) << "the short name comes back";
        EXPECT_STREQ(ReportTextBuffer, "Error 0012-0003-00AB Disk full.");
    }
}

TEST_F(Reports, ErrorReportBoxCutsWithoutTheNamePrefix)
{
    /* Without the prefix the header is 21 characters: 106 remain. */
    static const struct { size_t length; size_t kept; } cases[] = {
        { 106, 106 }, { 107, 106 }, { 300, 106 } };

    lstrcpyA(ModuleShortName, "Mytool");
    for (const auto &c : cases)
    {
        std::vector<char> text(c.length + 1, 'w');
        text[c.length] = '\0';
        BoxHook hook(IDOK);
        ShowErrorReport(NULL, text.data());
        ASSERT_EQ(hook.seen.size(), 1u);
        EXPECT_EQ(hook.seen[0].text, "Error 0000-0000-0000 " + std::string(c.kept, 'w'));
        EXPECT_EQ(strlen(text.data()), c.kept);
    }
}

TEST_F(Reports, StatusReportWithAndWithoutCode)
{
    static const struct { const char *name; WORD major, minor, detail; const char *expected;
                          const char *caption; } cases[] = {
        { "", 1, 0, 0xFF, "Status 0001-0000-00FF \nAll done", " Status Information" },
        { "Mytool", 0, 5, 6, "All done", "Mytool Status Information" },
        { "Mytool", 0xBEEF, 1, 2, "Status BEEF-0001-0002 \nAll done", "Mytool Status Information" },
    };

    for (const auto &c : cases)
    {
        char text[32] = "All done";
        char earlier[32] = "earlier words";
        lstrcpyA(ModuleShortName, c.name);
        FormatErrorReport(earlier);
        SetReportCode(c.major, c.minor, c.detail);
        BoxHook hook(IDOK);
        EXPECT_EQ(ShowStatusReport(owner, text), IDOK);
        ASSERT_EQ(hook.seen.size(), 1u);
        EXPECT_EQ(hook.seen[0].caption, c.caption);
        /* The box shows the text as given; the buffer holds the LF. */
        EXPECT_STREQ(ReportTextBuffer, c.expected);
        EXPECT_EQ(hook.seen[0].text.find("earlier"), std::string::npos);
        EXPECT_NE(hook.seen[0].text.find("All done"), std::string::npos);
        EXPECT_EQ(hook.seen[0].icon, "information");
        EXPECT_EQ(hook.seen[0].buttons, OK_ONLY);
    }
}

TEST_F(Reports, StatusReportCutsToFit)
{
    /* 23 characters of header with a code, none without. */
    static const struct { WORD major; size_t length; size_t kept; } cases[] = {
        { 1, 104, 104 }, { 1, 105, 104 }, { 0, 127, 127 }, { 0, 128, 127 }, { 0, 400, 127 } };

    for (const auto &c : cases)
    {
        std::vector<char> text(c.length + 1, 's');
        text[c.length] = '\0';
        SetReportCode(c.major, 0, 0);
        BoxHook hook(IDOK);
        ShowStatusReport(NULL, text.data());
        EXPECT_EQ(strlen(text.data()), c.kept) << c.length;
        EXPECT_EQ(strlen(ReportTextBuffer), (c.major ? 23 : 0) + c.kept);
    }
}

TEST_F(Reports, IdentityOfThisProgram)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof(path));

    EXPECT_EQ(LoadModuleIdentity(NULL), length);
    EXPECT_EQ(LowerCase(TestProgramFolder()), ModuleFolder);
    EXPECT_STREQ(ModuleFileName, "Util_tests.exe");
    EXPECT_STREQ(ModuleShortName, "Util_tests");

    /* A handle that is no module: nothing changes. */
    EXPECT_EQ(LoadModuleIdentity((HMODULE)(ULONG_PTR)0x10), 0u);
    EXPECT_STREQ(ModuleFileName, "Util_tests.exe");
    EXPECT_STREQ(ModuleShortName, "Util_tests");
}

/* Runs the identity probe copied as folder\\exe and checks the path length
 * and the three texts it prints. */
static void ExpectProbeIdentity(const char *folderName, const char *exeName, const char *fileName,
                                const char *shortName)
{
    std::string folder = FreshFolder(folderName);
    std::string exe = folder + exeName;
    ASSERT_TRUE(CopyTo(TestProgramFolder() + "identity_probe.exe", exe));
    DWORD exitCode;
    std::istringstream lines(RunAndCapture("\"" + exe + "\"", &exitCode));
    std::string length, moduleFolder, shownName, shownShortName;
    std::getline(lines, length);
    std::getline(lines, moduleFolder);
    std::getline(lines, shownName);
    std::getline(lines, shownShortName);

    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(length, std::to_string(exe.size())) << exe;
    EXPECT_EQ(moduleFolder, LowerCase(folder));
    EXPECT_EQ(shownName, fileName);
    EXPECT_EQ(shownShortName, shortName);
}

TEST(ModuleIdentity, RealProgramsUnderChosenNames_Native)
{
    static const struct { const char *folder; const char *exe; const char *fileName;
                          const char *shortName; } cases[] = {
        { "Identity\\Apps\\TOOLS", "MyTool.EXE", "Mytool.exe", "Mytool" },
        { "Identity\\Setup", "SETUPWIZARD.EXE", "Setupwizard.exe", "Setupwizard" },
        { "Identity\\Data", "data.loader.exe", "Data.loader.exe", "Data" },
        { "Identity\\Short", "ab.exe", "Ab.exe", "Ab" },
        { "Identity\\Eleven", "abcdefghij.exe", "Abcdefghij.exe", "Abcdefghij" },
        { "Identity\\UPPER\\Case.Dir", "LONGPROGRAMNAME.EXE", "Longprogramname.exe", "Longprogram" },
        { "Identity\\Dots", "abcdefghi.x.exe", "Abcdefghi.x.exe", "Abcdefghi" },
        { "Identity\\NoDot", "abcdefghijk.exe", "Abcdefghijk.exe", "Abcdefghijk" },
    };

    for (const auto &c : cases)
        ExpectProbeIdentity(c.folder, c.exe, c.fileName, c.shortName);
}

/* Under a double-byte code page the trail byte of a character may be
 * 0x5C, the backslash: a program named after such a character, in a folder
 * whose name ends in one (under 932, 表.exe in 機能). */
TEST(ModuleIdentity, DoubleByteNamesSplitByCharacters)
{
    REQUIRE_DOUBLE_BYTE_SAMPLE(sample);
    std::string folder = std::string("Identity\\") + sample->folder;
    std::string exe = std::string(sample->character) + ".exe";
    ExpectProbeIdentity(folder.c_str(), exe.c_str(), exe.c_str(), sample->character);
}
