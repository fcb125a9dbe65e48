"""An image's folder trees walked from its own bytes, within bounds,
before any reader opens it.

pycdlib walks an image's folders as their records name them, with no
check of its own: a folder whose record names the root, or a folder
above it, is walked without end, and records that share one extent are
extracted once each. So the ISO 9660 tree and every supplementary
(Joliet) tree are walked here first, reading only the volume descriptors
and the folders' records: each folder may be recorded once, the trees
are at most DEPTH_LIMIT folders deep and hold at most ENTRY_LIMIT entries
each, a folder's records lie inside the image, and each tree's files,
counted once for every record that names them, fit in the image's own
size, which is then the most the trial extracts of a tree."""
import os

from hostlib import Refusal, shown

SECTOR = 2048
FIRST_DESCRIPTOR = 16
DESCRIPTOR_LIMIT = 64
PRIMARY, SUPPLEMENTARY, TERMINATOR = 1, 2, 255
JOLIET_ESCAPES = (b"%/@", b"%/C", b"%/E")
# Folders nested deeper than this are taken for a loop, as Windows NT's
# own limit is far lower.
DEPTH_LIMIT = 64
# Files and folders in one tree: an installer's disc holds a few
# thousand; a reader's memory grows with each.
ENTRY_LIMIT = 100_000
# One folder's records (about 60 bytes an entry).
FOLDER_BYTES_LIMIT = 16 << 20
DIRECTORY_FLAG = 0x02


class Tree:
    """One tree's totals after the walk."""

    def __init__(self, name):
        self.name, self.entries, self.file_bytes = name, 0, 0


def damaged(rule, value):
    return Refusal("the image is damaged: " + rule, value)


def check(path):
    """Walks every folder tree of the image at path; Refusal, with the rule
    and the value, for a tree that loops, is too deep or too large, or
    whose files would take more than the image holds. Returns
    {tree name: Tree}."""
    size = os.path.getsize(path)
    with open(path, "rb") as image:
        trees = {}
        for name, block, root in _descriptors(image, size, path):
            tree = _walk(image, size, name, block, root)
            if tree.file_bytes > size:
                raise damaged(f"the files of its {name} tree would take {tree.file_bytes} bytes, "
                              f"more than the image's {size}", repr(path))
            trees.setdefault(name, tree)
    return trees


def _read(image, offset, length):
    image.seek(offset)
    return image.read(length)


def _descriptors(image, size, path):
    """(tree name, block size, root record) of the primary descriptor and of
    each supplementary one, in the image's order."""
    found, joliet = [], 0
    for number in range(DESCRIPTOR_LIMIT):
        data = _read(image, (FIRST_DESCRIPTOR + number) * SECTOR, SECTOR)
        if len(data) < SECTOR or data[1:6] != b"CD001" or data[0] == TERMINATOR:
            break
        if data[0] not in (PRIMARY, SUPPLEMENTARY):
            continue
        block = int.from_bytes(data[128:130], "little")
        if block not in (512, 1024, 2048):
            raise damaged(f"a volume descriptor gives a block size of {block} bytes", repr(path))
        if data[0] == PRIMARY:
            name = "ISO 9660"
            needed = int.from_bytes(data[80:84], "little") * block
            if size < needed:
                raise Refusal(f"the image is truncated: it holds {size} of its {needed} bytes",
                              repr(path))
        else:
            joliet += data[88:91] in JOLIET_ESCAPES
            name = "Joliet" if data[88:91] in JOLIET_ESCAPES and joliet == 1 else \
                f"supplementary {number}"
        found.append((name, block, data[156:190]))
    return found


def _record(data):
    """(extent, data length, is a folder, name bytes) of a record."""
    name_length = data[32]
    return (int.from_bytes(data[2:6], "little"), int.from_bytes(data[10:14], "little"),
            bool(data[25] & DIRECTORY_FLAG), data[33:33 + name_length])


def _name(identifier, tree):
    if tree == "ISO 9660":
        return identifier.decode("latin-1").split(";")[0]
    return identifier.decode("utf-16-be", errors="replace")


def _walk(image, size, tree_name, block, root):
    """Walks one tree breadth first, each folder with the extents of the
    folders above it."""
    tree = Tree(tree_name)
    extent, length, _, _ = _record(root)
    seen = {extent}
    pending = [([], extent, length, (extent,))]
    while pending:
        parts, extent, length, above = pending.pop()
        where = shown("/".join(parts))
        if len(parts) > DEPTH_LIMIT:
            raise damaged(f"its {tree_name} tree is nested deeper than {DEPTH_LIMIT} folders",
                          where)
        if length > FOLDER_BYTES_LIMIT or extent * block + length > size:
            raise damaged(f"a folder's records of its {tree_name} tree run past the image's end "
                          f"or take {length} bytes", where or "/")
        data = _read(image, extent * block, length)
        offset = 0
        while offset < len(data):
            record_length = data[offset]
            if record_length == 0:
                # Records never cross a block: the rest of this one is padding.
                offset = (offset // block + 1) * block
                continue
            record = data[offset:offset + record_length]
            offset += record_length
            if record_length < 34 or 33 + record[32] > record_length:
                raise damaged(f"a record of its {tree_name} tree is cut short", where or "/")
            child, child_length, folder, identifier = _record(record)
            if identifier in (b"\x00", b"\x01"):
                continue
            tree.entries += 1
            if tree.entries > ENTRY_LIMIT:
                raise Refusal(f"the image's {tree_name} tree holds more than {ENTRY_LIMIT} files "
                              "and folders", where or "/")
            path = parts + [_name(identifier, tree_name)]
            if not folder:
                tree.file_bytes += child_length
                continue
            if child in above:
                raise damaged(f"a folder of its {tree_name} tree holds itself or a folder "
                              "above it", shown("/".join(path)))
            if child in seen:
                raise damaged(f"a folder of its {tree_name} tree is recorded twice",
                              shown("/".join(path)))
            seen.add(child)
            pending.append((path, child, child_length, above + (child,)))
    return tree
