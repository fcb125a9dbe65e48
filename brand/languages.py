"""The languages a launcher carries besides English: their codes, their
texts (the ones in languages/, or a publisher's own files), the checks
on them, and what the build takes from them: languages.rc (a string table
per language, in that language), languages.h (which table serves which
user language) and buttons.txt (the button texts, for the previews).

A language file is UTF-8 text, one KEY = TEXT a line; blank lines and
lines starting with # are skipped. A publisher's file for a language that
ships with the launcher gives only the texts it changes.

make_brand.py calls check_languages(); the refusal class and the text
check it passes in are its own, so that every refusal reads alike.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SHIPPED = os.path.join(HERE, "languages")

SETTINGS = {"languages": ("TARNELL_LANGUAGES", "--languages"),
            "files": ("TARNELL_LANGUAGE_FILES", "--language-file")}

# ISO 639-1 code: name, Windows primary language id, ANSI code page. The
# launcher's texts are Windows-1252; the others are named to be refused.
LANGUAGES = {
    "af": ("Afrikaans", 0x36, 1252), "ca": ("Catalan", 0x03, 1252),
    "da": ("Danish", 0x06, 1252), "de": ("German", 0x07, 1252),
    "es": ("Spanish", 0x0A, 1252), "eu": ("Basque", 0x2D, 1252),
    "fi": ("Finnish", 0x0B, 1252), "fo": ("Faroese", 0x38, 1252),
    "fr": ("French", 0x0C, 1252), "gl": ("Galician", 0x56, 1252),
    "id": ("Indonesian", 0x21, 1252), "is": ("Icelandic", 0x0F, 1252),
    "it": ("Italian", 0x10, 1252), "ms": ("Malay", 0x3E, 1252),
    "nl": ("Dutch", 0x13, 1252), "no": ("Norwegian", 0x14, 1252),
    "pt": ("Portuguese", 0x16, 1252), "sv": ("Swedish", 0x1D, 1252),
    "sw": ("Swahili", 0x41, 1252),
    "ar": ("Arabic", 0x01, 1256), "be": ("Belarusian", 0x23, 1251),
    "bg": ("Bulgarian", 0x02, 1251), "cs": ("Czech", 0x05, 1250),
    "el": ("Greek", 0x08, 1253), "et": ("Estonian", 0x25, 1257),
    "fa": ("Persian", 0x29, 1256), "he": ("Hebrew", 0x0D, 1255),
    "hr": ("Croatian", 0x1A, 1250), "hu": ("Hungarian", 0x0E, 1250),
    "ja": ("Japanese", 0x11, 932), "ko": ("Korean", 0x12, 949),
    "lt": ("Lithuanian", 0x27, 1257), "lv": ("Latvian", 0x26, 1257),
    "mk": ("Macedonian", 0x2F, 1251), "pl": ("Polish", 0x15, 1250),
    "ro": ("Romanian", 0x18, 1250), "ru": ("Russian", 0x19, 1251),
    "sk": ("Slovak", 0x1B, 1250), "sl": ("Slovenian", 0x24, 1250),
    "sq": ("Albanian", 0x1C, 1250), "sr": ("Serbian", 0x1A, 1251),
    "th": ("Thai", 0x1E, 874), "tr": ("Turkish", 0x1F, 1254),
    "uk": ("Ukrainian", 0x22, 1251), "vi": ("Vietnamese", 0x2A, 1258),
    "zh": ("Chinese", 0x04, 936),
}
TEXT_CODE_PAGE = 1252
# Bokmal and Nynorsk share the primary language Norwegian, and one text.
ALIASES = {"nb": "no", "nn": "no"}
SUBLANG_DEFAULT = 0x01

# Keys of a language file and the string ids they fill (resource.h).
TEXTS = {"start-install": "IDS_START_INSTALL", "dont-install": "IDS_DONT_INSTALL",
         "unsupported-os": "IDS_UNSUPPORTED_OS", "second-instance": "IDS_SECOND_INSTANCE",
         "error-caption": "IDS_ERROR_CAPTION", "title": "IDS_TITLE_FORMAT"}
REQUIRED = tuple(key for key in TEXTS if key != "title")
BUTTONS = ("start-install", "dont-install")

# The launcher's buffers (texts.h): a translated text holds 127
# characters, the caption's words 46 (47 with the space before them).
TEXT_LIMIT = 127
CAPTION_LIMIT = 46
# The title buffer holds 79 characters; a launcher with the longest 8.3
# name (12) and the space before the title leave the rest to the words.
TITLE_LIMIT = 79
LONGEST_DOS_NAME = 12
PLACEHOLDERS = ("{product}", "{file}", "{version}")
ENGLISH_TITLE = "{product} CD-ROM Autorun Program ({file} v{version})"

# The buttons' font at 96 dots per inch: the 8-point face of Windows' MS
# Sans Serif, whose widths Wine's copy of the font (fonts-wine) gives. A
# 100-pixel button loses 2 pixels of 3-D edge and 2 of focus rectangle
# and gap on each side.
BUTTON_FONT_FILE = "/usr/share/wine/fonts/sserife.fon"
BUTTON_FONT_POINTS = 8
BUTTON_TEXT_ROOM = 100 - 2 * 4
RT_FONT = 0x8008


def setting_name(key, names):
    return SETTINGS[key][0 if names == "cmake" else 1]


def parse_codes(text, setting, refusal):
    """The codes of a list such as 'de,fr,es' (commas or semicolons, any
    case), in order; refuses unknown, repeated and non-1252 codes."""
    codes = []
    for item in text.replace(";", ",").split(","):
        code = item.strip().lower()
        if not code:
            raise refusal(setting, "the list has an empty entry", text)
        if code == "en":
            raise refusal(setting, "English is always carried; name only the other languages",
                          text)
        if code in ALIASES:
            raise refusal(setting, f"{code!r} is carried as {ALIASES[code]!r}: Bokmal and Nynorsk "
                          "share one text", text)
        if code not in LANGUAGES:
            raise refusal(setting, f"{code!r} is not an ISO 639-1 code of a language Windows has",
                          text)
        name, _, code_page = LANGUAGES[code]
        if code_page != TEXT_CODE_PAGE:
            raise refusal(setting, f"{name} ({code}) is written in code page {code_page}; the "
                          f"launcher's texts are Windows-1252 only", text)
        if code in codes:
            raise refusal(setting, f"{code!r} is named twice", text)
        codes.append(code)
    return codes


def read_language_file(path, setting, refusal):
    """{key: text} of a language file."""
    try:
        with open(path, "rb") as source:
            lines = source.read().decode("utf-8-sig").splitlines()
    except OSError as error:
        raise refusal(setting, f"the language file cannot be read ({error.strerror})",
                      path) from None
    except UnicodeDecodeError:
        raise refusal(setting, "the language file is not UTF-8 text", path) from None
    texts = {}
    for number, line in enumerate(lines, 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        where = f"{path} line {number}"
        key, equals, text = (part.strip() for part in line.partition("="))
        if not equals:
            raise refusal(setting, f"{where}: a line is KEY = TEXT", line)
        if key not in TEXTS:
            raise refusal(setting, f"{where}: the keys are {', '.join(TEXTS)}", key)
        if key in texts:
            raise refusal(setting, f"{where}: the key is given twice", key)
        if not text:
            raise refusal(setting, f"{where}: the text is empty", key)
        texts[key] = text
    return texts


def parse_files(items, codes, setting, refusal):
    """{code: path} of the CODE=FILE items."""
    files = {}
    for item in items:
        code, equals, path = item.partition("=")
        code = code.strip().lower()
        if not equals or not path:
            raise refusal(setting, "a language file is given as CODE=FILE", item)
        if code not in codes:
            raise refusal(setting, f"{code!r} is not among the languages carried", item)
        if code in files:
            raise refusal(setting, f"{code!r} has two language files", item)
        files[code] = path
    return files


def language_texts(code, path, names, refusal):
    """The texts of one language: the shipped ones, with the publisher's
    file over them."""
    texts, setting = {}, setting_name("languages", names)
    shipped = os.path.join(SHIPPED, code + ".txt")
    if os.path.exists(shipped):
        texts = read_language_file(shipped, setting, refusal)
    if path is not None:
        setting = setting_name("files", names)
        texts.update(read_language_file(path, setting, refusal))
    missing = [key for key in REQUIRED if key not in texts]
    name = LANGUAGES[code][0]
    if not texts:
        raise refusal(setting, f"no texts for {name} ship with the launcher: give them in a "
                      f"language file ({setting_name('files', names)} {code}=FILE)", code)
    if missing:
        raise refusal(setting, f"the file for {name} ({code}) lacks {', '.join(missing)}", path)
    return texts, setting


def read_font_widths(path=BUTTON_FONT_FILE, points=BUTTON_FONT_POINTS):
    """Advance widths by Windows-1252 byte of one face of a Windows .fon
    file (an NE module whose FONT resources are FNT 2.0 or 3.0 faces), or
    None when it has no such face."""
    with open(path, "rb") as source:
        data = source.read()
    module = struct.unpack_from("<I", data, 0x3C)[0]
    table = module + struct.unpack_from("<H", data, module + 0x24)[0]
    shift = struct.unpack_from("<H", data, table)[0]
    place = table + 2
    while True:
        kind, count = struct.unpack_from("<HH", data, place)
        place += 8
        if kind == 0:
            return None
        for _ in range(count):
            offset = struct.unpack_from("<H", data, place)[0] << shift
            place += 12
            if kind != RT_FONT:
                continue
            version, = struct.unpack_from("<H", data, offset)
            face_points, = struct.unpack_from("<H", data, offset + 68)
            first, last = data[offset + 95], data[offset + 96]
            entries, step = (offset + 148, 6) if version == 0x300 else (offset + 118, 4)
            if face_points == points:
                return {c: struct.unpack_from("<H", data, entries + (c - first) * step)[0]
                        for c in range(first, last + 1)}


def button_width(data, widths):
    return sum(widths.get(byte, 0) for byte in data)


def check_title(setting, template, product, version, refusal):
    """The title's format: the template with the product word put in and
    %s for the file name and the version."""
    for placeholder in PLACEHOLDERS:
        if template.count(placeholder) != 1:
            raise refusal(setting, f"the title holds {', '.join(PLACEHOLDERS)} once each",
                          template)
    if template.index("{file}") > template.index("{version}"):
        raise refusal(setting, "the title names {file} before {version}", template)
    bare = template
    for placeholder in PLACEHOLDERS:
        bare = bare.replace(placeholder, "")
    if "%" in bare or "{" in bare or "}" in bare:
        raise refusal(setting, "the title holds no % and no braces but its three placeholders",
                      template)
    length = 1 + len(bare) + len(product) + len(version) + LONGEST_DOS_NAME
    if length > TITLE_LIMIT:
        raise refusal(setting, f"the title of a launcher with an 8.3 name takes {length} "
                      f"characters, of the {TITLE_LIMIT} the title holds", template)
    return " " + template.replace("{product}", product).replace("{file}", "%s").replace(
        "{version}", "%s")


def check_texts(code, texts, setting, product, version, widths, encode, refusal):
    """{key: text} as the string table takes it; refuses what the launcher
    could not show."""
    checked = {}
    for key in TEXTS:
        text = texts.get(key)
        where = f"{setting} {code} {key}"
        if key == "title":
            text = check_title(where, text or ENGLISH_TITLE, product, version, refusal)
            encode(where, text)
            checked[key] = text
            continue
        data = encode(where, text)
        limit = CAPTION_LIMIT if key == "error-caption" else TEXT_LIMIT
        if len(data) > limit:
            raise refusal(where, f"the text holds at most {limit} characters", text)
        if key in BUTTONS:
            if "&" in text:
                raise refusal(where, "a button text holds no &, which would underline the "
                              "letter after it", text)
            width = button_width(data, widths)
            if width > BUTTON_TEXT_ROOM:
                raise refusal(where, f"the text is {width} pixels wide in {BUTTON_FONT_POINTS}-"
                              f"point MS Sans Serif; the button holds {BUTTON_TEXT_ROOM}", text)
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
             " * string table. */",
             "#ifndef LAUNCHER_LANGUAGES_H",
             "#define LAUNCHER_LANGUAGES_H",
             "",
             f"#define TARNELL_LANGUAGE_COUNT {len(carried)}",
             f"#define TARNELL_LANGUAGE_TABLE {{ {entries} }}",
             f"#define TARNELL_TEXT_CODE_PAGE {TEXT_CODE_PAGE}",
             "",
             "#endif",
             ""]
    return "\n".join(lines).encode("ascii")


def buttons_txt(carried):
    return "".join(f"{code}\t{texts['start-install']}\t{texts['dont-install']}\n"
                   for code, texts in carried.items()).encode("utf-8")


def check_languages(codes_text, file_items, names, product, version, encode, refusal):
    """Checks the languages and their texts; returns the files to write,
    by name, none when no language is named."""
    if not codes_text.strip() and not file_items:
        return {}
    codes = parse_codes(codes_text, setting_name("languages", names), refusal) \
        if codes_text.strip() else []
    files = parse_files(file_items, codes, setting_name("files", names), refusal)
    try:
        widths = read_font_widths()
    except (OSError, struct.error, IndexError):
        widths = None
    if widths is None:
        raise refusal(setting_name("languages", names), "the buttons' font, whose widths the "
                      "button texts are checked with, cannot be read (install fonts-wine)",
                      BUTTON_FONT_FILE)
    carried = {}
    for code in codes:
        texts, setting = language_texts(code, files.get(code), names, refusal)
        carried[code] = check_texts(code, texts, setting, product, version, widths, encode,
                                    refusal)
    return {"languages.rc": languages_rc(carried), "languages.h": languages_h(carried),
            "buttons.txt": buttons_txt(carried)}
