"""The launcher's texts are ANSI text of one code page, the contract's
(Windows-1252): the check every brand text goes through, for the brand's words (make_brand.py)
and its translations (languages.py) alike."""
from hostlib import Refusal
from launcher.contract import LAUNCHER

TEXT_CODE_PAGE = LAUNCHER.code_page
ENCODING = f"cp{TEXT_CODE_PAGE}"


def windows_1252(setting, text):
    """The text's bytes in Windows-1252; refuses characters outside it and
    control characters."""
    try:
        data = text.encode(ENCODING)
    except UnicodeEncodeError as error:
        raise Refusal("the text must be printable Windows-1252; "
                      f"{text[error.start]!r} is not in it", repr(text), setting) from None
    bad = [c for c in text if ord(c) < 0x20 or ord(c) == 0x7F]
    if bad:
        raise Refusal(f"the text must be printable Windows-1252; {bad[0]!r} is a "
                      "control character", repr(text), setting)
    return data
