#!/bin/sh
# Installs what the build and the tests need, when it is missing: the
# mingw-w64 cross compilers for 32-bit and 64-bit Windows, Wine with its
# fonts (the caption buttons' Marlett among them), Xvfb, ImageMagick,
# GoogleTest's sources, the checksum tests' references (Python's crcmod,
# Boost's CRC headers), and xorriso with Python's pycdlib, which write and
# read back disc images, Python's PIL with the DejaVu fonts, which turn
# a publisher's pictures into the launcher's splash and icon, Python's
# pefile, with which the disc trial reads the systems a launcher accepts,
# bubblewrap, which shuts a tried disc's programs in, Tesseract with its
# English data, with which the brand tests read a drawn splash back, and
# osslsigncode with OpenSSL and Python's cryptography, which sign the
# launcher with a publisher's certificate and read signatures back, and
# Flask, on which the designer serves its page, with Chromium, its driver
# and Python's Selenium, in which its tests use the page. Safe to run
# again.
#
# A mirror in the middle of a sync serves lists that do not match (apt-get
# update then fails on some of them), and its security updates may exist
# for one architecture and not yet for the other (wine32:i386 beside
# wine64): the install then fails on held broken packages. So a failed
# update goes on with the old lists, a failed install is tried once more
# with the release's own versions (-t CODENAME), and once more after a
# pause and a new update; past that, setup says what to do and fails.
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
bubblewrap tesseract-ocr tesseract-ocr-eng osslsigncode openssl python3-cryptography
python3-flask python3-selenium chromium chromium-driver"

# Seams for tests/scripts/test_setup.py, which stands in for the system:
# TARNELL_APT_GET: the apt-get run; when named, it runs without sudo.
APT_GET=${TARNELL_APT_GET:-apt-get}
# TARNELL_DPKG_QUERY: the dpkg-query that tells which packages are installed.
DPKG_QUERY=${TARNELL_DPKG_QUERY:-dpkg-query}
# TARNELL_DPKG: the dpkg that lists and adds the foreign architectures.
DPKG=${TARNELL_DPKG:-dpkg}
# TARNELL_OS_RELEASE: the file whose VERSION_CODENAME names the release.
OS_RELEASE=${TARNELL_OS_RELEASE:-/etc/os-release}
# TARNELL_APT_PAUSE: the seconds waited before the last update and install.
APT_PAUSE=${TARNELL_APT_PAUSE:-30}
# TARNELL_BINFMT: the binfmt_misc folder in which qemu-i386 is registered.
binfmt=${TARNELL_BINFMT:-/proc/sys/fs/binfmt_misc}

if [ "$(id -u)" -eq 0 ] || [ -n "${TARNELL_APT_GET:-}" ]; then SUDO=""; else SUDO="sudo"; fi

# The release's codename: os-release's, else lsb_release's, else none.
codename() {
    name=""
    if [ -r "$OS_RELEASE" ]; then
        name=$(sed -n 's/^VERSION_CODENAME=//p' "$OS_RELEASE" | tr -d "\"' " | head -n 1)
    fi
    if [ -z "$name" ] && command -v lsb_release >/dev/null 2>&1; then
        name=$(lsb_release -cs 2>/dev/null || true)
    fi
    [ "$name" != "n/a" ] || name=""
    echo "$name"
}

# env, not a plain assignment: sudo drops the caller's environment.
install_missing() {
    $SUDO env DEBIAN_FRONTEND=noninteractive "$APT_GET" install -y -qq --no-install-recommends "$@" $missing >/dev/null
}

missing=""
for p in $PACKAGES; do
    if ! "$DPKG_QUERY" -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    echo "setup: with apt-get, from Debian's archive; on a new machine this takes a few minutes"
    if ! "$DPKG" --print-foreign-architectures | grep -qx i386; then
        $SUDO "$DPKG" --add-architecture i386
    fi
    release=$(codename)
    if ! $SUDO "$APT_GET" update -qq; then
        echo "setup: some package lists could not be read; installing from the ones apt-get has" >&2
    fi
    if ! install_missing; then
        if [ -n "$release" ]; then
            echo "setup: installing again with $release's own versions" >&2
        fi
        if [ -z "$release" ] || ! install_missing -t "$release"; then
            echo "setup: installing again in $APT_PAUSE seconds, after another apt-get update" >&2
            sleep "$APT_PAUSE"
            # Lists read whole allow the updates; else the release's versions.
            if $SUDO "$APT_GET" update -qq || [ -z "$release" ]; then
                set --
            else
                set -- -t "$release"
            fi
            if ! install_missing "$@"; then
                echo "setup: could not install the packages (${missing# }) with apt-get (its lines are above):" \
                    "the package mirror may be in the middle of a sync or out of reach; try again later," \
                    "or name another mirror in apt's sources (/etc/apt/sources.list.d)" >&2
                exit 1
            fi
        fi
    fi
    echo "setup: packages installed"
fi

# 32-bit programs: run natively when the kernel can, else through qemu.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
    if [ ! -e "$binfmt/qemu-i386" ]; then
        echo "setup: this kernel runs no 32-bit programs; registering qemu-i386 for them"
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            | $SUDO tee "$binfmt/register" >/dev/null
    fi
fi
