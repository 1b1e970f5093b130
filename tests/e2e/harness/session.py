"""A throw-away user on the shared test desktop, and the copies of the program it starts."""

import os
import shutil
import tempfile
from contextlib import suppress
from pathlib import Path

from .app import Quorvel

REPO_ROOT = Path(__file__).resolve().parents[3]
PALETTE = ["200,30,30", "30,160,30", "30,60,200", "220,180,20", "140,40,160"]


def program_binary():
    binary = Path(os.environ.get("QUORVEL_BINARY", REPO_ROOT / "build/dev/src/quorvel")).resolve()
    if not os.access(binary, os.X_OK):
        raise FileNotFoundError(f"{binary} is missing; build it with `make e2e`")
    return binary


class UserSession:
    def __init__(self, desktop, binary=None, root=None):
        if root:
            shutil.rmtree(root, ignore_errors=True)
        self.desktop, self.binary, self.apps = desktop, binary or program_binary(), []
        self.root = Path(root or tempfile.mkdtemp(prefix="quorvel-user-"))
        self.home, self.logs, self.runtime = (self.root / p for p in ("home", "logs", "runtime"))
        self.config = self.home / ".config"  # the other XDG folders are under the home too
        self.settings_file = self.config / "Quorvel" / "registry.conf"
        for path in (self.settings_file.parent, self.home / ".local/share", self.home / ".cache",
                     self.logs):
            path.mkdir(parents=True)
        self.runtime.mkdir(mode=0o700)

    def folder(self, relative, inside_home=True):
        path = (self.home if inside_home else self.root / "elsewhere") / relative
        path.mkdir(parents=True, exist_ok=True)
        return path

    def pictures(self, folder, names, size=(24, 16)):
        paths = [Path(folder) / name for name in names]
        for path, colour in zip(paths, PALETTE * len(paths)):
            self.desktop.run(["convert", "-size", "{}x{}".format(*size), f"xc:rgb({colour})",
                              ("BMP3:" if path.suffix.lower() == ".bmp" else "") + str(path)])
        return paths

    def environment(self):
        env = {k: self.desktop.env[k] for k in ("PATH", "DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
        return env | {"LANG": "C.UTF-8", "HOME": str(self.home), "QT_QPA_PLATFORM": "xcb",
                      "XDG_RUNTIME_DIR": str(self.runtime), "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}

    def start(self, folder=None, settings=None, wait=True, args=()):
        if settings:
            self.settings_file.write_text("[Software]\n" + "".join(
                f'Quorvel\\{name}="{text}"\n' for name, text in settings.items()))
        app = Quorvel(self, folder or self.home, f"quorvel-{len(self.apps) + 1}", args)
        self.apps.append(app)
        return app.wait_for_window() if wait else app

    def save_evidence(self, folder):
        folder.mkdir(parents=True, exist_ok=True)
        with suppress(Exception):  # keeps what can be kept
            self.desktop.grab().save_png(folder / "screen.png")
        for path in filter(Path.exists, [self.settings_file, *(app.log_path for app in self.apps)]):
            shutil.copy(path, folder / path.name)

    def close(self):
        for app in self.apps:
            app.stop()
        # Closes a desktop menu a missed click opened, which would hold the keyboard.
        self.desktop.xdotool("key", "Escape")
        shutil.rmtree(self.root, ignore_errors=True)
