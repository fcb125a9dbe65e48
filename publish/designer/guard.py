"""The designer's guard: a local tool that builds and runs programs with
the user's rights answers only its own page.

- Every request names the designer's own address as its Host
  (127.0.0.1:N or localhost:N): a page elsewhere whose name was rebound to
  127.0.0.1 sends its own name, and is refused.
- Every write (POST, PUT, PATCH, DELETE) and every call of the page's API
  carries the page's token, a secret made at start and put in the served
  page only, in a header that no form and no page elsewhere can send; a
  write from a foreign Origin is refused whatever it carries.
- Uploads are bounded in size and checked for what they claim to be: a
  picture PIL can read, a certificate shaped as PKCS#12.
- A path from the page is taken only inside the folders the user chose,
  resolved with realpath and checked with commonpath, with no link
  followed on the way."""
import hmac
import os
import secrets
import stat

from PIL import Image

# The largest upload, a picture or a certificate; the README says so.
UPLOAD_LIMIT = 16 << 20
TOKEN_HEADER = "X-Designer-Token"
WRITES = ("POST", "PUT", "PATCH", "DELETE")
# A picture is refused unread past this many pixels, as the converters'
# largest splash (10000 x 6400): PIL's own bound only warns below twice it.
PICTURE_PIXELS = 10000 * 6400


class Refused(Exception):
    """A request the guard will not serve: the HTTP status and one line
    that says why."""

    def __init__(self, status, text):
        super().__init__(text)
        self.status, self.text = status, text


class Guard:
    """The checks of one designer: its port and its token."""

    def __init__(self, port):
        self.port = port
        self.token = secrets.token_urlsafe(32)
        self.hosts = {f"127.0.0.1:{port}", f"localhost:{port}"}
        self.origins = {f"http://{host}" for host in self.hosts}

    def check(self, method, path, headers):
        """Refused unless the request is the page's own: its Host, and for
        a write or an API call its token and no foreign Origin."""
        host = (headers.get("Host") or "").strip().lower()
        if host not in self.hosts:
            raise Refused(403, f"the request names the host {host or 'none'!r}; this designer "
                               f"answers only at 127.0.0.1:{self.port} and localhost:{self.port}")
        if method not in WRITES and not path.startswith("/api/"):
            return
        origin = headers.get("Origin")
        if origin is not None and origin.lower() not in self.origins:
            raise Refused(403, f"the request comes from another site ({origin}); the designer "
                               "takes requests from its own page only")
        given = headers.get(TOKEN_HEADER) or ""
        if not hmac.compare_digest(given.encode(), self.token.encode()):
            raise Refused(403, "the request lacks the designer page's token; reload the page "
                               "from the address the designer printed")


def inside(folder, path):
    """The path, resolved, when it lies inside the folder (or is it) and
    no link lies on its way from the folder; else None."""
    root = os.path.realpath(folder)
    joined = os.path.normpath(os.path.join(root, path))
    if os.path.commonpath([root, joined]) != root:
        return None
    # Each step below the folder is looked at itself, not through a link.
    step = root
    for part in os.path.relpath(joined, root).split(os.sep):
        if part in ("", "."):
            continue
        step = os.path.join(step, part)
        try:
            if stat.S_ISLNK(os.lstat(step).st_mode):
                return None
        except OSError:
            return None
    resolved = os.path.realpath(joined)
    return resolved if os.path.commonpath([root, resolved]) == root else None


def regular_file_in(folder, relative):
    """A regular file inside the folder, by its path from there; Refused
    when the path leads elsewhere, through a link, or to no file."""
    path = inside(folder, relative)
    if path is None:
        raise Refused(403, "the path leads outside the designer's folders, or through a link")
    try:
        if not stat.S_ISREG(os.lstat(path).st_mode):
            raise Refused(404, "no such file")
    except OSError:
        raise Refused(404, "no such file") from None
    return path


def check_picture(path):
    """None when PIL reads the file as a picture of a sane size, else why
    not (the converter then says what it makes of it)."""
    try:
        with Image.open(path) as picture:
            width, height = picture.size
            if width * height > PICTURE_PIXELS:
                return f"the picture has {width} x {height} pixels, more than the designer reads"
            picture.verify()
    except Exception as error:  # noqa: BLE001: PIL raises many kinds on a bad file
        return f"the file is no picture PIL can read ({type(error).__name__})"
    return None


def check_certificate_shape(data, is_pkcs12):
    """None when the bytes are shaped as a PKCS#12 file, else why not."""
    if not is_pkcs12(data):
        return ("the certificate file is no PKCS#12 file (.p12 or .pfx) holding the "
                "certificate, its chain and its key")
    return None


def folder_listing(path):
    """(the folder, its parent, its sub-folders) for the installer folder's
    chooser: names of folders only, none reached through a link; Refused
    for a path that is no folder."""
    folder = os.path.realpath(os.path.expanduser(path or "~"))
    try:
        entries = sorted(os.scandir(folder), key=lambda entry: entry.name.lower())
    except OSError as error:
        raise Refused(404, f"the folder cannot be listed ({error.strerror}): {folder}") from None
    names = [entry.name for entry in entries
             if entry.is_dir(follow_symlinks=False) and not entry.name.startswith(".")]
    parent = os.path.dirname(folder)
    return folder, (parent if parent != folder else None), names
