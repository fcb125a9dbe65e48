/* The checksums' speed beside boost::crc_optimal, the byte-wise
 * table-driven implementation of Debian's Boost headers, and a plain read
 * of the same bytes: throughput on 1 MiB and 64 KiB blocks, the cost of a
 * call on 16 bytes and one, on the path this process takes and on the
 * tables alone. Run by scripts/bench.sh. */
#include <windows.h>
#include <algorithm>
#include <stdio.h>
#include <string.h>
#include <vector>
#include <boost/crc.hpp>
#include "util/checksum.h"

/* Bytes of a simple generator: the figures need data, not a reference. */
static std::vector<BYTE> RandomBlock(size_t size, DWORD seed)
{
    std::vector<BYTE> block(size);
    for (BYTE &b : block)
    {
        seed = seed * 1103515245u + 12345u;
        b = (BYTE)(seed >> 16);
    }
    return block;
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

/* The plain read that the checks are measured against: the block's
 * 32-bit words summed, a load and an add each. */
static DWORD SumOfWords(DWORD sum, const BYTE *data, DWORD count)
{
    for (DWORD i = 0; i + sizeof(DWORD) <= count; i += sizeof(DWORD))
    {
        DWORD word;
        memcpy(&word, data + i, sizeof(word));
        sum += word;
    }
    return sum;
}

/* A check's figures at one size: this process's path, the tables alone
 * (the path of every other processor), Boost and the plain read, each
 * shown as seconds a call. */
struct CheckFigures
{
    double ours, tables, boost, read;
};

template <typename Ours, typename Boost>
static CheckFigures MeasureCheck(Ours ours, Boost boost, const BYTE *data, DWORD size, int calls,
                                 volatile DWORD *sink)
{
    CheckFigures f;
    const LONG chosen = CrcPath;
    f.ours = SecondsPerCall([&](DWORD crc) { return ours(crc, data, size); }, calls, sink);
    CrcPath = CRC_PATH_TABLES;
    f.tables = SecondsPerCall([&](DWORD crc) { return ours(crc, data, size); }, calls, sink);
    CrcPath = chosen;
    f.boost = SecondsPerCall([&](DWORD crc) { return boost(crc, data, size); }, calls, sink);
    f.read = SecondsPerCall([&](DWORD sum) { return SumOfWords(sum, data, size); }, calls, sink);
    return f;
}

int main()
{
    const DWORD large = 1024 * 1024, shownAsThroughput = 64 * 1024;
    std::vector<BYTE> block = RandomBlock(large, 10);
    const BYTE *data = block.data();
    volatile DWORD sink = 0;

    /* The benchmark compares like with like. */
    if (ComputeCrc16(0xFFFF, data, large) != BoostCrc16Of(0xFFFF, data, large) ||
        ComputeCrc32(0xFFFFFFFF, data, large) != BoostCrc32Of(0xFFFFFFFF, data, large))
    {
        printf("checksum_bench: the checks disagree with Boost's\n");
        return 1;
    }
    if (!CrcPath)
        CrcPath = ChooseCrcPath();
    printf("[ bench    ] checksum path of this process: %s, %d-bit code\n",
           CrcPath == CRC_PATH_FOLDING ? "carry-less multiply folding" : "tables",
           (int)(8 * sizeof(void *)));

    /* Rounds of a millisecond or more: the clock's resolution drops out. */
    static const struct { const char *name; DWORD size; int calls; } sizes[] = {
        { "1 MiB ", 1024 * 1024, 8 },
        { "64 KiB", 64 * 1024, 128 },
        { "16 B  ", 16, 200000 },
        { "1 B   ", 1, 1000000 },
    };
    auto crc32 = [](DWORD crc, const BYTE *at, DWORD n) { return ComputeCrc32(crc, at, n); };
    auto boost32 = [](DWORD crc, const BYTE *at, DWORD n) { return BoostCrc32Of(crc, at, n); };
    auto crc16 = [](DWORD crc, const BYTE *at, DWORD n) {
        return (DWORD)ComputeCrc16((WORD)crc, at, n);
    };
    auto boost16 = [](DWORD crc, const BYTE *at, DWORD n) {
        return (DWORD)BoostCrc16Of((WORD)crc, at, n);
    };
    for (const auto &s : sizes)
    {
        struct { const char *routine; CheckFigures f; } checks[] = {
            { "ComputeCrc32", MeasureCheck(crc32, boost32, data, s.size, s.calls, &sink) },
            { "ComputeCrc16", MeasureCheck(crc16, boost16, data, s.size, s.calls, &sink) },
        };
        for (const auto &c : checks)
        {
            const CheckFigures &f = c.f;
            if (s.size >= shownAsThroughput)
                printf("[ bench    ] %s %s: %8.1f MB/s; tables %8.1f, boost::crc_optimal %7.1f, "
                       "plain read %8.1f MB/s",
                       c.routine, s.name, s.size / f.ours / 1e6, s.size / f.tables / 1e6,
                       s.size / f.boost / 1e6, s.size / f.read / 1e6);
            else
                printf("[ bench    ] %s %s: %8.1f ns a call; tables %6.1f, boost::crc_optimal %6.1f, "
                       "plain read %6.1f ns",
                       c.routine, s.name, f.ours * 1e9, f.tables * 1e9, f.boost * 1e9,
                       f.read * 1e9);
            /* Speed-ups: how many times the other's time ours takes less. */
            printf("; ours x%.2f tables, x%.2f boost, x%.2f plain read\n", f.tables / f.ours,
                   f.boost / f.ours, f.read / f.ours);
        }
    }
    return 0;
}
