"""Progress of a long step: one line that updates in place on a terminal,
whole lines (at each tenth) in a log. Nothing is shown for a step that
ends within a few seconds. A caller that shows progress itself (the
designer) listens instead: every update goes to it, and nothing is
printed."""
import contextlib
import contextvars
import sys
import time

QUIET_SECONDS = 3.0
_listener = contextvars.ContextVar("progress listener", default=None)


@contextlib.contextmanager
def listening(callback):
    """Within it, updates go to callback(what, fraction) instead."""
    token = _listener.set(callback)
    try:
        yield
    finally:
        _listener.reset(token)


class Progress:
    def __init__(self, what, stream=None):
        self.what = what
        self.stream = stream or sys.stderr
        self.started = time.monotonic()
        self.terminal = self.stream.isatty()
        self.shown = None

    def update(self, fraction):
        listener = _listener.get()
        if listener is not None:
            listener(self.what, max(0.0, min(1.0, fraction)))
            return
        if time.monotonic() - self.started < QUIET_SECONDS:
            return
        percent = int(max(0.0, min(1.0, fraction)) * 100)
        if self.terminal:
            if percent != self.shown:
                self.stream.write(f"\r{self.what}: {percent}%")
                self.stream.flush()
        elif self.shown is None or percent // 10 > self.shown // 10:
            self.stream.write(f"{self.what}: {percent}%\n")
            self.stream.flush()
        self.shown = percent

    def done(self):
        listener = _listener.get()
        if listener is not None:
            listener(self.what, 1.0)
            return
        if self.shown is None:
            return
        if self.terminal:
            self.stream.write(f"\r{self.what}: done\n")
        elif self.shown < 100:
            self.stream.write(f"{self.what}: 100%\n")
        self.stream.flush()
