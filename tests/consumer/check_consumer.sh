#!/bin/sh
# Builds another project's programs against the library twice, with the
# same toolchain: once through the installed package (cmake --install,
# then find_package), once with the library's sources as a sub-folder.
# Each time it runs the consumer under Wine and compares what it prints,
# and checks that a program using the checksums alone imports nothing of
# the shell, COM, the spooler or the multimedia library.
# Usage: check_consumer.sh BUILD_DIR SOURCE_DIR TOOLCHAIN_FILE OBJDUMP WORK_DIR
set -eu
build=$1 source=$2 toolchain=$3 objdump=$4 work=$5
here=$(cd "$(dirname "$0")" && pwd)
expected="crc16 31C3
crc32 0376E6E7
leap 1 valid 1
day after 2/29/2000 is 03/01/2000
hex 1
os named
chooser dialog present
caught thrown typed"
fail=0

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

    output=$(sh "$source/tests/wine/wine-run.sh" "$dir/consumer.exe" | tr -d '\r')
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
}

check_build installed -DCMAKE_PREFIX_PATH="$work/prefix"
check_build subdirectory -DTARNELL_SOURCE_DIR="$source"
# A sub-folder builds the library alone: no launcher, no tests.
if [ -n "$(find "$work/subdirectory/tarnell" -iname 'tarnell*.exe' -o -name 'CTestTestfile.cmake' -path '*tests*')" ]; then
    echo "FAIL: the sub-folder build made more than the library"; fail=1
fi
exit $fail
