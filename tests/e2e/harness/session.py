"""What a scenario works with: a throw-away user (its own home, XDG folders and
pictures) on the shared test desktop, and the copies of the program it starts."""

import os
import shutil
import subprocess
import tempfile
from pathlib import Path

from .app import Quorvel

REPO_ROOT = Path(__file__).resolve().parents[3]


def program_binary():
    binary = Path(os.environ.get("QUORVEL_BINARY",
                                 REPO_ROOT / "build" / "dev" / "src" / "quorvel")).resolve()
    if not os.access(binary, os.X_OK):
        raise FileNotFoundError(f"{binary} is missing; build it with `make e2e`")
    return binary


class Sandbox:
    def __init__(self, root=None):
        """A new temporary folder, or `root` emptied first (for paths that must not vary)."""
        if root is None:
            root = tempfile.mkdtemp(prefix="quorvel-user-")
        else:
            shutil.rmtree(root, ignore_errors=True)
        self.root, self.runtime = Path(root), Path(root) / "runtime"
        self.home, self.logs = self.root / "home", self.root / "logs"
        self.config, self.data, self.cache = (self.home / p for p in (".config", ".local/share",
                                                                      ".cache"))
        for path in (self.config, self.data, self.cache, self.logs):
            path.mkdir(parents=True)
        self.runtime.mkdir(mode=0o700)
        self.settings_file = self.config / "Quorvel" / "registry.conf"

    def folder(self, relative, inside_home=True):
        """A folder in the home, or beside it (on another volume's path)."""
        path = (self.home if inside_home else self.root / "elsewhere") / relative
        path.mkdir(parents=True, exist_ok=True)
        return path

    def environment(self, desktop_env):
        env = {key: desktop_env[key] for key in ("PATH", "DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                                                 "LANG")}
        env.update({"HOME": str(self.home), "XDG_CONFIG_HOME": str(self.config),
                    "XDG_DATA_HOME": str(self.data), "XDG_CACHE_HOME": str(self.cache),
                    "XDG_RUNTIME_DIR": str(self.runtime), "QT_QPA_PLATFORM": "xcb",
                    # Publish the accessibility tree even though no screen reader asked.
                    "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
        return env

    def write_settings(self, values):
        """Stores start-up options the way the program keeps them: values under the key
        path Software\\Quorvel of an INI file."""
        self.settings_file.parent.mkdir(parents=True, exist_ok=True)
        self.settings_file.write_text("[Software]\n" + "".join(
            f'Quorvel\\{name}="{text}"\n' for name, text in values.items()), encoding="utf-8")

    def pictures(self, folder, names, size=(24, 16)):
        """Writes small pictures of one colour each, in the format their names say."""
        palette = ["200,30,30", "30,160,30", "30,60,200", "220,180,20", "140,40,160"]
        paths = [Path(folder) / name for name in names]
        for i, path in enumerate(paths):
            kind = "BMP3:" if path.suffix.lower() == ".bmp" else ""
            subprocess.run(["convert", "-size", "{}x{}".format(*size),
                            f"xc:rgb({palette[i % len(palette)]})", f"{kind}{path}"],
                           check=True, capture_output=True)
        return paths


class UserSession:
    def __init__(self, desktop, binary=None, sandbox_root=None):
        self.desktop = desktop
        self.binary = binary or program_binary()
        self.sandbox = Sandbox(sandbox_root)
        self.home = self.sandbox.home
        self.apps = []

    def start(self, folder=None, settings=None, wait=True, args=()):
        """Starts quorvel with `args` in `folder` (default: the home folder), after
        storing `settings`."""
        if settings:
            self.sandbox.write_settings(settings)
        app = Quorvel(self.desktop, self.sandbox, self.binary, folder or self.home,
                      name=f"quorvel-{len(self.apps) + 1}", args=args)
        self.apps.append(app)
        return app.wait_for_window() if wait else app

    def windows_of(self, pid):
        return self.desktop.windows_of(pid)

    def save_evidence(self, folder):
        """Screenshot, program output and settings, for a scenario that failed."""
        folder.mkdir(parents=True, exist_ok=True)
        try:
            self.desktop.grab().save_png(folder / "screen.png")
        except Exception as error:  # noqa: BLE001 - keep what can be kept
            (folder / "screen.error.txt").write_text(repr(error))
        for path in [self.sandbox.settings_file, *(app.log_path for app in self.apps)]:
            if path.exists():
                shutil.copy(path, folder / path.name)

    def close(self):
        for app in self.apps:
            app.stop()
        # A click that missed (a failed scenario's) may have opened the window manager's
        # desktop menu, which would hold the keyboard in the next scenario.
        self.desktop.xdotool("key", "Escape")
        shutil.rmtree(self.sandbox.root, ignore_errors=True)
