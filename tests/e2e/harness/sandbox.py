"""A throw-away user for one scenario: its own home, XDG folders and pictures."""

import shutil
import tempfile
from pathlib import Path

from . import images


class Sandbox:
    def __init__(self, root=None):
        """A new temporary folder, or `root` emptied first (for paths that must not vary)."""
        if root is None:
            self.root = Path(tempfile.mkdtemp(prefix="quorvel-user-"))
        else:
            self.root = Path(root)
            shutil.rmtree(self.root, ignore_errors=True)
            self.root.mkdir(parents=True)
        self.home = self._folder("home")
        self.config = self._folder("home/.config")
        self.data = self._folder("home/.local/share")
        self.cache = self._folder("home/.cache")
        self.runtime = self.root / "runtime"
        self.runtime.mkdir(mode=0o700)
        self.logs = self._folder("logs")

    def _folder(self, relative):
        path = self.root / relative
        path.mkdir(parents=True, exist_ok=True)
        return path

    def folder(self, relative, inside_home=True):
        """A folder in the home (or, with inside_home=False, beside it, on another volume's path)."""
        base = self.home if inside_home else self.root / "elsewhere"
        path = base / relative
        path.mkdir(parents=True, exist_ok=True)
        return path

    def environment(self, desktop_env):
        env = {key: desktop_env[key] for key in ("PATH", "DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                                                 "LANG")}
        env.update({
            "HOME": str(self.home),
            "XDG_CONFIG_HOME": str(self.config),
            "XDG_DATA_HOME": str(self.data),
            "XDG_CACHE_HOME": str(self.cache),
            "XDG_RUNTIME_DIR": str(self.runtime),
            "QT_QPA_PLATFORM": "xcb",
            # Publish the accessibility tree even though no screen reader asked.
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        })
        return env

    # ------------------------------------------------------------- settings
    @property
    def settings_file(self):
        return self.config / "Quorvel" / "registry.conf"

    def write_settings(self, values):
        """Stores start-up options the way the program keeps them: values under
        the key path Software\\Quorvel of an INI file."""
        lines = ["[Software]"]
        for name, text in values.items():
            escaped = str(text).replace("\\", "\\\\").replace('"', '\\"')
            lines.append(f'Quorvel\\{name}="{escaped}"')
        self.settings_file.parent.mkdir(parents=True, exist_ok=True)
        self.settings_file.write_text("\n".join(lines) + "\n", encoding="utf-8")

    # ------------------------------------------------------------- pictures
    def pictures(self, folder, names, size=(24, 16)):
        """Writes small pictures; BMP by the harness itself, other formats by ImageMagick."""
        folder = Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        palette = [(200, 30, 30), (30, 160, 30), (30, 60, 200), (220, 180, 20), (140, 40, 160)]
        written = []
        for i, name in enumerate(names):
            path = folder / name
            color = palette[i % len(palette)]
            if path.suffix.lower() == ".bmp":
                images.write_bmp(path, *size, color)
            else:
                images.write_with_imagemagick(path, *size, "rgb({},{},{})".format(*color))
            written.append(path)
        return written

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)
