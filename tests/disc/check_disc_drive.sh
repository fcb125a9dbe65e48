#!/bin/sh
# Makes disc images with the disc image maker, serves what each image holds
# (extracted from the image by xorriso) as a Wine drive of type CD-ROM, and
# runs the launcher tests' DiscDrive case from it: "sample", the sample
# installer, and "rich", an installer with a sub-folder and a long file
# name (both unless CASES names some).
# Usage: check_disc_drive.sh LAUNCHER.EXE AUTORUN.INF SETUP.EXE LAUNCHER_TESTS.EXE WORK_DIR [CASE...]
set -eu
project=$(cd "$(dirname "$0")/../.." && pwd)
wine_layer=$project/wine
launcher=$1 autorun=$2 setup=$3 tests=$4 work=$5
shift 5
cases=${*:-sample rich}
drive=R

config() { sh "$wine_layer/wine-config.sh" "$@"; }
trap 'config drop-drive $drive' EXIT

run_case() {
    name=$1 files=$2
    echo "== $name"
    /usr/bin/python3 "$project/disc/make_image.py" make "$launcher" "$autorun" \
        "$work/$name/installer" "$work/$name/disc.iso"
    # What Windows 95 and later see: the Joliet tree, read-only as on a disc.
    xorriso -rockridge off -joliet on -osirrox on -indev "$work/$name/disc.iso" \
        -extract / "$work/$name/cd" 2>/dev/null
    config drive $drive "$work/$name/cd" cdrom
    TARNELL_DISC_DRIVE="$drive:" TARNELL_DISC_FILES="$files" \
        sh "$wine_layer/wine-run.sh" "$tests" --gtest_filter=DiscDrive.*
}

[ ! -d "$work" ] || chmod -R u+w "$work"
rm -rf "$work"
mkdir -p "$work/sample/installer" "$work/rich/installer/Data Files/CABS"
cp "$setup" "$work/sample/installer/SETUP.EXE"
cp "$setup" "$work/rich/installer/Setup.exe"
echo "Read me first." > "$work/rich/installer/Read me first, please.txt"
head -c 300000 /dev/urandom > "$work/rich/installer/Data Files/CABS/DATA1.CAB"

for name in $cases; do
    case $name in
    sample) run_case sample "AUTORUN.INF" ;;
    rich) run_case rich "Read me first, please.txt|Data Files\\CABS\\DATA1.CAB" ;;
    *) echo "check_disc_drive: no case $name" >&2; exit 2 ;;
    esac
done
