"""What a scenario works with: a fresh user (sandbox) on the shared test desktop,
and the copies of the program it starts."""

import os
import shutil
from pathlib import Path

from .app import Quorvel
from .sandbox import Sandbox

REPO_ROOT = Path(__file__).resolve().parents[3]
DEFAULT_BINARY = REPO_ROOT / "build" / "dev" / "src" / "quorvel"


def program_binary():
    binary = Path(os.environ.get("QUORVEL_BINARY", DEFAULT_BINARY)).resolve()
    if not os.access(binary, os.X_OK):
        raise FileNotFoundError(f"{binary} is missing; build it with `make e2e`")
    return binary


class UserSession:
    def __init__(self, desktop, binary=None, sandbox_root=None):
        self.desktop = desktop
        self.binary = binary or program_binary()
        self.sandbox = Sandbox(sandbox_root)
        self.apps = []

    @property
    def home(self):
        return self.sandbox.home

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
        """Screenshot and program output, for a scenario that failed."""
        folder = Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        try:
            self.desktop.screenshot(folder / "screen.png")
        except Exception as error:  # noqa: BLE001 - keep what can be kept
            (folder / "screen.error.txt").write_text(repr(error))
        for app in self.apps:
            for path in (app.stdout_path, app.stderr_path):
                if path.exists():
                    shutil.copy(path, folder / path.name)
        if self.sandbox.settings_file.exists():
            shutil.copy(self.sandbox.settings_file, folder / "registry.conf")

    def close(self):
        for app in self.apps:
            app.stop()
        self.sandbox.cleanup()
