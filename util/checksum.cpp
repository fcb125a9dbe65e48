/* The 16-bit and 32-bit checks. Their tables are made by the compiler from
 * the polynomials and kept as read-only data, so a call builds nothing and
 * changes nothing shared but the process's path choice, which every
 * thread makes alike: any thread may call at any time. Blocks go eight
 * bytes a step through eight tables (slicing-by-8); where the process
 * folds with carry-less multiply, long blocks go 16 bytes a step through
 * crcfold.cpp and only their last 16 to 31 bytes through the tables. */
#include "checksum.h"
#include "internal/crcfold.h"

#define CRC_TABLE_SIZE 256
#define CRC_SLICES     8   /* bytes a step, and tables per width */
#define BITS_PER_BYTE  8
#define BYTE_MASK      0xFF
/* Eight-byte steps start on a DWORD boundary: on older processors a word
 * that straddles a cache line costs more than an aligned one. */
#define STEP_ALIGNMENT sizeof(DWORD)

/* Table k gives the register's change for a byte followed by k zero
 * bytes, so that the eight bytes of a step are looked up independently. */
template <typename Register>
struct CrcTables
{
    Register slice[CRC_SLICES][CRC_TABLE_SIZE];
};

/* Table 0 is the byte-wise table: entry i is i in the register's top byte,
 * shifted left eight times, with the polynomial XORed in whenever the top
 * bit was set before the shift. Table k passes table k-1's entry through
 * one zero byte: its top byte shifted out, looked up in table 0 and XORed
 * back. */
template <typename Register, int Width>
constexpr CrcTables<Register> MakeCrcTables(Register polynomial)
{
    const Register topBit = (Register)((Register)1 << (Width - 1));
    const int topByteShift = Width - BITS_PER_BYTE;
    CrcTables<Register> tables{};

    for (int i = 0; i < CRC_TABLE_SIZE; i++)
    {
        Register value = (Register)((Register)i << topByteShift);
        for (int bit = 0; bit < BITS_PER_BYTE; bit++)
            value = (value & topBit) ? (Register)((value << 1) ^ polynomial)
                                     : (Register)(value << 1);
        tables.slice[0][i] = value;
    }
    for (int k = 1; k < CRC_SLICES; k++)
        for (int i = 0; i < CRC_TABLE_SIZE; i++)
        {
            Register previous = tables.slice[k - 1][i];
            tables.slice[k][i] = (Register)((previous << BITS_PER_BYTE) ^
                                            tables.slice[0][previous >> topByteShift]);
        }
    return tables;
}

/* constexpr: made while compiling, placed in read-only data. */
static constexpr CrcTables<WORD> Crc16Tables =
    MakeCrcTables<WORD, CRC16_WIDTH>((WORD)CRC16_POLYNOMIAL);
static constexpr CrcTables<DWORD> Crc32Tables =
    MakeCrcTables<DWORD, CRC32_WIDTH>((DWORD)CRC32_POLYNOMIAL);

static_assert(Crc16Tables.slice[0][1] == CRC16_POLYNOMIAL, "CRC-16 table from the rule");
static_assert(Crc32Tables.slice[0][1] == CRC32_POLYNOMIAL, "CRC-32 table from the rule");

static inline bool IsStepAligned(const BYTE *at)
{
    return ((ULONG_PTR)at & (STEP_ALIGNMENT - 1)) == 0;
}

/* Four bytes with the first on top, the order in which they meet the
 * register's bytes; the compiler makes this one load and a byte swap. */
static inline DWORD FirstOnTop(const BYTE *at)
{
    return (DWORD)at[0] << 24 | (DWORD)at[1] << 16 | (DWORD)at[2] << 8 | at[3];
}

/* Byte n of a register, counted from the least significant. */
static inline DWORD ByteOf(DWORD value, int n)
{
    return (value >> (n * BITS_PER_BYTE)) & BYTE_MASK;
}

static WORD TableCrc16(WORD initial, const void *data, DWORD count)
{
    const WORD (*table)[CRC_TABLE_SIZE] = Crc16Tables.slice;
    const BYTE *bytes = (const BYTE *)data;
    DWORD crc = initial;  /* never above 0xFFFF: every term is a WORD */

    for (; count && !IsStepAligned(bytes); count--)
        crc = (WORD)(crc << BITS_PER_BYTE) ^ table[0][(crc >> BITS_PER_BYTE) ^ *bytes++];

    /* The register's two bytes meet the step's first two. */
    for (; count >= CRC_SLICES; count -= CRC_SLICES, bytes += CRC_SLICES)
        crc = table[7][ByteOf(crc, 1) ^ bytes[0]] ^
              table[6][ByteOf(crc, 0) ^ bytes[1]] ^
              table[5][bytes[2]] ^ table[4][bytes[3]] ^
              table[3][bytes[4]] ^ table[2][bytes[5]] ^
              table[1][bytes[6]] ^ table[0][bytes[7]];

    for (; count; count--)
        crc = (WORD)(crc << BITS_PER_BYTE) ^ table[0][(crc >> BITS_PER_BYTE) ^ *bytes++];
    return (WORD)crc;
}

static DWORD TableCrc32(DWORD initial, const void *data, DWORD count)
{
    const int topByteShift = CRC32_WIDTH - BITS_PER_BYTE;
    const DWORD (*table)[CRC_TABLE_SIZE] = Crc32Tables.slice;
    const BYTE *bytes = (const BYTE *)data;
    DWORD crc = initial;

    for (; count && !IsStepAligned(bytes); count--)
        crc = (crc << BITS_PER_BYTE) ^ table[0][(crc >> topByteShift) ^ *bytes++];

    /* The register's four bytes meet the step's first four. */
    for (; count >= CRC_SLICES; count -= CRC_SLICES, bytes += CRC_SLICES)
    {
        DWORD first = crc ^ FirstOnTop(bytes);
        crc = table[7][ByteOf(first, 3)] ^ table[6][ByteOf(first, 2)] ^
              table[5][ByteOf(first, 1)] ^ table[4][ByteOf(first, 0)] ^
              table[3][bytes[4]] ^ table[2][bytes[5]] ^
              table[1][bytes[6]] ^ table[0][bytes[7]];
    }

    for (; count; count--)
        crc = (crc << BITS_PER_BYTE) ^ table[0][(crc >> topByteShift) ^ *bytes++];
    return crc;
}

/* The path choice is stored once it is made; threads that meet an
 * unmade choice make the same one and store the same value. */
static BOOL FoldsLongBlocks(void)
{
    LONG path = CrcPath;
    if (!path)
        CrcPath = path = ChooseCrcPath();
    return path == CRC_PATH_FOLDING;
}

/* The whole blocks of a long run folded: the run's check from `initial`
 * is then the check of the 16 bytes returned, from 0, followed by the
 * `*count` bytes left at `*bytes`. NULL, with nothing moved, for a
 * short run or where the process does not fold. */
static const BYTE *FoldLongRun(int width, DWORD initial, const BYTE **bytes, DWORD *count,
                               BYTE remainder[CRC_FOLD_BLOCK])
{
    if (*count < CRC_FOLD_MINIMUM || !FoldsLongBlocks())
        return NULL;
    DWORD blocks = *count / CRC_FOLD_BLOCK;
    FoldCrcBlocks(width, initial, *bytes, blocks, remainder);
    *bytes += blocks * CRC_FOLD_BLOCK;
    *count -= blocks * CRC_FOLD_BLOCK;
    return remainder;
}

/* A check of either width: its long run folded where the process folds,
 * the rest through its tables. */
template <typename Register, Register TableCrc(Register, const void *, DWORD)>
static inline Register ComputeCrc(int width, Register initial, const void *data, DWORD count)
{
    const BYTE *bytes = (const BYTE *)data;
    BYTE remainder[CRC_FOLD_BLOCK];

    if (FoldLongRun(width, initial, &bytes, &count, remainder))
        initial = TableCrc(0, remainder, CRC_FOLD_BLOCK);
    return TableCrc(initial, bytes, count);
}

WORD ComputeCrc16(WORD initial, const void *data, DWORD count)
{
    return ComputeCrc<WORD, TableCrc16>(CRC16_WIDTH, initial, data, count);
}

DWORD ComputeCrc32(DWORD initial, const void *data, DWORD count)
{
    return ComputeCrc<DWORD, TableCrc32>(CRC32_WIDTH, initial, data, count);
}
