"""A timestamp server of the tests' own, on the loopback: it answers RFC
3161 requests with openssl ts, signed by the certificate certificates.py
made for it, so that a signature's timestamp is tried for real without
the network."""
import http.server
import os
import subprocess
import tempfile
import threading

CONFIG = """[tsa]
default_tsa = tsa_config
[tsa_config]
serial = {folder}/serial
signer_cert = {folder}/timestamping.pem
signer_key = {folder}/timestamping.key
certs = {folder}/authority.pem
signer_digest = sha256
default_policy = 1.3.6.1.4.1.4146.2.3
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
"""
# A request is a few hundred bytes.
REQUEST_LIMIT = 1 << 16


class TimestampServer:
    """Started with start(); url; stop() ends it. folder: where
    certificates.py wrote timestamping.pem, its key and authority.pem."""

    def __init__(self, folder):
        self.folder = folder
        with open(os.path.join(folder, "serial"), "w") as out:
            out.write("01\n")
        self.config = os.path.join(folder, "ts.cnf")
        with open(self.config, "w") as out:
            out.write(CONFIG.format(folder=folder))
        self.answered = 0
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                length = int(self.headers.get("Content-Length", "0"))
                if not 0 < length <= REQUEST_LIMIT:
                    self.send_error(400)
                    return
                reply = server.reply(self.rfile.read(length))
                if reply is None:
                    self.send_error(500)
                    return
                server.answered += 1
                self.send_response(200)
                self.send_header("Content-Type", "application/timestamp-reply")
                self.send_header("Content-Length", str(len(reply)))
                self.end_headers()
                self.wfile.write(reply)

            def log_message(self, *arguments):
                pass

        self.http = http.server.HTTPServer(("127.0.0.1", 0), Handler)
        self.url = f"http://127.0.0.1:{self.http.server_address[1]}/"

    def reply(self, request):
        with tempfile.TemporaryDirectory(prefix="timestamp-") as work:
            query, answer = os.path.join(work, "query.der"), os.path.join(work, "reply.der")
            with open(query, "wb") as out:
                out.write(request)
            result = subprocess.run(["openssl", "ts", "-reply", "-config", self.config,
                                     "-queryfile", query, "-out", answer], capture_output=True)
            if result.returncode != 0:
                return None
            with open(answer, "rb") as source:
                return source.read()

    def start(self):
        threading.Thread(target=self.http.serve_forever, daemon=True).start()
        return self

    def stop(self):
        self.http.shutdown()
        self.http.server_close()
