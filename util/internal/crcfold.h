/*
 * The checksums' carry-less multiply path, for the library's own use: it
 * runs only where ChooseCrcPath said CRC_PATH_FOLDING. Its source alone is
 * compiled for SSE2, SSSE3 and PCLMULQDQ, and defines no inline function
 * that other code could be linked to. Also the checks' widths, which the
 * tables and the folding share.
 */
#ifndef UTIL_INTERNAL_CRCFOLD_H
#define UTIL_INTERNAL_CRCFOLD_H

#define CRC16_WIDTH      16  /* bits of each check's register */
#define CRC32_WIDTH      32

#define CRC_FOLD_BLOCK   16  /* bytes a folding step takes */
#define CRC_FOLD_MINIMUM 64  /* fewer bytes than four steps go through the tables */

/* Folds `blocks` (at least four) whole 16-byte blocks of the check of
 * `width` (16 or 32) that starts at `initial`, and writes 16 bytes whose
 * check from 0 is the blocks' check from `initial`. */
void FoldCrcBlocks(int width, unsigned long initial, const unsigned char *data,
                   unsigned long blocks, unsigned char remainder[CRC_FOLD_BLOCK]);

#endif
