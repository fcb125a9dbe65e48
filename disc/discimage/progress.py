"""Progress of a long step: one line that updates in place on a terminal,
whole lines (at each tenth) in a log. Nothing is shown for a step that
ends within a few seconds."""
import sys
import time

QUIET_SECONDS = 3.0


class Progress:
    def __init__(self, what, stream=None):
        self.what = what
        self.stream = stream or sys.stderr
        self.started = time.monotonic()
        self.terminal = self.stream.isatty()
        self.shown = None

    def update(self, fraction):
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
        if self.shown is None:
            return
        if self.terminal:
            self.stream.write(f"\r{self.what}: done\n")
        elif self.shown < 100:
            self.stream.write(f"{self.what}: 100%\n")
        self.stream.flush()
