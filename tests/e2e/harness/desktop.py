"""A private X desktop: Xvfb, openbox, a D-Bus session with the accessibility bus, trayer."""

import ctypes
import os
import select
import shutil
import subprocess
import tempfile
from pathlib import Path

from .images import Image
from .processes import end_process, end_stray_children, spawn, wait_until

SCREEN_SIZE = (1280, 1024)


def tray_owner(display):
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = x.XInternAtom.restype = x.XGetSelectionOwner.restype = ctypes.c_ulong
    connection = ctypes.c_void_p(x.XOpenDisplay(display.encode()))
    try:
        atom = ctypes.c_ulong(x.XInternAtom(connection, b"_NET_SYSTEM_TRAY_S0", 0))
        return x.XGetSelectionOwner(connection, atom)
    finally:
        x.XCloseDisplay(connection)


class Desktop:
    def __init__(self):
        self.root = Path(tempfile.mkdtemp(prefix="quorvel-desktop-"))
        self.logs = self.root / "logs"
        self._started = []  # (name, Popen), ended in reverse order

    def __enter__(self):
        if ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0) != 0:  # PR_SET_CHILD_SUBREAPER
            raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER) failed")
        home, runtime = self.root / "home", self.root / "runtime"
        for path, mode in ((self.logs, 0o755), (home, 0o755), (runtime, 0o700)):
            path.mkdir(mode)
        self.env = {"PATH": "/usr/local/bin:/usr/bin:/bin", "HOME": str(home), "LANG": "C.UTF-8",
                    "XDG_RUNTIME_DIR": str(runtime),  # the other XDG folders are under HOME
                    "GSETTINGS_BACKEND": "memory"}  # no dconf database for the a11y bus launcher
        try:
            self.env["DISPLAY"] = ":" + self._spawn_reporting("Xvfb", lambda fd: [
                "Xvfb", "-displayfd", str(fd), "-screen", "0", "{}x{}x24".format(*SCREEN_SIZE),
                "-nolisten", "tcp", "-noreset"])
            self.env["DBUS_SESSION_BUS_ADDRESS"] = self._spawn_reporting("dbus", lambda fd: [
                "dbus-daemon", "--session", "--nofork", f"--print-address={fd}"])
            # Ours to end; the bus daemon is asked, so that nothing starts a second launcher.
            self._spawn("at-spi-bus-launcher", ["/usr/libexec/at-spi-bus-launcher",
                        "--launch-immediately"], lambda: self.bus_has("org.a11y.Bus"))
            self._spawn("openbox", ["openbox", "--sm-disable"], lambda: "window id" in self.run(
                ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False).stdout)
            self.start_tray_host()
        except BaseException as error:
            logs = "\n".join(f"--- {log.name}\n" + "\n".join(
                log.read_text(errors="replace").splitlines()[-20:])
                for log in sorted(self.logs.glob("*.log")))
            self.__exit__()
            raise RuntimeError(f"the test desktop did not start: {error}\n{logs}") from error
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        return self

    def __exit__(self, *exc):
        while self._started:
            end_process(self._started.pop()[1].pid)
        end_stray_children()  # services the buses activated
        shutil.rmtree(self.root, ignore_errors=True)

    def _spawn(self, name, argv, ready=None, pass_fds=()):
        process = spawn(argv, self.env, self.logs / f"{name}.log", self.root, pass_fds)
        self._started.append((name, process))

        def started():
            assert process.poll() is None, f"{name} exited with {process.returncode}"
            return ready()
        if ready:
            wait_until(started, timeout=20, message=name)

    def _spawn_reporting(self, name, argv_for_fd):
        read_end, write_end = os.pipe()
        self._spawn(name, argv_for_fd(write_end), pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            line = pipe.readline().decode().strip() if select.select([pipe], [], [], 20)[0] else ""
        assert line, f"{name} did not report where to find it"
        return line

    def start_tray_host(self):
        self._spawn("trayer", ["trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                               "request", "--height", "24", "--SetDockType", "true",
                               "--expand", "true"], lambda: tray_owner(self.env["DISPLAY"]))

    def stop_tray_host(self):
        trayer = next(s for s in self._started if s[0] == "trayer")
        self._started.remove(trayer)
        end_process(trayer[1].pid)
        wait_until(lambda: not tray_owner(self.env["DISPLAY"]), message="the tray host to go")

    def run(self, argv, check=True, env=None, text=True, **kw):
        return subprocess.run(argv, env=env or self.env, check=check, capture_output=True,
                              text=text, timeout=30, **kw)

    def bus_has(self, name):
        return "true" in self.run(["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                                   "--object-path", "/org/freedesktop/DBus", "--method",
                                   "org.freedesktop.DBus.NameHasOwner", name], check=False).stdout

    def xdotool(self, *args):
        return self.run(["xdotool", *map(str, args)]).stdout.strip()

    def active_window(self):
        return int(self.xdotool("getactivewindow"))

    def focus(self, window):
        self.xdotool("windowactivate", "--sync", window)
        wait_until(lambda: self.active_window() == window, 5, message=f"{window} to take the focus")

    def windows_of(self, pid):
        return [int(w) for w in self.run(["xdotool", "search", "--onlyvisible", "--pid",
                                          str(pid)], check=False).stdout.split()]

    def window_geometry(self, window, frame=False):
        values = dict(line.strip().partition(":")[::2] for line in
                      self.run(["xwininfo", "-id", str(window)]).stdout.splitlines())
        x, y, width, height = (int(values[k].strip()) for k in (
            "Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))
        out = frame and self.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"],
                                 check=False).stdout
        if not out or "=" not in out:
            return x, y, width, height
        left, right, top, bottom = (int(v) for v in out.split("=", 1)[1].split(","))
        return x - left, y - top, width + left + right, height + top + bottom

    def grab(self):
        return Image(*SCREEN_SIZE, self.run(["import", "-window", "root", "-depth", "8", "rgb:-"],
                                            text=False).stdout)
