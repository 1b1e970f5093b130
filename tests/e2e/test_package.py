"""The Debian package installed for real (as root, QUORVEL_PACKAGE naming it): it holds the
desktop's files, the program runs from the path, and removing it leaves nothing behind."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest

from harness.images import close_to
from harness.session import UserSession

INSTALLED = Path("/usr/bin/quorvel")
FILES = ["/usr/bin/quorvel", *("/usr/share/" + f for f in (
    "applications/quorvel.desktop", "metainfo/org.quorvel.Quorvel.metainfo.xml",
    "icons/hicolor/48x48/apps/quorvel.png", "icons/hicolor/scalable/apps/quorvel.svg",
    "man/man1/quorvel.1.gz", "doc/quorvel/copyright"))]


def dpkg(*args, check=True):
    return subprocess.run(["dpkg", *args], capture_output=True, text=True, check=check,
                          timeout=120)


def test_installed_package_shows_a_picture_then_goes_cleanly(test_desktop):
    package = Path(os.environ.get("QUORVEL_PACKAGE", "/nonexistent"))
    if not package.is_file() or os.geteuid() != 0 or "install ok installed" in dpkg(
            "-s", "quorvel", check=False).stdout:
        pytest.skip("needs root, a package in QUORVEL_PACKAGE (`make e2e-package`) and none "
                    "installed (dpkg -r quorvel removes it)")
    fields = dpkg("-f", str(package), "Package", "Depends").stdout
    assert all(f in fields for f in ("Package: quorvel", "libqt6widgets6", "fonts-dejavu-core"))

    dpkg("-i", str(package))
    session = UserSession(test_desktop, binary=INSTALLED)
    try:
        listed = dpkg("-L", "quorvel").stdout.split("\n")
        assert [f for f in FILES if f not in listed] == []
        assert shutil.which("quorvel") == str(INSTALLED)

        picture = session.pictures(session.folder("Pictures"), ["sunset.bmp"], size=(120, 80))[0]
        app = session.start(args=[picture])
        app.wait_picture(picture, "120 X 80")
        # The command on the path is the viewer itself: one process, started once.
        assert Path(f"/proc/{app.pid}/exe").resolve() == INSTALLED
        assert close_to((200, 30, 30))(app.panel_pixel(60, 40))
        assert app.message_box() is None
        assert "not created in the main() thread" not in app.output()
    finally:
        session.close()
        dpkg("-r", "quorvel")
    assert [f for f in FILES if Path(f).exists()] == []
