/* The 16-bit and 32-bit checks: the published check values, the table's
 * first entries, processing in pieces, agreement with Debian's
 * python3-crcmod on random blocks (crc_vectors.txt, written at build time
 * by crc_vectors.py), and with a bit-at-a-time reference at every length,
 * alignment and cut where eight-byte steps could go wrong. Also a
 * benchmark beside boost::crc_optimal, the byte-wise table-driven
 * implementation of Debian's Boost headers. */
#include <gtest/gtest.h>
#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>
#include <boost/crc.hpp>
#include "testwin.h"
#include "util/checksum.h"

static const char CheckText[] = "123456789";
#define CHECK_LENGTH 9

TEST(Checksums, PublishedCheckValues)
{
    static const struct { WORD initial; WORD result; } crc16[] = {
        { 0x0000, 0x31C3 },  /* CRC-16/XMODEM */
        { 0xFFFF, 0x29B1 },  /* CRC-16/CCITT-FALSE */
    };
    static const struct { DWORD initial; DWORD result; } crc32[] = {
        { 0xFFFFFFFF, 0x0376E6E7 },  /* CRC-32/MPEG-2, not zip's 0xCBF43926 */
        { 0x00000000, 0x89A1897F },
    };
    for (const auto &c : crc16)
        EXPECT_EQ(ComputeCrc16(c.initial, CheckText, CHECK_LENGTH), c.result) << c.initial;
    for (const auto &c : crc32)
        EXPECT_EQ(ComputeCrc32(c.initial, CheckText, CHECK_LENGTH), c.result) << c.initial;
}

TEST(Checksums, ByteOneGivesTheTablesEntryOne)
{
    static const BYTE one = 0x01, two = 0x02;
    EXPECT_EQ(ComputeCrc16(0, &one, 1), 0x1021);
    EXPECT_EQ(ComputeCrc16(0, &two, 1), 0x2042);
    EXPECT_EQ(ComputeCrc32(0, &one, 1), 0x04C11DB7u);
}

TEST(Checksums, CountZeroReadsNothingAndReturnsTheInitialValue)
{
    static const WORD initials16[] = { 0x0000, 0x1234, 0xFFFF };
    static const DWORD initials32[] = { 0x00000000, 0x89ABCDEF, 0xFFFFFFFF };
    for (WORD initial : initials16)
        EXPECT_EQ(ComputeCrc16(initial, NULL, 0), initial);
    for (DWORD initial : initials32)
        EXPECT_EQ(ComputeCrc32(initial, NULL, 0), initial);
}

static const WORD initials16[] = { 0x0000, 0xFFFF, 0x1D0F, 0x8000, 0x0001 };
static const DWORD initials32[] = { 0x00000000, 0xFFFFFFFF, 0x80000000, 0x12345678, 1 };

TEST(Checksums, PiecesChainThroughTheInitialValue)
{
    for (WORD initial : initials16)
        EXPECT_EQ(ComputeCrc16(ComputeCrc16(initial, "1234", 4), "56789", 5),
                  ComputeCrc16(initial, CheckText, CHECK_LENGTH)) << initial;
    for (DWORD initial : initials32)
        EXPECT_EQ(ComputeCrc32(ComputeCrc32(initial, "1234", 4), "56789", 5),
                  ComputeCrc32(initial, CheckText, CHECK_LENGTH)) << initial;

    /* Random blocks cut at every kind of place, in up to four pieces. */
    srand(6);
    std::vector<BYTE> block(3000);
    for (BYTE &b : block)
        b = (BYTE)rand();
    for (int trial = 0; trial < 50; trial++)
    {
        DWORD cuts[5] = { 0, 0, 0, 0, (DWORD)block.size() };
        for (int i = 1; i < 4; i++)
            cuts[i] = cuts[i - 1] + (DWORD)rand() % (cuts[4] - cuts[i - 1] + 1);
        WORD initial16 = initials16[trial % 5], crc16 = initial16;
        DWORD initial32 = initials32[trial % 5], crc32 = initial32;
        for (int i = 0; i < 4; i++)
        {
            crc16 = ComputeCrc16(crc16, block.data() + cuts[i], cuts[i + 1] - cuts[i]);
            crc32 = ComputeCrc32(crc32, block.data() + cuts[i], cuts[i + 1] - cuts[i]);
        }
        EXPECT_EQ(crc16, ComputeCrc16(initial16, block.data(), (DWORD)block.size())) << trial;
        EXPECT_EQ(crc32, ComputeCrc32(initial32, block.data(), (DWORD)block.size())) << trial;
    }
}

/* The check a bit at a time, straight from its definition and without
 * tables: each byte enters the register's top byte, then eight shifts,
 * with the polynomial XORed in whenever the top bit was set. */
template <typename Register, int Width>
static Register BitwiseCrc(Register crc, Register polynomial, const BYTE *data, DWORD count)
{
    const Register topBit = (Register)((Register)1 << (Width - 1));
    for (DWORD i = 0; i < count; i++)
    {
        crc ^= (Register)((Register)data[i] << (Width - 8));
        for (int bit = 0; bit < 8; bit++)
            crc = (crc & topBit) ? (Register)((crc << 1) ^ polynomial) : (Register)(crc << 1);
    }
    return crc;
}

static std::vector<BYTE> RandomBlock(size_t size, unsigned seed)
{
    std::vector<BYTE> block(size);
    srand(seed);
    for (BYTE &b : block)
        b = (BYTE)rand();
    return block;
}

/* Both checks of a block, in two pieces cut at `cut` (0: in one), from
 * every initial value, against the bit-at-a-time reference. */
static void ExpectBitwiseResults(const BYTE *data, DWORD count, DWORD cut, const std::string &what)
{
    for (WORD initial : initials16)
        EXPECT_EQ(ComputeCrc16(ComputeCrc16(initial, data, cut), data + cut, count - cut),
                  (BitwiseCrc<WORD, 16>(initial, CRC16_POLYNOMIAL, data, count)))
            << what << ", initial " << initial;
    for (DWORD initial : initials32)
        EXPECT_EQ(ComputeCrc32(ComputeCrc32(initial, data, cut), data + cut, count - cut),
                  (BitwiseCrc<DWORD, 32>(initial, CRC32_POLYNOMIAL, data, count)))
            << what << ", initial " << initial;
}

/* Every split into byte-wise head, eight-byte steps and byte-wise tail:
 * every length to 64, and long blocks of lengths not a multiple of 8. */
TEST(Checksums, EveryLengthToSixtyFourAndOddLongOnesAtEveryAlignmentMatchBitwise)
{
    const DWORD longest = 100003, everyUpTo = 64, alignments = 8;
    std::vector<DWORD> lengths = { 4099, 65535, longest };
    for (DWORD length = 0; length <= everyUpTo; length++)
        lengths.push_back(length);
    std::vector<BYTE> block = RandomBlock(longest + 2 * alignments, 14);
    const BYTE *aligned = block.data() + (alignments - (ULONG_PTR)block.data() % alignments);

    for (DWORD offset = 0; offset < alignments; offset++)
        for (DWORD length : lengths)
            ExpectBitwiseResults(aligned + offset, length, 0, "offset " + std::to_string(offset) +
                                                              " length " + std::to_string(length));
}

TEST(Checksums, ChainAcrossACutAtEveryOffsetOfAHundredBytes)
{
    std::vector<BYTE> block = RandomBlock(100, 16);
    for (DWORD cut = 0; cut <= block.size(); cut++)
        ExpectBitwiseResults(block.data(), (DWORD)block.size(), cut, "cut " + std::to_string(cut));
}

struct CrcVector
{
    unsigned xmodem, ccittFalse, initial16, crc16;
    unsigned long mpeg2, initial32, crc32;
    std::vector<BYTE> data;
};

static std::vector<CrcVector> ReadVectors()
{
    std::vector<CrcVector> vectors;
    std::string path = TestProgramFolder() + "crc_vectors.txt";
    FILE *file = fopen(path.c_str(), "r");
    static char hex[2 * 4096 + 2];

    if (!file)
        return vectors;
    CrcVector v;
    while (fscanf(file, "%x %x %lx %x %x %lx %lx %8193s", &v.xmodem, &v.ccittFalse, &v.mpeg2,
                  &v.initial16, &v.crc16, &v.initial32, &v.crc32, hex) == 8)
    {
        v.data.clear();
        for (const char *at = hex; at[0] && at[0] != '-' && at[1]; at += 2)
        {
            char pair[3] = { at[0], at[1], 0 };
            v.data.push_back((BYTE)strtoul(pair, NULL, 16));
        }
        vectors.push_back(v);
    }
    fclose(file);
    return vectors;
}

TEST(Checksums, AgreeWithCrcmodOnRandomBlocks)
{
    std::vector<CrcVector> vectors = ReadVectors();
    ASSERT_GE(vectors.size(), 100u) << "crc_vectors.txt beside the test program";

    size_t longest = 0;
    for (const CrcVector &v : vectors)
    {
        const BYTE *data = v.data.data();
        DWORD n = (DWORD)v.data.size();
        longest = std::max(longest, v.data.size());
        EXPECT_EQ(ComputeCrc16(0x0000, data, n), v.xmodem) << n;
        EXPECT_EQ(ComputeCrc16(0xFFFF, data, n), v.ccittFalse) << n;
        EXPECT_EQ(ComputeCrc32(0xFFFFFFFF, data, n), v.mpeg2) << n;
        EXPECT_EQ(ComputeCrc16((WORD)v.initial16, data, n), v.crc16) << n;
        EXPECT_EQ(ComputeCrc32(v.initial32, data, n), v.crc32) << n;
    }
    EXPECT_EQ(vectors.front().data.size(), 0u);
    EXPECT_EQ(longest, 4096u);
}

/* Boost's byte-wise table-driven checks with the same parameters: no
 * reflection, no final XOR. */
typedef boost::crc_optimal<16, 0x1021, 0, 0, false, false> BoostCrc16;
typedef boost::crc_optimal<32, 0x04C11DB7, 0, 0, false, false> BoostCrc32;

static WORD BoostCrc16Of(WORD initial, const void *data, DWORD count)
{
    BoostCrc16 crc(initial);
    crc.process_bytes(data, count);
    return crc.checksum();
}

static DWORD BoostCrc32Of(DWORD initial, const void *data, DWORD count)
{
    BoostCrc32 crc(initial);
    crc.process_bytes(data, count);
    return crc.checksum();
}

static double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
}

/* Best of a few rounds of `calls` calls: the least disturbed figure. Each
 * call starts from the last one's result, so that none can be left out or
 * moved out of the loop, and the last result is kept. */
template <typename Routine>
static double SecondsPerCall(Routine routine, int calls, volatile DWORD *sink)
{
    double best = 1e30;
    DWORD result = 0;
    for (int round = 0; round < 5; round++)
    {
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        for (int i = 0; i < calls; i++)
            result = routine(result);
        QueryPerformanceCounter(&to);
        best = std::min(best, Seconds(from, to) / calls);
    }
    *sink = result;
    return best;
}

TEST(ChecksumBenchmark, ThroughputAndCallCostBesideBoost)
{
    const DWORD large = 1024 * 1024, shownAsThroughput = 64 * 1024;
    std::vector<BYTE> block = RandomBlock(large, 10);
    const BYTE *data = block.data();
    volatile DWORD sink = 0;

    /* The benchmark compares like with like. */
    ASSERT_EQ(ComputeCrc16(0xFFFF, data, large), BoostCrc16Of(0xFFFF, data, large));
    ASSERT_EQ(ComputeCrc32(0xFFFFFFFF, data, large), BoostCrc32Of(0xFFFFFFFF, data, large));

    /* Rounds of a millisecond or more: the clock's resolution drops out. */
    static const struct { const char *name; DWORD size; int calls; } sizes[] = {
        { "1 MiB ", 1024 * 1024, 8 },
        { "64 KiB", 64 * 1024, 128 },
        { "16 B  ", 16, 200000 },
        { "1 B   ", 1, 1000000 },
    };
    for (const auto &s : sizes)
    {
        const DWORD size = s.size;
        struct { const char *routine; double ours, boost; } figures[] = {
            { "ComputeCrc32",
              SecondsPerCall([&](DWORD crc) { return ComputeCrc32(crc, data, size); },
                             s.calls, &sink),
              SecondsPerCall([&](DWORD crc) { return BoostCrc32Of(crc, data, size); },
                             s.calls, &sink) },
            { "ComputeCrc16",
              SecondsPerCall([&](DWORD crc) { return (DWORD)ComputeCrc16((WORD)crc, data, size); },
                             s.calls, &sink),
              SecondsPerCall([&](DWORD crc) { return (DWORD)BoostCrc16Of((WORD)crc, data, size); },
                             s.calls, &sink) },
        };
        for (const auto &f : figures)
        {
            if (size >= shownAsThroughput)
                printf("[ bench    ] %s %s: %8.1f MB/s, boost::crc_optimal %8.1f MB/s, "
                       "time ratio ours/boost %.2f\n",
                       f.routine, s.name, size / f.ours / 1e6, size / f.boost / 1e6,
                       f.ours / f.boost);
            else
                printf("[ bench    ] %s %s: %8.1f ns a call, boost::crc_optimal %8.1f ns a call, "
                       "time ratio ours/boost %.2f\n",
                       f.routine, s.name, f.ours * 1e9, f.boost * 1e9, f.ours / f.boost);
        }
    }
}
