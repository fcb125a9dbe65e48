#!/usr/bin/python3
"""The designer: the publisher's whole disc made and tried from one page
in the browser, on this machine, with the real launcher as its preview.

    designer.sh [--port N] [--folder DIR]

It sets up the machine (scripts/setup.sh), builds the trial's driver and
the showcase (64-bit, build/try-tools) unless TARNELL_TRIAL_DRIVER names
a driver (the showcase beside it, or TARNELL_SHOWCASE), prepares the
trial's Wine prefix (build/try-prefix, or TARNELL_TRIAL_PREFIX), and
serves the page on 127.0.0.1:N only (8731 by default), until Ctrl-C or
SIGTERM. The discs go to DIR (build/designer by default), each with its
report, and their trials to DIR/try/NAME.

The page sends its design; the server checks it as make-disc does
(publish.make_disc.check_input) and answers with make-disc's refusals,
each for the field it concerns; the preview (preview.py) and the disc
jobs (jobs.py) run in worker threads. guard.py keeps every request to the
page's own. Exit codes: 2 for a wrong command line, 1 when the port is
taken or the set-up fails, 130 or 143 when Ctrl-C or SIGTERM ends it,
with nothing left running."""
import errno
import logging
import os
import shutil
import subprocess
import sys
import tempfile
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, PROJECT)
sys.path.insert(0, os.path.join(PROJECT, "disc"))
import hostlib  # noqa: E402
from hostlib import Refusal, failure_line  # noqa: E402
from hostlib.files import remove_tree  # noqa: E402
from publish import make_disc  # noqa: E402
from publish.designer import guard, jobs  # noqa: E402
from publish.designer.design import (DesignError, carried_languages, fingerprint,  # noqa: E402
                                     options_of, refusal_of, ORIGINAL_SYSTEMS)
from launcher.contract import LAUNCHER  # noqa: E402
from wine.winelayer import WineError  # noqa: E402

NAME = "designer"
DEFAULT_PORT = 8731
DEFAULT_FOLDER = os.path.join(PROJECT, "build", "designer")
TRY_TOOLS = os.path.join(PROJECT, "build", "try-tools", "tools")
TRY_PREFIX = os.path.join(PROJECT, "build", "try-prefix")
USAGE = "usage: designer.sh [--port N] [--folder DIR]"
# A picture converter's look at an upload takes a second or two.
CHECK_SECONDS = 120
UPLOAD_KINDS = {"splash": "--splash", "icon": "--icon", "certificate": "--sign"}
CONVERTERS = {"splash": "make_splash.py", "icon": "make_icon.py"}


class CommandLineError(Exception):
    """A wrong command line: one line, exit code 2."""


def parse_command_line(arguments):
    """(port, folder), or None when the usage was asked for."""
    port, folder = DEFAULT_PORT, DEFAULT_FOLDER
    given = list(arguments)
    while given:
        argument = given.pop(0)
        if argument in ("-h", "--help"):
            return None
        option, equals, value = argument.partition("=")
        if option not in ("--port", "--folder"):
            raise CommandLineError(f"no such option: {argument}" if argument.startswith("-")
                                   else f"not an option: {argument}")
        if not equals:
            if not given or given[0].startswith("--"):
                raise CommandLineError(f"{option} needs a value")
            value = given.pop(0)
        if option == "--port":
            if not value.isdigit() or not 1 <= int(value) <= 65535:
                raise CommandLineError(f"--port takes a port number from 1 to 65535: {value!r}")
            port = int(value)
        else:
            if not value:
                raise CommandLineError("--folder needs a folder")
            folder = os.path.abspath(value)
    return port, folder


class Upload:
    def __init__(self, kind, path, name, findings):
        self.kind, self.path, self.name, self.findings = kind, path, name, findings


class Designer:
    """One designer's state: its guard, its folders, the uploads it holds,
    its preview and its disc jobs."""

    def __init__(self, port, output, work, driver, showcase, template, sessions):
        self.guard = guard.Guard(port)
        self.output, self.work = output, work
        self.uploads_folder = os.path.join(work, "uploads")
        self.previews_folder = os.path.join(work, "previews")
        os.makedirs(self.uploads_folder)
        os.makedirs(self.previews_folder)
        self.uploads = {}
        self.preview = jobs.PreviewWorker(self.previews_folder, showcase, template, sessions,
                                          work)
        self.jobs = jobs.DiscJobs(output, driver, template)

    def upload_path(self, kind, upload_id):
        upload = self.uploads.get(upload_id)
        if upload is None or upload.kind != kind:
            raise DesignError(f"{kind}: no such upload; choose the file again")
        return upload.path

    def checked(self, design):
        """The options of a design and make-disc's refusal of them, if any
        (its checks, before anything is built)."""
        options = options_of(design, self.upload_path)
        try:
            make_disc.check_input(options)
        except Refusal as error:
            return options, [refusal_of(error, checking=True)]
        return options, []

    def store_upload(self, kind, storage):
        """Keeps an uploaded file in the designer's own folder, checked for
        what it claims to be: (its id, its Upload), or (None, the refusal
        for its field)."""
        setting = UPLOAD_KINDS[kind]
        name = os.path.basename((storage.filename or "").replace("\\", "/")) or kind
        # The file keeps its own name (the converters name it), made plain.
        name = "".join(c if c.isalnum() or c in "._-" else "_" for c in name).lstrip(".") or kind
        data = storage.read(guard.UPLOAD_LIMIT + 1)
        if len(data) > guard.UPLOAD_LIMIT:
            return None, too_large(kind)
        folder = tempfile.mkdtemp(dir=self.uploads_folder)
        path = os.path.join(folder, name)
        with open(path, "wb") as out:
            out.write(data)
        if kind == "certificate":
            from discimage.authenticode import is_pkcs12
            why = guard.check_certificate_shape(data, is_pkcs12)
            findings = []
        else:
            why = guard.check_picture(path)
            findings = []
            if why is None:
                why, findings = convert_check(kind, path)
        if why is not None:
            shutil.rmtree(folder, ignore_errors=True)
            line = why if why.startswith(setting + ":") else f"{setting}: refused: {why}: {name}"
            return None, {"field": kind, "text": line}
        upload = Upload(kind, path, name, findings)
        upload_id = uuid.uuid4().hex
        self.uploads[upload_id] = upload
        return upload_id, upload


def too_large(kind):
    return {"field": kind, "text": f"{UPLOAD_KINDS[kind]}: refused: the file is larger than the "
                                   f"{guard.UPLOAD_LIMIT >> 20} MiB the designer takes"}


def convert_check(kind, path):
    """What the picture's converter finds (make-disc's own words), writing
    nothing: (its refusal's line or None, its findings)."""
    command = ["/usr/bin/python3", os.path.join(PROJECT, "brand", "art", CONVERTERS[kind]),
               f"--setting={UPLOAD_KINDS[kind]}", "--check", path]
    try:
        result = subprocess.run(command, capture_output=True, text=True, errors="replace",
                                timeout=CHECK_SECONDS, stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired:
        return f"the picture took more than {CHECK_SECONDS} s to convert", []
    prefix = UPLOAD_KINDS[kind] + ": "
    findings = [line[len(prefix):] for line in result.stdout.splitlines()
                if line.startswith(prefix)]
    if result.returncode != 0:
        said = result.stderr.strip().splitlines()
        return (said[-1] if said else f"the converter failed (exit code {result.returncode})"), \
            findings
    return None, findings


def create_app(designer):
    from flask import Flask, jsonify, render_template, request, send_file
    from werkzeug.exceptions import HTTPException
    from werkzeug.routing import Map

    class PlainPaths(Map):
        """A path is taken as sent and checked as it is: never merged and
        redirected to another one."""

        def __init__(self, *arguments, **options):
            options["merge_slashes"] = False
            super().__init__(*arguments, **options)

    class App(Flask):
        url_map_class = PlainPaths

    app = App(__name__, static_folder=os.path.join(HERE, "static"),
                template_folder=os.path.join(HERE, "static"))
    app.config["MAX_CONTENT_LENGTH"] = guard.UPLOAD_LIMIT + (64 << 10)

    def refused(status, text):
        if request.path.startswith("/api/"):
            return jsonify(error=f"{NAME}: refused: {text}"), status
        return f"{NAME}: refused: {text}\n", status, {"Content-Type": "text/plain; charset=utf-8"}

    @app.before_request
    def check_request():
        try:
            designer.guard.check(request.method, request.path, request.headers)
        except guard.Refused as error:
            return refused(error.status, error.text)
        if (request.content_length or 0) > app.config["MAX_CONTENT_LENGTH"]:
            kind = request.path.rsplit("/", 1)[-1]
            text = too_large(kind)["text"] if kind in UPLOAD_KINDS else \
                f"the request is larger than the {guard.UPLOAD_LIMIT >> 20} MiB the designer takes"
            return jsonify(error=text, refusal=too_large(kind) if kind in UPLOAD_KINDS else None), 413
        return None

    @app.after_request
    def headers(response):
        response.headers["Content-Security-Policy"] = (
            "default-src 'self'; img-src 'self'; style-src 'self'; script-src 'self'; "
            "connect-src 'self'; frame-ancestors 'none'; form-action 'none'; base-uri 'none'")
        response.headers["X-Content-Type-Options"] = "nosniff"
        response.headers["Referrer-Policy"] = "no-referrer"
        response.headers["Cache-Control"] = "no-store"
        return response

    @app.errorhandler(413)
    def too_big(error):
        kind = request.path.rsplit("/", 1)[-1]
        text = too_large(kind)["text"] if kind in UPLOAD_KINDS else \
            f"the request is larger than the {guard.UPLOAD_LIMIT >> 20} MiB the designer takes"
        return jsonify(error=text, refusal=too_large(kind) if kind in UPLOAD_KINDS else None), 413

    @app.errorhandler(Exception)
    def fault(error):
        if isinstance(error, HTTPException):
            return refused(error.code, error.description or error.name)
        line = failure_line(NAME, error)
        print(line, file=sys.stderr, flush=True)
        return jsonify(error=line), 500

    @app.get("/")
    def page():
        from disctrial.verdict import VERSIONS
        return render_template(
            "index.html", token=designer.guard.token, limit=guard.UPLOAD_LIMIT,
            limit_mib=guard.UPLOAD_LIMIT >> 20, languages=carried_languages(),
            systems=LAUNCHER.systems, original=ORIGINAL_SYSTEMS, versions=VERSIONS,
            output=designer.output)

    def design_of(body):
        if not isinstance(body, dict):
            raise DesignError("the request holds no design")
        return body

    @app.post("/api/design")
    def design():
        try:
            body = design_of(request.get_json(silent=True))
            options, refusals = designer.checked(body)
        except DesignError as error:
            return jsonify(error=f"{NAME}: refused: {error}"), 400
        if refusals:
            designer.preview.refused(refusals[0])
            return jsonify(refusals=refusals, preview=None)
        return jsonify(refusals=[], preview=designer.preview.ask(options))

    @app.post("/api/upload/<kind>")
    def upload(kind):
        if kind not in UPLOAD_KINDS:
            return refused(404, "no such kind of upload")
        storage = request.files.get("file")
        if storage is None:
            return jsonify(error=f"{NAME}: refused: the upload holds no file"), 400
        upload_id, result = designer.store_upload(kind, storage)
        if upload_id is None:
            return jsonify(refusal=result), 422
        return jsonify(id=upload_id, name=result.name, findings=result.findings)

    @app.get("/api/folders")
    def folders():
        try:
            folder, parent, names = guard.folder_listing(request.args.get("path", ""))
        except guard.Refused as error:
            return jsonify(error=f"{NAME}: {error.text}"), error.status
        return jsonify(path=folder, parent=parent, folders=names)

    def start(kind):
        try:
            body = design_of(request.get_json(silent=True))
            versions = None
            if kind == "try":
                from disctrial.verdict import VERSIONS
                names = [version.wine_name for version in VERSIONS]
                asked = body.get("versions") or []
                if not isinstance(asked, list) or any(name not in names for name in asked):
                    raise DesignError("versions: the versions are " + ", ".join(names))
                if not asked:
                    raise DesignError("versions: choose at least one version to try")
                versions = None if len(asked) == len(names) else \
                    [name for name in names if name in asked]
            design = {key: value for key, value in body.items() if key != "versions"}
            options, refusals = designer.checked(design)
        except DesignError as error:
            return jsonify(error=f"{NAME}: refused: {error}"), 400
        if refusals:
            return jsonify(refusals=refusals), 422
        try:
            number = designer.jobs.start(kind, options, fingerprint(design), versions)
        except jobs.Busy as error:
            return jsonify(error=f"{NAME}: {error}"), 409
        return jsonify(job=number), 202

    @app.post("/api/make")
    def make():
        return start("make")

    @app.post("/api/try")
    def trial():
        return start("try")

    @app.get("/favicon.ico")
    def no_icon():
        return "", 204

    @app.get("/api/status")
    def status():
        return jsonify(preview=designer.preview.status(), job=designer.jobs.status())

    @app.get("/preview/<path:name>")
    def preview_picture(name):
        try:
            path = guard.regular_file_in(designer.previews_folder, name)
        except guard.Refused as error:
            return refused(error.status, error.text)
        return send_file(path, mimetype="image/png")

    @app.get("/files/<path:name>")
    def output_file(name):
        try:
            path = guard.regular_file_in(designer.output, name)
        except guard.Refused as error:
            return refused(error.status, error.text)
        download = not path.endswith((".png", ".txt"))
        return send_file(path, as_attachment=download,
                         mimetype="text/plain" if path.endswith(".txt") else None)

    return app


class OneLine(logging.Formatter):
    """The web server's own messages as one line each, never a traceback."""

    def format(self, record):
        lines = record.getMessage().strip().splitlines() or [""]
        return f"{NAME}: " + (lines[0] if len(lines) == 1 else f"{lines[0]} {lines[-1].strip()}")


def quiet_web_server():
    handler = logging.StreamHandler(sys.stderr)
    handler.setFormatter(OneLine())
    for name in ("werkzeug", "flask.app"):
        logger = logging.getLogger(name)
        logger.handlers[:] = [handler]
        logger.propagate = False
        # The requests themselves are not logged: the page polls.
        logger.setLevel(logging.ERROR)


def tools():
    """The trial's driver and the showcase: named by the environment, or
    built as try-disc.sh builds its driver."""
    driver = os.environ.get("TARNELL_TRIAL_DRIVER")
    if not driver:
        print(f"{NAME}: building the trial's driver and the showcase in build/try-tools",
              flush=True)
        built = make_disc.run_step(["sh", "-c", 'cd "$0" && cmake --preset try >/dev/null && '
                                    'cmake --build --preset try --target trial_driver showcase '
                                    '>/dev/null', PROJECT])
        if built.returncode != 0:
            raise Refusal("the trial's driver and the showcase could not be built",
                          "build/try-tools")
        driver = os.path.join(TRY_TOOLS, "trial_driver.exe")
    showcase = os.environ.get("TARNELL_SHOWCASE") or \
        os.path.join(os.path.dirname(os.path.abspath(driver)), "showcase.exe")
    for path, what in ((driver, "the trial's driver"), (showcase, "the showcase")):
        if not os.path.isfile(path):
            raise Refusal(f"{what} is missing", path)
    return os.path.abspath(driver), os.path.abspath(showcase)


def serve(port, output):
    """Binds the port first (a port in use is said at once), then sets up,
    builds and prepares what the page needs, and serves until
    interrupted."""
    from werkzeug.serving import make_server
    quiet_web_server()
    try:
        server = make_server("127.0.0.1", port, None, threaded=True)
    except OSError as error:
        if error.errno == errno.EADDRINUSE:
            print(f"{NAME}: port {port} is in use (another designer?); --port N takes another",
                  file=sys.stderr)
        else:
            print(f"{NAME}: cannot listen on 127.0.0.1:{port} ({error.strerror})",
                  file=sys.stderr)
        return 1
    work = sessions = designer = None
    try:
        try:
            os.makedirs(output, exist_ok=True)
        except OSError as error:
            raise Refusal(f"the folder for the discs cannot be made ({error.strerror})",
                          output, "--folder") from None
        setup = make_disc.run_step([make_disc.SETUP])
        if setup.returncode != 0:
            return 1
        driver, showcase = tools()
        template = os.path.abspath(os.environ.get("TARNELL_TRIAL_PREFIX") or TRY_PREFIX)
        print(f"{NAME}: preparing the Wine prefix {template}", flush=True)
        from disctrial.session import prepare_template
        os.makedirs(os.path.dirname(template), exist_ok=True)
        prepare_template(template)
        work = tempfile.mkdtemp(prefix="designer-")
        # The preview's sessions link the template's files: on its file system.
        sessions = tempfile.mkdtemp(prefix=".designer-sessions-", dir=os.path.dirname(template))
        designer = Designer(port, output, work, driver, showcase, template, sessions)
        server.app = create_app(designer)
        print(f"{NAME}: http://127.0.0.1:{port}/ (discs go to {output}; Ctrl-C ends it)",
              flush=True)
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
        if designer is not None:
            designer.preview.stop()
            designer.preview.thread.join(jobs.ENDING_SECONDS)
            designer.jobs.wait(jobs.ENDING_SECONDS)
        jobs.end_descendants()
        if designer is not None:
            designer.preview.thread.join(jobs.ENDING_SECONDS)
            designer.jobs.wait(jobs.ENDING_SECONDS)
        for folder in (work, sessions):
            if folder is not None:
                remove_tree(folder)
    return 0


def main():
    try:
        parsed = parse_command_line(sys.argv[1:])
    except CommandLineError as error:
        print(f"{NAME}: {error} ({USAGE})", file=sys.stderr)
        return 2
    if parsed is None:
        print(USAGE)
        return 0
    # The certificate's password comes from the page alone, and no program
    # the designer starts inherits one.
    os.environ.pop(make_disc.PASSWORD_VARIABLE, None)
    return serve(*parsed)


def interruption():
    """The exit code of the signal that ended the designer, or None."""
    try:
        hostlib.check_interrupted()
    except KeyboardInterrupt:
        return hostlib.EXIT_INTERRUPTED
    except hostlib.Interrupted:
        return hostlib.EXIT_TERMINATED
    return None


def run():
    hostlib.take_terminate_as_interrupt()
    try:
        code = main()
    except KeyboardInterrupt:
        code = hostlib.EXIT_INTERRUPTED
    except hostlib.Interrupted:
        code = hostlib.EXIT_TERMINATED
    except Exception as error:  # noqa: BLE001: never a traceback for a publisher
        print(failure_line(NAME, error, (WineError,)), file=sys.stderr)
        code = 1
    code = interruption() or code
    if code in (hostlib.EXIT_INTERRUPTED, hostlib.EXIT_TERMINATED):
        print(f"{NAME}: ended by {'Ctrl-C' if code == hostlib.EXIT_INTERRUPTED else 'SIGTERM'}; "
              "its jobs, sessions and Wine ended with it", file=sys.stderr)
    sys.exit(code or 0)


if __name__ == "__main__":
    run()
