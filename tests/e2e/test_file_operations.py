"""What goes through the desktop: clipboard, trash, the program that opens a kind of file."""

import os
import signal
import time

from harness.app import MessageBox
from harness.images import close_to
from harness.processes import end_process, spawn, wait_until


def test_copy_run_delete_and_paste_go_through_the_desktop(desktop):
    # A script that records its arguments and working folder is the program for bitmaps.
    record, script = desktop.root / "opened.txt", desktop.root / "recorder.sh"
    script.write_text(f'#!/bin/sh\n{{ pwd; for a in "$@"; do printf "%s\\n" "$a"; done; }}'
                      f' > "{record}.part" && mv "{record}.part" "{record}"\n')
    script.chmod(0o755)
    desktop.folder(".local/share/applications").joinpath("quorvel-recorder.desktop").write_text(
        f"[Desktop Entry]\nType=Application\nName=Recorder\nExec={script} %f\n"
        "MimeType=image/bmp;\n")
    (desktop.config / "mimeapps.list").write_text(
        "[Default Applications]\nimage/bmp=quorvel-recorder.desktop\n")
    folder = desktop.folder("My Pictures")
    picture, _ = desktop.pictures(folder, ["-50% \"off\" café.bmp", "keep.bmp"], size=(600, 400))
    content = picture.read_bytes()
    x, png = desktop.desktop, desktop.root / "pasted.png"
    x.run(["convert", "-size", "70x50", "xc:rgb(30,60,200)", f"PNG24:{png}"])
    app = desktop.start(folder=folder)
    app.click_list_entry(picture.name)
    app.wait_picture(picture, "600 X 400")

    # Another program reads the copy at the picture's own size.
    app.choose_menu("&File", "ClipBoard..", submenu="Copy Pic To ...")
    app.answer(MessageBox("Quorvel", "Process Finished!", "none"))
    read = x.run(["sh", "-c", "xclip -selection clipboard -t image/png -o | "
                  "convert png:- -format '%w %h %[pixel:p{300,200}]' info:"])
    assert read.stdout.replace("srgb", "rgb") == "600 400 rgb(200,30,30)"

    app.choose_menu("&File", "Run File Now...")
    wait_until(record.exists, timeout=15, message="the recorder to run")
    assert record.read_text().splitlines() == [str(desktop.binary.parent), str(picture)]
    assert app.message_box() is None

    app.choose_menu("&File", "Delete File...")
    app.answer(MessageBox("Delete File", f'Are you sure you want to move "{picture}" to the Trash?',
                          "information or question"), "Yes")
    wait_until(lambda: app.file_list() == ["keep.bmp"], message="the list without the file")
    assert not picture.exists()
    app.wait_caption(folder)
    listed = x.run(["trash-list"], env=desktop.environment()).stdout
    assert str(picture) in listed, listed
    x.run(["trash-restore", picture], env=desktop.environment(), input="0\n")
    assert picture.read_bytes() == content

    # xclip serves it in the foreground, so that it can be stopped and ended by its id.
    owner = spawn(["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png", "-i", png],
                  x.env)
    try:
        wait_until(lambda: "image/png" in x.run(
            ["xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"]).stdout)
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
    finally:
        os.kill(owner.pid, signal.SIGCONT)
        end_process(owner.pid)
