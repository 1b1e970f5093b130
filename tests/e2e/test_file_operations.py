"""Copies into the favourite folders, the clipboard, opening and deleting files."""

import hashlib
import os
import signal
import subprocess
import time

from harness import layout, processes
from harness.app import CAPTION_PREFIX, MessageBox
from harness.images import close_to
from harness.waiting import wait_until

INNER = layout.PANEL_BORDER
BLUE = (30, 60, 200)


def checksum(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def png_size(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def show_picture(app, name):
    app.click_list_entry("File1", name)
    return wait_until(lambda: (lambda l: l if l["Pic's Size:"] else None)(app.info_labels()),
                      message="the file's information")


def answer(app, expected, button="OK"):
    assert app.wait_message_box() == expected
    if button == "OK":
        app.press_ok()
    else:
        app.press_button(button)
    wait_until(lambda: app.message_box() is None, message="the message box to close")


class ClipboardOwner:
    """xclip serving a file on the clipboard, in the foreground so that it can be
    stopped and ended by its process id."""

    def __init__(self, desktop, path, mime):
        self.process = processes.spawn(
            ["xclip", "-quiet", "-selection", "clipboard", "-t", mime, "-i", str(path)],
            desktop.desktop.env)
        # Owned once xclip itself can read it back.
        wait_until(lambda: subprocess.run(
            ["xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"],
            env=desktop.desktop.env, capture_output=True, timeout=5).stdout.find(
                mime.encode()) >= 0, timeout=10, message="xclip to own the clipboard")

    def end(self):
        try:
            os.kill(self.process.pid, signal.SIGCONT)
        except ProcessLookupError:
            pass
        processes.end_process(self.process.pid)


def test_copy_to_a_category_puts_the_same_file_there(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["sun set.bmp", "other.bmp"], size=(90, 60))
    app = desktop.start(folder=folder)
    show_picture(app, "sun set.bmp")

    app.choose_submenu("&File", "Copy File To  ...", "For Work")
    answer(app, MessageBox("Copy --> C:\\VozeviZire\\For Work", "Process Finished!", "none"))
    copy = desktop.home / "VozeviZire" / "For Work" / "sun set.bmp"
    assert checksum(copy) == checksum(folder / "sun set.bmp")
    assert copy.stat().st_mtime == (folder / "sun set.bmp").stat().st_mtime
    assert sorted(p.name for p in (desktop.home / "VozeviZire").iterdir()) == ["For Work"]

    # Browsing the category and copying a picture there onto itself keeps it whole.
    before = checksum(copy)
    app.choose_menu("&Option   View", 'View My "VozeviZire"')
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(desktop.home / "VozeviZire"),
               message="the browser in the favourite folders")
    assert app.message_box() is None
    app.click_list_entry("Dir1", "For Work", double=True)
    wait_until(lambda: app.file_list() == ["sun set.bmp"], message="the category's files")
    show_picture(app, "sun set.bmp")
    app.choose_submenu("&File", "Copy File To  ...", "For Work")
    answer(app, MessageBox("Copy --> C:\\VozeviZire\\For Work", "Process Finished!", "none"))
    assert checksum(copy) == before


def test_clipboard_copy_is_read_back_at_natural_size(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["wide.bmp"], size=(600, 400))
    app = desktop.start(folder=folder)
    show_picture(app, "wide.bmp")
    app.choose_menu("&Option   View", "Actual Size")
    app.choose_submenu("&Option   View", "Zoom Picture", "Zoom in +")

    app.choose_submenu("&File", "Copy Pic To ...", "ClipBoard..")
    answer(app, MessageBox("Quorvel", "Process Finished!", "none"))
    data = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"],
                          env=desktop.desktop.env, capture_output=True, timeout=15).stdout
    assert png_size(data) == (600, 400)
    colour = subprocess.run(["convert", "png:-", "-format", "%[pixel:p{300,200}]", "info:"],
                            input=data, capture_output=True, timeout=15).stdout.decode()
    assert colour in ("srgb(200,30,30)", "rgb(200,30,30)"), colour


def test_picture_put_on_the_clipboard_by_another_program_is_pasted(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["a.bmp"])
    png = desktop.sandbox.root / "pasted.png"
    subprocess.run(["convert", "-size", "70x50", "xc:rgb(30,60,200)", f"PNG24:{png}"], check=True)
    app = desktop.start(folder=folder)

    # Only text on the clipboard: nothing to paste, nothing changes.
    text = desktop.sandbox.root / "note.txt"
    text.write_text("just words")
    owner = ClipboardOwner(desktop, text, "UTF8_STRING")
    try:
        app.choose_menu("&File", "Paste To View")
        answer(app, MessageBox("Quorvel", "No Image/Picture is Found in ClipBoard",
                               "information or question"))
        assert app.caption() == CAPTION_PREFIX + str(folder)
    finally:
        owner.end()

    owner = ClipboardOwner(desktop, png, "image/png")
    try:
        app.choose_menu("&File", "Paste To View")
        wait_until(lambda: app.caption() == CAPTION_PREFIX + "Untitled",
                   message="the untitled caption")
        assert app.info_labels() == {"Size:": "", "Date:": "", "Pic's Size:": "70 X 50"}
        assert close_to(BLUE)(app.panel_pixels().pixel(INNER + 35, INNER + 25))
        assert app.message_box() is None
    finally:
        owner.end()


def test_paste_from_an_owner_that_does_not_answer_gives_up_within_seconds(desktop):
    png = desktop.sandbox.root / "pasted.png"
    subprocess.run(["convert", "-size", "20x20", "xc:red", f"PNG24:{png}"], check=True)
    app = desktop.start()
    owner = ClipboardOwner(desktop, png, "image/png")
    try:
        os.kill(owner.process.pid, signal.SIGSTOP)
        started = time.monotonic()
        app.choose_menu("&File", "Paste To View")
        assert app.wait_message_box(timeout=20) == MessageBox(
            "Quorvel", "Invalid Clipboard Format!", "critical")
        elapsed = time.monotonic() - started
        print(f"a stopped clipboard owner was given up on after {elapsed:.1f} s")
        assert elapsed < 12
        app.press_ok()
    finally:
        owner.end()
    assert app.is_running()


def test_delete_with_yes_moves_the_file_to_the_trash(desktop):
    folder = desktop.sandbox.folder("My Pictures")
    desktop.sandbox.pictures(folder, ["holiday 100%.bmp", "keep.bmp"])
    original = folder / "holiday 100%.bmp"
    content = checksum(original)
    app = desktop.start(folder=folder)
    show_picture(app, "holiday 100%.bmp")

    app.choose_menu("&File", "Delete File...")
    question = app.wait_message_box()
    assert question.title == "Delete File"
    assert question.text == f'Are you sure you want to move "{original}" to the Trash?'
    app.press_button("Yes")
    wait_until(lambda: app.file_list() == ["keep.bmp"], message="the list without the file")
    assert not original.exists()
    assert app.caption() == CAPTION_PREFIX + str(folder)

    env = dict(desktop.sandbox.environment(desktop.desktop.env))
    listed = subprocess.run(["trash-list"], env=env, capture_output=True, text=True,
                            timeout=30).stdout
    assert str(original) in listed, listed
    subprocess.run(["trash-restore", str(original)], env=env, input="0\n", text=True,
                   capture_output=True, timeout=30, check=True)
    assert checksum(original) == content


def register_recorder(sandbox, record):
    """A made-up kind of BMP, *.qvtest.bmp, opened by a script that records its
    arguments and its working folder."""
    mime = sandbox.data / "mime"
    (mime / "packages").mkdir(parents=True)
    (mime / "packages" / "quorvel-test.xml").write_text(
        '<?xml version="1.0"?>\n'
        '<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">\n'
        '  <mime-type type="application/x-quorvel-test"><comment>test</comment>'
        '<sub-class-of type="image/bmp"/><glob pattern="*.qvtest.bmp"/></mime-type>\n'
        '</mime-info>\n')
    subprocess.run(["update-mime-database", str(mime)], check=True, capture_output=True)
    script = sandbox.root / "recorder.sh"
    script.write_text(f'#!/bin/sh\n{{ pwd; for a in "$@"; do printf "%s\\n" "$a"; done; }}'
                      f' > "{record}.part" && mv "{record}.part" "{record}"\n')
    script.chmod(0o755)
    applications = sandbox.data / "applications"
    applications.mkdir(parents=True)
    (applications / "quorvel-recorder.desktop").write_text(
        "[Desktop Entry]\nType=Application\nName=Recorder\n"
        f"Exec={script} %f\nMimeType=application/x-quorvel-test;\n")
    (sandbox.config / "mimeapps.list").write_text(
        "[Default Applications]\napplication/x-quorvel-test=quorvel-recorder.desktop\n")


def test_run_file_now_opens_the_file_with_its_program(desktop):
    record = desktop.sandbox.root / "opened.txt"
    register_recorder(desktop.sandbox, record)
    folder = desktop.sandbox.folder("Odd names")
    name = "-50% \"off\" café.qvtest.bmp"
    desktop.sandbox.pictures(folder, [name])
    app = desktop.start(folder=folder)

    app.choose_menu("&File", "Run File Now...")
    answer(app, MessageBox("Quorvel", "Please Select A File", "critical"))

    show_picture(app, name)
    app.choose_menu("&File", "Run File Now...")
    wait_until(record.exists, timeout=15, message="the recorder to run")
    lines = record.read_text().splitlines()
    assert lines == [str(app_folder(desktop)), str(folder / name)]
    assert app.message_box() is None


def app_folder(desktop):
    return desktop.binary.parent
