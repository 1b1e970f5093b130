"""Clicking a file shows the picture and what is known about it."""

from harness import layout
from harness.app import CAPTION_PREFIX
from harness.images import close_to
from harness.waiting import wait_until

RED, GREEN = (200, 30, 30), (30, 160, 30)  # the sandbox's first two picture colours


def test_clicked_picture_is_shown_with_its_information(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["sunset.bmp", "wave.gif"], size=(120, 80))
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
    inner = layout.PANEL_BORDER
    panel = app.panel_pixels()
    assert close_to(RED)(panel.pixel(inner, inner))
    assert close_to(RED)(panel.pixel(inner + 119, inner + 79))
    assert not close_to(RED)(panel.pixel(inner + 125, inner + 40))
    assert not close_to(RED)(panel.pixel(inner + 40, inner + 85))

    app.click_list_entry("File1", "wave.gif")
    wait_until(lambda: close_to(GREEN)(app.panel_pixels().pixel(inner + 60, inner + 40)),
               message="the GIF on the panel")
    assert app.caption() == CAPTION_PREFIX + str(folder / "wave.gif")

    # Opening another folder clears the panel and the information again.
    app.click_list_entry("Dir1", "Older", double=True)
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder / "Older"),
               message="the caption to show the folder")
    assert app.info_labels() == {"Size:": "", "Date:": "", "Pic's Size:": ""}
    assert close_to((0, 0, 0), 16)(app.panel_pixels().pixel(inner + 1, inner + 1))
