"""What every host tool (the brand tools, the disc image maker, the disc
trial) shares: the one refusal, names as a message shows them, and the one
line a tool ends with when it refuses or fails, printed by run(), which
runs a tool's main so that it never ends in a traceback.

A tool puts the project's root on sys.path and imports this package."""
import signal
import sys
import threading

# Exit codes of a tool ended by Ctrl-C (SIGINT) and by SIGTERM.
EXIT_INTERRUPTED = 130
EXIT_TERMINATED = 143


class Interrupted(BaseException):
    """SIGTERM, taken as Ctrl-C is: it unwinds the tool, so that what it
    was writing is removed on the way out."""


# The signal that interrupted the tool, once one did.
_interrupted = None


def _interruption(number):
    return KeyboardInterrupt() if number == signal.SIGINT else Interrupted()


def take_terminate_as_interrupt():
    """SIGTERM unwinds the tool as Ctrl-C does; after the first of either,
    both are ignored, so that a second one cannot cut short the removal
    of what the tool was writing (which is bounded in time). The first is
    kept: an exception raised where Python drops it (in a finaliser) is
    raised again where the tool would put its output in place, and the
    tool ends interrupted all the same."""
    def interrupt(number, frame):
        global _interrupted
        _interrupted = number
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        raise _interruption(number)
    signal.signal(signal.SIGINT, interrupt)
    signal.signal(signal.SIGTERM, interrupt)


def hold_interrupts():
    """Called (from the main thread) just before a tool puts its output in
    place: from there an interrupt no longer ends it, so that it never
    says "nothing written" of an output it wrote; what is left, reporting
    what it wrote, takes a moment. A tool already interrupted is unwound
    here instead. In another thread than the main one (a server's job,
    whose main thread waits for it before it ends), only that is done:
    Python sets signal handlers in the main thread alone."""
    if threading.current_thread() is not threading.main_thread():
        check_interrupted()
        return
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
    if _interrupted is not None:
        raise _interruption(_interrupted)


def check_interrupted():
    """Unwinds the tool when it was interrupted though the interrupt's
    exception was dropped (raised in a finaliser): called where a tool
    waits long."""
    if _interrupted is not None:
        raise _interruption(_interrupted)


class Refusal(Exception):
    """An input a tool will not take: the rule, the value as the message
    shows it, and the setting or option it concerns, if any, which then
    leads the line in place of the tool's name."""

    def __init__(self, rule, value, setting=None):
        super().__init__(f"{rule}: {value}")
        self.rule, self.value, self.setting = rule, value, setting


class Relayed(Refusal):
    """A refusal that another of the project's tools has already put in
    its one line: the line as it stands."""

    def __init__(self, line):
        super().__init__(line, "")
        self.line = line

    def __str__(self):
        return self.line


def shown(text):
    """A name as a message can show it: bytes that are no text in the file
    system's encoding as \\xNN, control characters and what cannot be
    printed escaped, so that no message holds a raw newline."""
    out = []
    for c in text:
        code = ord(c)
        if 0xDC80 <= code <= 0xDCFF:
            out.append(f"\\x{code - 0xDC00:02X}")
        elif c == "\\":
            out.append("\\\\")
        elif not c.isprintable():
            out.append(f"\\x{code:02X}" if code < 0x100 else
                       f"\\u{code:04X}" if code < 0x10000 else f"\\U{code:08X}")
        else:
            out.append(c)
    return "".join(out)


def failure_line(name, error, worded=()):
    """The one line a tool ends with: a refusal with its setting (or the
    tool's name), its rule and value; a fault of the system (a file gone,
    a full disk) with its word and the file; an error of a worded kind
    with its own text; any other with its kind and its text."""
    if isinstance(error, Relayed):
        return error.line
    if isinstance(error, Refusal):
        return f"{error.setting or name}: refused: {error}"
    if isinstance(error, worded):
        return f"{name}: failed: {error}"
    if isinstance(error, OSError):
        return f"{name}: failed: {error.strerror or error}" + \
            (f": {shown(str(error.filename))}" if error.filename else "")
    return f"{name}: failed: {type(error).__name__}: {shown(str(error))}"


def run(main, name, worded=()):
    """Runs a tool's main and exits with what it returns (None is 0); a
    refusal or any fault is its one line on stderr and exit code 1; Ctrl-C
    or SIGTERM one line too, and 130 or 143, once the tool has removed
    what it was writing. worded: kinds of error whose text already says
    what failed."""
    take_terminate_as_interrupt()
    try:
        code = main()
    except KeyboardInterrupt:
        code = EXIT_INTERRUPTED
    except Interrupted:
        code = EXIT_TERMINATED
    except Exception as error:  # noqa: BLE001: never a traceback for a publisher
        print(failure_line(name, error, worded), file=sys.stderr)
        code = 1
    if _interrupted is not None and code not in (EXIT_INTERRUPTED, EXIT_TERMINATED):
        code = EXIT_INTERRUPTED if _interrupted == signal.SIGINT else EXIT_TERMINATED
    if code in (EXIT_INTERRUPTED, EXIT_TERMINATED):
        print(f"{name}: interrupted; nothing written", file=sys.stderr)
    sys.exit(code or 0)
