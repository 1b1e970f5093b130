"""What goes through the desktop: the clipboard, the trash, and the program that
opens a kind of file."""

import hashlib
import os
import signal
import subprocess
import time
from contextlib import contextmanager

from harness import processes
from harness.app import CAPTION_PREFIX, MessageBox
from harness.images import close_to
from harness.waiting import wait_until

FINISHED = MessageBox("Quorvel", "Process Finished!", "none")


def checksum(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def show_picture(app, folder, name, size_text):
    app.click_list_entry("File1", name)
    app.wait_picture(folder / name, size_text)


@contextmanager
def clipboard_owner(desktop, path, mime):
    """xclip serving a file on the clipboard, in the foreground so that it can be
    stopped and ended by its process id."""
    owner = processes.spawn(
        ["xclip", "-quiet", "-selection", "clipboard", "-t", mime, "-i", str(path)], desktop.env)
    try:
        wait_until(lambda: mime in desktop.run(
            ["xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"]).stdout,
            message="xclip to own the clipboard")
        yield owner
    finally:
        os.kill(owner.pid, signal.SIGCONT)
        processes.end_process(owner.pid)


def test_clipboard_copy_is_read_back_at_natural_size(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["wide.bmp"], size=(600, 400))
    app = desktop.start(folder=folder)
    show_picture(app, folder, "wide.bmp", "600 X 400")
    app.choose_menu("&Option   View", "Actual Size")
    app.choose_menu("&Option   View", "Zoom in +", submenu="Zoom Picture")

    app.choose_menu("&File", "ClipBoard..", submenu="Copy Pic To ...")
    app.answer(FINISHED)
    data = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"],
                          env=desktop.desktop.env, capture_output=True, timeout=15).stdout
    colour = subprocess.run(["convert", "png:-", "-format", "%w %h %[pixel:p{300,200}]",
                             "info:"], input=data, capture_output=True, timeout=15).stdout
    assert colour.decode().replace("srgb", "rgb") == "600 400 rgb(200,30,30)"


def test_paste_takes_a_picture_from_another_program_and_gives_up_on_one_that_hangs(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["a.bmp"])
    png, text = desktop.sandbox.root / "pasted.png", desktop.sandbox.root / "note.txt"
    subprocess.run(["convert", "-size", "70x50", "xc:rgb(30,60,200)", f"PNG24:{png}"], check=True)
    text.write_text("just words")
    app = desktop.start(folder=folder)

    # Only text on the clipboard: nothing to paste, nothing changes.
    with clipboard_owner(desktop.desktop, text, "UTF8_STRING"):
        app.choose_menu("&File", "Paste To View")
        app.answer(MessageBox("Quorvel", "No Image/Picture is Found in ClipBoard",
                              "information or question"))
        assert app.caption() == CAPTION_PREFIX + str(folder)

    with clipboard_owner(desktop.desktop, png, "image/png") as owner:
        app.choose_menu("&File", "Paste To View")
        app.wait_caption("Untitled")
        assert app.info_labels() == {"Size:": "", "Date:": "", "Pic's Size:": "70 X 50"}
        assert close_to((30, 60, 200))(app.panel_pixel(35, 25))
        assert app.message_box() is None

        # An owner that stopped answering is given up on within seconds.
        os.kill(owner.pid, signal.SIGSTOP)
        started = time.monotonic()
        app.choose_menu("&File", "Paste To View")
        assert app.wait_message_box(timeout=20) == MessageBox(
            "Quorvel", "Invalid Clipboard Format!", "critical")
        assert time.monotonic() - started < 12
        app.answer()
    assert app.is_running()


def test_delete_with_yes_moves_the_file_to_the_trash(desktop):
    folder = desktop.sandbox.folder("My Pictures")
    original, _ = desktop.sandbox.pictures(folder, ["holiday 100%.bmp", "keep.bmp"])
    content = checksum(original)
    app = desktop.start(folder=folder)
    show_picture(app, folder, original.name, "24 X 16")

    app.choose_menu("&File", "Delete File...")
    app.answer(MessageBox("Delete File",
                          f'Are you sure you want to move "{original}" to the Trash?',
                          "information or question"), "Yes")
    wait_until(lambda: app.file_list() == ["keep.bmp"], message="the list without the file")
    assert not original.exists()
    assert app.caption() == CAPTION_PREFIX + str(folder)

    env = desktop.sandbox.environment(desktop.desktop.env)
    listed = subprocess.run(["trash-list"], env=env, capture_output=True, text=True,
                            timeout=30).stdout
    assert str(original) in listed, listed
    subprocess.run(["trash-restore", str(original)], env=env, input="0\n", text=True,
                   capture_output=True, timeout=30, check=True)
    assert checksum(original) == content


def register_recorder(sandbox, record):
    """Makes a script that records its arguments and its working folder the user's
    program for bitmaps."""
    script = sandbox.root / "recorder.sh"
    script.write_text(f'#!/bin/sh\n{{ pwd; for a in "$@"; do printf "%s\\n" "$a"; done; }}'
                      f' > "{record}.part" && mv "{record}.part" "{record}"\n')
    script.chmod(0o755)
    (sandbox.data / "applications").mkdir()
    (sandbox.data / "applications" / "quorvel-recorder.desktop").write_text(
        f"[Desktop Entry]\nType=Application\nName=Recorder\nExec={script} %f\n"
        "MimeType=image/bmp;\n")
    (sandbox.config / "mimeapps.list").write_text(
        "[Default Applications]\nimage/bmp=quorvel-recorder.desktop\n")


def test_run_file_now_opens_the_file_with_its_program(desktop):
    record = desktop.sandbox.root / "opened.txt"
    register_recorder(desktop.sandbox, record)
    folder = desktop.sandbox.folder("Odd names")
    name = "-50% \"off\" café.bmp"
    desktop.sandbox.pictures(folder, [name])
    app = desktop.start(folder=folder)
    show_picture(app, folder, name, "24 X 16")

    app.choose_menu("&File", "Run File Now...")
    wait_until(record.exists, timeout=15, message="the recorder to run")
    assert record.read_text().splitlines() == [str(desktop.binary.parent), str(folder / name)]
    assert app.message_box() is None
