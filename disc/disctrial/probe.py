"""Opens an image with pycdlib and closes it again, in a process of its
own that the trial starts under limits of memory and time (image.py):
whatever pycdlib walks (folders, path tables, Rock Ridge, UDF), an image
that would make it loop or swell is stopped here, before the trial's own
process reads it. Prints pycdlib's complaint and exits 3 when it refuses
the image, 4 when it ran out of memory or stack; 0 when it reads it
whole.

    probe.py IMAGE
"""
import sys

import pycdlib
from pycdlib.pycdlibexception import PyCdlibException

REFUSED = 3
TOO_LARGE = 4


def main(path):
    iso = pycdlib.PyCdlib()
    try:
        iso.open(path)
        iso.close()
    except (MemoryError, RecursionError):
        return TOO_LARGE
    except (PyCdlibException, OSError, ValueError, IndexError, KeyError, TypeError) as error:
        text = str(error).strip() or type(error).__name__
        print(text.splitlines()[0])
        return REFUSED
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
