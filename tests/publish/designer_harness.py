"""A designer started as a publisher starts it (scripts/designer.sh) on a
free port of the loopback, with the trial's driver and prefix the tests'
environment names, and the requests the tests send it.

Environment: TARNELL_TRIAL_DRIVER64 (the 64-bit driver, when built) or
TARNELL_TRIAL_DRIVER, and TARNELL_TRIAL_PREFIX. A test that lacks them
fails: none passes as skipped."""
import http.client
import json
import os
import re
import signal
import socket
import subprocess
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
DESIGNER = os.path.join(PROJECT, "scripts", "designer.sh")
ADDRESS = re.compile(r"http://127\.0\.0\.1:(\d+)/")
TOKEN = re.compile(r'<meta name="designer-token" content="([^"]+)">')
# Setting up, building nothing (the tools are given) and preparing the
# prefix: minutes only when the prefix is new.
START_SECONDS = 600
END_SECONDS = 30


def required(name):
    value = os.environ.get(name, "")
    if not value:
        raise AssertionError(f"{name} is not set: the test cannot run")
    return value


def trial_driver():
    """The 64-bit driver where it is built (native speed everywhere), else
    this build's."""
    driver = os.environ.get("TARNELL_TRIAL_DRIVER64", "")
    if not os.path.isfile(driver):
        driver = required("TARNELL_TRIAL_DRIVER")
    if not os.path.isfile(driver):
        raise AssertionError(f"the trial's driver is missing: {driver}")
    return driver


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Designer:
    """scripts/designer.sh running: its output read as it comes."""

    def __init__(self, folder, port=None, arguments=None):
        self.port = port or free_port()
        self.folder = folder
        environment = dict(os.environ, TARNELL_TRIAL_DRIVER=trial_driver(),
                           TARNELL_TRIAL_PREFIX=required("TARNELL_TRIAL_PREFIX"))
        environment.pop("TARNELL_SHOWCASE", None)
        command = [DESIGNER] + (arguments if arguments is not None else
                                ["--port", str(self.port), "--folder", folder])
        self.process = subprocess.Popen(command, env=environment, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        text=True, start_new_session=True)
        self.out, self.err = [], []
        self.readers = [threading.Thread(target=self.read, args=(stream, lines), daemon=True)
                        for stream, lines in ((self.process.stdout, self.out),
                                              (self.process.stderr, self.err))]
        for reader in self.readers:
            reader.start()
        self.token = None

    @staticmethod
    def read(stream, lines):
        for line in stream:
            lines.append(line.rstrip("\n"))

    def wait_ready(self):
        """Waits for the address line; reads the page's token."""
        deadline = time.monotonic() + START_SECONDS
        while not any(ADDRESS.search(line) for line in self.out):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise AssertionError("the designer did not start:\n" +
                                     "\n".join(self.out + self.err))
            time.sleep(0.2)
        address = [line for line in self.out if ADDRESS.search(line)]
        assert len(address) == 1, self.out
        assert int(ADDRESS.search(address[0]).group(1)) == self.port, address
        status, _, body = self.request("GET", "/")
        assert status == 200, (status, body)
        self.token = TOKEN.search(body.decode()).group(1)
        return self

    @property
    def url(self):
        return f"http://127.0.0.1:{self.port}/"

    def request(self, method, path, body=None, headers=None, host=None):
        """(status, headers, body) of one request, sent as it is."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=120)
        try:
            connection.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
            connection.putheader("Host", host or f"127.0.0.1:{self.port}")
            for name, value in (headers or {}).items():
                connection.putheader(name, value)
            data = body or b""
            connection.putheader("Content-Length", str(len(data)))
            connection.endheaders()
            try:
                connection.send(data)
            except (BrokenPipeError, ConnectionResetError):
                # The server may answer a request too large before it is
                # all sent; its answer is still read.
                pass
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def api(self, method, path, document=None, token=True, headers=None):
        """(status, JSON) of an API call, with the page's token unless not."""
        sent = dict(headers or {})
        if token:
            sent["X-Designer-Token"] = self.token
        body = None
        if document is not None:
            body = json.dumps(document).encode()
            sent["Content-Type"] = "application/json"
        status, _, data = self.request(method, path, body, sent)
        return status, json.loads(data or b"{}")

    def descendants(self):
        """The processes below the designer now."""
        table = {}
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open(f"/proc/{entry}/stat") as source:
                        table[int(entry)] = int(source.read().rsplit(")", 1)[1].split()[1])
                except (OSError, IndexError, ValueError):
                    pass
        found, queue = set(), [self.process.pid]
        while queue:
            parent = queue.pop()
            for child, ppid in table.items():
                if ppid == parent and child not in found:
                    found.add(child)
                    queue.append(child)
        return found

    def signal(self, number, group=False):
        """Sends the signal to the designer's own process, or to its whole
        process group as a terminal's Ctrl-C does, and waits for its end;
        its exit code."""
        if group:
            os.killpg(self.process.pid, number)
        else:
            os.kill(self.process.pid, number)
        try:
            return self.process.wait(END_SECONDS)
        finally:
            for reader in self.readers:
                reader.join(5)

    def stop(self):
        if self.process.poll() is None:
            self.signal(signal.SIGTERM)
        for stream in (self.process.stdout, self.process.stderr):
            stream.close()


def processes_naming(text):
    """Processes whose command line or environment names the text (a Wine
    server knows its prefix from WINEPREFIX alone)."""
    found = []
    needle = text.encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        for part in ("cmdline", "environ"):
            try:
                with open(f"/proc/{entry}/{part}", "rb") as source:
                    if needle in source.read():
                        found.append(int(entry))
                        break
            except OSError:
                pass
    return found


def work_folder(prefix):
    return tempfile.mkdtemp(prefix=prefix)
