/*
 * The library workbench driven as a person would: the real Workbench.exe
 * started from the driver's folder, its controls found by their ids, text
 * typed and keys pressed through SendInput, and what the workbench shows
 * read back from the platform: a typed date read back or refused, a
 * file's checksums and hex dump, the fitted path as the window narrows
 * and widens, the coded report of a file that cannot be opened, and the
 * folder chooser's own dialog opened from its button.
 */
#include <gtest/gtest.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "testwin.h"
#include "workbench.h"
#include "util/checksum.h"
#include "util/folders.h"

#define WORKBENCH_EXE       "Workbench.exe"
/* The letters of the captions "&Date:" and "&File:": their keys. */
#define DATE_LETTER         TEXT_DATE_CAPTION[1]
#define FILE_LETTER         TEXT_FILE_CAPTION[1]
static_assert(TEXT_DATE_CAPTION[0] == '&' && TEXT_FILE_CAPTION[0] == '&', "caption letters");

/* A day in FILETIME units of 100 ns, and the day number of the first
 * day that FILETIME counts, 1 January 1601. */
#define FILETIME_DAY        864000000000ULL
#define FIRST_FILETIME_DAY_NUMBER 2305814ULL
#define TEXT_ROOM           1024
/* Bytes on one line of the library's hex dump. */
#define DUMP_LINE_BYTES     16

class WorkbenchWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = FreshFolder("workbench\\" + name);
        process = StartProgram("\"" + TestProgramFolder() + WORKBENCH_EXE + "\"", folder);
        ASSERT_TRUE(process.started);
        window = WaitForProcessWindow(process.info.dwProcessId, WORKBENCH_CLASS);
        ASSERT_TRUE(window) << "no workbench window";
        /* It has filled its panels once it waits for input. */
        WaitForInputIdle(process.info.hProcess, TestTimeout());
    }

    void TearDown() override
    {
        if (window)
        {
            PostMessageA(window, WM_CLOSE, 0, 0);
            EXPECT_EQ(WaitForExit(process), 0u) << "the workbench's exit code";
        }
        EndProgram(process);
    }

    HWND Item(int id) { return GetDlgItem(window, id); }

    std::string Label(int id) { return WindowText(Item(id)); }

    /* An edit control of another process keeps its text to itself: it is
     * asked for it. */
    std::string FieldText(int id)
    {
        char text[TEXT_ROOM] = "";
        DWORD_PTR copied = 0;
        SendMessageTimeoutA(Item(id), WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_ABORTIFHUNG,
                            TestTimeout(), &copied);
        return text;
    }

    /* Goes to the field with Alt and its caption's letter, selects what it
     * holds and types over it. */
    void TypeIntoField(int id, char letter, const std::string &text)
    {
        HWND field = Item(id);
        PressKey(window, letter, VK_MENU);
        ASSERT_TRUE(WaitUntil([&] { return FocusOf(window) == field; })) << "the field took no focus";
        PressKey(window, VK_HOME);
        PressKey(window, VK_END, VK_SHIFT);
        PressKey(window, VK_DELETE);
        TypeText(window, text);
        ASSERT_TRUE(WaitUntil([&] { return FieldText(id) == text; }))
            << "the field shows \"" << FieldText(id) << "\", not \"" << text << "\"";
    }

    /* Types a path into the file field and presses Enter. */
    void CheckFile(const std::string &path)
    {
        ASSERT_NO_FATAL_FAILURE(TypeIntoField(IDC_FILE_PATH, FILE_LETTER, path));
        PressKey(window, VK_RETURN);
    }

    std::string folder;
    ChildProcess process = {};
    HWND window = NULL;
};

static std::string Hex(unsigned value, int digits)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%0*X", digits, value);
    return text;
}

/* What the date panel shows for one typed text. */
struct DateCase
{
    std::string typed;
    std::string normal, dayNumber, fromToday, dosDate, refusal;
};

#define NOT_AHEAD "not within 0 to 999 days ahead"

static DateCase Accepted(const std::string &typed, const std::string &normal,
                         const std::string &dayNumber, const std::string &dosDate,
                         const std::string &fromToday = NOT_AHEAD)
{
    return { typed, normal, dayNumber, fromToday, dosDate + " (reads back as " + normal + ")", "" };
}

static DateCase Refused(const std::string &typed)
{
    return { typed, "-", "-", "-", "-", "Refused: \"" + typed + "\" is not a date (type mm/dd/yyyy)." };
}

/* The date some days from today as a user in the United States types it
 * (m/d/yyyy), and what the panel shows for it, worked out from the
 * system's own calendar: day numbers count from 1 January 1601, day
 * number 2305814. */
static DateCase DaysFromNow(int days)
{
    SYSTEMTIME day;
    FILETIME stamp;
    ULARGE_INTEGER value;
    char text[32];

    GetLocalTime(&day);
    day.wHour = day.wMinute = day.wSecond = day.wMilliseconds = 0;
    SystemTimeToFileTime(&day, &stamp);
    value.LowPart = stamp.dwLowDateTime;
    value.HighPart = stamp.dwHighDateTime;
    value.QuadPart += (LONGLONG)days * (LONGLONG)FILETIME_DAY;
    stamp.dwLowDateTime = value.LowPart;
    stamp.dwHighDateTime = value.HighPart;
    FileTimeToSystemTime(&stamp, &day);

    std::string typed = std::to_string(day.wMonth) + "/" + std::to_string(day.wDay) + "/" +
                        std::to_string(day.wYear);
    snprintf(text, sizeof(text), "%02u/%02u/%04u", day.wMonth, day.wDay, day.wYear);
    std::string normal = text;
    std::string number = std::to_string(value.QuadPart / FILETIME_DAY + FIRST_FILETIME_DAY_NUMBER);
    unsigned packed = (unsigned)((day.wYear - 1980) << 9 | day.wMonth << 5 | day.wDay);
    std::string ahead = days >= 0 ? std::to_string(days) + " days ahead" : NOT_AHEAD;
    return Accepted(typed, normal, number, Hex(packed, 4), ahead);
}

/* Day numbers from Python's calendar (toordinal() + 1721425); MS-DOS
 * dates packed by hand: (year - 1980) << 9 | month << 5 | day. */
TEST_F(WorkbenchWindow, TypedDatesAreReadBackOrRefused)
{
    ASSERT_EQ(Label(IDC_DATE_PATTERN), "mm/dd/yyyy") << "the cases are written for the US conventions";
    const DateCase cases[] = {
        Accepted("1/1/2000", "01/01/2000", "2451545", "0x2821"),
        Refused("2/30/2026"),
        Accepted("7/4/26", "07/04/2026", "2461226", "0x5CE4"),
        Refused("13/1/2026"),
        Accepted("2/29/2024", "02/29/2024", "2460370", "0x585D"),
        Refused("today"),
        Refused("2/29/2100"),
        DaysFromNow(10),
        DaysFromNow(-1),
    };

    for (const DateCase &c : cases)
    {
        SCOPED_TRACE("typed \"" + c.typed + "\"");
        ASSERT_NO_FATAL_FAILURE(TypeIntoField(IDC_DATE_FIELD, DATE_LETTER, c.typed));
        auto shown = [&] {
            return std::vector<std::string>{ Label(IDC_NORMAL_TEXT), Label(IDC_DAY_NUMBER_TEXT),
                                             Label(IDC_DAYS_AHEAD_TEXT), Label(IDC_DOS_DATE_TEXT),
                                             Label(IDC_DATE_REFUSAL) };
        };
        std::vector<std::string> expected = { c.normal, c.dayNumber, c.fromToday, c.dosDate, c.refusal };
        /* All labels as one state, so that a label left from the case
         * before cannot pass. */
        WaitUntil([&] { return shown() == expected; });
        EXPECT_EQ(shown(), expected);
    }
}

/* The hex dump lines of the first bytes, as the test writes them. */
static std::vector<std::string> DumpLines(const std::string &name, const std::vector<BYTE> &bytes)
{
    size_t shown = bytes.size() < HEX_DUMP_BYTES ? bytes.size() : HEX_DUMP_BYTES;
    std::vector<std::string> lines = { "First " + std::to_string(shown) + " bytes of " + name + ":" };
    for (size_t offset = 0; offset < shown; offset += DUMP_LINE_BYTES)
    {
        char part[8];
        snprintf(part, sizeof(part), "%04X: ", (unsigned)offset);
        std::string line = part;
        for (size_t i = offset; i < offset + DUMP_LINE_BYTES && i < shown; i++)
        {
            snprintf(part, sizeof(part), "%02X ", bytes[i]);
            line += part;
        }
        lines.push_back(line);
    }
    return lines;
}

struct FileCase
{
    std::string name;
    std::vector<BYTE> bytes;
    unsigned crc16;
    unsigned long crc32;
};

TEST_F(WorkbenchWindow, FileChecksumsAndHexDump)
{
    std::vector<BYTE> digits = { '1', '2', '3', '4', '5', '6', '7', '8', '9' };
    /* Longer than the workbench's pieces of 4096 bytes, so that the
     * checksums must be carried from piece to piece. */
    std::vector<BYTE> pattern(10000);
    for (size_t i = 0; i < pattern.size(); i++)
        pattern[i] = (BYTE)(i * 7 + i / 256 + 3);

    std::vector<FileCase> cases = {
        /* The check values of CRC-16/XMODEM and CRC-32/MPEG-2. */
        { "digits.txt", digits, 0x31C3, 0x0376E6E7UL },
        /* The whole file in one call of the library, against the
         * workbench's piece by piece. */
        { "pattern.bin", pattern,
          ComputeCrc16(CRC16_XMODEM_INITIAL, pattern.data(), (DWORD)pattern.size()),
          ComputeCrc32(CRC32_MPEG2_INITIAL, pattern.data(), (DWORD)pattern.size()) },
    };

    for (const FileCase &c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteWholeFile(folder + c.name, std::string(c.bytes.begin(), c.bytes.end())));
        std::string expected = std::to_string(c.bytes.size()) + " bytes, CRC-16/XMODEM " +
                               Hex(c.crc16, 4) + ", CRC-32/MPEG-2 " + Hex(c.crc32, 8);
        std::vector<std::string> dump = DumpLines(c.name, c.bytes);

        ASSERT_NO_FATAL_FAILURE(CheckFile(folder + c.name));
        HWND list = Item(IDC_MESSAGE_LIST);
        auto tail = [&] {
            std::vector<std::string> lines = ListBoxLines(list);
            if (lines.size() < dump.size())
                return lines;
            return std::vector<std::string>(lines.end() - dump.size(), lines.end());
        };
        WaitUntil([&] { return Label(IDC_CHECKSUMS) == expected && tail() == dump; });
        EXPECT_EQ(Label(IDC_CHECKSUMS), expected);
        EXPECT_EQ(tail(), dump);
    }
}

static void Resize(HWND window, int width)
{
    RECT rect;
    GetWindowRect(window, &rect);
    SetWindowPos(window, NULL, 0, 0, width, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

/* Narrower, the path gives up folders for an ellipsis and keeps its start
 * and file name, and the plain text is cut at its end; as wide as the
 * screen, both show the whole path again. */
TEST_F(WorkbenchWindow, FittedPathFollowsTheWidth)
{
    std::string name = "calendar.txt";
    std::string path = folder + name;
    ASSERT_TRUE(WriteWholeFile(path, "x"));
    HWND pathLabel = Item(IDC_FITTED_PATH);
    HWND plainLabel = Item(IDC_FITTED_PLAIN);
    int wide = GetSystemMetrics(SM_CXSCREEN);

    Resize(window, wide);
    ASSERT_NO_FATAL_FAILURE(CheckFile(path));
    EXPECT_TRUE(WaitUntil([&] { return WindowText(pathLabel) == path; }))
        << "wide: " << WindowText(pathLabel);
    EXPECT_EQ(WindowText(plainLabel), path);
    int wideLabel = ChildRect(pathLabel).right - ChildRect(pathLabel).left;

    /* The narrowest the window takes. */
    Resize(window, 0);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(pathLabel).size() < path.size(); }))
        << "narrow: " << WindowText(pathLabel);
    EXPECT_LT(ChildRect(pathLabel).right - ChildRect(pathLabel).left, wideLabel);
    std::string shortPath = WindowText(pathLabel);
    EXPECT_EQ(shortPath.substr(0, 3), path.substr(0, 3));
    EXPECT_TRUE(EndsWith(shortPath, "...\\" + name)) << shortPath;
    EXPECT_TRUE(WaitUntil([&] { return WindowText(plainLabel).size() < path.size(); }));
    std::string shortPlain = WindowText(plainLabel);
    ASSERT_TRUE(EndsWith(shortPlain, "...")) << shortPlain;
    EXPECT_EQ(path.substr(0, shortPlain.size() - 3), shortPlain.substr(0, shortPlain.size() - 3));

    Resize(window, wide);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(pathLabel) == path; }))
        << "wide again: " << WindowText(pathLabel);
    EXPECT_EQ(WindowText(plainLabel), path);
}

/* A file that cannot be opened is told in the library's coded error
 * report: the files panel's area, the opening step, the system's error
 * code (2, not found). The report is answered, and its one-line form
 * stays in the message list. */
TEST_F(WorkbenchWindow, MissingFileGivesACodedReport)
{
    ASSERT_NO_FATAL_FAILURE(CheckFile(folder + "no-such-file.txt"));
    HWND box = WaitForProcessWindow(process.info.dwProcessId, MESSAGE_BOX_CLASS);
    ASSERT_TRUE(box) << "no report";
    EXPECT_EQ(WindowText(box), "Workbench Error Information");
    EXPECT_EQ(MessageBoxText(box), "Error 0F11-0001-0002 The file cannot be opened.");

    PressKey(box, VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "the report stayed open";
    std::vector<std::string> lines;
    WaitUntil([&] {
        lines = ListBoxLines(Item(IDC_MESSAGE_LIST));
        return !lines.empty() && lines.back().find("Error") != std::string::npos;
    });
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Workbench: Error 0F11-0001-0002 The file cannot be opened.");
    EXPECT_EQ(Label(IDC_CHECKSUMS), "-");
}

/* The workbench carries the folder chooser's own dialog: its button opens
 * it at the current folder, and OK makes that folder the choice. */
TEST_F(WorkbenchWindow, FolderChooserDialogFromItsButton)
{
    std::string start = folder.substr(0, folder.size() - 1);

    ClickControl(Item(IDC_CHOOSE_DIALOG));
    HWND dialog = WaitForProcessWindow(process.info.dwProcessId, MESSAGE_BOX_CLASS);
    ASSERT_TRUE(dialog) << "no dialog";
    EXPECT_EQ(WindowText(dialog), "Choose Folder");
    EXPECT_EQ(LowerCase(WindowText(GetDlgItem(dialog, IDC_CURRENT_FOLDER))), LowerCase(start));

    PressKey(dialog, VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "the dialog stayed open";
    EXPECT_TRUE(WaitUntil([&] { return LowerCase(Label(IDC_FOLDER_TEXT)) == LowerCase(start); }))
        << Label(IDC_FOLDER_TEXT);
    std::vector<std::string> lines = ListBoxLines(Item(IDC_MESSAGE_LIST));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(LowerCase(lines.back()), LowerCase("Folder chosen: " + start));
}
