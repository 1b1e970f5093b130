"""Moving through folders and volumes, and filtering the file list."""

import time

from harness import layout
from harness.app import CAPTION_PREFIX, MessageBox
from harness.images import close_to, write_bmp
from harness.waiting import wait_until


def gallery(desktop):
    start = desktop.sandbox.folder("work")
    folder = start / "Gallery"
    desktop.sandbox.pictures(folder, ["b.gif", "A.bmp", "c.JPG"])
    (folder / "Inner").mkdir()
    (start / "Other").mkdir()
    return start, folder


def wait_caption(app, folder):
    return wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder), timeout=10,
                      message=f"the caption to show {folder}")


def test_folder_list_opens_on_double_click_and_enter_and_each_volume_keeps_its_folder(desktop):
    start, folder = gallery(desktop)
    app = desktop.start(folder=start)
    assert app.folder_list() == [str(desktop.home), "work", "Gallery", "Other"]

    # A single click only highlights.
    app.click_list_entry("Dir1", "Other")
    wait_until(lambda: app.highlighted("Dir1") == ["Other"], message="Other highlighted")
    assert app.caption() == CAPTION_PREFIX + str(start)

    app.click_list_entry("Dir1", "Gallery", double=True)
    wait_caption(app, folder)
    assert app.folder_list() == [str(desktop.home), "work", "Gallery", "Inner"]
    assert app.file_list() == ["A.bmp", "b.gif", "c.JPG"]
    assert app.working_folder() == str(folder)

    # Another volume opens at its root; back on the home volume, its folder is kept.
    app.choose_drive("File System")
    wait_caption(app, "/")
    assert app.folder_list()[0] == "/"
    assert "tmp" in app.folder_list()
    assert app.working_folder() == "/"
    app.choose_drive("Home")
    wait_caption(app, folder)
    assert app.file_list() == ["A.bmp", "b.gif", "c.JPG"]
    assert app.working_folder() == str(folder)
    assert app.drives()[:2] == ["Home", "File System"]

    # Enter opens the highlighted folder; the chain leads back up.
    app.click_list_entry("Dir1", "Inner")
    wait_until(lambda: app.highlighted("Dir1") == ["Inner"], message="Inner highlighted")
    app.key("Return")
    wait_caption(app, folder / "Inner")
    assert app.file_list() == []
    app.click_list_entry("Dir1", "work", double=True)
    wait_caption(app, start)
    assert app.working_folder() == str(start)


def test_typed_filter_refilters_on_every_keystroke_and_refuses_an_invalid_pattern(desktop):
    folder = desktop.sandbox.folder("mixed")
    desktop.sandbox.pictures(folder, ["a.bmp", "B.BMP", "c.Bmp", "d.gif", "e.jpg",
                                      ".hidden.bmp"])
    (folder / "notes.txt").write_text("text\n")
    app = desktop.start(folder=folder)

    app.type_filter("*.BMP")
    wait_until(lambda: app.file_list() == [".hidden.bmp", "a.bmp", "B.BMP", "c.Bmp"],
               message="bitmaps of any case")
    assert app.filter_text() == "*.BMP"

    # No Enter needed: each key narrows or widens the list at once.
    app.type_filter("*.G")
    wait_until(lambda: app.file_list() == [], message="no file for *.G")
    app.type_text("IF")
    wait_until(lambda: app.file_list() == ["d.gif"], message="only the GIF for *.GIF")

    app.type_filter("*/")
    assert app.wait_message_box() == MessageBox(
        "Quorvel -Error", "This action is not allowed in this application!", "critical")
    app.press_ok()
    wait_until(lambda: app.message_box() is None, message="the message box to close")
    wait_until(lambda: app.filter_text() == "ALL Readable Format", message="the filter reset")
    assert app.file_list() == [".hidden.bmp", "a.bmp", "B.BMP", "c.Bmp", "d.gif", "e.jpg"]
    assert app.caption() == CAPTION_PREFIX + str(folder)


def test_holding_down_ends_on_the_last_picture(desktop):
    folder = desktop.sandbox.folder("Walk")
    # Every picture its own colour, so the panel tells which one it shows.
    colours = [(20 + 37 * i % 220, 240 - 53 * i % 200, 60 + 91 * i % 190) for i in range(30)]
    for i, colour in enumerate(colours):
        write_bmp(folder / f"p{i:02}.bmp", 1200, 900, colour)
    app = desktop.start(folder=folder)
    app.click_list_entry("File1", "p00.bmp")
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder / "p00.bmp"),
               message="the first picture's caption")

    app.hold_key("Down", 1.2)

    def settled():
        highlighted = app.highlighted("File1")
        return highlighted if len(highlighted) == 1 and highlighted == app.highlighted("File1") \
            else None
    last = wait_until(settled, message="one entry highlighted")[0]
    index = int(last[1:3])
    assert index >= 3, f"the key did not repeat: the walk ended on {last}"
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder / last),
               message=f"the caption to name {last}")
    inner = layout.PANEL_BORDER
    wait_until(lambda: close_to(colours[index], 12)(app.panel_pixels().pixel(inner + 60, inner + 40)),
               message=f"the panel to show {last}")
    # Nothing decoded for an earlier entry comes in after it.
    time.sleep(0.5)
    assert close_to(colours[index], 12)(app.panel_pixels().pixel(inner + 200, inner + 150))
    assert app.caption() == CAPTION_PREFIX + str(folder / last)
