#!/bin/bash
# Makes the image of an install disc, verified and reproducible:
#   ./scripts/make-disc.sh [--installer DIR] [--label TEXT] [--output FILE]
#       [--product WORD] [--version A.B.C] [--company TEXT] [--copyright TEXT]
#       [--splash PICTURE] [--icon PICTURE] [--languages LIST]
#       [--language-file CODE=FILE]... [--systems LIST] [--previews DIR] [--try]
# Sets up the machine and checks every argument; then configures and
# builds the launcher of the given brand with CMake (preset "disc", in
# build/disc) and has disc/make_image.py write the image with xorriso,
# read it back and compare every file. Without --installer the image holds
# the sample disc's stand-in SETUP.EXE; without --output it is
# build/disc/PRODUCT.iso. A refusal is one line that names the setting or
# the rule and the value; the command exits 0 only with a verified image.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/disc"
make_image=("/usr/bin/python3" "$root/disc/make_image.py")
brand_options=(product version company copyright splash icon)
usage="usage: make-disc.sh [--installer DIR] [--label TEXT] [--output FILE]
                   [--product WORD] [--version A.B.C] [--company TEXT] [--copyright TEXT]
                   [--splash PICTURE] [--icon PICTURE] [--languages LIST]
                   [--language-file CODE=FILE]... [--systems LIST] [--previews DIR] [--try]"

refuse() {
    echo "make-disc: refused: $1" >&2
    exit 1
}
misused() {
    echo "$usage" >&2
    echo "make-disc: $1" >&2
    exit 2
}

declare -A given=()
try=
language_files=()
while [ $# -gt 0 ]; do
    case $1 in
        -h|--help) echo "$usage"; exit 0 ;;
        --try) try=1; shift; continue ;;
        --*=*) option=${1%%=*} value=${1#*=}; shift ;;
        --*) [ $# -ge 2 ] || misused "$1 needs a value"
             option=$1 value=$2; shift 2 ;;
        *) misused "not an option: $1" ;;
    esac
    case $option in
        --installer|--label|--output|--previews|--product|--version|--company|--copyright|--splash|--icon|--languages|--systems)
            given[${option#--}]=$value ;;
        # Repeatable; the path is taken from where the command was given.
        --language-file)
            case $value in
                *=*) language_files+=("${value%%=*}=$(realpath -ms -- "${value#*=}")") ;;
                *) language_files+=("$value") ;;
            esac ;;
        *) misused "no such option: $option" ;;
    esac
done
has() { [ -n "${given[$1]+set}" ]; }
label=()
has label && label=(--label "${given[label]}")

"$root/scripts/setup.sh"

# Everything the publisher gave is checked before anything is built.
checks=("${label[@]}")
has installer && checks+=(--installer "${given[installer]}")
has output && checks+=(--output "${given[output]}")
"${make_image[@]}" check "${checks[@]}"

# Settings left out are reset to their defaults, so nothing carries over
# from an earlier run. CMake wraps long messages: a refused text is read
# whole from the file the brand's check leaves.
settings=(-DTARNELL_BRAND_NAMES=options)
for name in "${brand_options[@]}"; do
    variable=TARNELL_${name^^}
    if ! has "$name"; then
        settings+=("-U$variable")
    elif [ "$name" = splash ] || [ "$name" = icon ]; then
        settings+=("-D$variable=$(realpath -ms -- "${given[$name]}")")
    else
        settings+=("-D$variable=${given[$name]}")
    fi
done
# The languages and the systems are checked by the brand tool, as the
# other settings; to CMake an empty list is no list, the default, so an
# empty --systems is refused here.
settings+=("-DTARNELL_LANGUAGES=${given[languages]:-}")
if has systems && [ -z "${given[systems]}" ]; then
    echo "--systems: refused: the list names no system: ''" >&2
    exit 1
fi
settings+=("-DTARNELL_SYSTEMS=${given[systems]:-}")
settings+=("-DTARNELL_LANGUAGE_FILES=$(IFS=';'; echo "${language_files[*]}")")
refused="$build/brand/tarnell/refused.txt"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
rm -f "$refused"
echo "make-disc: building the launcher in build/disc"
if ! (cd "$root" && cmake --preset disc "${settings[@]}") >"$log" 2>&1; then
    if [ -f "$refused" ]; then
        cat "$refused" >&2
        exit 1
    fi
    cat "$log" >&2
    refuse "CMake could not configure the launcher's build: build/disc"
fi
if ! (cd "$root" && cmake --build --preset disc --target disc) >"$log" 2>&1; then
    if grep -F ': refused: ' "$log" >&2; then
        exit 1
    fi
    cat "$log" >&2
    refuse "the launcher could not be built: build/disc"
fi
# What the converters say of the pictures the publisher gave (backdrop,
# panel, colours).
for name in splash icon; do
    if has "$name"; then
        grep -F -- "--$name: " "$log" || true
    fi
done

if has previews; then
    mkdir -p -- "${given[previews]}"
    previews=(splash.png splash-after-colour-change.png icon.png)
    # and the splash with each language's buttons, as the brand lists them
    buttons="$build/brand/tarnell/buttons.txt"
    if [ -f "$buttons" ]; then
        while IFS=$'\t' read -r code _; do
            [ -n "$code" ] && previews+=("splash-$code.png")
        done <"$buttons"
    fi
    for preview in "${previews[@]}"; do
        cp -- "$build/brand/tarnell/previews/$preview" "${given[previews]}/$preview"
    done
    echo "previews: ${given[previews]}: $(IFS=,; echo "${previews[*]}" | sed 's/,/, /g')"
fi

# The image is named after the product word: lower case without accents,
# other than letters and digits as hyphens.
if has output; then
    output=${given[output]}
else
    product=$(cmake -N -L "$build" 2>/dev/null | sed -n 's/^TARNELL_PRODUCT:STRING=//p')
    slug=$(printf '%s' "$product" | iconv -f UTF-8 -t ASCII//TRANSLIT | tr A-Z a-z |
           sed -e 's/[^a-z0-9]\{1,\}/-/g' -e 's/^-//' -e 's/-$//')
    output="$build/${slug:-disc}.iso"
fi
installer=${given[installer]:-$build/sample-installer}
rm -f "$log"
"${make_image[@]}" make "${label[@]}" \
    "$build/disc/TARNELL.EXE" "$build/disc/AUTORUN.INF" "$installer" "$output"
[ -n "$try" ] || exit 0
# --try: the trial of the image on every Windows version.
if ! "$root/scripts/try-disc.sh" "$output"; then
    echo "make-disc: the image itself was written and verified: $output;" \
         "the trial found versions that fell short" >&2
    exit 1
fi
