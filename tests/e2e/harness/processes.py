"""Helper processes (as a subreaper the run keeps services that daemonise as its children), and
polling instead of sleeping: every wait names its condition and has a deadline."""

import os
import signal
import subprocess
import time
from contextlib import suppress
from pathlib import Path


def _stat(pid):
    # The command name may hold blanks and parentheses.
    try:
        text = Path(f"/proc/{pid}/stat").read_bytes()
    except OSError:
        return None
    state, parent = text[text.rindex(b")") + 2:].split()[:2]
    return state.decode(), int(parent)


def end_process(pid, grace=3.0):
    alive = lambda: (_stat(pid) or "X")[0] not in ("Z", "X")  # noqa: E731
    for sig in (signal.SIGTERM, signal.SIGKILL):
        with suppress(ProcessLookupError):
            os.kill(pid, sig)
        if not holds(alive, grace):
            break
    with suppress(ChildProcessError):
        os.waitpid(pid, os.WNOHANG)


def end_stray_children():
    for _ in range(3):
        for pid in [int(e) for e in os.listdir("/proc")
                    if e.isdigit() and (_stat(e) or (0, 0))[1] == os.getpid()]:
            end_process(pid)


def spawn(argv, env, log_path=None, cwd=None, pass_fds=()):
    with open(log_path or os.devnull, "ab") as log:
        return subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=log,
                                stderr=subprocess.STDOUT, pass_fds=pass_fds, start_new_session=True)


def wait_until(condition, timeout=10.0, interval=0.05, message=None):
    """condition()'s first truthy value; an exception is "not yet", reported on timeout."""
    deadline, value, error = time.monotonic() + timeout, None, None
    while True:
        try:
            value, error = condition(), None
            if value:
                return value
        except Exception as raised:  # noqa: BLE001 - reported below
            error = raised
        if time.monotonic() >= deadline:
            last = f"last error: {error!r}" if error else f"last value: {value!r}"
            raise AssertionError(f"timed out after {timeout:.1f}s waiting for "
                                 f"{message or condition.__name__} ({last})")
        time.sleep(interval)


def holds(condition, seconds=1.0):
    """Whether condition() stays truthy for a while, as when a click must change nothing."""
    deadline = time.monotonic() + seconds
    while (kept := condition()) and time.monotonic() < deadline:
        time.sleep(0.1)
    return bool(kept)
