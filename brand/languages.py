"""The languages a launcher carries besides English: their codes, their
texts (the ones in languages/, or a publisher's own files), the checks
on them, and what the build takes from them: languages.rc (a string table
per language, in that language), languages.h (which table serves which
user language) and buttons.txt (the button texts, for the previews).

A language file is UTF-8 text, one KEY = TEXT a line; blank lines and
lines starting with # are skipped. A publisher's file for a language that
ships with the launcher gives only the texts it changes; one for another
language gives all but the title, and the text for an installer that
cannot be started too when the launcher accepts a system after XP, the
only ones that show it.

make_brand.py calls check_languages(). The languages, the texts' keys,
ids and limits, and the title's room and English form are the launcher's
contract's; the buttons' font and the room of their texts come from the
layout (layout.py).
"""
import os
import struct

from hostlib import Refusal
from brand.codepage import TEXT_CODE_PAGE, windows_1252
from brand.layout import BUTTON_FONT_FACE, BUTTON_FONT_POINTS, BUTTON_TEXT_ROOM
from launcher.contract import LAUNCHER

HERE = os.path.dirname(os.path.abspath(__file__))
SHIPPED = os.path.join(HERE, "languages")

SETTINGS = {"languages": ("TARNELL_LANGUAGES", "--languages"),
            "files": ("TARNELL_LANGUAGE_FILES", "--language-file")}

# ISO 639-1 code: name, Windows primary language id, ANSI code page, of
# the languages Windows has (the contract's); the launcher's texts are of
# its code page, the others are named to be refused.
LANGUAGES = {code: (language.name, language.primary, language.code_page)
             for code, language in LAUNCHER.languages.items()}
ALIASES = LAUNCHER.aliases
SUBLANG_DEFAULT = LAUNCHER.sublanguage

# Keys of a language file and the string ids they fill.
TEXTS = {text.key: "IDS_" + text.name for text in LAUNCHER.texts}
# Texts that English stands in for when a file lacks them: the title, and
# the installer's failure where the launcher never shows it.
INSTALLER_FAILED = "installer-failed"
OPTIONAL = {text.key: LAUNCHER.english_title() if text.english is None else text.english
            for text in LAUNCHER.texts if text.optional}
REQUIRED = tuple(key for key in TEXTS if key not in OPTIONAL)
BUTTONS = tuple(button.text for button in LAUNCHER.buttons.values())

# The launcher's buffers: a translated text holds 127 characters, the
# caption's words 46 (47 with the space before them).
TEXT_LIMIT = LAUNCHER.text_limit
CAPTION_LIMIT = LAUNCHER.caption_limit
PLACEHOLDERS = ("{product}", "{file}", "{version}")

# The buttons' font at 96 dots per inch: its face of Windows' MS Sans
# Serif, whose widths Wine's copy of the font (fonts-wine) gives.
BUTTON_FONT_FILE = "/usr/share/wine/fonts/sserife.fon"

# A .fon file is an NE module (behind an MZ header) whose resource table
# holds its faces as FONT resources in the FNT format, versions 2.0 and 3.0.
MZ_NE_HEADER = 0x3C                 # DWORD: where the NE header starts
NE_RESOURCE_TABLE = 0x24            # WORD, from the NE header: the resource table
# The resource table: a WORD alignment shift, then per resource type a
# TYPEINFO followed by a NAMEINFO per resource; a type of 0 ends it.
RESOURCE_SHIFT = 0                  # WORD: resource offsets are shifted left by it
RESOURCE_TYPES = 2                  # where the first TYPEINFO starts
TYPEINFO_TYPE = 0                   # WORD: the resource type, 0 at the end
TYPEINFO_COUNT = 2                  # WORD: how many NAMEINFOs follow
TYPEINFO_SIZE = 8
NAMEINFO_OFFSET = 0                 # WORD: the resource's offset in the file, shifted
NAMEINFO_SIZE = 12
RT_FONT = 0x8008
# The FNT header's fields, and where each version's character table
# starts and how long its entries are: a WORD width, then the glyph's
# offset, a WORD in version 2.0 and a DWORD in 3.0.
FNT_VERSION = 0                     # WORD: 0x200 or 0x300
FNT_POINTS = 68                     # WORD: the face's nominal point size
FNT_FIRST_CHAR = 95                 # BYTE
FNT_LAST_CHAR = 96                  # BYTE
FNT_VERSION_3 = 0x300
FNT_CHAR_TABLE_2 = (118, 4)
FNT_CHAR_TABLE_3 = (148, 6)


def setting_name(key, names):
    return SETTINGS[key][0 if names == "cmake" else 1]


def parse_codes(text, setting):
    """The codes of a list such as 'de,fr,es' (commas or semicolons, any
    case), in order; refuses unknown, repeated and non-1252 codes."""
    codes = []
    for item in text.replace(";", ",").split(","):
        code = item.strip().lower()
        if not code:
            raise Refusal("the list has an empty entry", repr(text), setting)
        if code == "en":
            raise Refusal("English is always carried; name only the other languages",
                          repr(text), setting)
        if code in ALIASES:
            raise Refusal(f"{code!r} is carried as {ALIASES[code]!r}: Bokmal and Nynorsk "
                          "share one text", repr(text), setting)
        if code not in LANGUAGES:
            raise Refusal(f"{code!r} is not an ISO 639-1 code of a language Windows has",
                          repr(text), setting)
        name, _, code_page = LANGUAGES[code]
        if code_page != TEXT_CODE_PAGE:
            raise Refusal(f"{name} ({code}) is written in code page {code_page}; the "
                          f"launcher's texts are Windows-1252 only", repr(text), setting)
        if code in codes:
            raise Refusal(f"{code!r} is named twice", repr(text), setting)
        codes.append(code)
    return codes


def read_language_file(path, setting):
    """{key: text} of a language file."""
    try:
        with open(path, "rb") as source:
            lines = source.read().decode("utf-8-sig").splitlines()
    except OSError as error:
        raise Refusal(f"the language file cannot be read ({error.strerror})", repr(path),
                      setting) from None
    except UnicodeDecodeError:
        raise Refusal("the language file is not UTF-8 text", repr(path), setting) from None
    texts = {}
    for number, line in enumerate(lines, 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        where = f"{path} line {number}"
        key, equals, text = (part.strip() for part in line.partition("="))
        if not equals:
            raise Refusal(f"{where}: a line is KEY = TEXT", repr(line), setting)
        if key not in TEXTS:
            raise Refusal(f"{where}: the keys are {', '.join(TEXTS)}", repr(key), setting)
        if key in texts:
            raise Refusal(f"{where}: the key is given twice", repr(key), setting)
        if not text:
            raise Refusal(f"{where}: the text is empty", repr(key), setting)
        texts[key] = text
    return texts


def parse_files(items, codes, setting):
    """{code: path} of the CODE=FILE items."""
    files = {}
    for item in items:
        code, equals, path = item.partition("=")
        code = code.strip().lower()
        if not equals or not path:
            raise Refusal("a language file is given as CODE=FILE", repr(item), setting)
        if code not in codes:
            raise Refusal(f"{code!r} is not among the languages carried", repr(item), setting)
        if code in files:
            raise Refusal(f"{code!r} has two language files", repr(item), setting)
        files[code] = path
    return files


def language_texts(code, path, names, later):
    """The texts of one language: the shipped ones, with the publisher's
    file over them."""
    texts, setting = {}, setting_name("languages", names)
    shipped = os.path.join(SHIPPED, code + ".txt")
    if os.path.exists(shipped):
        texts = read_language_file(shipped, setting)
    if path is not None:
        setting = setting_name("files", names)
        texts.update(read_language_file(path, setting))
    missing = [key for key in REQUIRED + ((INSTALLER_FAILED,) if later else ())
               if key not in texts]
    name = LANGUAGES[code][0]
    if not texts:
        raise Refusal(f"no texts for {name} ship with the launcher: give them in a "
                      f"language file ({setting_name('files', names)} {code}=FILE)", repr(code),
                      setting)
    if missing:
        why = ", which a launcher for systems after XP shows" if INSTALLER_FAILED in missing \
            else ""
        raise Refusal(f"the file for {name} ({code}) lacks {', '.join(missing)}{why}",
                      repr(path), setting)
    return texts, setting


def read_font_widths(path=BUTTON_FONT_FILE, points=BUTTON_FONT_POINTS):
    """Advance widths by Windows-1252 byte of one face of a Windows .fon
    file (an NE module whose FONT resources are FNT 2.0 or 3.0 faces), or
    None when it has no such face."""
    with open(path, "rb") as source:
        data = source.read()

    def word(offset):
        return struct.unpack_from("<H", data, offset)[0]

    module = struct.unpack_from("<I", data, MZ_NE_HEADER)[0]
    table = module + word(module + NE_RESOURCE_TABLE)
    shift = word(table + RESOURCE_SHIFT)
    place = table + RESOURCE_TYPES
    while True:
        kind, count = word(place + TYPEINFO_TYPE), word(place + TYPEINFO_COUNT)
        place += TYPEINFO_SIZE
        if kind == 0:
            return None
        for _ in range(count):
            face = word(place + NAMEINFO_OFFSET) << shift
            place += NAMEINFO_SIZE
            if kind != RT_FONT or word(face + FNT_POINTS) != points:
                continue
            first, last = data[face + FNT_FIRST_CHAR], data[face + FNT_LAST_CHAR]
            start, step = FNT_CHAR_TABLE_3 if word(face + FNT_VERSION) == FNT_VERSION_3 \
                else FNT_CHAR_TABLE_2
            return {c: word(face + start + (c - first) * step) for c in range(first, last + 1)}


def button_width(data, widths):
    return sum(widths.get(byte, 0) for byte in data)


def check_title(setting, template, product, version):
    """The title's format: the template with the product word put in and
    %s for the file name and the version."""
    for placeholder in PLACEHOLDERS:
        if template.count(placeholder) != 1:
            raise Refusal(f"the title holds {', '.join(PLACEHOLDERS)} once each",
                          repr(template), setting)
    if template.index("{file}") > template.index("{version}"):
        raise Refusal("the title names {file} before {version}", repr(template), setting)
    bare = template
    for placeholder in PLACEHOLDERS:
        bare = bare.replace(placeholder, "")
    if "%" in bare or "{" in bare or "}" in bare:
        raise Refusal("the title holds no % and no braces but its three placeholders",
                      repr(template), setting)
    title = LAUNCHER.title_lead + template.replace("{product}", product).replace(
        "{file}", "%s").replace("{version}", "%s")
    room = LAUNCHER.title_room(title, version)
    if room < LAUNCHER.dos_name:
        limit = LAUNCHER.title_size - 1
        raise Refusal(f"the title of a launcher with an 8.3 name takes "
                      f"{limit - room + LAUNCHER.dos_name} characters, of the {limit} the title "
                      "holds", repr(template), setting)
    return title


def check_texts(code, texts, setting, product, version, widths):
    """{key: text} as the string table takes it; refuses what the launcher
    could not show."""
    checked = {}
    for key in TEXTS:
        text = texts.get(key) or OPTIONAL.get(key)
        where = f"{setting} {code} {key}"
        if key == "title":
            text = check_title(where, text, product, version)
            windows_1252(where, text)
            checked[key] = text
            continue
        data = windows_1252(where, text)
        limit = CAPTION_LIMIT if key == "error-caption" else TEXT_LIMIT
        if len(data) > limit:
            raise Refusal(f"the text holds at most {limit} characters", repr(text), where)
        if key in BUTTONS:
            if "&" in text:
                raise Refusal("a button text holds no &, which would underline the "
                              "letter after it", repr(text), where)
            width = button_width(data, widths)
            if width > BUTTON_TEXT_ROOM:
                raise Refusal(f"the text is {width} pixels wide in {BUTTON_FONT_POINTS}-point "
                              f"{BUTTON_FONT_FACE}; the button holds {BUTTON_TEXT_ROOM}",
                              repr(text), where)
        checked[key] = " " + text if key == "error-caption" else text
    return checked


def rc_string(text):
    """A wide string literal of windres: quotes doubled, what is not plain
    ASCII and the backslash as four-digit \\x escapes."""
    return 'L"' + "".join('""' if c == '"' else c if " " <= c < "\x7f" and c != "\\"
                          else f"\\x{ord(c):04X}" for c in text) + '"'


def language_id(code):
    return SUBLANG_DEFAULT << 10 | LANGUAGES[code][1]


def languages_rc(carried):
    lines = ["/* The launcher's translations, written by make_brand.py: one string table",
             " * per language, in that language. */"]
    for code, texts in carried.items():
        lines += ["", f"/* {LANGUAGES[code][0]} */",
                  f"LANGUAGE 0x{LANGUAGES[code][1]:02X}, 0x{SUBLANG_DEFAULT:02X}",
                  "STRINGTABLE", "BEGIN"]
        lines += [f"    {TEXTS[key]}, {rc_string(texts[key])}" for key in TEXTS]
        lines.append("END")
    return ("\n".join(lines) + "\n").encode("ascii")


def languages_h(carried):
    entries = ", ".join(f"{{ 0x{LANGUAGES[code][1]:02X}, 0x{language_id(code):04X} }}"
                        for code in carried)
    lines = ["/* The languages the launcher carries besides English, written by",
             " * make_brand.py: each one's primary language and the language of its",
             " * string table (their texts are of the contract's TEXT_CODE_PAGE). */",
             "#ifndef LAUNCHER_LANGUAGES_H",
             "#define LAUNCHER_LANGUAGES_H",
             "",
             f"#define TARNELL_LANGUAGE_COUNT {len(carried)}",
             f"#define TARNELL_LANGUAGE_TABLE {{ {entries} }}",
             "",
             "#endif",
             ""]
    return "\n".join(lines).encode("ascii")


def buttons_txt(carried):
    return "".join(f"{code}\t{texts['start-install']}\t{texts['dont-install']}\n"
                   for code, texts in carried.items()).encode("utf-8")


def check_languages(codes_text, file_items, names, product, version, later=False):
    """Checks the languages and their texts; returns the files to write,
    by name, none when no language is named. later: the launcher accepts
    a system after XP, and shows the installer's failure there."""
    if not codes_text.strip() and not file_items:
        return {}
    codes = parse_codes(codes_text, setting_name("languages", names)) \
        if codes_text.strip() else []
    files = parse_files(file_items, codes, setting_name("files", names))
    try:
        widths = read_font_widths()
    except (OSError, struct.error, IndexError):
        widths = None
    if widths is None:
        raise Refusal("the buttons' font, whose widths the button texts are checked with, "
                      "cannot be read (install fonts-wine)", repr(BUTTON_FONT_FILE),
                      setting_name("languages", names))
    carried = {}
    for code in codes:
        texts, setting = language_texts(code, files.get(code), names, later)
        carried[code] = check_texts(code, texts, setting, product, version, widths)
    return {"languages.rc": languages_rc(carried), "languages.h": languages_h(carried),
            "buttons.txt": buttons_txt(carried)}
