"""A private X desktop: Xvfb, a window manager, a D-Bus session with the
accessibility bus, and a system-tray host, all started and ended by the harness.

The session runs with its own HOME and XDG folders under a temporary root, so
nothing it writes (caches, the accessibility bus socket) lands in the real home.
"""

import os
import shutil
import subprocess
import tempfile
from pathlib import Path

from . import processes, xlib
from .images import Image
from .waiting import wait_until

SCREEN_SIZE = (1280, 1024)


class Desktop:
    def __init__(self, root=None):
        self.root = Path(root or tempfile.mkdtemp(prefix="quorvel-desktop-"))
        self.logs = self.root / "logs"
        self.env = {}
        self.display = None
        self._started = []  # (name, Popen), ended in reverse order

    # ----------------------------------------------------------------- session
    def start(self):
        self.logs.mkdir(parents=True, exist_ok=True)
        home, runtime = self.root / "home", self.root / "runtime"
        home.mkdir(exist_ok=True)
        runtime.mkdir(mode=0o700, exist_ok=True)
        self.env = {
            "PATH": "/usr/local/bin:/usr/bin:/bin",
            "HOME": str(home),
            "XDG_RUNTIME_DIR": str(runtime),
            "XDG_CONFIG_HOME": str(home / ".config"),
            "XDG_CACHE_HOME": str(home / ".cache"),
            "XDG_DATA_HOME": str(home / ".local/share"),
            "LANG": "C.UTF-8",
            # No dconf database for the accessibility bus launcher to write.
            "GSETTINGS_BACKEND": "memory",
        }
        try:
            self._start_x_server()
            self._start_session_bus()
            self._start_accessibility_bus()
            self._start_window_manager()
            self._start_tray_host()
        except BaseException as error:
            self.stop()
            logs = self.log_tails()
            self.cleanup()
            raise RuntimeError(f"the test desktop did not start: {error}\n{logs}") from error
        return self

    def log_tails(self, lines=20):
        parts = []
        for log in sorted(self.logs.glob("*.log")):
            text = log.read_text(errors="replace").splitlines()[-lines:]
            if text:
                parts.append(f"--- {log.name}\n" + "\n".join(text))
        return "\n".join(parts)

    def stop(self):
        while self._started:
            _, process = self._started.pop()
            processes.end_process(process.pid)
        # Services activated by the buses were adopted by this process.
        processes.end_stray_children()

    def _wait_for(self, name, condition, what):
        process = dict(self._started)[name]

        def ready():
            if process.poll() is not None:
                raise RuntimeError(f"{name} exited with {process.returncode}")
            return condition()
        try:
            wait_until(ready, timeout=20, message=what)
        except Exception:
            if process.poll() is not None:
                raise RuntimeError(f"{name} exited with {process.returncode}") from None
            raise

    def _spawn(self, name, argv, pass_fds=()):
        process = processes.spawn(argv, self.env, self.logs / f"{name}.log", cwd=self.root,
                                  pass_fds=pass_fds)
        self._started.append((name, process))
        return process

    def _start_x_server(self):
        read_end, write_end = os.pipe()
        width, height = SCREEN_SIZE
        self._spawn("Xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                             f"{width}x{height}x24", "-nolisten", "tcp", "-noreset"],
                    pass_fds=(write_end,))
        os.close(write_end)
        number = processes.read_line_from_fd(read_end, 20, "Xvfb")
        self.display = f":{number}"
        self.env["DISPLAY"] = self.display

    def _start_session_bus(self):
        read_end, write_end = os.pipe()
        self._spawn("dbus", ["dbus-daemon", "--session", "--nofork",
                             f"--print-address={write_end}"], pass_fds=(write_end,))
        os.close(write_end)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = processes.read_line_from_fd(
            read_end, 20, "dbus-daemon")

    def _start_accessibility_bus(self):
        # Started here rather than on demand so that it is ours to end; it starts
        # the accessibility bus daemon and, through it, the registry daemon.
        self._spawn("at-spi-bus-launcher",
                    ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        # Asking the bus daemon, not the service, so that nothing starts a second launcher.
        self._wait_for("at-spi-bus-launcher", lambda: "true" in self.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
             "string:org.a11y.Bus"], check=False).stdout,
            "the accessibility bus")

    def _start_window_manager(self):
        self._spawn("openbox", ["openbox", "--sm-disable"])
        self._wait_for("openbox", lambda: "window id" in self.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False).stdout,
            "the window manager")

    def stop_tray_host(self):
        """Ends the tray host, as on a desktop without a notification area."""
        for index, (name, process) in enumerate(self._started):
            if name == "trayer":
                del self._started[index]
                processes.end_process(process.pid)
                break
        wait_until(lambda: not xlib.selection_owner(self.display, "_NET_SYSTEM_TRAY_S0"),
                   timeout=10, message="the tray host to go")

    def start_tray_host(self):
        if not any(name == "trayer" for name, _ in self._started):
            self._start_tray_host()

    def _start_tray_host(self):
        self._spawn("trayer", ["trayer", "--edge", "bottom", "--align", "right",
                               "--widthtype", "request", "--height", "24",
                               "--SetDockType", "true", "--expand", "true"])
        # Ready when it owns the tray selection, which is what programs look for.
        self._wait_for("trayer", lambda: xlib.selection_owner(self.display,
                                                              "_NET_SYSTEM_TRAY_S0"),
                       "the tray host")

    # ---------------------------------------------------------------- helpers
    def run(self, argv, check=True, input=None, timeout=30):
        return subprocess.run(argv, env=self.env, check=check, capture_output=True, text=True,
                              input=input, timeout=timeout)

    def xdotool(self, *args):
        return self.run(["xdotool", *map(str, args)]).stdout.strip()

    def windows_of(self, pid):
        """Visible top-level windows that carry the process id (menus and popups too)."""
        found = self.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                         check=False).stdout.split()
        return [int(w) for w in found]

    def window_name(self, window):
        """The caption the window manager shows (_NET_WM_NAME, UTF-8)."""
        out = self.run(["xprop", "-id", str(window), "-notype", "_NET_WM_NAME"],
                       check=False).stdout.strip()
        prefix = "_NET_WM_NAME = "
        if not out.startswith(prefix):
            return None
        quoted = out[len(prefix):]
        # xprop quotes the text and escapes quotes and backslashes.
        return quoted[1:-1].replace('\\"', '"').replace("\\\\", "\\")

    def window_geometry(self, window):
        """(x, y, width, height) of the window's client area on the screen."""
        out = self.run(["xwininfo", "-id", str(window)]).stdout
        values = {}
        for line in out.splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return tuple(int(values[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y",
                                                 "Width", "Height"))

    def frame_geometry(self, window):
        """(x, y, width, height) of the window with the window manager's frame."""
        x, y, width, height = self.window_geometry(window)
        out = self.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"], check=False).stdout
        if "=" in out:
            left, right, top, bottom = (int(v) for v in out.split("=", 1)[1].split(","))
            return x - left, y - top, width + left + right, height + top + bottom
        return x, y, width, height

    def grab(self):
        """The whole screen as an Image."""
        blob = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              env=self.env, check=True, capture_output=True, timeout=30).stdout
        return Image.from_ppm(blob)

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", str(path)], env=self.env, check=True,
                       capture_output=True, timeout=30)

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        self.cleanup()
