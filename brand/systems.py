"""The systems a launcher accepts (TARNELL_SYSTEMS, --systems), by the
names and bits of the launcher's contract; the check of a list, and
accepted.h, which the build takes from it: the list's bits, its text for
the version block's "SupportedSystems", and whether it names a system
after the original set (the launcher then carries its manifest and asks
for rights for its installer).
"""
from hostlib import Refusal
from launcher.contract import LAUNCHER

SETTING = {"cmake": "TARNELL_SYSTEMS", "options": "--systems"}

# {name: bit}, in the order of their bits, as a list is written.
SYSTEMS = {system.name: system.bit for system in LAUNCHER.by_bit()}
ORIGINAL = LAUNCHER.original_mask


def parse_systems(text, setting):
    """The names of a list such as '98,xp,7,10' (commas or semicolons, any
    case), in order; refuses an empty list, an empty entry, an unknown or
    a repeated name."""
    if not text.strip():
        raise Refusal("the list names no system", repr(text), setting)
    names = []
    for item in text.replace(";", ",").split(","):
        name = item.strip().lower()
        if not name:
            raise Refusal("the list has an empty entry", repr(text), setting)
        if name not in SYSTEMS:
            raise Refusal(f"{name!r} is not a system the launcher knows; the systems are "
                          + ", ".join(SYSTEMS), repr(text), setting)
        if name in names:
            raise Refusal(f"{name!r} is named twice", repr(text), setting)
        names.append(name)
    return names


def names_later(names):
    """Whether the list names a system after the original set."""
    return any(SYSTEMS[name] & ~ORIGINAL for name in names)


def accepted_h(names):
    mask = 0
    for name in names:
        mask |= SYSTEMS[name]
    ordered = [name for name in SYSTEMS if name in names]
    lines = ["/* The systems the launcher accepts, written by make_brand.py from the",
             " * brand's list (the launcher's contract names the bits). */",
             "#ifndef LAUNCHER_ACCEPTED_H",
             "#define LAUNCHER_ACCEPTED_H",
             "",
             f"#define TARNELL_SYSTEMS_MASK {mask}",
             f'#define TARNELL_SYSTEMS_TEXT "{",".join(ordered)}"']
    if names_later(names):
        lines.append("#define TARNELL_SYSTEMS_LATER")
    lines += ["", "#endif", ""]
    return "\n".join(lines).encode("ascii")


def check_systems(text, names):
    """The files to write for a list (none without one: None), and
    whether it names a later system."""
    if text is None:
        return {}, False
    chosen = parse_systems(text, SETTING[names])
    return {"accepted.h": accepted_h(chosen)}, names_later(chosen)
