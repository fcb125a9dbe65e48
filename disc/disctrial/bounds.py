"""Each session's bounds, for all of its processes together: how many
processes (and threads) it may run, how much memory they may take, and
how many bytes they may write. A disc's program that forks without end,
fills the disk or takes all memory is stopped at its session's bound, and
the host and the other sessions go on.

Processes and memory are bounded by a control group of the session's
own, in the kernel's version 1 hierarchies (memory, pids) or in its
unified one (cgroup v2), wherever the trial may make one (as root); the
bytes written by the size of the sandbox's own file system (sandbox.py),
which holds all the session can write. Where the machine gives no control
group, warning() says which bounds are missing, and the trial goes on
with the others."""
import os
import signal
import time

PROCESS_LIMIT = 256
MEMORY_LIMIT = 2 << 30
WRITE_LIMIT = 1 << 30
# A session whose file system has less room left than this has filled it.
WRITE_SLACK = 1 << 20
# The names of the bounds, as a report row gives them.
PROCESSES, MEMORY, BYTES = "processes", "memory", "bytes written"
FIGURES = {PROCESSES: f"{PROCESS_LIMIT} processes", MEMORY: f"{MEMORY_LIMIT >> 30} GiB of memory",
           BYTES: f"{WRITE_LIMIT >> 30} GiB written"}

CGROUP_ROOT = "/sys/fs/cgroup"
GROUP_PREFIX = "tarnell-trial-"
# How long the processes of an ended group may take to go.
GONE_SECONDS = 5


def _write(path, text):
    with open(path, "w", encoding="ascii") as out:
        out.write(text)


def _read(path):
    try:
        with open(path, encoding="ascii", errors="replace") as source:
            return source.read()
    except OSError:
        return ""


def _count(text, key):
    """The number after key in a file of 'key value' lines (0 when none)."""
    for line in text.splitlines():
        name, _, value = line.partition(" ")
        if name == key and value.strip().isdigit():
            return int(value)
    return 0


def _own_group(controller):
    """This process's group in a version 1 hierarchy ('' for a v2 one)."""
    for line in _read("/proc/self/cgroup").splitlines():
        _, names, path = line.split(":", 2)
        if controller in names.split(",") or (controller == "" and names == ""):
            return path
    return None


def kill_processes(pids):
    """SIGKILL to each, those gone already passed over."""
    for pid in pids:
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass


def _alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True


class Hierarchy:
    """Where this machine lets the trial make a session's groups: the
    parent folder of each controller's groups, or none."""

    def __init__(self):
        self.v1 = {}        # controller: parent folder
        self.v2 = None      # parent folder in the unified hierarchy
        self.v2_controllers = set()
        self.missing = []
        unified = os.path.join(CGROUP_ROOT, "cgroup.controllers")
        if os.path.exists(unified):
            self._find_v2(unified)
        else:
            for controller in ("memory", "pids"):
                # Under this process's own group, so that a container's
                # bounds hold for the sessions too.
                parent = os.path.join(CGROUP_ROOT, controller)
                own = os.path.join(parent, (_own_group(controller) or "").lstrip("/"))
                if os.path.isdir(own):
                    parent = own
                if os.path.isdir(parent) and os.access(parent, os.W_OK):
                    self.v1[controller] = parent
        for controller, bound in (("memory", MEMORY), ("pids", PROCESSES)):
            if controller not in self.v1 and not (self.v2 and controller in self.v2_controllers):
                self.missing.append(bound)
        self._remove_stale()

    def _find_v2(self, unified):
        """The unified hierarchy: groups go under its root, whose controllers
        are enabled for its children (a group with processes of its own
        cannot give them to children)."""
        enabled = _read(os.path.join(CGROUP_ROOT, "cgroup.subtree_control")).split()
        if os.access(CGROUP_ROOT, os.W_OK):
            self.v2 = CGROUP_ROOT
            self.v2_controllers = {c for c in ("memory", "pids") if c in enabled}

    def parents(self):
        return list(self.v1.values()) + ([self.v2] if self.v2 else [])

    def _remove_stale(self):
        """Removes the empty groups of trials that were killed before they
        could remove their own."""
        for parent in self.parents():
            try:
                names = os.listdir(parent)
            except OSError:
                continue
            for name in names:
                owner = name[len(GROUP_PREFIX):].split("-")[0]
                if name.startswith(GROUP_PREFIX) and owner.isdigit() and not _alive(int(owner)):
                    try:
                        os.rmdir(os.path.join(parent, name))
                    except OSError:
                        pass

    def warning(self):
        """One line naming the bounds this machine cannot give, or None."""
        if not self.missing:
            return None
        return ("the " + " and ".join(self.missing) + " of each session are not bounded here "
                "(no control group the trial may make; run it as root)")

    def group(self, number):
        """A new SessionGroup for the session numbered so."""
        return SessionGroup(self, f"{GROUP_PREFIX}{os.getpid()}-{number}")


class SessionGroup:
    """One session's control groups: made, entered by its command, watched
    for the bounds reached, emptied and removed."""

    def __init__(self, hierarchy, name):
        self.folders = []
        self.v2 = False
        try:
            if hierarchy.v2:
                folder = os.path.join(hierarchy.v2, name)
                os.mkdir(folder)
                self.folders.append(folder)
                self.v2 = True
                if "memory" in hierarchy.v2_controllers:
                    _write(os.path.join(folder, "memory.max"), str(MEMORY_LIMIT))
                    if os.path.exists(os.path.join(folder, "memory.swap.max")):
                        _write(os.path.join(folder, "memory.swap.max"), "0")
                if "pids" in hierarchy.v2_controllers:
                    _write(os.path.join(folder, "pids.max"), str(PROCESS_LIMIT))
            for controller, parent in hierarchy.v1.items():
                folder = os.path.join(parent, name)
                os.mkdir(folder)
                self.folders.append(folder)
                if controller == "memory":
                    _write(os.path.join(folder, "memory.limit_in_bytes"), str(MEMORY_LIMIT))
                    swap = os.path.join(folder, "memory.memsw.limit_in_bytes")
                    if os.path.exists(swap):
                        _write(swap, str(MEMORY_LIMIT))
                else:
                    _write(os.path.join(folder, "pids.max"), str(PROCESS_LIMIT))
        except OSError:
            # Made in part: what was made goes again, and the session runs
            # with the bounds its sandbox gives.
            self.remove()
            self.folders = []

    def wrap(self, command):
        """The command, entering the session's groups before it starts."""
        if not self.folders:
            return command
        enter = 'n=$1; shift; while [ "$n" -gt 0 ]; do echo $$ >"$1" || exit 125; ' \
                'shift; n=$((n - 1)); done; exec "$@"'
        return ["sh", "-c", enter, "sh", str(len(self.folders))] + \
            [os.path.join(folder, "cgroup.procs") for folder in self.folders] + command

    def reached(self):
        """The bound the session's processes reached, or None."""
        for folder in self.folders:
            if _count(_read(os.path.join(folder, "pids.events")), "max"):
                return PROCESSES
            events = _read(os.path.join(folder, "memory.events" if self.v2 else
                                        "memory.oom_control"))
            if _count(events, "oom_kill"):
                return MEMORY
        return None

    def processes(self):
        pids = set()
        for folder in self.folders:
            for line in _read(os.path.join(folder, "cgroup.procs")).split():
                if line.isdigit():
                    pids.add(int(line))
        return pids

    def kill(self):
        """Kills every process in the session's groups and waits, within
        GONE_SECONDS, until none is left; True when none is."""
        if not self.folders:
            return True
        kill_file = os.path.join(self.folders[0], "cgroup.kill")
        deadline = time.monotonic() + GONE_SECONDS
        while True:
            left = self.processes()
            if not left:
                return True
            if time.monotonic() > deadline:
                return False
            if self.v2 and os.path.exists(kill_file):
                try:
                    _write(kill_file, "1")
                except OSError:
                    pass
            kill_processes(left)
            time.sleep(0.05)

    def remove(self):
        """Removes the groups (once empty: a group's last processes may
        take a moment to be reaped)."""
        deadline = time.monotonic() + GONE_SECONDS
        for folder in self.folders:
            while os.path.isdir(folder):
                try:
                    os.rmdir(folder)
                except OSError:
                    if time.monotonic() > deadline:
                        break
                    time.sleep(0.05)
