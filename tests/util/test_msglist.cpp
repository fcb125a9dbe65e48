/* The message list on a real list box in a test window: the line cap, the
 * scrolling, the echo to a real file, hex dumps, and the log viewer on real
 * files with well-formed and damaged text, its memory kept flat as a log
 * grows, and a benchmark of the viewer on huge (sparse) logs, which only
 * scripts/bench.sh runs. */
#include <gtest/gtest.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "boxhook.h"
#include "dbcstest.h"
#include "testwin.h"
#include "util/msglist.h"

#define LIST_OWNER_CLASS "MessageListOwner"
#define LIST_ID 100
#define LOG_CAPTION "Log File I/O Error"

static LRESULT CALLBACK ListOwnerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

static int Count(HWND list)
{
    return (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
}

static int TopIndex(HWND list)
{
    return (int)SendMessageA(list, LB_GETTOPINDEX, 0, 0);
}

static void WriteFile(const std::string &path, const std::string &bytes)
{
    ASSERT_TRUE(WriteWholeFile(path, bytes)) << path;
}

/* A file of the given size whose bytes past the text were never written. */
static bool MakeSparseFile(const std::string &path, const std::string &tail, ULONGLONG size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    LARGE_INTEGER at;
    DWORD written = 0;

    if (file == INVALID_HANDLE_VALUE)
        return false;
    at.QuadPart = (LONGLONG)(size - tail.size());
    bool done = SetFilePointerEx(file, at, NULL, FILE_BEGIN) &&
                WriteFile(file, tail.data(), (DWORD)tail.size(), &written, NULL) &&
                written == tail.size();
    CloseHandle(file);
    return done;
}

/* A file can be opened for exclusive use only when nobody holds it open. */
static bool IsClosed(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

/* Numbered lines "line NNNNN" padded with dots to width characters, each
 * ending in CR LF. */
static std::string NumberedLines(int first, int count, int width)
{
    std::string text;
    char number[32];

    for (int i = first; i < first + count; i++)
    {
        wsprintfA(number, "line %05d", i);
        std::string line = number;
        line.resize(width, '.');
        text += line + "\r\n";
    }
    return text;
}

static std::string NumberedLine(int i, int width)
{
    std::string line = NumberedLines(i, 1, width);
    return line.substr(0, line.size() - 2);
}

class MessageListTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        RegisterTestClass(LIST_OWNER_CLASS, ListOwnerWndProc);
    }

    void SetUp() override
    {
        /* The test window stays hidden: a shown top-level window costs
         * seconds under Wine without a window manager, and the list box
         * keeps its size and scrolling whether shown or not. */
        window = CreateWindowExA(0, LIST_OWNER_CLASS, "messages", WS_OVERLAPPEDWINDOW,
                                 20, 20, 500, 400, NULL, NULL, GetModuleHandleA(NULL), NULL);
        list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                               0, 0, 480, 300, window, (HMENU)LIST_ID,
                               GetModuleHandleA(NULL), NULL);
        RECT client;
        GetClientRect(list, &client);
        int itemHeight = (int)SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
        pageLines = itemHeight > 0 ? (client.bottom - client.top) / itemHeight : 1;
    }

    void TearDown() override
    {
        DestroyWindow(window);
    }

    /* Views a file of these bytes in the emptied list: it lists these
     * lines, shows no box and leaves the file closed. */
    void ExpectLogLines(const std::string &path, const std::string &bytes,
                        const std::vector<std::string> &lines)
    {
        WriteFile(path, bytes);
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        BoxHook hook(IDOK);
        ViewLogFile(list, path.c_str());
        EXPECT_EQ(ListBoxLines(list), lines) << path;
        EXPECT_TRUE(hook.seen.empty()) << path;
        EXPECT_TRUE(IsClosed(path)) << path;
    }

    /* Where the list box can scroll to at most, with the newest line at
     * the given index. */
    int ExpectedTop(int index)
    {
        int count = Count(list);
        int last = count > pageLines ? count - pageLines : 0;
        return index < last ? index : last;
    }

    HWND window;
    HWND list;
    int pageLines;
};

class MessageList : public MessageListTest {};
class HexDump : public MessageListTest {};
class LogViewer : public MessageListTest {};

TEST_F(MessageList, AppendsAtTheEndAndScrollsTheNewLineIntoView)
{
    ASSERT_GT(pageLines, 2);
    for (int i = 0; i < 40; i++)
    {
        std::string text = "message " + std::to_string(i);
        AppendMessageLine(list, NULL, text.c_str());
        ASSERT_EQ(Count(list), i + 1);
        EXPECT_EQ(ListBoxLines(list).back(), text);
        EXPECT_EQ(TopIndex(list), ExpectedTop(i)) << i;
    }
    EXPECT_EQ(TopIndex(list), 40 - pageLines);
}

static_assert(MESSAGE_LIST_LIMIT == 1100, "the list's cap, as the cases below count it");

TEST_F(MessageList, KeepsAtMost1100Lines)
{
    static const struct { int before; int after; const char *first; } cases[] = {
        { 1098, 1099, "old 0" }, { 1099, 1100, "old 0" }, { 1100, 1100, "old 1" } };

    for (const auto &c : cases)
    {
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        for (int i = 0; i < c.before; i++)
            AppendMessageLine(list, NULL, ("old " + std::to_string(i)).c_str());
        ASSERT_EQ(Count(list), c.before);
        AppendMessageLine(list, NULL, "newest");
        std::vector<std::string> lines = ListBoxLines(list);
        EXPECT_EQ((int)lines.size(), c.after) << c.before;
        EXPECT_EQ(lines.front(), c.first) << c.before;
        EXPECT_EQ(lines.back(), "newest");
        EXPECT_EQ(TopIndex(list), ExpectedTop(c.after - 1));
    }

    /* One more: still 1100, the oldest goes first. */
    AppendMessageLine(list, NULL, "newer still");
    std::vector<std::string> lines = ListBoxLines(list);
    EXPECT_EQ(lines.size(), 1100u);
    EXPECT_EQ(lines.front(), "old 2");
    EXPECT_EQ(lines[1098], "newest");
    EXPECT_EQ(lines[1099], "newer still");
}

TEST_F(MessageList, ALongerListFilledByOtherMeansIsNotTrimmed)
{
    static const int lengths[] = { 1101, 1150 };

    for (int length : lengths)
    {
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        for (int i = 0; i < length; i++)
            SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)("other " + std::to_string(i)).c_str());
        AppendMessageLine(list, NULL, "appended");
        std::vector<std::string> lines = ListBoxLines(list);
        EXPECT_EQ((int)lines.size(), length + 1);
        EXPECT_EQ(lines.front(), "other 0");
        EXPECT_EQ(lines.back(), "appended");
        EXPECT_EQ(TopIndex(list), ExpectedTop(length));
    }
}

TEST_F(MessageList, NullTextListsOneSpaceAndEchoesToARealFile)
{
    std::string path = FreshFolder("MessageList") + "echo.log";
    FILE *echo = fopen(path.c_str(), "wb");
    ASSERT_NE(echo, (FILE *)NULL);

    AppendMessageLine(list, echo, "first line");
    AppendMessageLine(list, echo, NULL);
    AppendMessageLine(list, NULL, "not echoed");
    AppendMessageLine(list, echo, "");
    fclose(echo);

    std::vector<std::string> expected = { "first line", " ", "not echoed", "" };
    EXPECT_EQ(ListBoxLines(list), expected);
    EXPECT_EQ(ReadTextFile(path), "first line\n \n\n");
}

static std::string HexLine(int offset, const BYTE *bytes, int n)
{
    char field[16];
    wsprintfA(field, "%04X: ", offset);
    std::string line = field;
    for (int i = 0; i < n; i++)
    {
        wsprintfA(field, "%02X ", bytes[i]);
        line += field;
    }
    return line;
}

TEST_F(HexDump, ListsTheTitleAndSixteenBytesALine)
{
    static const struct { short count; int dumpLines; int lastFields; } cases[] = {
        { 0, 0, 0 }, { 1, 1, 1 }, { 16, 1, 16 }, { 17, 2, 1 }, { 32, 2, 16 }, { 33, 3, 1 },
        { -1, 0, 0 }, { -32768, 0, 0 } };
    BYTE data[64];
    for (int i = 0; i < 64; i++)
        data[i] = (BYTE)(0xF0 + i * 7);

    for (const auto &c : cases)
    {
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        AppendHexDump(list, data, c.count, "Title");
        std::vector<std::string> lines = ListBoxLines(list);
        ASSERT_EQ((int)lines.size(), 1 + c.dumpLines) << c.count;
        EXPECT_EQ(lines[0], "Title");
        for (int l = 0; l < c.dumpLines; l++)
        {
            int n = l == c.dumpLines - 1 ? c.lastFields : 16;
            EXPECT_EQ(lines[1 + l], HexLine(l * 16, data + l * 16, n)) << c.count;
        }
    }
}

TEST_F(HexDump, SeventeenBytesByHand)
{
    BYTE data[17];
    for (int i = 0; i < 17; i++)
        data[i] = (BYTE)(i == 16 ? 0xAB : i);

    AppendHexDump(list, data, 17, NULL);
    std::vector<std::string> expected = {
        " ", "0000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ", "0010: AB " };
    EXPECT_EQ(ListBoxLines(list), expected);
    EXPECT_EQ(expected[1].size(), 54u);
}

TEST_F(HexDump, TheLargestCountKeepsTheLast1100Lines)
{
    std::vector<BYTE> data(32767);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (BYTE)i;

    AppendHexDump(list, data.data(), 32767, "big");
    std::vector<std::string> lines = ListBoxLines(list);
    /* 2048 dump lines after the title: the list keeps its last 1100. */
    ASSERT_EQ(lines.size(), 1100u);
    int firstLine = 2049 - 1100 - 1;
    EXPECT_EQ(lines.front(), HexLine(firstLine * 16, data.data() + firstLine * 16, 16));
    EXPECT_EQ(lines.back(), HexLine(0x7FF0, data.data() + 0x7FF0, 15));
    EXPECT_EQ(lines.back().substr(0, 6), "7FF0: ");
    EXPECT_EQ(TopIndex(list), ExpectedTop(1099));
}

TEST_F(LogViewer, ShortFilesWellFormedAndDamaged)
{
    static const struct { const char *name; std::string bytes; std::vector<std::string> lines; } cases[] = {
        { "one", "hello\r\n", { "hello" } },
        { "blank", "abc\r\n\r\ndef\r\n", { "abc", "", "def" } },
        { "crOnly", "abc\rXdef\r\n", { "abc", "def" } },
        { "zeroStart", std::string("abc\r\n\0def\r\nghi\r\n", 15), { "abc" } },
        { "zeroInside", std::string("abc\r\nde\0f\r\nghi\r\n", 15), { "abc", "de" } },
        { "noCr", "abcdef", { "abcdef" } },
        { "lastNoCr", "abc\r\ndef", { "abc", "def" } },
        { "endsInCr", "abc\r", { "abc" } },
        { "justCrLf", "\r\n", { "" } },
        { "exact127", std::string(127, 'q') + "\r\nz\r\n", { std::string(127, 'q'), "z" } },
        { "long300", std::string(300, 'L') + "\r\nz\r\n",
          { std::string(127, 'L'), std::string(127, 'L'), std::string(46, 'L'), "z" } },
    };
    std::string folder = FreshFolder("LogViewer\\Short");

    for (const auto &c : cases)
        ExpectLogLines(folder + c.name + ".log", c.bytes, c.lines);
}

/* A log in a folder and under a file name whose characters end in 0x5C,
 * with lines longer than the line buffer: the pieces part between
 * characters, one byte short of 127 where a character would straddle. */
TEST_F(LogViewer, DoubleByteLongLinesPartBetweenCharacters)
{
    REQUIRE_DOUBLE_BYTE_SAMPLE(sample);
    const std::string c = sample->character;
    const struct { const char *name; std::string bytes; std::vector<std::string> lines; } cases[] = {
        { "straddles", "ab" + Repeated(c, 150) + "\r\nz\r\n",
          { "ab" + Repeated(c, 62), Repeated(c, 63), Repeated(c, 25), "z" } },
        { "fits", "a" + Repeated(c, 150) + "\r\n" + c + "\r\n",
          { "a" + Repeated(c, 63), Repeated(c, 63), Repeated(c, 24), c } },
        { "exact", "a" + Repeated(c, 63) + "\r\n", { "a" + Repeated(c, 63) } },
    };
    std::string folder = FreshFolder("LogViewer\\DoubleByte") + sample->folder + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));

    for (const auto &k : cases)
        ExpectLogLines(folder + sample->folder + k.name + ".log", k.bytes, k.lines);
}

TEST_F(LogViewer, MissingAndEmptyFilesChangeNothing)
{
    std::string folder = FreshFolder("LogViewer\\Empty");
    WriteFile(folder + "empty.log", "");
    AppendMessageLine(list, NULL, "before");

    BoxHook hook(IDOK);
    ViewLogFile(list, (folder + "missing.log").c_str());
    ViewLogFile(list, (folder + "empty.log").c_str());
    EXPECT_EQ(ListBoxLines(list), std::vector<std::string>{ "before" });
    EXPECT_TRUE(hook.seen.empty());
    EXPECT_TRUE(IsClosed(folder + "empty.log"));
}

TEST_F(LogViewer, AddsAfterWhatTheListHolds)
{
    std::string path = FreshFolder("LogViewer\\Append") + "a.log";
    WriteFile(path, "x\r\ny\r\n");
    AppendMessageLine(list, NULL, "before");
    ViewLogFile(list, path.c_str());
    EXPECT_EQ(ListBoxLines(list), (std::vector<std::string>{ "before", "x", "y" }));
}

TEST_F(LogViewer, ReadsTheWholeOfExactly64000Bytes)
{
    /* 1000 lines of 62 characters and CR LF. */
    std::string text = NumberedLines(0, 1000, 62);
    ASSERT_EQ(text.size(), (size_t)LOG_TAIL_BYTES);
    std::string path = FreshFolder("LogViewer\\Exact") + "exact.log";
    WriteFile(path, text);

    ViewLogFile(list, path.c_str());
    std::vector<std::string> lines = ListBoxLines(list);
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_EQ(lines.front(), NumberedLine(0, 62));
    EXPECT_EQ(lines.back(), NumberedLine(999, 62));
    EXPECT_EQ(TopIndex(list), ExpectedTop(999));
}

TEST_F(LogViewer, SkipsThePartialFirstLineOfALargerFile)
{
    static const struct { const char *name; std::string prefix; } cases[] = {
        { "plus1", "X" }, { "plusLine", "first whole line\r\n" } };
    std::string folder = FreshFolder("LogViewer\\Larger");

    for (const auto &c : cases)
    {
        std::string path = folder + c.name + ".log";
        WriteFile(path, c.prefix + NumberedLines(0, 1000, 62));
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        ViewLogFile(list, path.c_str());
        std::vector<std::string> lines = ListBoxLines(list);
        /* The last 64000 bytes are exactly the 1000 lines: the first of
         * them counts as partial and is skipped. */
        ASSERT_EQ(lines.size(), 999u) << c.name;
        EXPECT_EQ(lines.front(), NumberedLine(1, 62));
        EXPECT_EQ(lines.back(), NumberedLine(999, 62));
    }
}

TEST_F(LogViewer, ALargeTailWithoutAnyCrShowsNothing)
{
    std::string path = FreshFolder("LogViewer\\NoCr") + "nocr.log";
    WriteFile(path, std::string(70000, 'n'));

    BoxHook hook(IDOK);
    ViewLogFile(list, path.c_str());
    EXPECT_EQ(Count(list), 0);
    EXPECT_TRUE(hook.seen.empty());
}

TEST_F(LogViewer, SeveralMegabytesListTheLast1100LinesOfTheTail)
{
    /* 4 MB of 30-character lines: the tail holds 2000 of them, the first
     * skipped as partial, and the list keeps the last 1100. */
    int total = 4 * 1024 * 1024 / 32;
    std::string path = FreshFolder("LogViewer\\Big") + "big.log";
    WriteFile(path, NumberedLines(0, total, 30));

    ViewLogFile(list, path.c_str());
    std::vector<std::string> lines = ListBoxLines(list);
    ASSERT_EQ(lines.size(), 1100u);
    EXPECT_EQ(lines.front(), NumberedLine(total - 1100, 30));
    EXPECT_EQ(lines.back(), NumberedLine(total - 1, 30));
    EXPECT_EQ(TopIndex(list), ExpectedTop(1099));
}

TEST_F(LogViewer, MoreThan1100ShortLinesKeepTheLast1100)
{
    std::string path = FreshFolder("LogViewer\\Many") + "many.log";
    WriteFile(path, NumberedLines(0, 1500, 10));

    ViewLogFile(list, path.c_str());
    std::vector<std::string> lines = ListBoxLines(list);
    ASSERT_EQ(lines.size(), 1100u);
    EXPECT_EQ(lines.front(), NumberedLine(400, 10));
    EXPECT_EQ(lines.back(), NumberedLine(1499, 10));
}

TEST_F(LogViewer, AFileThatCannotBeOpenedGivesAWarning)
{
    std::string path = FreshFolder("LogViewer\\Locked") + "locked.log";
    WriteFile(path, "abc\r\n");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    BoxHook hook(IDOK);
    ViewLogFile(list, path.c_str());
    CloseHandle(held);
    ASSERT_EQ(hook.seen.size(), 1u);
    EXPECT_EQ(hook.seen[0].caption, LOG_CAPTION);
    EXPECT_EQ(hook.seen[0].text, "File Open Failed");
    EXPECT_EQ(hook.seen[0].icon, "warning");
    EXPECT_EQ(hook.seen[0].buttons, std::vector<int>{ IDOK });
    EXPECT_EQ(hook.seen[0].owner, (HWND)NULL);
    EXPECT_EQ(Count(list), 0);
}

TEST_F(LogViewer, AStreamThatCannotBePositionedGivesAReadWarning)
{
    /* Past 2 GiB the tail's position no longer fits the signed 32-bit
     * offset, so positioning the stream fails; past 4 GiB the size's low
     * word alone would point near the file's start, where the filler is
     * read instead of the tail. */
    static const unsigned long long sizes[] = { 0x80000000ull + 100000, 0x100000000ull + 100000 };
    std::string folder = FreshFolder("LogViewer\\Huge");

    for (unsigned long long size : sizes)
    {
        std::string path = folder + "huge.log";
        ASSERT_TRUE(MakeSparseFile(path, "tail\r\n", size));
        BoxHook hook(IDOK);
        ViewLogFile(list, path.c_str());
        ASSERT_EQ(hook.seen.size(), 1u) << size;
        EXPECT_EQ(hook.seen[0].caption, LOG_CAPTION);
        EXPECT_EQ(hook.seen[0].text, "File Read Failed");
        EXPECT_EQ(hook.seen[0].icon, "warning");
        EXPECT_EQ(hook.seen[0].owner, (HWND)NULL);
        EXPECT_EQ(Count(list), 0) << size;
        EXPECT_TRUE(IsClosed(path));
        DeleteFileA(path.c_str());
    }
}

/* Flips a file between a long and a short size until told to stop, so
 * that a reader sometimes finds fewer bytes than the size it looked up. */
struct Shrinker
{
    std::string path;
    volatile LONG stop;
};

static DWORD WINAPI ShrinkLoop(LPVOID context)
{
    Shrinker *shrinker = (Shrinker *)context;
    HANDLE file = CreateFileA(shrinker->path.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, 0, NULL);
    LARGE_INTEGER sizes[2];
    sizes[0].QuadPart = 100000;
    sizes[1].QuadPart = 10;

    for (int i = 0; !shrinker->stop; i++)
    {
        SetFilePointerEx(file, sizes[i & 1], NULL, FILE_BEGIN);
        SetEndOfFile(file);
    }
    CloseHandle(file);
    return 0;
}

TEST_F(LogViewer, AFileThatShrinksBeforeTheReadGivesAReadWarning)
{
    std::string path = FreshFolder("LogViewer\\Shrink") + "shrink.log";
    WriteFile(path, std::string(100000, 's'));
    Shrinker shrinker = { path, 0 };
    HANDLE thread = CreateThread(NULL, 0, ShrinkLoop, &shrinker, 0, NULL);
    bool warned = false;

    BoxHook hook(IDOK);
    for (int attempt = 0; attempt < 5000 && !warned; attempt++)
    {
        int before = Count(list);
        size_t boxes = hook.seen.size();
        ViewLogFile(list, path.c_str());
        if (hook.seen.size() > boxes)
        {
            warned = true;
            EXPECT_EQ(hook.seen.back().text, "File Read Failed");
            EXPECT_EQ(hook.seen.back().caption, LOG_CAPTION);
            EXPECT_EQ(hook.seen.back().icon, "warning");
            EXPECT_EQ(Count(list), before) << "no line before the warning";
        }
    }
    InterlockedExchange(&shrinker.stop, 1);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_TRUE(warned) << "the file never shrank between look-up and read";
    EXPECT_TRUE(IsClosed(path));
}

/* One view of a log of the given size (64 KB of text at its end, the
 * rest sparse) in a fresh process, so that the process's peak memory
 * belongs to this one call. */
struct LogView { double ms; unsigned long peakBefore, peakPrivate, peakWorkingSet; int lines; };

static LogView ViewInFreshProcess(const std::string &folder, ULONGLONG size)
{
    LogView view = {};
    std::string path = folder + "viewed.log";
    EXPECT_TRUE(MakeSparseFile(path, NumberedLines(0, 2048, 30), size));
    DWORD exitCode;
    std::string output = RunAndCapture("\"" + TestProgramFolder() + "logview_probe.exe\" \"" +
                                       path + "\"", &exitCode);
    EXPECT_EQ(sscanf(output.c_str(), "%lf %lu %lu %lu %d", &view.ms, &view.peakBefore,
                     &view.peakPrivate, &view.peakWorkingSet, &view.lines), 5) << output;
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(view.lines, 1100);
    DeleteFileA(path.c_str());
    return view;
}

/* Only the tail is read: the peak memory of a view stays flat as the file
 * grows, give or take a megabyte of noise. */
TEST(LogViewerMemory, StaysFlatAsTheFileGrows_Native)
{
    std::string folder = FreshFolder("LogViewer\\Flat");
    LogView small = ViewInFreshProcess(folder, 64 * 1024);
    LogView large = ViewInFreshProcess(folder, 256ull << 20);
    EXPECT_LT(large.peakPrivate, small.peakPrivate + 1024) << "peak private KB";
}
