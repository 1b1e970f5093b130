"""Helper processes; as a subreaper the run keeps services that daemonise as its children."""

import os
import signal
import subprocess
from contextlib import suppress
from pathlib import Path

from .waiting import holds


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
                                stderr=subprocess.STDOUT, pass_fds=pass_fds,
                                start_new_session=True)
