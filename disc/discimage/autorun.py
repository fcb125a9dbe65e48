"""The disc's AUTORUN.INF: what Windows reads from the root of the disc
to start the launcher (open=), show its icon for the drive (icon=) and
name the disc (label=). In the launcher's code page, with Windows' line
ends, as Windows 95 reads it."""
from discimage.names import LAUNCHER_NAME
from launcher.contract import LAUNCHER

ENCODING = f"cp{LAUNCHER.code_page}"
SECTION = "autorun"


def autorun_inf(product, version):
    """The bytes of AUTORUN.INF for the launcher of a product and version."""
    lines = [f"[{SECTION}]", f"open={LAUNCHER_NAME}", f"icon={LAUNCHER_NAME},0",
             f"label={product} {version}", ""]
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

