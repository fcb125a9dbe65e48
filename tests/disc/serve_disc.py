#!/usr/bin/python3
"""Copies what a disc image holds, as Windows 95 and later see it (the
Joliet tree), into a folder that a test then serves as a CD-ROM drive.
Usage: serve_disc.py IMAGE FOLDER"""
import os
import sys

import pycdlib


def main(image, folder):
    iso = pycdlib.PyCdlib()
    iso.open(image)
    for here, dirs, names in iso.walk(joliet_path="/"):
        local = os.path.join(folder, *here.strip("/").split("/"))
        os.makedirs(local, exist_ok=True)
        for name in names:
            iso.get_file_from_iso(os.path.join(local, name), joliet_path=here.rstrip("/") + "/" + name)
    iso.close()


if __name__ == "__main__":
    main(*sys.argv[1:])
