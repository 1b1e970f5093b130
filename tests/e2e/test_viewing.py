"""Clicking a file shows the picture and what is known about it."""

from harness import layout
from harness.app import CAPTION_PREFIX, MessageBox
from harness.images import close_to, write_wmf
from harness.waiting import wait_until

RED, GREEN = (200, 30, 30), (30, 160, 30)  # the sandbox's first two picture colours
INNER = layout.PANEL_BORDER
NOT_SUPPORTED = MessageBox(
    "Quorvel",
    "This File Type is not supported yet in this version or the file is not accessible!",
    "none")


def test_clicked_pictures_in_every_mode_then_a_folder_change_clears_the_panel(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["sunset.bmp", "wave.gif"], size=(120, 80))
    desktop.sandbox.pictures(folder, ["wide.bmp"], size=(600, 400))
    blue = (30, 60, 200)
    write_wmf(folder / "plan.wmf", 160, 100, blue)
    write_wmf(folder / "site.wmf", 600, 400, blue)
    (folder / "Older").mkdir()
    app = desktop.start(folder=folder)

    app.click_list_entry("File1", "sunset.bmp")
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder / "sunset.bmp"),
               message="the caption to name the picture")
    labels = wait_until(lambda: (lambda l: l if l["Pic's Size:"] else None)(app.info_labels()),
                        message="the file's information")
    assert labels["Pic's Size:"] == "120 X 80"
    assert labels["Size:"] and labels["Date:"]
    # Drawn at the panel's inner top-left, at its own size.
    panel = app.panel_pixels()
    assert close_to(RED)(panel.pixel(INNER, INNER))
    assert close_to(RED)(panel.pixel(INNER + 119, INNER + 79))
    assert not close_to(RED)(panel.pixel(INNER + 125, INNER + 40))
    assert not close_to(RED)(panel.pixel(INNER + 40, INNER + 85))

    app.click_list_entry("File1", "wave.gif")
    wait_until(lambda: close_to(GREEN)(app.panel_pixels().pixel(INNER + 60, INNER + 40)),
               message="the GIF on the panel")
    assert app.caption() == CAPTION_PREFIX + str(folder / "wave.gif")

    app.click_list_entry("File1", "wide.bmp")
    wait_until(lambda: app.info_labels()["Pic's Size:"] == "600 X 400",
               message="the natural size, before the fit")
    # Auto-Fit: shrunk to the panel's width, the bare panel below it.
    wait_until(lambda: close_to(RED)(app.panel_pixels().pixel(INNER + 440, INNER + 290)),
               message="the picture fitted to the panel")
    assert not close_to(RED)(app.panel_pixels().pixel(INNER + 100, INNER + 350))
    assert not app.shows("HScroll1") and not app.shows("VScroll1")

    app.choose_menu("&Option   View", "Stretched Size")
    wait_until(lambda: close_to(RED)(app.panel_pixels().pixel(INNER + 100, INNER + 380)),
               message="the picture stretched over the whole panel")

    # Actual Size: the picture at its own size, with scroll bars to reach the rest.
    app.choose_menu("&Option   View", "Actual Size")
    wait_until(lambda: app.shows("HScroll1") and app.shows("VScroll1"),
               message="the scroll bars")
    assert close_to(RED)(app.panel_pixels().pixel(INNER + 300, INNER + 300))

    # A metafile is drawn at its size, and a large one sharp to the panel's far corner.
    app.click_list_entry("File1", "plan.wmf")
    wait_until(lambda: app.info_labels()["Pic's Size:"] == "160 X 100",
               message="the metafile's size")
    wait_until(lambda: close_to(blue)(app.panel_pixels().pixel(INNER + 80, INNER + 50)),
               message="the metafile on the panel")
    assert not close_to(blue)(app.panel_pixels().pixel(INNER + 170, INNER + 50))
    app.click_list_entry("File1", "site.wmf")
    wait_until(lambda: app.shows("HScroll1"), message="the scroll bars")
    wait_until(lambda: close_to(blue)(app.panel_pixels().pixel(INNER + 440, INNER + 370)),
               message="the drawing over the whole panel")

    # Opening another folder clears the panel and the information again.
    app.click_list_entry("Dir1", "Older", double=True)
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder / "Older"),
               message="the caption to show the folder")
    assert app.info_labels() == {"Size:": "", "Date:": "", "Pic's Size:": ""}
    assert close_to((0, 0, 0), 16)(app.panel_pixels().pixel(INNER + 1, INNER + 1))


def test_file_that_cannot_be_shown_brings_the_message_and_a_fresh_list(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["good.bmp", "gone.bmp"])
    (folder / "text.jpg").write_text("not a picture at all\n")
    (folder / "empty.gif").write_bytes(b"")
    app = desktop.start(folder=folder)

    app.type_filter("*.jpg")
    wait_until(lambda: app.file_list() == ["text.jpg"], message="only the .jpg listed")
    app.click_list_entry("File1", "text.jpg")
    assert app.wait_message_box() == NOT_SUPPORTED
    app.press_ok()
    wait_until(lambda: app.message_box() is None, message="the message box to close")
    wait_until(lambda: app.filter_text() == "ALL Readable Format", message="the filter reset")
    assert app.file_list() == ["empty.gif", "gone.bmp", "good.bmp", "text.jpg"]

    # A file that vanished after the list was read: the list is read again without it.
    (folder / "gone.bmp").unlink()
    app.click_list_entry("File1", "gone.bmp")
    assert app.wait_message_box() == NOT_SUPPORTED
    app.press_ok()
    wait_until(lambda: app.file_list() == ["empty.gif", "good.bmp", "text.jpg"],
               message="the list without the vanished file")

    app.click_list_entry("File1", "empty.gif")
    assert app.wait_message_box() == NOT_SUPPORTED
    app.press_ok()
    wait_until(lambda: app.message_box() is None, message="the message box to close")

    # And the program goes on showing good pictures.
    app.click_list_entry("File1", "good.bmp")
    wait_until(lambda: close_to(RED)(app.panel_pixels().pixel(INNER + 5, INNER + 5)),
               message="the good picture on the panel")
    assert app.is_running()
