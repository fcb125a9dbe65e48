/* The small text and buffer helpers: texts and ranges placed right before
 * a no-access page, so that reading or writing one byte too far faults;
 * the random fill against the C runtime's own generator, seeded with the
 * tick that the call read; the two private messages received by a real
 * window. */
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>
#include "dbcstest.h"
#include "testwin.h"
#include "util/texthelp.h"

/* size bytes that end where a no-access page begins. */
class GuardedBlock
{
public:
    explicit GuardedBlock(size_t size)
    {
        SYSTEM_INFO system;
        DWORD old;
        GetSystemInfo(&system);
        size_t page = system.dwPageSize, pages = (size + page - 1) / page;
        base = (BYTE *)VirtualAlloc(NULL, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT,
                                    PAGE_READWRITE);
        end = base + pages * page;
        VirtualProtect(end, page, PAGE_NOACCESS, &old);
        data = end - size;
    }
    ~GuardedBlock()
    {
        VirtualFree(base, 0, MEM_RELEASE);
    }
    BYTE *data;
    /* The first byte of the no-access page. */
    BYTE *end;

private:
    BYTE *base;
};

/* A text copied so that its terminator is the last readable byte. */
static char *Guarded(GuardedBlock &block, const std::string &text)
{
    memcpy(block.data, text.c_str(), text.size() + 1);
    return (char *)block.data;
}

TEST(TextHelpers, TrimLeadingSpacesRemovesOnlyLeadingSpaces)
{
    static const struct { const char *text, *trimmed; } cases[] = {
        { "   abc  ", "abc  " },
        { "     ", "" },
        { " ", "" },
        { "", "" },
        { "abc", "abc" },
        { "\tabc", "\tabc" },
        { "  \t x", "\t x" },
        { " a b  c ", "a b  c " },
        { "\r\n x", "\r\n x" },
        { " \xA0x", "\xA0x" },
    };
    for (const auto &c : cases)
    {
        GuardedBlock block(strlen(c.text) + 1);
        char *text = Guarded(block, c.text);
        EXPECT_EQ(TrimLeadingSpaces(text), text) << c.text;
        EXPECT_STREQ(text, c.trimmed) << "[" << c.text << "]";
    }
}

TEST(TextHelpers, TrimLeadingSpacesTrimsTextsOf256CharactersAndMore)
{
    /* The working copy once held 256 characters: longer texts were
     * written past it. They are trimmed like short ones now, and nothing
     * is written past the text's own terminator. */
    static const struct { size_t spaces, rest; } cases[] = {
        { 3, 252 }, { 3, 253 }, { 0, 256 }, { 1, 255 }, { 10, 300 }, { 300, 10 },
        { 1000, 0 }, { 5, 5000 }, { 4096, 4096 }, { 0, 40000 },
    };
    for (const auto &c : cases)
    {
        std::string rest;
        for (size_t i = 0; i < c.rest; i++)
            rest += (char)('a' + i % 26);
        std::string original = std::string(c.spaces, ' ') + rest;
        GuardedBlock block(original.size() + 1);
        char *text = Guarded(block, original);
        EXPECT_EQ(TrimLeadingSpaces(text), text);
        EXPECT_TRUE(text == rest) << c.spaces << " + " << c.rest;
        /* What lies between the new and the old terminator is the old
         * text's tail, untouched. */
        if (c.spaces)
        {
            EXPECT_EQ(std::string(text + rest.size() + 1, original.size() - rest.size()),
                      original.substr(rest.size() + 1) + '\0')
                << c.spaces << " + " << c.rest;
        }
    }
}

TEST(TextHelpers, IsZeroBufferReadsExactlyTheRange)
{
    GuardedBlock block(8);
    memset(block.data, 0, 8);
    EXPECT_EQ(IsZeroBuffer(block.data, 8), 1);
    for (int at = 0; at < 8; at++)
    {
        static const BYTE nonZero[] = { 0x01, 0x80, 0xFF };
        for (BYTE value : nonZero)
        {
            block.data[at] = value;
            EXPECT_EQ(IsZeroBuffer(block.data, 8), 0) << at << " " << (int)value;
            /* A range that stops before the byte does not see it. */
            EXPECT_EQ(IsZeroBuffer(block.data, (short)at), 1) << at;
        }
        block.data[at] = 0;
    }

    /* Counts of 0 and below read nothing: the no-access page itself. */
    static const short empty[] = { 0, -1, -100, -32768 };
    for (short count : empty)
        EXPECT_EQ(IsZeroBuffer(block.end, count), 1) << count;

    GuardedBlock large(32767);
    memset(large.data, 0, 32767);
    EXPECT_EQ(IsZeroBuffer(large.data, 32767), 1);
    large.data[32766] = 1;
    EXPECT_EQ(IsZeroBuffer(large.data, 32767), 0);
    EXPECT_EQ(IsZeroBuffer(large.data, 32766), 1);
}

TEST(TextHelpers, IsHexStringAcceptsOnlyHexadecimalDigits)
{
    static const struct { const char *text; int hex; } cases[] = {
        { "00ff7A", 1 }, { "", 1 }, { "0123456789", 1 }, { "abcdef", 1 }, { "ABCDEF", 1 },
        { "12G4", 0 }, { "12 34", 0 }, { "0x1F", 0 }, { "-1", 0 }, { "+1", 0 },
        { " 1", 0 }, { "1 ", 0 }, { "1\t", 0 },
        /* The neighbours of each accepted range. */
        { "/", 0 }, { ":", 0 }, { "@", 0 }, { "G", 0 }, { "`", 0 }, { "g", 0 },
        /* Codes above 127. */
        { "\x80", 0 }, { "12\xC1", 0 }, { "\xFF" "00", 0 }, { "A\xB0", 0 },
    };
    for (const auto &c : cases)
    {
        GuardedBlock block(strlen(c.text) + 1);
        EXPECT_EQ(IsHexString(Guarded(block, c.text)), c.hex) << "[" << c.text << "]";
    }
}

TEST(TextHelpers, IsHexStringJudgesTextsLongerThan32767Characters)
{
    /* A 16-bit index wrapped to a negative position past 32,767
     * characters; the whole text is judged now. */
    std::string digits;
    for (int i = 0; i < 40000; i++)
        digits += "0123456789abcdefABCDEF"[i % 22];
    static const int badAt[] = { -1, 32766, 32767, 32768, 39999 };
    for (int at : badAt)
    {
        std::string text = digits;
        if (at >= 0)
            text[at] = 'G';
        GuardedBlock block(text.size() + 1);
        EXPECT_EQ(IsHexString(Guarded(block, text)), at < 0 ? 1 : 0) << at;
    }
}

#define CANARY 0x5A
#define CANARY_BYTES 16
#define TICK_TRIES 1000
/* The first draw, scaled to 0..1001, starts the chain; each byte is a
 * draw scaled to 0..256, cut to 8 bits, XOR the byte before. */
#define CHAIN_SCALE 1001
#define BYTE_SCALE 256

/* Fills count bytes within one tick: returns the tick the call read. */
static bool FillWithinOneTick(BYTE *buffer, int count, DWORD *tick)
{
    for (int i = 0; i < TICK_TRIES; i++)
    {
        DWORD before = GetTickCount();
        FillRandomBytes(buffer, count);
        DWORD after = GetTickCount();
        if (LOWORD(before) == LOWORD(after))
        {
            *tick = before;
            return true;
        }
    }
    return false;
}

/* The reference: the C runtime's own generator on this thread, seeded as
 * the fill seeds it, from the tick's low 16 bits; its first count draws. */
static std::vector<int> RuntimeDraws(DWORD tick, int count)
{
    std::vector<int> draws;
    srand(LOWORD(tick));
    for (int i = 0; i < count; i++)
        draws.push_back(rand());
    return draws;
}

static BYTE Scaled(int draw, unsigned scale)
{
    return (BYTE)((unsigned)draw * scale / RAND_MAX);
}

TEST(TextHelpers, FillRandomBytesFollowsTheRuntimesGeneratorForTheTickItRead)
{
    static const int counts[] = { 0, 1, 2, 16, 255, 1000, 65536 };
    for (int count : counts)
    {
        std::vector<BYTE> buffer(count + CANARY_BYTES, CANARY);
        DWORD tick;
        ASSERT_TRUE(FillWithinOneTick(buffer.data(), count, &tick)) << count;
        int next = rand();
        std::vector<int> draws = RuntimeDraws(tick, count + 2);

        /* Taken apart: each byte XOR the one before it (the chain's start
         * for the first) is its own draw, scaled. */
        BYTE before = Scaled(draws[0], CHAIN_SCALE);
        int wrong = 0;
        for (int i = 0; i < count; i++)
        {
            wrong += (BYTE)(buffer[i] ^ before) != Scaled(draws[i + 1], BYTE_SCALE);
            before = buffer[i];
        }
        EXPECT_EQ(wrong, 0) << count;
        EXPECT_EQ(std::vector<BYTE>(buffer.begin() + count, buffer.end()),
                  std::vector<BYTE>(CANARY_BYTES, CANARY)) << count;
        /* The thread's generator was reseeded and drew count + 1 times,
         * count 0 included. */
        EXPECT_EQ(next, draws[count + 1]) << count;
    }
}

TEST(TextHelpers, FillRandomBytesTwiceInOneTickGivesTheSameBytes)
{
    std::vector<BYTE> first(64), second(64, CANARY);
    bool sameTick = false;
    for (int i = 0; i < TICK_TRIES && !sameTick; i++)
    {
        DWORD before = GetTickCount();
        FillRandomBytes(first.data(), 64);
        FillRandomBytes(second.data(), 64);
        sameTick = LOWORD(GetTickCount()) == LOWORD(before);
    }
    ASSERT_TRUE(sameTick);
    EXPECT_EQ(first, second);
}

TEST(TextHelpers, FillRandomBytesWithANegativeCountWritesNothing)
{
    std::vector<BYTE> buffer(CANARY_BYTES, CANARY);
    DWORD tick;
    ASSERT_TRUE(FillWithinOneTick(buffer.data(), -5, &tick));
    int next = rand();
    EXPECT_EQ(buffer, std::vector<BYTE>(CANARY_BYTES, CANARY));
    EXPECT_EQ(next, RuntimeDraws(tick, 2)[1]);
}

/* In single-byte text, under any code page, the cuts are lstrcpynA's and
 * a plain terminator's; the bytes given end at a no-access page, so a
 * read past them faults. */
TEST(TextHelpers, CutsAtAByteCountAsLstrcpynDoes)
{
    static const char *const texts[] = { "", "a", "abcdef", "ab\\c@" };

    for (const char *text : texts)
        for (int limit = 0; limit <= 8; limit++)
        {
            const std::string whole = text;
            GuardedBlock bytes(whole.size());
            memcpy(bytes.data, whole.data(), whole.size());
            int expected = limit < (int)whole.size() ? limit : (int)whole.size();
            EXPECT_EQ(WholeCharacterLength((const char *)bytes.data, (int)whole.size(), limit),
                      expected) << text << " " << limit;

            char copy[16], model[16];
            memset(copy, '#', sizeof(copy));
            memset(model, '#', sizeof(model));
            CopyWholeCharacters(copy, text, limit + 1);
            lstrcpynA(model, text, limit + 1);
            EXPECT_EQ(memcmp(copy, model, sizeof(copy)), 0) << text << " " << limit;

            char cut[16];
            lstrcpyA(cut, text);
            EXPECT_EQ(CutTextToLength(cut, limit), (int)strlen(model)) << text << " " << limit;
            EXPECT_STREQ(cut, model) << text << " " << limit;
        }
}

/* Under a double-byte code page a cut that would fall between a lead byte
 * and its trail byte comes one byte earlier; a lead byte that ends the
 * bytes given counts alone, and nothing past them is read. */
TEST(TextHelpers, DoubleByteCutsKeepCharactersWhole)
{
    REQUIRE_DOUBLE_BYTE_SAMPLE(sample);
    const std::string c = sample->character;
    static const struct { const char *pattern; int limit; const char *kept; } cases[] = {
        /* C stands for the sample character, two bytes. */
        { "aCb", 0, "" }, { "aCb", 1, "a" }, { "aCb", 2, "a" }, { "aCb", 3, "aC" },
        { "aCb", 4, "aCb" }, { "aCb", 9, "aCb" },
        { "CC", 1, "" }, { "CC", 2, "C" }, { "CC", 3, "C" }, { "CC", 4, "CC" },
        { "C\\C", 3, "C\\" }, { "C\\C", 4, "C\\" },
    };
    auto expand = [&](const char *pattern) {
        std::string text;
        for (const char *p = pattern; *p; p++)
            text += *p == 'C' ? c : std::string(1, *p);
        return text;
    };

    for (const auto &k : cases)
    {
        const std::string text = expand(k.pattern), kept = expand(k.kept);
        GuardedBlock bytes(text.size());
        memcpy(bytes.data, text.data(), text.size());
        EXPECT_EQ(WholeCharacterLength((const char *)bytes.data, (int)text.size(), k.limit),
                  (int)kept.size()) << k.pattern << " " << k.limit;

        char copy[16];
        memset(copy, '#', sizeof(copy));
        CopyWholeCharacters(copy, text.c_str(), k.limit + 1);
        EXPECT_EQ(std::string(copy), kept) << k.pattern << " " << k.limit;
        EXPECT_EQ(copy[k.limit + 1], '#') << "written past the size";

        char cut[16];
        lstrcpyA(cut, text.c_str());
        EXPECT_EQ(CutTextToLength(cut, k.limit), (int)kept.size()) << k.pattern;
        EXPECT_EQ(std::string(cut), kept) << k.pattern << " " << k.limit;
    }

    /* The lead byte alone at the end of the bytes given. */
    GuardedBlock lead(1);
    lead.data[0] = (BYTE)c[0];
    EXPECT_EQ(WholeCharacterLength((const char *)lead.data, 1, 5), 1);
}

/* A window that records the private messages it receives. */
#define FLAG_RECEIVER_CLASS "UserFlagReceiver"

struct Received
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
static std::vector<Received> ReceivedMessages;

/* Answers with a value made of what it received, to show that the
 * sender's result is the window's. */
static LRESULT Answer(UINT message, WPARAM wParam, LPARAM lParam)
{
    return (LRESULT)(wParam * 3 + message) + lParam;
}

static LRESULT CALLBACK FlagReceiverWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 1 || message == WM_USER + 2)
    {
        ReceivedMessages.push_back({ message, wParam, lParam });
        return Answer(message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(UserFlagMessages, ARealWindowReceivesTheValueAndAZeroOrOneFlag)
{
    RegisterTestClass(FLAG_RECEIVER_CLASS, FlagReceiverWndProc);
    HWND window = CreateWindowExA(0, FLAG_RECEIVER_CLASS, "flags", WS_OVERLAPPEDWINDOW, 0, 0,
                                  100, 100, NULL, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_TRUE(window != NULL);

    static const struct { WPARAM value; int flag; LPARAM lParam; } cases[] = {
        { 42, 5, 1 }, { 42, 0, 0 }, { 0, 1, 1 }, { 0, 0, 0 }, { 7, -1, 1 },
        { 7, (int)0x80000000, 1 }, { (WPARAM)-1, 2, 1 }, { 0x12345678, 0, 0 },
    };
    static const struct
    {
        LRESULT (*send)(HWND, WPARAM, int);
        UINT message;
    } senders[] = {
        { SendUserFlagMessage1, 1025 },
        { SendUserFlagMessage2, 1026 },
    };
    for (const auto &sender : senders)
        for (const auto &c : cases)
        {
            ReceivedMessages.clear();
            LRESULT result = sender.send(window, c.value, c.flag);
            ASSERT_EQ(ReceivedMessages.size(), 1u) << sender.message;
            EXPECT_EQ(ReceivedMessages[0].message, sender.message);
            EXPECT_EQ(ReceivedMessages[0].wParam, c.value) << c.flag;
            EXPECT_EQ(ReceivedMessages[0].lParam, c.lParam) << c.flag;
            EXPECT_EQ(result, Answer(sender.message, c.value, c.lParam)) << c.flag;
        }
    DestroyWindow(window);
}

/* This program's own path read into buffers too small, just large enough
 * and larger: always terminated, cut to the buffer, the name found after
 * the last backslash that is left. */
TEST(TextHelpers, ReadModulePathCutsAndSplits)
{
    char full[MAX_PATH];
    DWORD fullLength = GetModuleFileNameA(NULL, full, sizeof(full));
    ASSERT_GT(fullLength, 0u);
    DWORD folderLength = (DWORD)(strrchr(full, '\\') + 1 - full);
    const struct { DWORD size; DWORD kept; DWORD nameAt; } cases[] = {
        { 1, 0, 0 },
        { 3, 2, 0 },                                    /* "z:", no backslash */
        { folderLength + 1, folderLength, folderLength },
        { fullLength, fullLength - 1, folderLength },
        { fullLength + 1, fullLength, folderLength },
        { MAX_PATH, fullLength, folderLength },
    };
    for (const auto &c : cases)
    {
        std::vector<char> path(c.size, 'x');
        LPSTR name = NULL;
        DWORD length = ReadModulePath(NULL, path.data(), c.size, &name);
        EXPECT_EQ(length, c.size > fullLength ? fullLength : c.size) << c.size;
        EXPECT_EQ(strlen(path.data()), c.kept) << c.size;
        EXPECT_EQ(strncmp(path.data(), full, c.kept), 0) << c.size;
        EXPECT_EQ(name - path.data(), (ptrdiff_t)c.nameAt) << c.size;
    }

    char path[MAX_PATH] = "left as it was";
    LPSTR name = NULL;
    EXPECT_EQ(ReadModulePath((HMODULE)(ULONG_PTR)0x10, path, sizeof(path), &name), 0u);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(name, path);
}
