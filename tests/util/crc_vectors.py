# Writes random byte blocks with their checks from Debian's python3-crcmod,
# as the checksum tests' independent reference. One block a line:
#   XMODEM CCITT-FALSE MPEG-2 INIT16 CRC16 INIT32 CRC32 DATA
# all in hexadecimal; CRC16 and CRC32 are the unreflected checks without a
# final XOR (polynomials 0x1021 and 0x04C11DB7) from the random initial
# values INIT16 and INIT32; DATA is "-" for an empty block.
import random
import sys

import crcmod
import crcmod.predefined

SEED = 20240606
# crcmod names a polynomial with its top bit.
POLY16 = 0x11021
POLY32 = 0x104C11DB7

xmodem = crcmod.predefined.mkPredefinedCrcFun("xmodem")
ccitt_false = crcmod.predefined.mkPredefinedCrcFun("crc-ccitt-false")
mpeg2 = crcmod.predefined.mkPredefinedCrcFun("crc-32-mpeg")

rng = random.Random(SEED)
lengths = list(range(0, 17)) + [rng.randrange(17, 4097) for _ in range(100)] + [4095, 4096]
with open(sys.argv[1], "w", newline="\n") as out:
    for length in lengths:
        data = bytes(rng.randrange(256) for _ in range(length))
        init16 = rng.randrange(1 << 16)
        init32 = rng.randrange(1 << 32)
        crc16 = crcmod.mkCrcFun(POLY16, initCrc=init16, rev=False, xorOut=0)(data)
        crc32 = crcmod.mkCrcFun(POLY32, initCrc=init32, rev=False, xorOut=0)(data)
        out.write("%04x %04x %08x %04x %04x %08x %08x %s\n" % (
            xmodem(data), ccitt_false(data), mpeg2(data), init16, crc16, init32, crc32,
            data.hex() if data else "-"))
