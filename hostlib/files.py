"""Files: written whole or not at all; and files that someone else's
program may have made, read without following a link, without blocking
and within a bound, and trees removed whatever they hold (any depth,
read-only folders, odd names, links, FIFOs).

Both work on open folders (dir_fd) rather than on paths, so that a link
met on the way is never followed and a tree deeper than a path can name,
or than Python can recurse, is still removed."""
import os
import stat
import tempfile

# Opens a folder met inside a tree: never through a link, never blocking.
_FOLDER = os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW | os.O_CLOEXEC | os.O_NONBLOCK
# What removal needs of a folder to list and empty it.
_OWNER_RWX = stat.S_IRWXU


class UntrustedFileError(OSError):
    """A file that is not what the reader takes: a link, a FIFO, a device,
    a folder, or larger than the bound."""


def read_regular(path, limit):
    """The bytes of a regular file, opened without following a link at
    its last step and without blocking (a FIFO in its place is refused,
    not waited on); UntrustedFileError when it is no regular file or holds
    more than limit bytes."""
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC)
    except OSError as error:
        if error.errno == 40:   # ELOOP: the last step is a link
            raise UntrustedFileError(error.errno, "a link, not a file", path) from None
        raise
    try:
        info = os.fstat(fd)
        if not stat.S_ISREG(info.st_mode):
            raise UntrustedFileError(0, "not a regular file", path)
        chunks, size = [], 0
        while True:
            chunk = os.read(fd, min(1 << 20, limit + 1 - size))
            if not chunk:
                break
            chunks.append(chunk)
            size += len(chunk)
            if size > limit:
                raise UntrustedFileError(0, f"larger than {limit} bytes", path)
        return b"".join(chunks)
    finally:
        os.close(fd)


def _open_folder(name, parent_fd):
    """An open folder inside parent_fd, made listable and writable by its
    owner first when someone took that away; None when it is gone or no
    folder."""
    try:
        fd = os.open(name, _FOLDER, dir_fd=parent_fd)
    except OSError:
        # Not listable: given back its owner's rights once, then opened
        # again (chmod would follow a link, so only after lstat saw none).
        try:
            if not stat.S_ISDIR(os.stat(name, dir_fd=parent_fd, follow_symlinks=False).st_mode):
                return None
            os.chmod(name, _OWNER_RWX, dir_fd=parent_fd)
            fd = os.open(name, _FOLDER, dir_fd=parent_fd)
        except OSError:
            return None
    try:
        if os.fstat(fd).st_mode & _OWNER_RWX != _OWNER_RWX:
            os.fchmod(fd, _OWNER_RWX)
    except OSError:
        pass
    return fd


def _entries(fd):
    """(name, is a folder) of a folder's entries, a folder known by lstat,
    so that a link to one is not taken for one."""
    found = []
    with os.scandir(fd) as listing:
        for entry in listing:
            try:
                folder = entry.is_dir(follow_symlinks=False)
            except OSError:
                folder = False
            found.append((entry.name, folder))
    return found


def remove_tree(path):
    """Removes a folder and all it holds, however deep or wide, with
    read-only folders and any names, never following a link out of it.
    Returns None once it is gone, else what kept it ("PATH: reason").

    Folders are lifted, not recursed into: each folder's sub-folders are
    moved up into the top folder under new names and emptied in turn, so
    that only two folders are open at a time whatever the depth."""
    path = os.path.abspath(path)
    parent, base = os.path.split(path)
    try:
        if not os.path.lexists(path):
            return None
        if not stat.S_ISDIR(os.lstat(path).st_mode):
            os.unlink(path)
            return None
        parent_fd = os.open(parent, _FOLDER)
    except OSError as error:
        return f"{path}: {error.strerror or error}"
    kept = None
    try:
        top = _open_folder(base, parent_fd)
        if top is None:
            return f"{path}: cannot be opened"
        try:
            lifted = 0
            pending = [name for name, folder in _entries(top) if folder]
            for name, folder in _entries(top):
                if not folder:
                    kept = _unlink(name, top, path) or kept
            while pending:
                name = pending.pop()
                inner = _open_folder(name, top)
                if inner is None:
                    kept = _unlink(name, top, path) or kept
                    continue
                try:
                    for child, folder in _entries(inner):
                        if not folder:
                            kept = _unlink(child, inner, os.path.join(path, name)) or kept
                            continue
                        lifted, moved = _free_name(top, lifted)
                        try:
                            _lift(child, inner, moved, top)
                            pending.append(moved)
                        except OSError as error:
                            kept = f"{os.path.join(path, name, child)}: {error.strerror}"
                finally:
                    os.close(inner)
                try:
                    os.rmdir(name, dir_fd=top)
                except OSError as error:
                    kept = f"{os.path.join(path, name)}: {error.strerror}"
        finally:
            os.close(top)
        try:
            os.rmdir(base, dir_fd=parent_fd)
        except OSError as error:
            kept = kept or f"{path}: {error.strerror}"
    finally:
        os.close(parent_fd)
    return None if not os.path.lexists(path) else (kept or path)


def _lift(name, parent_fd, new_name, top_fd):
    """Moves a folder up into the top folder. A folder moved to another
    parent must be writable itself (its '..' changes): where it is not,
    its owner's rights are given back first (it is a folder, not a link,
    as lstat told)."""
    try:
        os.rename(name, new_name, src_dir_fd=parent_fd, dst_dir_fd=top_fd)
    except PermissionError:
        os.chmod(name, _OWNER_RWX, dir_fd=parent_fd)
        os.rename(name, new_name, src_dir_fd=parent_fd, dst_dir_fd=top_fd)


def _free_name(fd, number):
    """The next name of the lifted folders that the folder does not hold."""
    while True:
        number += 1
        name = f".removing-{number}"
        try:
            os.stat(name, dir_fd=fd, follow_symlinks=False)
        except FileNotFoundError:
            return number, name


def _unlink(name, fd, where):
    try:
        os.unlink(name, dir_fd=fd)
        return None
    except FileNotFoundError:
        return None
    except OSError as error:
        return f"{os.path.join(where, name)}: {error.strerror}"


def same_content(path, data):
    """Whether the file holds exactly these bytes."""
    try:
        if os.path.getsize(path) != len(data):
            return False
        with open(path, "rb") as existing:
            return existing.read() == data
    except OSError:
        return False


def write_files(outputs, keep_unchanged=False):
    """Writes {path: bytes} so that either every file is new or none is:
    each goes to a temporary file beside it first, and the renames follow
    only when all are written. With keep_unchanged, a file that already
    holds its bytes is left as it is, time stamp and all, so that what
    depends on it is not rebuilt."""
    if keep_unchanged:
        outputs = {path: data for path, data in outputs.items() if not same_content(path, data)}
    temporaries = []
    try:
        for path, data in outputs.items():
            folder = os.path.dirname(os.path.abspath(path))
            os.makedirs(folder, exist_ok=True)
            handle, temporary = tempfile.mkstemp(prefix="." + os.path.basename(path) + ".",
                                                 dir=folder)
            temporaries.append((temporary, path))
            with os.fdopen(handle, "wb") as out:
                out.write(data)
        for temporary, path in temporaries:
            os.chmod(temporary, 0o644)
            os.replace(temporary, path)
    finally:
        for temporary, _ in temporaries:
            if os.path.exists(temporary):
                os.unlink(temporary)
