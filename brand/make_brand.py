#!/usr/bin/python3
"""Checks the launcher's brand texts and writes what the build takes from
them: brand.h (the product word, the version text and numbers, the company
and copyright lines, as C and resource-script strings in Windows-1252).

    make_brand.py [--product WORD] [--version A.B.C] [--company TEXT]
                  [--copyright TEXT] [--languages LIST] [--language-file CODE=FILE]...
                  [--systems LIST] [--names cmake|options] [--output DIR]

A text not given is the KELMORA brand's (kelmora/brand.txt); a launcher of
another product never carries Kelmora's company and copyright lines, and
an empty company or copyright line is left out of the version block.
Without --output it only checks. A refusal names the setting and the rule
and writes nothing. --names chooses how settings are named in messages:
as the CMake cache variables (TARNELL_PRODUCT) or as the disc command's
options (--product). The languages the launcher carries besides English,
and their texts, are checked and written by languages.py; the systems it
accepts, when --systems is given, by systems.py (accepted.h).
"""
import argparse
import os
import re
import sys

# The project's root, where hostlib and the brand package are found.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import hostlib  # noqa: E402
from hostlib import Refusal  # noqa: E402
from brand import languages, systems  # noqa: E402
from hostlib.files import write_files  # noqa: E402
from brand.codepage import windows_1252  # noqa: E402
from brand.layout import TITLE_SIZE, WORD_AND_VERSION_LIMIT  # noqa: E402
from launcher.contract import LAUNCHER  # noqa: E402

VERSION_PATTERN = re.compile(r"^([0-9]+)\.([0-9]+)\.([0-9]+)$")
VERSION_PART_LIMIT = 0xFFFF

KELMORA_BRAND = os.path.join(os.path.dirname(os.path.abspath(__file__)), "kelmora", "brand.txt")
SETTINGS = {"product": ("TARNELL_PRODUCT", "--product"),
            "version": ("TARNELL_VERSION", "--version"),
            "company": ("TARNELL_COMPANY", "--company"),
            "copyright": ("TARNELL_COPYRIGHT", "--copyright")}


def check_product(setting, word):
    data = windows_1252(setting, word)
    if not word.strip():
        raise Refusal("the product word is empty", repr(word), setting)
    if word != word.strip():
        raise Refusal("the product word has no spaces at its ends", repr(word), setting)
    if "\\" in word:
        raise Refusal("the product word holds no backslash, which a mutex name may not hold",
                      repr(word), setting)
    if "%" in word:
        raise Refusal("the product word holds no percent sign: the title is a format text",
                      repr(word), setting)
    return data


def kelmora_brand():
    """{setting: text} of the KELMORA brand."""
    with open(KELMORA_BRAND, encoding="utf-8") as source:
        lines = [line.strip() for line in source]
    return {key.strip(): text.strip() for key, _, text in
            (line.partition("=") for line in lines if line and not line.startswith("#"))}


def check_version(setting, text):
    """The three numbers of A.B.C, each 0 to 65535."""
    match = VERSION_PATTERN.match(text)
    if not match:
        parts = text.split(".")
        hint = f"; {text} is written {text}.0" if len(parts) == 2 and all(
            part.isdigit() for part in parts) else ""
        raise Refusal("the version is three dot-separated decimal numbers, as 2.31.005" + hint,
                      repr(text), setting)
    numbers = [int(part) for part in match.groups()]
    if max(numbers) > VERSION_PART_LIMIT:
        raise Refusal(f"each number of the version is at most {VERSION_PART_LIMIT}", repr(text),
                      setting)
    return numbers


def c_string(data):
    """A C and resource-script string literal of Windows-1252 bytes: what
    is not plain ASCII, and the quote and backslash, as 3-digit octal."""
    return '"' + "".join(chr(b) if 0x20 <= b < 0x7F and b not in b'"\\' else f"\\{b:03o}"
                         for b in data) + '"'


def brand_header(product, version, numbers, company, copyright_):
    lines = [
        "/* The launcher's brand, written by make_brand.py from the build settings. */",
        "#ifndef LAUNCHER_BRAND_H",
        "#define LAUNCHER_BRAND_H",
        "",
        f"#define TARNELL_PRODUCT_NAME  {c_string(product)}",
        f"#define TARNELL_DESCRIPTION   {c_string(product + b' CD-ROM Autorun Program')}",
        f"#define TARNELL_VERSION_TEXT  {c_string(version)}",
        "/* Version block: A.B.C is A.B.0.C. */",
        f"#define TARNELL_VERSION_MAJOR {numbers[0]}",
        f"#define TARNELL_VERSION_MINOR {numbers[1]}",
        "#define TARNELL_VERSION_BUILD 0",
        f"#define TARNELL_VERSION_PATCH {numbers[2]}",
    ]
    # An empty line is left out of the version block.
    if company:
        lines.append(f"#define TARNELL_COMPANY_NAME  {c_string(company)}")
    if copyright_:
        lines.append(f"#define TARNELL_COPYRIGHT     {c_string(copyright_)}")
    lines += ["", "#endif", ""]
    return "\n".join(lines).encode("ascii")


def check_brand(product, version, company, copyright_, names="cmake"):
    """Checks the four texts; returns the files to write, by name."""
    name = {key: pair[0 if names == "cmake" else 1] for key, pair in SETTINGS.items()}
    product_bytes = check_product(name["product"], product)
    numbers = check_version(name["version"], version)
    if LAUNCHER.title_room(LAUNCHER.title_format(product), version) < LAUNCHER.dos_name:
        raise Refusal(f"the product word and the version take at most "
                      f"{WORD_AND_VERSION_LIMIT} characters together, so that the title of a "
                      f"launcher with an 8.3 name fits its {TITLE_SIZE}-character buffer; with "
                      f"version {version} the word takes at most "
                      f"{max(0, WORD_AND_VERSION_LIMIT - len(version))}", repr(product),
                      name["product"])
    kelmora = kelmora_brand()
    if product != kelmora["product"]:
        for key, text in (("company", company), ("copyright", copyright_)):
            if text and text == kelmora[key]:
                raise Refusal(f"a launcher of another product than {kelmora['product']} does not "
                              f"carry {kelmora['product']}'s {key} line: give the publisher's, or "
                              "an empty one to leave it out", repr(text), name[key])
    company_bytes = windows_1252(name["company"], company)
    copyright_bytes = windows_1252(name["copyright"], copyright_)
    version_bytes = version.encode("ascii")
    return {"brand.h": brand_header(product_bytes, version_bytes, numbers, company_bytes,
                                    copyright_bytes)}


def brand_files(product, version, company, copyright_, languages_text="", language_files=(),
                systems_text=None, names="cmake"):
    """Checks a brand whole: its texts, the languages it carries and the
    systems it accepts (None: what the library identifies). Returns the
    files the build takes from it, by name, and the names of the optional
    ones it does not have, which a folder that held them before must lose."""
    files = check_brand(product, version, company, copyright_, names)
    optional, later = systems.check_systems(systems_text, names)
    files.update(optional)
    files.update(languages.check_languages(languages_text, list(language_files), names, product,
                                           version, later))
    stale = [name for name in ("accepted.h", "languages.rc", "languages.h", "buttons.txt")
             if name not in files]
    return files, stale


def write_brand(folder, files, stale):
    """Writes a brand's files into its folder (those unchanged left as
    they are, so that nothing is rebuilt for nothing) and removes the
    stale ones."""
    write_files({os.path.join(folder, name): data for name, data in files.items()},
                keep_unchanged=True)
    for name in stale:
        if os.path.exists(os.path.join(folder, name)):
            os.unlink(os.path.join(folder, name))


def main():
    parser = argparse.ArgumentParser(description="Checks the launcher's brand texts.")
    for key, text in kelmora_brand().items():
        parser.add_argument("--" + key, default=text)
    parser.add_argument("--languages", default="", metavar="LIST")
    parser.add_argument("--language-file", action="append", default=[], metavar="CODE=FILE")
    # Without it the launcher accepts what the library identifies.
    parser.add_argument("--systems", metavar="LIST")
    parser.add_argument("--names", choices=("cmake", "options"), default="cmake")
    parser.add_argument("--output", metavar="DIR")
    arguments = parser.parse_args()
    files, stale = brand_files(arguments.product, arguments.version, arguments.company,
                               arguments.copyright, arguments.languages, arguments.language_file,
                               arguments.systems, arguments.names)
    if arguments.output:
        write_brand(arguments.output, files, stale)


if __name__ == "__main__":
    hostlib.run(main, "make_brand")
