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
    /trial                             the session's own folder: its
                                       prefix (drive C:), written freely
    /trial/prefix/.../system32 and the other system folders of the
                                       template prefix, read-only
    /tmp, /dev, /proc                  the session's own

Nothing else of the host is there to read or to write, whatever path a
program takes."""
import os
import subprocess

BWRAP = "/usr/bin/bwrap"
SETPRIV = "/usr/bin/setpriv"
# The unprivileged user a session runs as when the trial runs as root.
NOBODY = 65534
TRIAL_ROOT = "/trial"
DISC_ROOT = "/disc"
WINE_ROOT = "/wine"
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


def owner():
    """The user id a session runs as."""
    return NOBODY if runs_as_root() else os.geteuid()


def base_command():
    """bubblewrap with the namespaces and the read-only system, as the
    user a session runs as."""
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
    command += ["--proc", "/proc", "--dev", "/dev", "--tmpfs", "/tmp"]
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


def command(session, prefix_template, tree, wine_layer, linked_folders, inner, language=None):
    """The command that runs inner (a command line for inside) in the
    session's sandbox. session: the session's folder (holding prefix/);
    linked_folders: the template's system folders, relative to the
    prefix, mounted read-only over the session's links to them; language:
    the locale's variables, over the caller's."""
    wrapped = base_command()
    wrapped += ["--bind", session, TRIAL_ROOT, "--ro-bind", tree, DISC_ROOT,
                "--ro-bind", wine_layer, WINE_ROOT]
    for folder in linked_folders:
        source = os.path.join(prefix_template, folder)
        if os.path.isdir(source):
            wrapped += ["--ro-bind", source, os.path.join(TRIAL_ROOT, "prefix", folder)]
    wrapped += ["--clearenv", "--setenv", "PATH", "/usr/bin:/bin",
                "--setenv", "HOME", TRIAL_ROOT + "/home", "--setenv", "USER", "nobody",
                "--setenv", "TARNELL_WINEPREFIX", TRIAL_ROOT + "/prefix"]
    passed = {name: os.environ[name] for name in PASSED_VARIABLES if name in os.environ}
    passed.update(language or {})
    for name, value in passed.items():
        wrapped += ["--setenv", name, value]
    return wrapped + ["--chdir", TRIAL_ROOT] + inner


def hand_over(session, linked_folders):
    """Gives the session's folder to the user it runs as: everything but
    the files in the template's system folders, which stay the template's
    and are mounted read-only."""
    if not runs_as_root():
        return
    skipped = {os.path.join(session, "prefix", folder) for folder in linked_folders}
    for here, folders, files in os.walk(session):
        os.lchown(here, NOBODY, NOBODY)
        for name in files + [name for name in folders if os.path.islink(os.path.join(here, name))]:
            os.lchown(os.path.join(here, name), NOBODY, NOBODY)
        for name in [name for name in folders if os.path.join(here, name) in skipped]:
            os.lchown(os.path.join(here, name), NOBODY, NOBODY)
        folders[:] = [name for name in folders if not os.path.islink(os.path.join(here, name))
                      and os.path.join(here, name) not in skipped]
