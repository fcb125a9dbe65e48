/* The 16-bit and 32-bit checks: the published check values, the table's
 * first entries, processing in pieces, agreement with Debian's
 * python3-crcmod on random blocks (crc_vectors.txt, written at build time
 * by crc_vectors.py), and with a bit-at-a-time reference at every length,
 * alignment and cut where eight-byte or 16-byte steps could go wrong, on
 * the table path and, where the processor folds, on the folding path.
 * The choice of path: tables where the system reports no SSE, the same
 * choice made by threads that meet it together. (Their speed is
 * bench/checksum_bench.cpp's.) */
#include <gtest/gtest.h>
#include <algorithm>
#include <cpuid.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>
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

/* The paths this process can take: the tables always, the folding where
 * the processor and the system allow it. */
static std::vector<LONG> PathsHere()
{
    std::vector<LONG> paths = { CRC_PATH_TABLES };
    if (ChooseCrcPath() == CRC_PATH_FOLDING)
        paths.push_back(CRC_PATH_FOLDING);
    return paths;
}

/* Both checks of a block, in two pieces cut at `cut` (0: in one), from
 * every initial value, on every path, against the bit-at-a-time
 * reference. */
static void ExpectBitwiseResults(const BYTE *data, DWORD count, DWORD cut, const std::string &what)
{
    const std::vector<LONG> paths = PathsHere();
    const LONG chosen = CrcPath;
    for (WORD initial : initials16)
    {
        WORD expected = BitwiseCrc<WORD, 16>(initial, CRC16_POLYNOMIAL, data, count);
        for (LONG path : paths)
        {
            CrcPath = path;
            EXPECT_EQ(ComputeCrc16(ComputeCrc16(initial, data, cut), data + cut, count - cut),
                      expected) << what << ", initial " << initial << ", path " << path;
        }
    }
    for (DWORD initial : initials32)
    {
        DWORD expected = BitwiseCrc<DWORD, 32>(initial, CRC32_POLYNOMIAL, data, count);
        for (LONG path : paths)
        {
            CrcPath = path;
            EXPECT_EQ(ComputeCrc32(ComputeCrc32(initial, data, cut), data + cut, count - cut),
                      expected) << what << ", initial " << initial << ", path " << path;
        }
    }
    CrcPath = chosen;
}

/* Every split into byte-wise head, eight-byte or 16-byte steps and tail:
 * every length to 300, and long blocks of lengths that no step divides,
 * at every offset from a 16-byte boundary. */
TEST(Checksums, EveryLengthToThreeHundredAndOddLongOnesAtEveryAlignmentMatchBitwise)
{
    const DWORD longest = 100003, everyUpTo = 300, alignments = 16;
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

/* Pieces on both sides of the cut run long enough to fold, or not. */
TEST(Checksums, ChainAcrossACutAtEveryOffsetOfThreeHundredBytes)
{
    std::vector<BYTE> block = RandomBlock(300, 16);
    for (DWORD cut = 0; cut <= block.size(); cut++)
        ExpectBitwiseResults(block.data(), (DWORD)block.size(), cut, "cut " + std::to_string(cut));
}

/* What the processor says through the compiler's own CPUID helper:
 * carry-less multiply, SSSE3 and SSE2. */
static bool ProcessorFolds()
{
    unsigned int eax, ebx, ecx, edx;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_PCLMUL) && (ecx & bit_SSSE3) &&
           (edx & bit_SSE2);
}

static DWORD askedFeature;
static BOOL systemAnswer;

static BOOL WINAPI StandInFeatureQuery(DWORD feature)
{
    askedFeature = feature;
    return systemAnswer;
}

TEST(ChecksumPath, TablesWhereTheSystemReportsNoSseAndFoldingOnlyWhereTheProcessorCan_Native)
{
    static const struct { BOOL systemReportsSse; bool folds; } cases[] = {
        { FALSE, false },
        { TRUE, true },   /* where the processor folds */
    };
    const PROCESSOR_FEATURE_ROUTINE system = ProcessorFeatureRoutine;
    for (const auto &c : cases)
    {
        ProcessorFeatureRoutine = StandInFeatureQuery;
        systemAnswer = c.systemReportsSse;
        askedFeature = 0;
        LONG path = ChooseCrcPath();
        ProcessorFeatureRoutine = system;

        bool folds = c.folds && ProcessorFolds();
        EXPECT_EQ(path, folds ? CRC_PATH_FOLDING : CRC_PATH_TABLES) << c.systemReportsSse;
        if (ProcessorFolds())
        {
            EXPECT_EQ(askedFeature, (DWORD)PF_XMMI_INSTRUCTIONS_AVAILABLE);
        }
    }
    /* The real system: Wine saves the XMM registers. */
    EXPECT_EQ(ChooseCrcPath(), ProcessorFolds() ? CRC_PATH_FOLDING : CRC_PATH_TABLES);
    printf("[ path     ] %s\n", ChooseCrcPath() == CRC_PATH_FOLDING ? "folding" : "tables");
}

struct ChecksumRun
{
    const BYTE *data;
    DWORD count;
    WORD crc16;
    DWORD crc32;
};

static DWORD WINAPI RunChecksums(LPVOID parameter)
{
    ChecksumRun *run = (ChecksumRun *)parameter;
    run->crc32 = ComputeCrc32(0xFFFFFFFF, run->data, run->count);
    run->crc16 = ComputeCrc16(0xFFFF, run->data, run->count);
    return 0;
}

/* Threads that all meet the choice unmade store the same path and get
 * the table path's results. */
TEST(ChecksumPath, ThreadsThatMakeTheChoiceTogetherAgree_Native)
{
    const DWORD size = 256 * 1024 + 5;
    const int threadCount = 4;
    std::vector<BYTE> block = RandomBlock(size, 22);
    const LONG chosen = ChooseCrcPath();

    CrcPath = CRC_PATH_TABLES;
    WORD expected16 = ComputeCrc16(0xFFFF, block.data(), size);
    DWORD expected32 = ComputeCrc32(0xFFFFFFFF, block.data(), size);

    CrcPath = 0;
    std::vector<ChecksumRun> runs(threadCount, ChecksumRun{ block.data(), size, 0, 0 });
    std::vector<HANDLE> threads;
    for (ChecksumRun &run : runs)
        threads.push_back(CreateThread(NULL, 0, RunChecksums, &run, 0, NULL));
    ASSERT_EQ(WaitForMultipleObjects(threadCount, threads.data(), TRUE, TestTimeout()),
              WAIT_OBJECT_0);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    for (const ChecksumRun &run : runs)
    {
        EXPECT_EQ(run.crc16, expected16);
        EXPECT_EQ(run.crc32, expected32);
    }
    EXPECT_EQ(CrcPath, chosen);
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
