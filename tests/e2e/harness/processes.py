"""Starting and ending the helper processes of a test run.

The test process makes itself a child subreaper, so that programs which
daemonise (D-Bus activated services do) stay its children and can be found and
ended by process id when the run is over; nothing outlives the run.
"""

import ctypes
import os
import select
import signal
import subprocess
import time

_PR_SET_CHILD_SUBREAPER = 36


def become_subreaper():
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(_PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER) failed")


def parent_of(pid):
    try:
        with open(f"/proc/{pid}/stat", "rb") as stat:
            text = stat.read()
    except OSError:
        return None
    # The command name is in parentheses and may itself hold spaces or parentheses.
    fields = text[text.rindex(b")") + 2:].split()
    return int(fields[1])


def state_of(pid):
    try:
        with open(f"/proc/{pid}/stat", "rb") as stat:
            text = stat.read()
    except OSError:
        return None
    return text[text.rindex(b")") + 2:].split()[0].decode()


def children_of(pid):
    result = []
    for entry in os.listdir("/proc"):
        if entry.isdigit() and parent_of(int(entry)) == pid:
            result.append(int(entry))
    return result


def is_alive(pid):
    """True while the process exists and is not a zombie waiting to be reaped."""
    state = state_of(pid)
    return state is not None and state not in ("Z", "X")


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


def end_stray_children(keep=()):
    """Ends every remaining child of this process (orphans adopted as subreaper)."""
    for _ in range(3):
        strays = [pid for pid in children_of(os.getpid()) if pid not in keep]
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
    """Reads one line that a starting program writes to a pipe (display, bus address)."""
    data = b""
    deadline = time.monotonic() + timeout
    while not data.endswith(b"\n"):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise TimeoutError(f"{what} did not report within {timeout}s")
        ready, _, _ = select.select([fd], [], [], remaining)
        if ready:
            chunk = os.read(fd, 4096)
            if not chunk:
                break
            data += chunk
    os.close(fd)
    line = data.decode().strip()
    if not line:
        raise RuntimeError(f"{what} closed its pipe without reporting")
    return line
