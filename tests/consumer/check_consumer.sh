#!/bin/sh
# Builds another project's programs against the library twice, with the
# same toolchain: once through the installed package (cmake --install,
# then find_package), once with the library's sources as a sub-folder.
# Each time it runs the consumer under Wine and compares what it prints,
# and checks that a program using the checksums alone imports nothing of
# the shell, COM, the spooler or the multimedia library, and gets the same
# checks on the path the processor allows; the 32-bit one also under
# qemu's user-mode emulator as a Pentium III (SSE, but neither SSE2 nor
# carry-less multiply), where it must take the tables.
# Usage: check_consumer.sh WINE_RUN BUILD_DIR SOURCE_DIR TOOLCHAIN_FILE OBJDUMP WORK_DIR
set -eu
wine_run=$1 build=$2 source=$3 toolchain=$4 objdump=$5 work=$6
here=$(cd "$(dirname "$0")" && pwd)
expected="crc16 31C3
crc32 0376E6E7
leap 1 valid 1
day after 2/29/2000 is 03/01/2000
hex 1
os named
chooser dialog present
caught thrown typed"
crc_expected="crc32 0376E6E7
long EB6C81B1"
fail=0

# The checksums' path on this processor: folding where it has carry-less
# multiply, SSSE3 and SSE2 (Wine saves the XMM registers).
native_path=tables
if grep -qw pclmulqdq /proc/cpuinfo && grep -qw ssse3 /proc/cpuinfo && grep -qw sse2 /proc/cpuinfo; then
    native_path=folding
fi
case "$objdump" in *i686*) emulate_old_processor=$(command -v qemu-i386-static || true) ;;
                   *) emulate_old_processor= ;; esac

rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for header in checksum dates datetext drawing folders instance localeconv msglist osinfo \
              placement ports reports sounds texthelp; do
    [ -f "$work/prefix/include/util/$header.h" ] || { echo "FAIL: util/$header.h not installed"; fail=1; }
done
for file in include/util/folders.rc lib/libutil.a lib/cmake/TarnellUtil/TarnellUtilConfig.cmake \
            lib/cmake/TarnellUtil/TarnellUtilConfigVersion.cmake; do
    [ -f "$work/prefix/$file" ] || { echo "FAIL: $file not installed"; fail=1; }
done

check_build() {   # name, extra configure arguments...
    name=$1; shift
    dir="$work/$name"
    cmake -S "$here" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=MinSizeRel \
          "$@" >"$work/$name.log" 2>&1 &&
        cmake --build "$dir" -j 2 >>"$work/$name.log" 2>&1 || {
        echo "FAIL: $name: the consumer does not build"; cat "$work/$name.log"; fail=1; return; }

    output=$(sh "$wine_run" "$dir/consumer.exe" | tr -d '\r')
    if [ "$output" = "$expected" ]; then
        echo "ok: $name: the consumer prints what it should"
    else
        echo "FAIL: $name: the consumer printed:"; echo "$output"; fail=1
    fi
    # It must start on a bare Windows: no DLL of the compiler's runtime.
    runtime=$("$objdump" -p "$dir/consumer.exe" | sed -n 's/^\s*DLL Name: //p' |
              grep -Ei 'libgcc|libstdc|libwinpthread' | tr '\n' ' ')
    if [ -n "$runtime" ]; then
        echo "FAIL: $name: the consumer needs the compiler's DLLs $runtime"; fail=1
    fi
    dlls=$("$objdump" -p "$dir/crc_only.exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
    if echo "$dlls" | grep -Eiq 'shell32|ole32|winspool|winmm'; then
        echo "FAIL: $name: a program using the checksums alone imports $dlls"; fail=1
    else
        echo "ok: $name: the checksums alone import $dlls"
    fi
    check_crc_only "$name" "$dir" "$TARNELL_WINE" "$native_path"
    if [ -n "$emulate_old_processor" ]; then
        # Wine's loader would start the program again outside the
        # emulator; WINELOADERNOEXEC keeps it inside.
        printf '#!/bin/sh\nWINELOADERNOEXEC=1 exec %s -cpu pentium3 %s "$@"\n' \
            "$emulate_old_processor" "$TARNELL_WINE" >"$work/wine-pentium3"
        chmod +x "$work/wine-pentium3"
        check_crc_only "$name on a Pentium III" "$dir" "$work/wine-pentium3" tables
    fi
}

check_crc_only() {   # name, build folder, Wine loader, expected path
    output=$(TARNELL_WINE=$3 sh "$wine_run" "$2/crc_only.exe" | tr -d '\r')
    if [ "$output" = "$crc_expected
path $4" ]; then
        echo "ok: $1: the checksums alone give their results on the $4 path"
    else
        echo "FAIL: $1: the checksums alone printed, where the $4 path was due:"; echo "$output"
        fail=1
    fi
}

check_build installed -DCMAKE_PREFIX_PATH="$work/prefix"
check_build subdirectory -DTARNELL_SOURCE_DIR="$source"
# A sub-folder builds the library alone: no launcher, no tests.
if [ -n "$(find "$work/subdirectory/tarnell" -iname 'tarnell*.exe' -o -name 'CTestTestfile.cmake' -path '*tests*')" ]; then
    echo "FAIL: the sub-folder build made more than the library"; fail=1
fi
exit $fail
