"""The full-screen view: a black window over the whole screen with the picture
centred, opened three ways and closed by a click or Esc."""

from harness.app import CAPTION_PREFIX
from harness.desktop import SCREEN_SIZE
from harness.images import close_to
from harness.waiting import wait_until

RED, BLACK = (200, 30, 30), (0, 0, 0)


def picture_centred_on_black(screen, size):
    width, height = SCREEN_SIZE
    cx, cy = width // 2, height // 2
    half_w, half_h = size[0] // 2, size[1] // 2
    return (close_to(RED)(screen.pixel(cx, cy))
            and close_to(RED)(screen.pixel(cx - half_w + 3, cy - half_h + 3))
            and close_to(RED)(screen.pixel(cx + half_w - 3, cy + half_h - 3))
            and close_to(BLACK, 16)(screen.pixel(cx - half_w - 6, cy))
            and close_to(BLACK, 16)(screen.pixel(cx, cy + half_h + 6))
            and close_to(BLACK, 16)(screen.pixel(4, 4)))


def test_full_screen_view_opens_three_ways_and_closes(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["photo.bmp"], size=(320, 240))
    app = desktop.start(folder=folder)
    app.click_list_entry("File1", "photo.bmp")
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder / "photo.bmp"),
               message="the caption to name the picture")

    # A double-click on the file; a click anywhere closes the view.
    app.click_list_entry("File1", "photo.bmp", double=True)
    app.wait_full_screen()
    wait_until(lambda: picture_centred_on_black(app.desktop.grab(), (320, 240)),
               message="the picture centred on black")
    app.click(100, 900)
    app.wait_full_screen(shown=False)

    # The menu; Esc closes it.
    app.choose_menu("&Option   View", "Full Screen View...")
    app.wait_full_screen()
    app.key("Escape")
    app.wait_full_screen(shown=False)

    # A click on the picture in Auto-Fit.
    x, y, _, _ = app.control_screen_rect("Picture5")
    app.click(x + 60, y + 60)
    app.wait_full_screen()
    app.click(SCREEN_SIZE[0] // 2, SCREEN_SIZE[1] // 2)
    app.wait_full_screen(shown=False)
    assert app.caption() == CAPTION_PREFIX + str(folder / "photo.bmp")
