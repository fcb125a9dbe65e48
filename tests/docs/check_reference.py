#!/usr/bin/env python3
"""Checks that docs/library.md names everything util/*.h declares.

Collects from each header the functions, records (struct tags and typedef
names), macros (but not the include guards UTIL_*_H) and extern variables,
and fails, listing what is missing, when one of them appears in the
reference neither as a backticked name nor inside a code block.
Usage: check_reference.py [SOURCE_ROOT]
"""
import pathlib
import re
import sys

IDENT = re.compile(r"[A-Za-z_]\w*")
GUARD = re.compile(r"UTIL_\w+_H$")


def declared_names(header_text):
    """The names one header declares, as {name: kind}."""
    text = re.sub(r"/\*.*?\*/|//[^\n]*", " ", header_text, flags=re.S)
    names = {}
    for macro in re.findall(r"^\s*#\s*define\s+(\w+)", text, re.M):
        if not GUARD.match(macro):
            names[macro] = "macro"
    code = re.sub(r"^\s*#[^\n]*", " ", text, flags=re.M)
    for tag in re.findall(r"\bstruct\s+(\w+)", code):
        names[tag] = "record"
    for name in re.findall(r"\}\s*(\w+)\s*;", code):
        names[name] = "record"
    for statement in code.split(";"):
        statement = " ".join(statement.split())
        if statement.startswith("typedef"):
            pointer = re.search(r"\(\s*\w*\s*\*\s*(\w+)\s*\)", statement)
            if pointer:
                names[pointer.group(1)] = "record"
            elif "{" not in statement:
                names[IDENT.findall(statement)[-1]] = "record"
        elif statement.startswith("extern"):
            variable = re.search(r"(\w+)\s*(\[[^\]]*\])?\s*$", statement)
            names[variable.group(1)] = "variable"
        elif "{" not in statement and "}" not in statement:
            function = re.search(r"(\w+)\s*\([^()]*\)\s*$", statement)
            if function:
                names[function.group(1)] = "function"
    return names


def mentioned_names(reference_text):
    """Every identifier inside a fenced code block or a backticked span."""
    fence = r"^[ \t]*```[^\n]*\n(.*?)^[ \t]*```"
    blocks = re.findall(fence, reference_text, re.S | re.M)
    prose = re.sub(fence, " ", reference_text, flags=re.S | re.M)
    spans = re.findall(r"`([^`\n]+)`", prose)
    return set(IDENT.findall("\n".join(blocks + spans)))


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                        pathlib.Path(__file__).resolve().parents[2])
    reference = root / "docs" / "library.md"
    if not reference.is_file():
        print(f"missing: {reference}")
        return 1
    mentioned = mentioned_names(reference.read_text(encoding="utf-8"))
    missing, total = [], 0
    for header in sorted((root / "util").glob("*.h")):
        for name, kind in sorted(declared_names(header.read_text(encoding="utf-8")).items()):
            total += 1
            if name not in mentioned:
                missing.append(f"{header.name}: {kind} {name}")
    if missing:
        print(f"docs/library.md does not mention {len(missing)} of {total} declarations:")
        print("\n".join("  " + line for line in missing))
        return 1
    print(f"docs/library.md mentions all {total} declarations of util/*.h")
    return 0


if __name__ == "__main__":
    sys.exit(main())
