#!/bin/bash
# Makes the image of an install disc, verified and reproducible:
#   ./scripts/make-disc.sh [--installer DIR] [--label TEXT] [--output FILE]
#       [--product WORD --company TEXT --copyright TEXT] [--version A.B.C]
#       [--splash PICTURE] [--icon PICTURE] [--languages LIST]
#       [--language-file CODE=FILE]... [--systems LIST] [--previews DIR] [--try]
# Sets up the machine and checks every argument (the brand's texts,
# pictures, languages and systems among them); then configures and builds
# the launcher of the given brand with CMake (preset "disc", in
# build/disc) and has disc/make_image.py write the image with xorriso,
# read it back and compare every file. Without --installer the image holds
# the sample disc's stand-in SETUP.EXE; without --output it is
# build/disc/PRODUCT.iso. A refusal is one line that names the setting or
# the rule and the value, exit code 1; a wrong command line is one line
# and exit code 2; Ctrl-C or SIGTERM ends it within seconds, with one line
# and exit code 130 or 143, and nothing half-written. The command exits 0
# only with a verified image.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/disc"
python=/usr/bin/python3
make_image=("$python" "$root/disc/make_image.py")
brand_texts=(product version company copyright)
usage="usage: make-disc.sh [--installer DIR] [--label TEXT] [--output FILE]
                   [--product WORD --company TEXT --copyright TEXT] [--version A.B.C]
                   [--splash PICTURE] [--icon PICTURE] [--languages LIST]
                   [--language-file CODE=FILE]... [--systems LIST] [--previews DIR] [--try]"

refuse() {
    echo "make-disc: refused: $1" >&2
    exit 1
}
misused() {
    echo "make-disc: $1 (make-disc.sh --help shows the options)" >&2
    exit 2
}

# --- Interrupts -----------------------------------------------------------------
# Each step runs in a session of its own, in the background, so that an
# interrupt is taken at once, whether it reaches this process alone or its
# whole group: the step's group is ended, and the step removes what it was
# writing. A step that is a tool of ours says the one line itself.
step=
step_says=
scratch=()
finish() {
    trap - INT TERM EXIT
    said=
    if [ -n "$step" ]; then
        kill -TERM -- "-$step" 2>/dev/null || true
        wait "$step" 2>/dev/null || true
        said=$step_says
    fi
    rm -rf -- "${scratch[@]}"
    [ -n "$said" ] || echo "make-disc: interrupted; nothing written" >&2
    exit "$1"
}
trap 'finish 130' INT
trap 'finish 143' TERM
trap 'rm -rf -- "${scratch[@]}"' EXIT

# Runs one step: its exit code in $status. run_tool runs one of our
# tools, which says the interrupt's line itself.
run_step() {
    setsid "$@" &
    step=$!
    wait "$step" && status=0 || status=$?
    step=
}
run_tool() {
    step_says=1
    run_step "$@"
    step_says=
}

# --- The command line -------------------------------------------------------------
declare -A given=()
try=
language_files=()
while [ $# -gt 0 ]; do
    case $1 in
        -h|--help) echo "$usage"; exit 0 ;;
        --try) try=1; shift; continue ;;
        --*=*) option=${1%%=*} value=${1#*=}; shift ;;
        --*) if [ $# -lt 2 ] || [ "${2#--}" != "$2" ]; then misused "$1 needs a value"; fi
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
# A branded launcher never carries another company's name: with a product
# of its own the publisher names theirs, or gives it empty to leave it out.
if has product; then
    for name in company copyright; do
        has "$name" || misused "--product needs --$name too, so that no other company's line is carried (--$name '' leaves it out)"
    done
fi
label=()
has label && label=(--label "${given[label]}")

"$root/scripts/setup.sh"

# --- Every argument is checked before anything is built -------------------------
checks=("${label[@]}")
has installer && checks+=(--installer "${given[installer]}")
has output && checks+=(--output "${given[output]}")
run_tool "${make_image[@]}" check "${checks[@]}"
[ "$status" -eq 0 ] || exit "$status"

# The brand's texts, languages and systems, as the build will check them;
# to CMake an empty list is no list, so an empty --systems is refused here.
if has systems && [ -z "${given[systems]}" ]; then
    echo "--systems: refused: the list names no system: ''" >&2
    exit 1
fi
brand=(--names options --languages "${given[languages]:-}")
for name in "${brand_texts[@]}" systems; do
    has "$name" && brand+=("--$name=${given[$name]}")
done
for item in "${language_files[@]}"; do
    brand+=("--language-file=$item")
done
run_tool "$python" "$root/brand/make_brand.py" "${brand[@]}"
[ "$status" -eq 0 ] || exit "$status"

# The pictures, converted once to see that they can be and to say what
# the conversion found (backdrop, panel, colours): the publisher's to see
# each time the art is used.
for name in splash icon; do
    if has "$name"; then
        run_tool "$python" "$root/brand/art/make_$name.py" --check "--setting=--$name" \
            "$(realpath -ms -- "${given[$name]}")"
        [ "$status" -eq 0 ] || exit "$status"
    fi
done

# --- The launcher -------------------------------------------------------------------
# Settings left out are reset to their defaults, so nothing carries over
# from an earlier run.
settings=(-DTARNELL_BRAND_NAMES=options)
for name in "${brand_texts[@]}" splash icon; do
    variable=TARNELL_${name^^}
    if ! has "$name"; then
        settings+=("-U$variable")
    elif [ "$name" = splash ] || [ "$name" = icon ]; then
        settings+=("-D$variable=$(realpath -ms -- "${given[$name]}")")
    else
        settings+=("-D$variable=${given[$name]}")
    fi
done
settings+=("-DTARNELL_LANGUAGES=${given[languages]:-}")
settings+=("-DTARNELL_SYSTEMS=${given[systems]:-}")
settings+=("-DTARNELL_LANGUAGE_FILES=$(IFS=';'; echo "${language_files[*]}")")
log=$(mktemp)
scratch+=("$log")
# CMake wraps long messages: a refusal is read whole from the file the
# brand's check leaves.
refused="$build/brand/tarnell/refused.txt"
rm -f "$refused"
echo "make-disc: building the launcher in build/disc"
run_step sh -c 'cd "$1" && shift && cmake --preset disc "$@" >"$0" 2>&1' "$log" "$root" "${settings[@]}"
if [ "$status" -ne 0 ]; then
    if [ -f "$refused" ]; then
        cat "$refused" >&2
        exit 1
    fi
    cat "$log" >&2
    refuse "CMake could not configure the launcher's build: build/disc"
fi
run_step sh -c 'cd "$1" && cmake --build --preset disc --target disc >"$0" 2>&1' "$log" "$root"
if [ "$status" -ne 0 ]; then
    grep -F ': refused: ' "$log" >&2 && exit 1
    cat "$log" >&2
    refuse "the launcher could not be built: build/disc"
fi

if has previews; then
    previews=(splash.png splash-after-colour-change.png icon.png)
    # and the splash with each language's buttons, as the brand lists them
    buttons="$build/brand/tarnell/buttons.txt"
    if [ -f "$buttons" ]; then
        while IFS=$'\t' read -r code _; do
            [ -n "$code" ] && previews+=("splash-$code.png")
        done <"$buttons"
    fi
    mkdir -p -- "${given[previews]}"
    # Each under a temporary name first: a preview is there whole or not.
    for preview in "${previews[@]}"; do
        target=${given[previews]}/$preview
        scratch+=("$target.partial")
        cp -- "$build/brand/tarnell/previews/$preview" "$target.partial"
        mv -f -- "$target.partial" "$target"
    done
    echo "previews: ${given[previews]}: $(IFS=,; echo "${previews[*]}" | sed 's/,/, /g')"
fi

# --- The image ------------------------------------------------------------------------
# It is named after the product word: lower case without accents, other
# than letters and digits as hyphens.
if has output; then
    output=${given[output]}
else
    product=$(cmake -N -L "$build" 2>/dev/null | sed -n 's/^TARNELL_PRODUCT:STRING=//p')
    slug=$(printf '%s' "$product" | iconv -f UTF-8 -t ASCII//TRANSLIT | tr A-Z a-z |
           sed -e 's/[^a-z0-9]\{1,\}/-/g' -e 's/^-//' -e 's/-$//')
    output="$build/${slug:-disc}.iso"
fi
installer=${given[installer]:-$build/sample-installer}
run_tool "${make_image[@]}" make "${label[@]}" \
    "$build/disc/TARNELL.EXE" "$build/disc/AUTORUN.INF" "$installer" "$output"
[ "$status" -eq 0 ] || exit "$status"
[ -n "$try" ] || exit 0

# --try: the trial of the image on every Windows version.
run_tool "$root/scripts/try-disc.sh" "$output"
if [ "$status" -eq 130 ] || [ "$status" -eq 143 ]; then
    exit "$status"
elif [ "$status" -ne 0 ]; then
    echo "make-disc: the image itself was written and verified: $output;" \
         "the trial found versions that fell short" >&2
    exit 1
fi
