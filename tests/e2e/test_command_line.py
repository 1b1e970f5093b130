"""A picture or folder named on the command line, as a file manager's "Open with" runs it."""

import subprocess

from harness import layout
from harness.app import CAPTION_PREFIX, MessageBox
from harness.images import close_to
from harness.waiting import wait_until

RED = (200, 30, 30)  # the sandbox's first picture colour
INNER = layout.PANEL_BORDER


def wait_for_picture(app, path, size_text):
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(path),
               message="the caption to name the picture")
    labels = wait_until(lambda: (lambda l: l if l["Pic's Size:"] else None)(app.info_labels()),
                        message="the file's information")
    assert labels["Pic's Size:"] == size_text
    assert labels["Size:"] and labels["Date:"]


def test_named_picture_is_shown_as_if_clicked(desktop):
    folder = desktop.sandbox.folder("Holiday Pictures")
    name = "-100% Ünïcødé 写真.bmp"
    desktop.sandbox.pictures(folder, [name, "other.bmp"], size=(120, 80))
    # Relative to the folder it is started in, as a shell passes it.
    app = desktop.start(folder=desktop.home, args=["--", f"Holiday Pictures/{name}"])

    wait_for_picture(app, folder / name, "120 X 80")
    assert app.file_list() == [name, "other.bmp"]
    assert app.highlighted("File1") == [name]
    assert close_to(RED)(app.panel_pixels().pixel(INNER + 60, INNER + 40))
    assert app.message_box() is None
    # The picture is read while the toolkit starts, on a thread the toolkit must not
    # take for its main one.
    assert "not created in the main() thread" not in app.output()


def test_missing_path_is_reported_then_the_usual_start(desktop):
    stored = desktop.sandbox.folder("Stored")
    missing = desktop.home / "Gone" / "cat.jpg"
    app = desktop.start(settings={"AutoJump": str(stored)}, args=[missing], wait=False)

    assert app.wait_message_box() == MessageBox(
        "Quorvel", f'The picture or folder "{missing}" does not exist.', "critical")
    app.press_ok()
    app.wait_for_window()
    assert app.caption() == CAPTION_PREFIX + str(stored)


def test_version_and_help_print_one_line(desktop):
    for option, line in (("--version", "Quorvel 1.36"),
                         ("--help", "Usage: quorvel [--version | --help] [--] [PICTURE-OR-FOLDER]")):
        done = subprocess.run([str(desktop.binary), option], capture_output=True, text=True,
                              timeout=10, env={"PATH": "/usr/bin:/bin"})
        assert (done.returncode, done.stdout, done.stderr) == (0, line + "\n", "")
