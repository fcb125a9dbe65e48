"""The disc's AUTORUN.INF: what Windows reads from the root of the disc
to start the launcher (open=), show its icon for the drive (icon=), name
the drive (label=) and, in AutoPlay (Windows XP and later, where a disc
going in shows a choice rather than starting a program), word the choice
that runs the launcher (action=). In the launcher's code page, with
Windows' line ends: Windows 95 reads it, and passes over what it does not
know."""
from discimage.names import LAUNCHER_NAME
from launcher.contract import LAUNCHER

ENCODING = f"cp{LAUNCHER.code_page}"
SECTION = "autorun"


def autoplay_text(product):
    """The AutoPlay choice's words when the publisher gives none."""
    return f"Install {product}"


def autorun_inf(product, version, label=None, action=None):
    """The bytes of AUTORUN.INF for the launcher of a product and version:
    the drive named by the label given (the product and the version when
    none is), the AutoPlay choice worded by action (autoplay_text() when
    none is)."""
    lines = [f"[{SECTION}]", f"open={LAUNCHER_NAME}", f"icon={LAUNCHER_NAME},0",
             f"label={label or f'{product} {version}'}",
             f"action={action or autoplay_text(product)}", ""]
    return "\r\n".join(lines).encode(ENCODING)


def label_line(path):
    """(product word, version) of an AUTORUN.INF's label= line, for an image
    made from an AUTORUN.INF alone."""
    with open(path, encoding=ENCODING, errors="replace") as autorun:
        for line in autorun:
            key, _, value = line.strip().partition("=")
            if key.strip().lower() == "label":
                word, _, version = value.strip().rpartition(" ")
                return (word, version) if word else (version, "")
    return None

