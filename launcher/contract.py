#!/usr/bin/python3
"""The launcher's contract, read from contract.toml beside this file: its
texts and string ids, the limits of its texts, its title and the room the
title leaves, its window, panel and buttons (with their control ids), the
languages it can carry and the systems it knows. The host tools, the
drivers and the tests read the launcher's facts here and nowhere else;
the launcher's compiler reads them from contract.h, which this writes:

    contract.py header OUTPUT.h

    from launcher.contract import LAUNCHER   # the project's root on sys.path
    LAUNCHER.text("start-install").english, LAUNCHER.system("xp").wine

A contract that lacks a fact, or gives one of the wrong kind, is refused
when it is read, with the fact's name."""
import os
import sys
import tomllib
from dataclasses import dataclass

HERE = os.path.dirname(os.path.abspath(__file__))
CONTRACT = os.path.join(HERE, "contract.toml")
# A title's format names the file and the version with these.
FIELD = "%s"
TITLE_FIELDS = 2


class ContractError(Exception):
    """The contract lacks a fact or gives one of the wrong kind."""


@dataclass(frozen=True)
class Text:
    key: str                # a language file's key
    id: int                 # the string id
    name: str               # IDS_<name>, TEXT_<name> in C
    english: str | None     # None for the title, which the build makes
    optional: bool          # English stands in where a language file lacks it


@dataclass(frozen=True)
class Button:
    id: int                 # the control id
    offset: int             # its left edge from the client area's right edge
    text: str               # the key of the text it shows


@dataclass(frozen=True)
class Language:
    code: str               # ISO 639-1
    name: str
    primary: int            # Windows' primary language id
    code_page: int          # its ANSI code page


@dataclass(frozen=True)
class System:
    name: str               # as a brand lists it
    bit: int
    shown: str              # as a report shows it
    wine: str | None        # Wine's name of the version, None where Wine has none
    wine_setting: str | None  # the setting that makes Wine report it, where not wine
    joliet: bool            # whether it reads a disc's Joliet names
    original: bool          # whether a launcher without a list accepts it
    os_types: dict          # GetOsType's codes, by their names in util/osinfo.h
    nt: tuple | None        # (major, minor) of a later system
    server: bool
    first_build: int        # the first build of a later system that shares its twin's version

    @property
    def macro(self):
        """SYSTEM_<NAME> in C: upper case, without dots."""
        return "SYSTEM_" + self.name.upper().replace(".", "")

    @property
    def setting(self):
        """Wine's setting under which the version reports this system."""
        return self.wine_setting or self.wine


def _fact(table, key, kind, where):
    """A fact of a table, of the kind asked; ContractError when it is
    missing or of another kind."""
    if key not in table:
        raise ContractError(f"{where}.{key} is missing")
    value = table[key]
    if not isinstance(value, kind) or (kind is int and isinstance(value, bool)):
        raise ContractError(f"{where}.{key} is no {kind.__name__}: {value!r}")
    return value


class Contract:
    """The contract's facts, read and checked."""

    def __init__(self, data):
        self.installer = _fact(data, "installer", str, "contract")
        self.window_class = _fact(data, "window_class", str, "contract")
        self.splash_resource = _fact(data, "splash_resource", str, "contract")
        window = _fact(data, "window", dict, "contract")
        self.width = _fact(window, "width", int, "window")
        self.height = _fact(window, "height", int, "window")
        panel = _fact(data, "panel", dict, "contract")
        self.panel = {key: _fact(panel, key, int, "panel")
                      for key in ("frame_left", "frame_inset", "splash_left", "splash_top")}
        buttons = _fact(data, "buttons", dict, "contract")
        self.button_top = _fact(buttons, "top", int, "buttons")
        self.button_width = _fact(buttons, "width", int, "buttons")
        self.button_height = _fact(buttons, "height", int, "buttons")
        self.button_font_face = _fact(buttons, "font_face", str, "buttons")
        self.button_font_points = _fact(buttons, "font_points", int, "buttons")
        self.buttons = {name: Button(_fact(button, "id", int, f"buttons.{name}"),
                                     _fact(button, "offset", int, f"buttons.{name}"),
                                     _fact(button, "text", str, f"buttons.{name}"))
                        for name in ("start", "dont")
                        for button in [_fact(buttons, name, dict, "buttons")]}
        title = _fact(data, "title", dict, "contract")
        self.title_lead = _fact(title, "lead", str, "title")
        self.title_words = _fact(title, "words", str, "title")
        self.title_size = _fact(title, "size", int, "title")
        self.dos_name = _fact(title, "dos_name", int, "title")
        if self.title_words.count(FIELD) != TITLE_FIELDS or "%" in self.title_words.replace(
                FIELD, ""):
            raise ContractError(f"title.words names the file and the version with {FIELD}, and "
                                f"holds no other %: {self.title_words!r}")
        limits = _fact(data, "limits", dict, "contract")
        self.text_limit = _fact(limits, "text", int, "limits")
        self.caption_limit = _fact(limits, "caption_words", int, "limits")
        self.texts = tuple(self._texts(_fact(data, "texts", list, "contract")))
        for button in self.buttons.values():
            self.text(button.text)
        languages = _fact(data, "languages", dict, "contract")
        self.code_page = _fact(languages, "code_page", int, "languages")
        self.sublanguage = _fact(languages, "sublanguage", int, "languages")
        self.aliases = dict(_fact(languages, "aliases", dict, "languages"))
        self.languages = {code: Language(code, _fact(entry, "name", str, f"languages.{code}"),
                                         _fact(entry, "primary", int, f"languages.{code}"),
                                         _fact(entry, "code_page", int, f"languages.{code}"))
                          for code, entry in _fact(languages, "known", dict,
                                                   "languages").items()}
        self.systems = tuple(self._systems(_fact(data, "systems", list, "contract")))

    def _texts(self, entries):
        seen = set()
        for number, entry in enumerate(entries):
            where = f"texts[{number}]"
            text = Text(_fact(entry, "key", str, where), _fact(entry, "id", int, where),
                        _fact(entry, "name", str, where),
                        entry.get("english") if entry.get("name") == "TITLE_FORMAT"
                        else _fact(entry, "english", str, where),
                        bool(entry.get("optional", False)))
            if {text.key, text.id, text.name} & seen:
                raise ContractError(f"{where} repeats a key, an id or a name of another text")
            seen |= {text.key, text.id, text.name}
            yield text

    def _systems(self, entries):
        names, bits = set(), 0
        for number, entry in enumerate(entries):
            where = f"systems[{number}]"
            nt = entry.get("nt")
            system = System(_fact(entry, "name", str, where), _fact(entry, "bit", int, where),
                            _fact(entry, "shown", str, where), entry.get("wine"),
                            entry.get("wine_setting"), bool(entry.get("joliet", True)),
                            bool(entry.get("original", False)), dict(entry.get("os_types", {})),
                            tuple(nt) if nt else None, bool(entry.get("server", False)),
                            int(entry.get("first_build", 0)))
            if system.name in names or system.bit & bits or bin(system.bit).count("1") != 1:
                raise ContractError(f"{where}: a system has a name and a bit of its own")
            if not system.os_types and (system.nt is None or len(system.nt) != 2):
                raise ContractError(f"{where}: a system is known by its OS codes or its NT "
                                    "version (major, minor)")
            names.add(system.name)
            bits |= system.bit
            yield system

    # --- Texts ---------------------------------------------------------------

    def text(self, key):
        for text in self.texts:
            if text.key == key:
                return text
        raise ContractError(f"no text {key!r}")

    def title_format(self, product):
        """The English title's format for a product word: the file name
        and the version still to fill in."""
        return self.title_lead + product + self.title_words

    def english_title(self):
        """The English title as a language file writes a title: without the
        lead, the product, the file and the version named."""
        return "{product}" + self.title_words.replace(FIELD, "{file}", 1).replace(
            FIELD, "{version}", 1)

    def title_room(self, format_text, version):
        """The characters a title of this format (the product word in it,
        its two fields still to fill) leaves the launcher's file name once
        the version is in it. The launcher's C form is TITLE_ROOM."""
        fixed = len(format_text) - TITLE_FIELDS * len(FIELD)
        return self.title_size - 1 - (fixed + len(version))

    # --- Systems -------------------------------------------------------------

    def system(self, name):
        for system in self.systems:
            if system.name == name:
                return system
        raise ContractError(f"no system {name!r}")

    @property
    def original_mask(self):
        mask = 0
        for system in self.systems:
            mask |= system.bit if system.original else 0
        return mask

    def by_bit(self):
        """The systems in the order of their bits, as a launcher's list of
        them is written."""
        return sorted(self.systems, key=lambda system: system.bit)

    def wine_versions(self):
        """The systems Wine offers, in the order of their release."""
        return [system for system in self.systems if system.wine]


def load(path=CONTRACT):
    try:
        with open(path, "rb") as source:
            data = tomllib.load(source)
    except tomllib.TOMLDecodeError as error:
        raise ContractError(f"{path} is no TOML: {error}") from None
    return Contract(data)


_loaded = None


def __getattr__(name):
    """LAUNCHER: the contract beside this file, read once, when first
    asked for."""
    global _loaded
    if name != "LAUNCHER":
        raise AttributeError(name)
    if _loaded is None:
        _loaded = load()
    return _loaded


# --- contract.h ---------------------------------------------------------------

def c_string(text):
    """A C string literal of plain ASCII text."""
    if any(not " " <= c < "\x7f" for c in text):
        raise ContractError(f"a text of the C header is plain ASCII: {text!r}")
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def header(contract=None):
    """The text of contract.h."""
    contract = contract or load()
    lines = ["/* The launcher's contract, written by launcher/contract.py from",
             " * launcher/contract.toml, where each fact is said and explained. */",
             "#ifndef LAUNCHER_CONTRACT_H", "#define LAUNCHER_CONTRACT_H", ""]

    def define(name, value):
        lines.append(f"#define {name:<23} {value}")

    define("INSTALLER_NAME", c_string(contract.installer))
    define("LAUNCHER_CLASS_NAME", c_string(contract.window_class))
    define("SPLASH_BITMAP_NAME", c_string(contract.splash_resource))
    define("LAUNCHER_WIDTH", contract.width)
    define("LAUNCHER_HEIGHT", contract.height)
    for key, value in contract.panel.items():
        define(key.upper(), value)
    define("BUTTON_TOP", contract.button_top)
    define("BUTTON_WIDTH", contract.button_width)
    define("BUTTON_HEIGHT", contract.button_height)
    define("BUTTON_FONT_FACE", c_string(contract.button_font_face))
    define("BUTTON_FONT_POINTS", contract.button_font_points)
    for name, button in contract.buttons.items():
        define("ID_" + contract.text(button.text).name, button.id)
        define(name.upper() + "_BUTTON_OFFSET", button.offset)
    define("TITLE_LEAD", c_string(contract.title_lead))
    define("TITLE_WORDS", c_string(contract.title_words))
    define("TITLE_FIELD_CHARS", TITLE_FIELDS * len(FIELD))
    define("TITLE_SIZE", contract.title_size)
    define("DOS_NAME_CHARS", contract.dos_name)
    lines += ["/* The characters a title leaves the file name: the title's format less",
              " * its fields, and the version, in a buffer of TITLE_SIZE. */"]
    define("TITLE_ROOM(formatChars, versionChars)",
           "(TITLE_SIZE - 1 - ((formatChars) - TITLE_FIELD_CHARS + (versionChars)))")
    define("LAUNCHER_TEXT_SIZE", contract.text_limit + 1)
    define("CAPTION_WORDS_CHARS", contract.caption_limit)
    lines.append("")
    for text in contract.texts:
        define("IDS_" + text.name, text.id)
    define("IDS_LAST_TEXT", "IDS_" + max(contract.texts, key=lambda t: t.id).name)
    for text in contract.texts:
        if text.name == "ERROR_CAPTION":
            define("ERROR_CAPTION_SUFFIX", c_string(text.english))
            define("TEXT_ERROR_CAPTION", "ERROR_CAPTION_SUFFIX")
        elif text.english is not None:
            define("TEXT_" + text.name, c_string(text.english))
    define("TEXT_CODE_PAGE", contract.code_page)
    lines.append("")
    for system in contract.by_bit():
        define(system.macro, system.bit)
        define(system.macro + "_NAME", c_string(system.name))
    define("SYSTEMS_ORIGINAL", contract.original_mask)
    known = [f"{{ {os_type}, {system.macro} }}" for system in contract.systems
             for os_type in system.os_types]
    define("CONTRACT_KNOWN_SYSTEMS", "{ " + ", ".join(known) + " }")
    later = [f"{{ {system.nt[0]}, {system.nt[1]}, {'TRUE' if system.server else 'FALSE'}, "
             f"{system.first_build}, {system.macro} }}" for system in contract.systems
             if system.nt]
    define("CONTRACT_LATER_SYSTEMS", "{ " + ", ".join(later) + " }")
    checks = [f"static_assert({os_type} == {code}, \"{os_type}\");" for system in contract.systems
              for os_type, code in system.os_types.items()]
    define("CONTRACT_OS_TYPE_CHECKS", " ".join(checks))
    lines += ["", "#endif", ""]
    return "\n".join(str(line) for line in lines)


def write_header(path):
    """Writes contract.h, leaving it untouched when it says the same (so
    that nothing is rebuilt for nothing)."""
    text = header().encode("ascii")
    try:
        with open(path, "rb") as old:
            if old.read() == text:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    partial = path + ".partial"
    with open(partial, "wb") as out:
        out.write(text)
    os.replace(partial, path)


def main():
    if len(sys.argv) != 3 or sys.argv[1] != "header":
        print("usage: contract.py header OUTPUT.h", file=sys.stderr)
        return 2
    write_header(sys.argv[2])
    return 0


if __name__ == "__main__":
    sys.path.insert(0, os.path.dirname(HERE))
    import hostlib  # noqa: E402
    hostlib.run(main, "contract", worded=(ContractError,))
