#!/bin/sh
# Makes disc images with the disc image maker, serves what each image holds
# (extracted from the image by xorriso) as a Wine drive of type CD-ROM, and runs the
# launcher tests' DiscDrive case from it: once for the sample installer,
# once for an installer with a sub-folder and a long file name.
# Usage: check_disc_drive.sh LAUNCHER.EXE AUTORUN.INF SETUP.EXE LAUNCHER_TESTS.EXE WORK_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
launcher=$1 autorun=$2 setup=$3 tests=$4 work=$5
export WINEPREFIX="$TARNELL_WINEPREFIX" WINEDEBUG=-all
drive=r
link="$WINEPREFIX/dosdevices/$drive:"

# The mount manager reads the drives when it starts: restart Wine's server.
restart_wine() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w
}
cleanup() {
    rm -f "$link"
    "$TARNELL_WINE" reg delete 'HKLM\Software\Wine\Drives' /v "$drive:" /f >/dev/null 2>&1 || true
    restart_wine
}
trap cleanup EXIT

run_case() {
    name=$1 files=$2
    echo "== $name"
    /usr/bin/python3 "$here/../../disc/make_image.py" make "$launcher" "$autorun" \
        "$work/$name/installer" "$work/$name/disc.iso"
    # What Windows 95 and later see: the Joliet tree, read-only as on a disc.
    xorriso -rockridge off -joliet on -osirrox on -indev "$work/$name/disc.iso" \
        -extract / "$work/$name/cd" 2>/dev/null
    ln -sfn "$work/$name/cd" "$link"
    "$TARNELL_WINE" reg add 'HKLM\Software\Wine\Drives' /v "$drive:" /t REG_SZ /d cdrom /f >/dev/null
    restart_wine
    TARNELL_DISC_DRIVE="R:" TARNELL_DISC_FILES="$files" \
        sh "$here/../wine/wine-run.sh" "$tests" --gtest_filter=DiscDrive.*
}

[ ! -d "$work" ] || chmod -R u+w "$work"
rm -rf "$work"
mkdir -p "$work/sample/installer" "$work/rich/installer/Data Files/CABS"
cp "$setup" "$work/sample/installer/SETUP.EXE"
cp "$setup" "$work/rich/installer/Setup.exe"
echo "Read me first." > "$work/rich/installer/Read me first, please.txt"
head -c 300000 /dev/urandom > "$work/rich/installer/Data Files/CABS/DATA1.CAB"

run_case sample "AUTORUN.INF"
run_case rich "Read me first, please.txt|Data Files\\CABS\\DATA1.CAB"
