"""Starting and ending helper processes. The test process is a child subreaper, so
programs that daemonise (D-Bus activated services) stay its children and are ended
by process id when the run is over; nothing outlives the run."""

import ctypes
import os
import select
import signal
import subprocess
import time


def become_subreaper():
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(36, 1, 0, 0, 0) != 0:  # PR_SET_CHILD_SUBREAPER
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER) failed")


def _stat(pid):
    """(state, parent) from /proc, or None; the command name may hold blanks and parentheses."""
    try:
        with open(f"/proc/{pid}/stat", "rb") as stat:
            text = stat.read()
    except OSError:
        return None
    fields = text[text.rindex(b")") + 2:].split()
    return fields[0].decode(), int(fields[1])


def is_alive(pid):
    """True while the process exists and is not a zombie waiting to be reaped."""
    stat = _stat(pid)
    return stat is not None and stat[0] not in ("Z", "X")


def end_process(pid, grace=3.0):
    """SIGTERM, then SIGKILL after the grace time; reaps it when it is our child."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            break
        deadline = time.monotonic() + grace
        while time.monotonic() < deadline and is_alive(pid):
            time.sleep(0.02)
        if not is_alive(pid):
            break
    try:
        os.waitpid(pid, os.WNOHANG)
    except ChildProcessError:
        pass


def end_stray_children():
    """Ends every remaining child of this process (orphans adopted as subreaper)."""
    for _ in range(3):
        strays = [int(e) for e in os.listdir("/proc")
                  if e.isdigit() and (_stat(e) or (0, 0))[1] == os.getpid()]
        if not strays:
            return
        for pid in strays:
            end_process(pid)


def spawn(argv, env, log_path=None, cwd=None, pass_fds=()):
    log = open(log_path, "ab") if log_path else subprocess.DEVNULL
    try:
        return subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT if log_path else log,
                                pass_fds=pass_fds, start_new_session=True)
    finally:
        if log_path:
            log.close()


def read_line_from_fd(fd, timeout, what):
    """Reads the one line a starting program writes to a pipe (display, bus address)."""
    with os.fdopen(fd, "rb") as pipe:
        if not select.select([pipe], [], [], timeout)[0]:
            raise TimeoutError(f"{what} did not report within {timeout}s")
        line = pipe.readline().decode().strip()
    if not line:
        raise RuntimeError(f"{what} closed its pipe without reporting")
    return line
