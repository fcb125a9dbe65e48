#!/bin/sh
# Checks the launcher binary's form: 32-bit GUI program for subsystem 4.0,
# importing from KERNEL32, USER32 and GDI32 only, and no bigger than 232 KB.
# Prints its size. The 64-bit test build is checked for its imports, and
# both for the absence of the checksum tables, which the launcher never
# uses: the linker must leave them out.
# Usage: check_binary.sh TARNELL.EXE OBJDUMP ARCH
set -eu
exe=$1 objdump=$2 arch=$3
limit=$((232 * 1024))
fail=0

size=$(stat -c %s "$exe")
echo "launcher size: $size bytes ($(( (size + 1023) / 1024 )) KB, limit $((limit / 1024)) KB)"

headers=$("$objdump" -p "$exe")
dlls=$(echo "$headers" | sed -n 's/^\s*DLL Name: //p' | sort -u | tr '\n' ' ')
echo "imports: $dlls"
if [ "$dlls" != "GDI32.dll KERNEL32.dll USER32.dll " ]; then
    echo "FAIL: imports other than KERNEL32, USER32 and GDI32"; fail=1
fi

# Each check's byte-wise table as stored, little-endian, from entry 1 (with
# the other tables they are 12 KB). od prints every byte after a space, so
# a match with the leading space starts on a byte.
bytes=$(od -An -v -tx1 "$exe" | tr -d '\n')
no_table() {
    if echo "$bytes" | grep -qF " $2"; then echo "FAIL: holds the $1 table"; fail=1
    else echo "ok: no $1 table"; fi
}
no_table CRC-16 "21 10 42 20 63 30 84 40"
no_table CRC-32 "b7 1d c1 04 6e 3b 82 09"

if [ "$arch" = "i686" ]; then
    check() {
        if echo "$headers" | grep -Eq "$1"; then echo "ok: $2"; else echo "FAIL: $2"; fail=1; fi
    }
    check '^Magic\s+010b\s+\(PE32\)' "32-bit PE32 image"
    check '^Subsystem\s+00000002\s+\(Windows GUI\)' "GUI subsystem"
    check '^MajorSubsystemVersion\s+4$' "subsystem major version 4"
    check '^MinorSubsystemVersion\s+0$' "subsystem minor version 0"
    if [ "$size" -gt "$limit" ]; then echo "FAIL: larger than 232 KB"; fail=1; fi
    if "$objdump" -h "$exe" | grep -q '\.debug'; then echo "FAIL: not stripped"; fail=1; fi
fi
exit $fail
