"""A private X desktop: Xvfb, a window manager, a D-Bus session with the
accessibility bus, and a system-tray host, all started and ended by the harness.
The session has its own HOME and XDG folders under a temporary root, so nothing it
writes (caches, the accessibility bus socket) lands in the real home."""

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
    def __init__(self):
        self.root = Path(tempfile.mkdtemp(prefix="quorvel-desktop-"))
        self.logs = self.root / "logs"
        self._started = []  # (name, Popen), ended in reverse order

    def start(self):
        """Starts the desktop, and points this process's accessibility reader at it."""
        processes.become_subreaper()
        home, runtime = self.root / "home", self.root / "runtime"
        self.logs.mkdir()
        home.mkdir()
        runtime.mkdir(mode=0o700)
        self.env = {
            "PATH": "/usr/local/bin:/usr/bin:/bin", "HOME": str(home), "LANG": "C.UTF-8",
            "XDG_RUNTIME_DIR": str(runtime), "XDG_CONFIG_HOME": str(home / ".config"),
            "XDG_CACHE_HOME": str(home / ".cache"), "XDG_DATA_HOME": str(home / ".local/share"),
            # No dconf database for the accessibility bus launcher to write.
            "GSETTINGS_BACKEND": "memory",
        }
        try:
            width, height = SCREEN_SIZE
            self.display = ":" + self._spawn_reporting("Xvfb", lambda fd: [
                "Xvfb", "-displayfd", str(fd), "-screen", "0", f"{width}x{height}x24",
                "-nolisten", "tcp", "-noreset"])
            self.env["DISPLAY"] = self.display
            self.env["DBUS_SESSION_BUS_ADDRESS"] = self._spawn_reporting("dbus", lambda fd: [
                "dbus-daemon", "--session", "--nofork", f"--print-address={fd}"])
            # Started here rather than on demand so that it is ours to end; it starts the
            # accessibility bus and its registry. The bus daemon is asked, not the
            # service, so that nothing starts a second launcher.
            self._spawn("at-spi-bus-launcher", ["/usr/libexec/at-spi-bus-launcher",
                                                "--launch-immediately"],
                        lambda: "true" in self.run(
                            ["dbus-send", "--session", "--print-reply",
                             "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"],
                            check=False).stdout)
            self._spawn("openbox", ["openbox", "--sm-disable"], lambda: "window id" in self.run(
                ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False).stdout)
            self.start_tray_host()
        except BaseException as error:
            self.stop()
            logs = "\n".join(f"--- {log.name}\n" + "\n".join(
                log.read_text(errors="replace").splitlines()[-20:])
                for log in sorted(self.logs.glob("*.log")))
            self.cleanup()
            raise RuntimeError(f"the test desktop did not start: {error}\n{logs}") from error
        os.environ.update({k: self.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        return self

    def stop(self):
        while self._started:
            processes.end_process(self._started.pop()[1].pid)
        # Services activated by the buses were adopted by this process.
        processes.end_stray_children()

    def _spawn(self, name, argv, ready=None, pass_fds=()):
        process = processes.spawn(argv, self.env, self.logs / f"{name}.log", cwd=self.root,
                                  pass_fds=pass_fds)
        self._started.append((name, process))

        def started():
            if process.poll() is not None:
                raise RuntimeError(f"{name} exited with {process.returncode}")
            return ready()
        if ready:
            wait_until(started, timeout=20, message=name)

    def _spawn_reporting(self, name, argv_for_fd):
        """Starts a program that writes where to find it (display, bus) to the pipe
        given on its command line; returns that line."""
        read_end, write_end = os.pipe()
        self._spawn(name, argv_for_fd(write_end), pass_fds=(write_end,))
        os.close(write_end)
        return processes.read_line_from_fd(read_end, 20, name)

    def start_tray_host(self):
        # Ready when it owns the tray selection, which is what programs look for.
        self._spawn("trayer", ["trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                               "request", "--height", "24", "--SetDockType", "true",
                               "--expand", "true"],
                    lambda: xlib.selection_owner(self.display, "_NET_SYSTEM_TRAY_S0"))

    def stop_tray_host(self):
        """Ends the tray host, as on a desktop without a notification area."""
        name, process = next(s for s in self._started if s[0] == "trayer")
        self._started.remove((name, process))
        processes.end_process(process.pid)
        wait_until(lambda: not xlib.selection_owner(self.display, "_NET_SYSTEM_TRAY_S0"),
                   message="the tray host to go")

    # ---------------------------------------------------------------- helpers
    def run(self, argv, check=True):
        return subprocess.run(argv, env=self.env, check=check, capture_output=True, text=True,
                              timeout=30)

    def xdotool(self, *args):
        return self.run(["xdotool", *map(str, args)]).stdout.strip()

    def active_window(self):
        return int(self.xdotool("getactivewindow"))

    def windows_of(self, pid):
        """Visible top-level windows that carry the process id (menus and popups too)."""
        return [int(w) for w in self.run(["xdotool", "search", "--onlyvisible", "--pid",
                                          str(pid)], check=False).stdout.split()]

    def window_name(self, window):
        """The caption the window manager shows (_NET_WM_NAME, UTF-8)."""
        out = self.run(["xprop", "-id", str(window), "-notype", "_NET_WM_NAME"],
                       check=False).stdout.strip()
        prefix = "_NET_WM_NAME = "
        if not out.startswith(prefix):
            return None
        # xprop quotes the text and escapes quotes and backslashes.
        return out[len(prefix) + 1:-1].replace('\\"', '"').replace("\\\\", "\\")

    def window_geometry(self, window):
        """(x, y, width, height) of the window's client area on the screen."""
        values = dict(line.strip().partition(":")[::2] for line in
                      self.run(["xwininfo", "-id", str(window)]).stdout.splitlines())
        return tuple(int(values[k].strip()) for k in (
            "Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def frame_geometry(self, window):
        """(x, y, width, height) of the window with the window manager's frame."""
        x, y, width, height = self.window_geometry(window)
        out = self.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"], check=False).stdout
        if "=" not in out:
            return x, y, width, height
        left, right, top, bottom = (int(v) for v in out.split("=", 1)[1].split(","))
        return x - left, y - top, width + left + right, height + top + bottom

    def grab(self):
        """The whole screen as an Image."""
        return Image(*SCREEN_SIZE, subprocess.run(
            ["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env, check=True,
            capture_output=True, timeout=30).stdout)

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        self.cleanup()
