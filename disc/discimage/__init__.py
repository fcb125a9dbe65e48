"""The disc image maker: the installer folder's checks and the disc's name
rules (names), writing the image with xorriso (writer), and reading it
back and comparing it with its sources (readback). A refusal is a
Refusal: the rule and the offending value. The disc trial (disctrial)
shares its messages: shown() and failure_line()."""


class Refusal(Exception):
    """An input the image cannot be made from: the rule and the value."""

    def __init__(self, rule, value):
        super().__init__(f"{rule}: {value}")


def shown(text):
    """A name as a message can show it: bytes that are no text in the file
    system's encoding as \\xNN, control characters and what cannot be
    printed escaped, so that no message holds a raw newline."""
    out = []
    for c in text:
        code = ord(c)
        if 0xDC80 <= code <= 0xDCFF:
            out.append(f"\\x{code - 0xDC00:02X}")
        elif c == "\\":
            out.append("\\\\")
        elif not c.isprintable():
            out.append(f"\\x{code:02X}" if code < 0x100 else
                       f"\\u{code:04X}" if code < 0x10000 else f"\\U{code:08X}")
        else:
            out.append(c)
    return "".join(out)


def failure_line(error):
    """An unexpected fault as the one line a tool ends with: for a fault of
    the system (a file gone, a full disk) its word and the file, for any
    other the kind of error and its text."""
    if isinstance(error, OSError):
        return (error.strerror or str(error)) + \
            (f": {shown(str(error.filename))}" if error.filename else "")
    return f"{type(error).__name__}: {shown(str(error))}"
