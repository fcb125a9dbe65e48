#!/bin/sh
# Installs what the build and the tests need, when it is missing: the
# mingw-w64 cross compilers for 32-bit and 64-bit Windows, Wine with its
# fonts (the caption buttons' Marlett among them), Xvfb, ImageMagick,
# GoogleTest's sources, the checksum tests' references (Python's crcmod,
# Boost's CRC headers), and xorriso with Python's pycdlib, which write and
# read back disc images, Python's PIL with the DejaVu fonts, which turn
# a publisher's pictures into the launcher's splash and icon, Python's
# pefile, with which the disc trial reads the systems a launcher accepts,
# and bubblewrap, which shuts a tried disc's programs in. Safe to run again.
#
# Where the kernel cannot execute 32-bit x86 programs (some virtual
# machines run 64-bit user code only), 32-bit Wine is started through
# qemu's user-mode emulator, registered here as the handler of 32-bit ELF
# programs.
set -eu

PACKAGES="cmake make python3 googletest
g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
wine wine32:i386 wine64 fonts-wine xvfb xauth imagemagick qemu-user-static locales-all
python3-crcmod libboost-dev xorriso python3-pycdlib python3-pil fonts-dejavu-core python3-pefile
bubblewrap"

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    echo "setup: with apt-get, from Debian's archive; on a new machine this takes a few minutes"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
    echo "setup: packages installed"
fi

# 32-bit programs: run natively when the kernel can, else through qemu.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e $binfmt/register ] || $SUDO mount -t binfmt_misc binfmt_misc $binfmt
    if [ ! -e $binfmt/qemu-i386 ]; then
        echo "setup: this kernel runs no 32-bit programs; registering qemu-i386 for them"
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            | $SUDO tee $binfmt/register >/dev/null
    fi
fi
