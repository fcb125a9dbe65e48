"""The launcher's texts as a session shows them. A launcher that carries
translations has a string table per language; at start-up it takes the
table of the user's language when the system's ANSI code page is the one
its texts are written in (Windows-1252), and its English texts otherwise.
The trial reads the tables from the launcher on the disc, and the user's
language and code page from the session (the driver records them), and
makes the same choice, so that its verdicts expect the words the launcher
really shows, in any language the machine runs in."""
import subprocess
from dataclasses import dataclass

import pefile

from launcher.contract import LAUNCHER

# The launcher's texts are of one code page; the languages by their codes.
TEXT_CODE_PAGE = LAUNCHER.code_page
LANGUAGES = LAUNCHER.languages
# The string ids of the refusals, in the first block of sixteen.
UNSUPPORTED = LAUNCHER.text("unsupported-os")
SECOND_INSTANCE = LAUNCHER.text("second-instance")
STRINGS_PER_BLOCK = 16
TEXT_BLOCK = 1
RT_STRING = pefile.RESOURCE_TYPE["RT_STRING"]


@dataclass(frozen=True)
class LauncherTexts:
    language: str           # the language's name, as the report shows it
    unsupported: str        # the refusal on a system it does not accept
    second_instance: str    # the refusal of a second copy


ENGLISH = LauncherTexts("English", UNSUPPORTED.english, SECOND_INSTANCE.english)


def primary_language(language_id):
    return language_id & 0x3FF


def language_name(primary):
    for language in LANGUAGES.values():
        if language.primary == primary:
            return language.name
    return f"language 0x{primary:02X}"


def language_code(primary):
    """The ISO 639-1 code of a primary language, or None."""
    return next((code for code, language in LANGUAGES.items() if language.primary == primary),
                None)


def code_name(code):
    """The name of the language of an ISO 639-1 code (English too), or None."""
    if code == "en":
        return "English"
    return LANGUAGES[code].name if code in LANGUAGES else None


# The locale a language's user has where its code and its country's differ
# (or the language has several countries); the others are xx_XX.
LOCALES = {"en": "en_US", "da": "da_DK", "sv": "sv_SE", "no": "nb_NO", "pt": "pt_BR",
           "ja": "ja_JP", "zh": "zh_CN", "ko": "ko_KR", "el": "el_GR", "cs": "cs_CZ",
           "et": "et_EE", "he": "he_IL", "uk": "uk_UA", "vi": "vi_VN", "sq": "sq_AL",
           "sl": "sl_SI", "sr": "sr_RS", "fa": "fa_IR", "ar": "ar_EG", "ca": "ca_ES",
           "eu": "eu_ES", "gl": "gl_ES", "ms": "ms_MY", "sw": "sw_KE", "af": "af_ZA",
           "be": "be_BY", "fo": "fo_FO", "id": "id_ID", "is": "is_IS", "hr": "hr_HR",
           "hu": "hu_HU", "lt": "lt_LT", "lv": "lv_LV", "mk": "mk_MK", "pl": "pl_PL",
           "ro": "ro_RO", "ru": "ru_RU", "sk": "sk_SK", "th": "th_TH", "tr": "tr_TR",
           "bg": "bg_BG"}


def locale_for(code):
    """The UTF-8 locale a session of the language runs in (LC_ALL), or None
    when this machine has none."""
    name = LOCALES.get(code, f"{code}_{code.upper()}") + ".UTF-8"
    try:
        have = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    except OSError:
        return None
    wanted = name.lower().replace("-", "")
    return name if any(known.lower().replace("-", "") == wanted for known in have) else None


def program_resources(program_bytes):
    """The program with its resources parsed (pefile), or None when it is
    no program pefile reads."""
    try:
        program = pefile.PE(data=program_bytes, fast_load=True)
        program.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError:
        return None
    return program


def read_tables(program_bytes):
    """{primary language: {string id: text}} of the launcher's first
    string block, one entry per table; empty for a launcher without
    translations (or no program pefile reads)."""
    program = program_resources(program_bytes)
    if program is None:
        return {}
    tables = {}
    resources = getattr(program, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else ():
        if kind.id != RT_STRING:
            continue
        for block in kind.directory.entries:
            if block.id != TEXT_BLOCK:
                continue
            for table in block.directory.entries:
                data = program.get_data(table.data.struct.OffsetToData, table.data.struct.Size)
                tables[primary_language(table.id)] = block_texts(data)
    return tables


def block_texts(data):
    """{string id: text} of a string block: sixteen counted UTF-16 texts."""
    texts, at = {}, 0
    for slot in range(STRINGS_PER_BLOCK):
        if at + 2 > len(data):
            break
        length = int.from_bytes(data[at:at + 2], "little")
        text = data[at + 2:at + 2 + 2 * length].decode("utf-16-le", errors="replace")
        at += 2 + 2 * length
        if length:
            texts[(TEXT_BLOCK - 1) * STRINGS_PER_BLOCK + slot] = text
    return texts


def texts_seen(tables, facts):
    """The texts the launcher shows in the session the facts tell of."""
    try:
        primary = primary_language(int(facts.get("user_language", "0"), 16))
        code_page = int(facts.get("code_page", "0"))
    except ValueError:
        return ENGLISH
    table = tables.get(primary)
    if code_page != TEXT_CODE_PAGE or not table:
        return ENGLISH
    return LauncherTexts(language_name(primary), table.get(UNSUPPORTED.id, ""),
                         table.get(SECOND_INSTANCE.id, ""))
