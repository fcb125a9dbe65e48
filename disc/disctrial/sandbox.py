"""Shuts a disc's programs in. The trial runs whatever programs a disc
holds, and Wine is no sandbox: a Windows program sees the whole host
through drive Z: and through \\\\?\\unix\\ paths, with the rights of the
user who runs Wine. So each session runs inside bubblewrap: in namespaces
of its own (user, mount, process, network, IPC, host name), as the
unprivileged user nobody when the trial runs as root, with no network but
its own loopback, and with a file system that holds only

    /usr (and its /bin, /lib links)    read-only: Wine, Xvfb, fonts
    /etc/fonts, /etc/ld.so.cache       read-only: what they read of /etc
    /wine                              read-only: the project's Wine layer
    /disc                              read-only: the disc's tree (drive R:)
    /template, /tools                  read-only: the trial's prefix, its
                                       driver and the script run inside
    /trial                             the session's own file system, in
                                       memory and of WRITE_LIMIT bytes:
                                       its prefix (drive C:, cloned there
                                       from /template) and its /tmp
    /trial/prefix/.../system32 and the other system folders of the
                                       template prefix, read-only
    /dev                               read-only; /proc the session's own

Nothing else of the host is there to read or to write, whatever path a
program takes, and all the session writes is gone with its sandbox: the
host's disk never holds a file a disc's program made. The driver's
record comes out on the session's standard output, read by the host from
a pipe; the host opens no file of the session's."""
import os
import subprocess

from disctrial import bounds

BWRAP = "/usr/bin/bwrap"
SETPRIV = "/usr/bin/setpriv"
# The unprivileged user a session runs as when the trial runs as root.
NOBODY = 65534
TRIAL_ROOT = "/trial"
DISC_ROOT = "/disc"
WINE_ROOT = "/wine"
TEMPLATE_ROOT = "/template"
TOOLS_ROOT = "/tools"
PREFIX = TRIAL_ROOT + "/prefix"
INSIDE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "inside.sh")
# What a session reads of /etc beside /usr.
ETC_FILES = ("/etc/fonts", "/etc/ld.so.cache")
# The host's top-level links into /usr (a merged /usr), made again inside.
USR_LINKS = ("bin", "lib", "lib64", "sbin", "libx32", "lib32")
# The variables a session takes from the trial: the user's language, which
# a Windows program reads from them.
PASSED_VARIABLES = ("LANG", "LANGUAGE", "LC_ALL", "LC_CTYPE", "LC_MESSAGES")


class SandboxError(Exception):
    """This machine cannot shut a session in."""


def runs_as_root():
    return os.geteuid() == 0


def base_command():
    """bubblewrap with the namespaces and the read-only system, as the
    user a session runs as, and the session's own file system of
    WRITE_LIMIT bytes at /trial, which holds its /tmp too."""
    command = []
    if runs_as_root():
        command += [SETPRIV, f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"]
    command += [BWRAP, "--unshare-all", "--die-with-parent", "--new-session",
                "--ro-bind", "/usr", "/usr"]
    for name in USR_LINKS:
        path = "/" + name
        if os.path.islink(path):
            command += ["--symlink", os.readlink(path), path]
    for path in ETC_FILES:
        command += ["--ro-bind-try", path, path]
    command += ["--proc", "/proc", "--dev", "/dev", "--remount-ro", "/dev",
                "--size", str(bounds.WRITE_LIMIT), "--perms", "0755", "--tmpfs", TRIAL_ROOT,
                "--perms", "1777", "--dir", TRIAL_ROOT + "/tmp",
                "--symlink", TRIAL_ROOT + "/tmp", "/tmp"]
    return command


def check():
    """Raises SandboxError, with bubblewrap's own words, when this machine
    cannot give a session its namespaces (a kernel without user
    namespaces, bubblewrap missing)."""
    try:
        result = subprocess.run(base_command() + ["--clearenv", "/usr/bin/true"],
                                capture_output=True, text=True, timeout=60)
    except (OSError, subprocess.TimeoutExpired) as error:
        raise SandboxError(str(error)) from None
    if result.returncode != 0:
        words = (result.stderr or result.stdout).strip().splitlines()
        raise SandboxError(words[-1] if words else f"exit code {result.returncode}")


def command(template, tree, driver, wine_layer, linked_folders, driver_arguments,
            language=None):
    """The command that runs the driver in a new session's sandbox: the
    template prefix cloned inside (linked_folders: its system folders,
    relative to the prefix, mounted read-only in place), the tree as the
    disc, the driver started with its arguments; language: the locale's
    variables, over the caller's."""
    wrapped = base_command()
    wrapped += ["--ro-bind", tree, DISC_ROOT, "--ro-bind", wine_layer, WINE_ROOT,
                "--ro-bind", template, TEMPLATE_ROOT,
                "--ro-bind", driver, TOOLS_ROOT + "/" + os.path.basename(driver),
                "--ro-bind", INSIDE, TOOLS_ROOT + "/inside.sh"]
    for folder in linked_folders:
        source = os.path.join(template, folder)
        if os.path.isdir(source):
            wrapped += ["--ro-bind", source, os.path.join(PREFIX, folder)]
    wrapped += ["--clearenv", "--setenv", "PATH", "/usr/bin:/bin",
                "--setenv", "HOME", TRIAL_ROOT + "/home", "--setenv", "USER", "nobody",
                "--setenv", "TMPDIR", TRIAL_ROOT + "/tmp"]
    passed = {name: os.environ[name] for name in PASSED_VARIABLES if name in os.environ}
    passed.update(language or {})
    for name, value in passed.items():
        wrapped += ["--setenv", name, value]
    return wrapped + ["--chdir", TRIAL_ROOT, "sh", TOOLS_ROOT + "/inside.sh", TEMPLATE_ROOT,
                      PREFIX, TOOLS_ROOT + "/" + os.path.basename(driver), DISC_ROOT,
                      "--"] + driver_arguments


def written(pid):
    """The bytes the session's file system holds, read through a process
    inside the sandbox; None when it cannot be read (gone)."""
    try:
        info = os.statvfs(f"/proc/{pid}/root{TRIAL_ROOT}")
    except OSError:
        return None
    return (info.f_blocks - info.f_bfree) * info.f_frsize


def inside_process(pids):
    """Of the processes given, one inside a sandbox (a mount namespace
    other than this process's), or None."""
    try:
        own = os.readlink("/proc/self/ns/mnt")
    except OSError:
        return None
    for pid in sorted(pids):
        try:
            if os.readlink(f"/proc/{pid}/ns/mnt") != own:
                return pid
        except OSError:
            continue
    return None
