/* Folding for the checksums, 16 bytes a step with carry-less multiply,
 * after the published method for checks taken most significant bit first.
 * The block read so far is kept as a 128-bit polynomial that leaves the
 * same remainder as the bytes it stands for: for 128 more bits, its upper
 * and lower halves are multiplied by x^192 and x^128 modulo the check's
 * polynomial and the new block XORed in. Four such registers run side by
 * side, 64 bytes apart, to keep the multiplier busy; at the end they are
 * folded into one, and the tables reduce its 16 bytes to the check.
 * This file alone is compiled for SSE2, SSSE3 and PCLMULQDQ, and runs
 * only where ChooseCrcPath found them and a system that saves the XMM
 * registers: 8 of them, so that 32-bit code needs no more. */
#include <emmintrin.h>
#include <tmmintrin.h>
#include <wmmintrin.h>
#include "util/checksum.h"
#include "util/internal/crcfold.h"

#define LANES            4   /* registers folded side by side */
#define BITS_PER_BLOCK   (CRC_FOLD_BLOCK * 8)
#define HALF_BITS        64
#define HIGH_HALVES      0x11  /* carry-less multiply selectors */
#define LOW_HALVES       0x00

/* x^n modulo the check's polynomial (x^width + polynomial), a shift and a
 * conditional XOR per power, as the tables are made. */
static constexpr unsigned long long PowerModulo(int n, unsigned long polynomial, int width)
{
    const unsigned long long top = 1ULL << width;
    unsigned long long value = 1;
    for (int i = 0; i < n; i++)
    {
        value <<= 1;
        if (value & top)
            value ^= top | polynomial;
    }
    return value;
}

/* The two multipliers that move a register `distance` bits on: its high
 * half sits 64 bits further up than its low half. */
struct FoldStep
{
    unsigned long long low, high;
};

static constexpr FoldStep FoldStepOf(int distance, unsigned long polynomial, int width)
{
    return { PowerModulo(distance, polynomial, width),
             PowerModulo(distance + HALF_BITS, polynomial, width) };
}

struct FoldConstants
{
    FoldStep lanes;   /* across the four registers: 512 bits */
    FoldStep block;   /* one block: 128 bits */
};

static constexpr FoldConstants FoldConstantsOf(unsigned long polynomial, int width)
{
    return { FoldStepOf(LANES * BITS_PER_BLOCK, polynomial, width),
             FoldStepOf(BITS_PER_BLOCK, polynomial, width) };
}

static constexpr FoldConstants Crc16Fold = FoldConstantsOf(CRC16_POLYNOMIAL, CRC16_WIDTH);
static constexpr FoldConstants Crc32Fold = FoldConstantsOf(CRC32_POLYNOMIAL, CRC32_WIDTH);

/* x^width itself leaves the polynomial: the power rule agrees with it. */
static_assert(PowerModulo(CRC16_WIDTH, CRC16_POLYNOMIAL, CRC16_WIDTH) == CRC16_POLYNOMIAL, "x^16");
static_assert(PowerModulo(CRC32_WIDTH, CRC32_POLYNOMIAL, CRC32_WIDTH) == CRC32_POLYNOMIAL, "x^32");

static inline __m128i StepOf(const FoldStep &step)
{
    return _mm_set_epi64x((long long)step.high, (long long)step.low);
}

/* 16 bytes with the first in the top byte: the order of the polynomial's
 * coefficients, highest first. */
static inline __m128i LoadBlock(const unsigned char *at, __m128i reverse)
{
    return _mm_shuffle_epi8(_mm_loadu_si128((const __m128i *)at), reverse);
}

/* The register moved on by the step's distance, with `next` XORed in. */
static inline __m128i Fold(__m128i value, __m128i step, __m128i next)
{
    __m128i high = _mm_clmulepi64_si128(value, step, HIGH_HALVES);
    __m128i low = _mm_clmulepi64_si128(value, step, LOW_HALVES);
    return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

void FoldCrcBlocks(int width, unsigned long initial, const unsigned char *data,
                   unsigned long blocks, unsigned char remainder[CRC_FOLD_BLOCK])
{
    const FoldConstants &constants = width == CRC16_WIDTH ? Crc16Fold : Crc32Fold;
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);

    /* The initial register meets the first bytes, at the top. Four named
     * registers, not an array, so that they stay in XMM registers: with
     * the multiplier, the byte order and two products, 8 in all. */
    const __m128i start = _mm_set_epi32((int)(initial << (CRC32_WIDTH - width)), 0, 0, 0);
    __m128i lane0 = _mm_xor_si128(LoadBlock(data, reverse), start);
    __m128i lane1 = LoadBlock(data + CRC_FOLD_BLOCK, reverse);
    __m128i lane2 = LoadBlock(data + 2 * CRC_FOLD_BLOCK, reverse);
    __m128i lane3 = LoadBlock(data + 3 * CRC_FOLD_BLOCK, reverse);
    data += LANES * CRC_FOLD_BLOCK;
    blocks -= LANES;

    const __m128i acrossLanes = StepOf(constants.lanes);
    for (; blocks >= LANES; blocks -= LANES, data += LANES * CRC_FOLD_BLOCK)
    {
        lane0 = Fold(lane0, acrossLanes, LoadBlock(data, reverse));
        lane1 = Fold(lane1, acrossLanes, LoadBlock(data + CRC_FOLD_BLOCK, reverse));
        lane2 = Fold(lane2, acrossLanes, LoadBlock(data + 2 * CRC_FOLD_BLOCK, reverse));
        lane3 = Fold(lane3, acrossLanes, LoadBlock(data + 3 * CRC_FOLD_BLOCK, reverse));
    }

    const __m128i oneBlock = StepOf(constants.block);
    __m128i value = Fold(Fold(Fold(lane0, oneBlock, lane1), oneBlock, lane2), oneBlock, lane3);
    for (; blocks; blocks--, data += CRC_FOLD_BLOCK)
        value = Fold(value, oneBlock, LoadBlock(data, reverse));

    _mm_storeu_si128((__m128i *)remainder, _mm_shuffle_epi8(value, reverse));
}
