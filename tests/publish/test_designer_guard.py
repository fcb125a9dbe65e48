#!/usr/bin/python3
"""The designer as a local tool that runs programs with the user's
rights: what it refuses, with plain HTTP requests (a page elsewhere whose
name was rebound to 127.0.0.1, a write without the page's token or from
another site, an upload over the limit, a path outside the folders the
user chose), and its command line (a wrong one, a port in use, Ctrl-C and
SIGTERM ending it with nothing left running)."""
import io
import os
import shutil
import signal
import socket
import subprocess
import sys
import time
import unittest

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from designer_harness import DESIGNER, Designer, processes_naming, work_folder  # noqa: E402

LIMIT = 16 << 20
BOUNDARY = "designer-test-boundary"
# KELMORA's own design, as the page first sends it.
KELMORA = {"product": "KELMORA", "version": "2.31.005", "company": "Kelmora Software Ltd.",
           "copyright": "Copyright (C) 2026 Kelmora Software Ltd. All rights reserved.",
           "languages": [], "systems": ["win32s", "nt3.51", "95", "nt4", "98", "2000", "me",
                                        "xp"]}


def multipart(name, data):
    """A multipart/form-data body with one file field "file"."""
    head = (f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"file\"; "
            f"filename=\"{name}\"\r\nContent-Type: application/octet-stream\r\n\r\n").encode()
    return head + data + f"\r\n--{BOUNDARY}--\r\n".encode()


def running(pid):
    """Whether the process is there and not only waiting to be reaped."""
    try:
        with open(f"/proc/{pid}/stat") as source:
            return source.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def form_headers(designer, token=True):
    headers = {"Content-Type": f"multipart/form-data; boundary={BOUNDARY}"}
    if token:
        headers["X-Designer-Token"] = designer.token
    return headers


def png_bytes(size=(120, 80)):
    out = io.BytesIO()
    Image.new("RGB", size, (40, 90, 160)).save(out, "PNG")
    return out.getvalue()


class Guard(unittest.TestCase):
    """One designer, asked what a page elsewhere would ask."""

    @classmethod
    def setUpClass(cls):
        cls.work = work_folder("designer-guard-")
        cls.output = os.path.join(cls.work, "discs")
        cls.designer = Designer(cls.output).wait_ready()

    @classmethod
    def tearDownClass(cls):
        cls.designer.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_a_foreign_host_is_refused(self):
        # A page at another name that resolves to 127.0.0.1 sends its own.
        for host in (f"evil.example:{self.designer.port}", "127.0.0.1", "127.0.0.1:1",
                     f"127.0.0.1.nip.example:{self.designer.port}"):
            with self.subTest(host):
                status, _, body = self.designer.request("GET", "/", host=host)
                self.assertEqual(status, 403)
                self.assertIn(b"answers only at 127.0.0.1", body)
                self.assertNotIn(self.designer.token.encode(), body)
        status, _, body = self.designer.request(
            "POST", "/api/design", b"{}", {"X-Designer-Token": self.designer.token,
                                           "Content-Type": "application/json"},
            host=f"evil.example:{self.designer.port}")
        self.assertEqual(status, 403)
        # Its own names are served.
        for host in (f"127.0.0.1:{self.designer.port}", f"localhost:{self.designer.port}"):
            status, _, body = self.designer.request("GET", "/", host=host)
            self.assertEqual(status, 200, host)
            self.assertIn(self.designer.token.encode(), body)

    def test_a_write_without_the_token_is_refused(self):
        design = dict(KELMORA)
        for token in (None, "", "not-the-token", self.designer.token[:-1]):
            with self.subTest(token=token):
                headers = {} if token is None else {"X-Designer-Token": token}
                status, answer = self.designer.api("POST", "/api/make", design, token=False,
                                                   headers=headers)
                self.assertEqual(status, 403)
                self.assertIn("token", answer["error"])
        # An upload and the API's reads want it too.
        status, _, _ = self.designer.request("POST", "/api/upload/splash",
                                             multipart("a.png", png_bytes()),
                                             form_headers(self.designer, token=False))
        self.assertEqual(status, 403)
        status, answer = self.designer.api("GET", "/api/status", token=False)
        self.assertEqual(status, 403)
        status, answer = self.designer.api("GET", "/api/folders?path=/", token=False)
        self.assertEqual(status, 403)
        # A design that make-disc refuses, sent with the token, is answered
        # with make-disc's own words for its field.
        status, answer = self.designer.api("POST", "/api/design",
                                           dict(design, version="4.2"))
        self.assertEqual(status, 200)
        self.assertEqual(answer["refusals"][0]["field"], "version")
        self.assertIn("--version: refused: the version is three dot-separated decimal numbers",
                      answer["refusals"][0]["text"])
        self.assertIsNone(answer["preview"])
        for method in ("PUT", "DELETE", "PATCH"):
            status, _, _ = self.designer.request(method, "/api/design", b"{}")
            self.assertEqual(status, 403, method)

    def test_a_write_from_a_foreign_origin_is_refused(self):
        for origin in ("http://evil.example", f"http://127.0.0.1:{self.designer.port + 1}",
                       "null", f"https://127.0.0.1:{self.designer.port}"):
            with self.subTest(origin):
                status, answer = self.designer.api(
                    "POST", "/api/design", KELMORA, headers={"Origin": origin})
                self.assertEqual(status, 403)
                self.assertIn("another site", answer["error"])
        status, answer = self.designer.api("POST", "/api/design", dict(KELMORA, version="x"),
                                           headers={"Origin": self.designer.url.rstrip("/")})
        self.assertEqual(status, 200)
        self.assertEqual(answer["refusals"][0]["field"], "version")

    def test_an_upload_over_the_limit_is_refused_and_the_server_goes_on(self):
        status, _, body = self.designer.request(
            "POST", "/api/upload/splash", multipart("big.png", b"\0" * (LIMIT + (1 << 20))),
            form_headers(self.designer))
        self.assertEqual(status, 413)
        self.assertIn(b"16 MiB", body)
        self.assertIn(b"--splash: refused", body)
        # The server goes on, and takes a picture within the limit.
        status, answer = self.designer.api("GET", "/api/status")
        self.assertEqual(status, 200)
        status, _, body = self.designer.request("POST", "/api/upload/splash",
                                                multipart("small.png", png_bytes()),
                                                form_headers(self.designer))
        self.assertEqual(status, 200, body)
        # What is no picture, or no certificate, is refused as such.
        status, _, body = self.designer.request("POST", "/api/upload/icon",
                                                multipart("notes.png", b"plain text\n"),
                                                form_headers(self.designer))
        self.assertEqual(status, 422)
        self.assertIn(b"--icon: refused", body)
        status, _, body = self.designer.request("POST", "/api/upload/certificate",
                                                multipart("cert.p12", png_bytes()),
                                                form_headers(self.designer))
        self.assertEqual(status, 422)
        self.assertIn(b"no PKCS#12 file", body)

    def test_a_path_outside_the_chosen_folders_is_refused(self):
        secret = os.path.join(self.work, "secret.txt")
        with open(secret, "w") as out:
            out.write("not for the page\n")
        os.makedirs(self.output, exist_ok=True)
        with open(os.path.join(self.output, "inside.txt"), "w") as out:
            out.write("the designer's own\n")
        os.symlink(secret, os.path.join(self.output, "link.txt"))
        os.symlink(self.work, os.path.join(self.output, "folder-link"))
        status, _, body = self.designer.request("GET", "/files/inside.txt")
        self.assertEqual((status, body), (200, b"the designer's own\n"))
        for path in ("/files/../secret.txt", "/files/%2e%2e/secret.txt",
                     "/files/..%2fsecret.txt", "/files//etc/passwd", "/files/link.txt",
                     "/files/folder-link/secret.txt", "/preview/../../etc/passwd",
                     "/preview/%2e%2e/%2e%2e/etc/passwd", "/static/../server.py",
                     "/files/" + secret):
            with self.subTest(path):
                status, _, body = self.designer.request("GET", path)
                self.assertIn(status, (403, 404))
                self.assertNotIn(b"not for the page", body)
                self.assertNotIn(b"root:", body)
        # A design names its pictures and certificate by the designer's own
        # uploads, never by a path.
        for kind in ("splash", "icon", "certificate"):
            status, answer = self.designer.api("POST", "/api/design", dict(KELMORA, **{kind: secret}))
            self.assertEqual(status, 400, kind)
            self.assertIn("no such upload", answer["error"])


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.work = work_folder("designer-command-")
        self.addCleanup(shutil.rmtree, self.work, True)

    def run_designer(self, *arguments):
        return subprocess.run([DESIGNER, *arguments], capture_output=True, text=True,
                              timeout=120, stdin=subprocess.DEVNULL)

    def test_a_wrong_command_line_is_one_line_and_exit_code_2(self):
        for arguments in (["--port"], ["--port", "x"], ["--port", "70000"], ["--bogus"],
                          ["extra"], ["--folder"], ["--port", "--folder", self.work]):
            with self.subTest(arguments):
                result = self.run_designer(*arguments)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(result.stdout, "")
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertTrue(result.stderr.startswith("designer: "), result.stderr)
        help_ = self.run_designer("--help")
        self.assertEqual(help_.returncode, 0)
        self.assertIn("--port N", help_.stdout)

    def test_a_port_in_use_is_one_line_and_exit_code_1(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            result = self.run_designer("--port", str(port), "--folder",
                                       os.path.join(self.work, "discs"))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stderr.splitlines(), [
            f"designer: port {port} is in use (another designer?); --port N takes another"])
        self.assertFalse(os.path.exists(os.path.join(self.work, "discs")))

    def test_ctrl_c_and_sigterm_end_it_with_nothing_left_running(self):
        # Ctrl-C reaches the terminal's whole process group; SIGTERM the
        # designer alone.
        for number, code, word, group in ((signal.SIGINT, 130, "Ctrl-C", True),
                                          (signal.SIGTERM, 143, "SIGTERM", False)):
            with self.subTest(word):
                designer = Designer(os.path.join(self.work, "discs")).wait_ready()
                try:
                    # The preview's session runs (its display and Wine server).
                    self.assertTrue(self.wait_for(lambda: self.session_folders(designer)))
                    folders = self.session_folders(designer)
                    below = designer.descendants()
                    self.assertTrue(below)
                    self.assertEqual(designer.signal(number, group), code)
                finally:
                    designer.stop()
                self.assertEqual(designer.err[-1],
                                 f"designer: ended by {word}; its jobs, sessions and Wine "
                                 "ended with it")
                self.assertEqual(len([line for line in designer.err if "ended by" in line]), 1)
                self.assertNotIn("Traceback", "\n".join(designer.err))
                self.assertEqual([pid for pid in below if running(pid)], [])
                for folder in folders:
                    self.assertEqual(processes_naming(folder), [], folder)
                    self.assertFalse(os.path.exists(folder), folder)

    @staticmethod
    def session_folders(designer):
        """The designer's own folders, as its preview session names them:
        its temporary folder and its sessions' folder."""
        for pid in designer.descendants():
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as source:
                    words = source.read().decode(errors="replace").split("\0")[:-1]
            except OSError:
                continue
            if "--folder" in words and words[-1].endswith("session-commands"):
                return [words[words.index("--folder") + 1], os.path.dirname(words[-1])]
        return []

    @staticmethod
    def wait_for(condition, seconds=60):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if condition():
                return True
            time.sleep(0.2)
        return False


if __name__ == "__main__":
    unittest.main(verbosity=2)
