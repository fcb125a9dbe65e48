"""Reads a written image back (pycdlib) and compares it with its sources:
each file under its Rock Ridge and Joliet name, in one extent that holds
the source's bytes; no file or folder more or less; the label.

xorriso's own -compare_r compares bytes and attributes of one tree only;
the disc needs the ISO 9660 names, the Joliet names and the extents of
both trees checked against each other, which pycdlib's records give."""
import concurrent.futures
import os
import zlib

import pycdlib

from .names import LAUNCHER_NAME, PLAIN_NAMES
from .progress import Progress

SECTOR = 2048
CHUNK = 4 << 20


def read_image_tree(iso, **tree):
    """Files and folders of one tree: {path: record}, {folders}."""
    files, folders = {}, set()
    (kind, root), = tree.items()
    for here, dirs, names in iso.walk(**{kind: root}):
        base = here.rstrip("/")
        for name in dirs:
            folders.add(f"{base}/{name}")
        for name in names:
            files[f"{base}/{name}"] = iso.get_record(**{kind: f"{base}/{name}"})
    return files, folders


def source_crcs(pool, files):
    """Starts working out each file's CRC-32 from its source on the pool;
    their futures, in the files' order. The sources are read while xorriso
    writes them (from the cache it fills), on the core it leaves idle, so
    that the read-back after it only compares bytes."""
    return [pool.submit(file_crc, disc_file.source) for disc_file in files]


def file_crc(path):
    crc = 0
    with open(path, "rb", buffering=0) as source:
        while True:
            block = source.read(CHUNK)
            if not block:
                return crc
            crc = zlib.crc32(block, crc)


def verify_image(image, label, files, folders):
    """The problems found, as texts; fills in each file's ISO 9660 name."""
    iso = pycdlib.PyCdlib()
    iso.open(image)
    try:
        by_name, name_folders = read_image_tree(iso, rr_path="/")
        by_joliet, joliet_folders = read_image_tree(iso, joliet_path="/")
        problems = []
        expected = {f.disc_path for f in files}
        for tree, found, found_folders in (("Rock Ridge", by_name, name_folders),
                                           ("Joliet", by_joliet, joliet_folders)):
            for path in sorted(set(found) ^ expected):
                problems.append(f"{tree} tree: {'extra' if path in found else 'missing'} file {path}")
            for path in sorted(found_folders ^ set(folders)):
                problems.append(f"{tree} tree: {'extra' if path in found_folders else 'missing'} folder {path}")
        volume = iso.pvd.volume_identifier.decode("ascii").rstrip()
        if volume != label:
            problems.append(f"volume label {volume!r}, not {label!r}")

        compared = []
        for disc_file in files:
            record, joliet = by_name.get(disc_file.disc_path), by_joliet.get(disc_file.disc_path)
            if record is not None and joliet is not None:
                found = check_records(iso, disc_file, record, joliet)
                problems.extend(found)
                if not found:
                    compared.append((disc_file, record.extent_location() * SECTOR))
        # The bytes are compared on all cores: reads and CRCs of large
        # blocks run outside Python's lock.
        image_fd = os.open(image, os.O_RDONLY)
        progress = Progress("make-disc: verifying the image")
        total = sum(disc_file.size for disc_file, _ in compared) or 1
        checked = 0
        try:
            with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 1) as pool:
                same = pool.map(lambda entry: compare_bytes(image_fd, entry[1], entry[0]), compared)
                for (disc_file, _), equal in zip(compared, same):
                    checked += disc_file.size
                    progress.update(checked / total)
                    if not equal:
                        problems.append(f"{disc_file.disc_path}: its bytes differ from {disc_file.source}")
            progress.done()
        finally:
            os.close(image_fd)
    finally:
        iso.close()
    return problems


def check_records(iso, disc_file, record, joliet):
    """The problems with one file's two directory records; fills in its
    ISO 9660 name."""
    problems = []
    disc_file.iso_path = iso.full_path_from_dirrecord(record).split(";")[0]
    if disc_file.disc_path in PLAIN_NAMES and disc_file.iso_path != disc_file.disc_path:
        problems.append(f"{disc_file.disc_path} has the ISO 9660 name {disc_file.iso_path}")
    if (record.extent_location(), record.get_data_length()) != \
            (joliet.extent_location(), joliet.get_data_length()):
        problems.append(f"{disc_file.disc_path}: the ISO 9660 and Joliet names lead to different data")
    if record.get_data_length() != disc_file.size:
        problems.append(f"{disc_file.disc_path}: {record.get_data_length()} bytes, not {disc_file.size}")
    return problems


def compare_bytes(image_fd, offset, disc_file):
    """Whether the image holds the source's bytes at the offset."""
    with open(disc_file.source, "rb", buffering=0) as source:
        while True:
            want = source.read(CHUNK)
            if not want:
                return True
            if os.pread(image_fd, len(want), offset) != want:
                return False
            offset += len(want)


def launcher_from_image(image, out):
    """Copies the launcher as the image's Joliet tree holds it into out (an
    open binary file)."""
    iso = pycdlib.PyCdlib()
    iso.open(image)
    try:
        iso.get_file_from_iso_fp(out, joliet_path="/" + LAUNCHER_NAME)
    finally:
        iso.close()
