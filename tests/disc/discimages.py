"""Disc images for the disc tests: made with xorriso as another tool would
make them, and damaged on purpose by changing a directory record's extent
or length in place, in every tree that names it."""
import os
import shutil
import subprocess

SECTOR = 2048
FIRST_DESCRIPTOR = 16


def make_image(path, tree, files, joliet=True, label="TEST", rock_ridge=True):
    """An image at path made with xorriso from {path on the disc: bytes, a
    file to copy, or None for an empty folder}, gathered in tree; with
    Rock Ridge names, as mkisofs makes it, or without."""
    for disc_name, content in files.items():
        target = os.path.join(tree, disc_name)
        if content is None:
            os.makedirs(target, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if isinstance(content, bytes):
            with open(target, "wb") as out:
                out.write(content)
        else:
            shutil.copyfile(content, target)
    if rock_ridge:
        command = ["xorriso", "-as", "mkisofs", "-quiet", "-r"] + (["-J"] if joliet else []) + \
            ["-V", label, "-o", path, tree]
    else:
        command = ["xorriso", "-report_about", "SORRY", "-rockridge", "off", "-joliet",
                   "on" if joliet else "off", "-volid", label, "-outdev", path, "-map", tree, "/",
                   "-commit"]
    if os.path.exists(path):
        os.remove(path)
    subprocess.run(command, check=True, capture_output=True)
    return path


def descriptors(data):
    """The offsets of the primary and supplementary volume descriptors."""
    found = []
    for number in range(FIRST_DESCRIPTOR, FIRST_DESCRIPTOR + 16):
        at = number * SECTOR
        if data[at + 1:at + 6] != b"CD001" or data[at] == 255:
            break
        if data[at] in (1, 2):
            found.append(at)
    return found


def root_record(data, descriptor):
    """The offset of a descriptor's root directory record."""
    return descriptor + 156


def records(data, name):
    """(offset, descriptor) of each directory record named name (without
    ';1'): in the ISO 9660 tree, of the primary descriptor, and in the
    Joliet tree, of the supplementary one. A record is told from a path
    table entry by its two byte orders of the extent agreeing."""
    found = []
    for identifier in (name.encode("latin-1") + b";1", name.encode("latin-1"),
                       name.encode("utf-16-be")):
        descriptor = descriptors(data)[1 if identifier == name.encode("utf-16-be") else 0]
        at = data.find(identifier)
        while at >= 0:
            start = at - 33
            if start >= 0 and data[at - 1] == len(identifier) and data[start] >= 33 + len(identifier) \
                    and data[start + 2:start + 6] == data[start + 6:start + 10][::-1] \
                    and (start, descriptor) not in found:
                found.append((start, descriptor))
            at = data.find(identifier, at + 1)
    return found


def extent(data, record):
    return int.from_bytes(data[record + 2:record + 6], "little")


def length(data, record):
    return int.from_bytes(data[record + 10:record + 14], "little")


def set_record(data, record, new_extent=None, new_length=None):
    """Changes a record's extent and length, in both byte orders."""
    if new_extent is not None:
        data[record + 2:record + 6] = new_extent.to_bytes(4, "little")
        data[record + 6:record + 10] = new_extent.to_bytes(4, "big")
    if new_length is not None:
        data[record + 10:record + 14] = new_length.to_bytes(4, "little")
        data[record + 14:record + 18] = new_length.to_bytes(4, "big")
