"""The full-screen view and show over the whole screen of the real desktop, their
windows stacked as the window manager keeps them."""

from harness.desktop import SCREEN_SIZE
from harness.images import close_to
from harness.waiting import wait_until

RED, BLACK = (200, 30, 30), (0, 0, 0)
CX, CY = SCREEN_SIZE[0] // 2, SCREEN_SIZE[1] // 2


def centred_on_black(screen):
    """The 320 x 240 red picture in the middle of the black screen."""
    return (all(close_to(RED)(screen.pixel(x, y)) for x, y in
                ((CX, CY), (CX - 157, CY - 117), (CX + 157, CY + 117)))
            and all(close_to(BLACK, 16)(screen.pixel(x, y)) for x, y in
                    ((CX - 166, CY), (CX, CY + 126), (4, SCREEN_SIZE[1] // 2))))


def test_view_and_show_cover_the_screen_and_closing_the_window_ends_them(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["a.bmp", "b.bmp", "c.bmp"], size=(320, 240))
    app = desktop.start(folder=folder)
    app.click_list_entry("File1", "a.bmp", double=True)
    app.wait_full_screen()
    wait_until(lambda: centred_on_black(app.desktop.grab()), message="the picture centred")
    app.click(100, 900)
    app.wait_full_screen(shown=False)

    app.choose_menu("&Option   View", "Full Screen SlideShow...")
    app.wait_full_screen()
    wait_until(lambda: centred_on_black(app.desktop.grab()), message="the first slide centred")
    # The green path along the top edge.
    wait_until(lambda: app.desktop.grab().crop(0, 0, 370, 16).count(
        close_to((0, 255, 0), 60)) > 20, message="the green captions")
    for button in ("Continuous", "Cancel"):
        app.key("Escape")
        options = app.wait_window("Quorvel - Option")
        # On top of the show: its button is drawn, not the black of the show.
        bx, by = options.find(lambda n: n.role == "push button" and n.name == button).center
        assert not close_to(BLACK, 16)(app.desktop.grab().pixel(bx, by))
        app.press_button(options, button)
        wait_until(lambda: app.window_titled("Quorvel - Option") is None,
                   message="the option window to close")
    app.wait_full_screen(shown=False)
    app.wait_caption(folder)

    # Closed from the window manager, as its close button does, behind the full screen.
    app.click_list_entry("File1", "a.bmp", double=True)
    app.wait_full_screen()
    app.activate()
    app.key("alt+F4")
    assert app.wait_exit(10) == 0
    assert desktop.windows_of(app.pid) == []
    assert desktop.start().message_box() is None
