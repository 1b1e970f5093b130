"""The slide shows: the speed dialog, a show in the main window steered from the
menu bar, and a full-screen show paused into its option window."""

import time

from harness.app import CAPTION_PREFIX, MessageBox
from harness.desktop import SCREEN_SIZE
from harness.images import close_to
from harness.waiting import wait_until

RED, BLACK = (200, 30, 30), (0, 0, 0)
NAMES = ["a.bmp", "b.bmp", "c.bmp"]


def top_level(app, title):
    """A window of the program other than the main window, by its title."""
    for node in app.accessible().children():
        if node.name == title and node.showing:
            return node
    return None


def button(window, caption):
    return window.find(lambda n: n.role == "push button" and n.name == caption.replace("&", ""))


def visible_extra_items(app):
    """The slide-show entries that the menu bar shows now."""
    extra = ("Pause", "Resume", "Copy -> VozeviZire", "Speed..", "SysTray...", "Cancel")
    return [e.caption for e in app.menu_bar() if e.visible and e.caption.replace("&", "") in extra]


def click_menu_bar(app, title):
    item = app._menu_bar_item(title)
    app.click(*item.center)


def captions_until(app, final, timeout=15):
    """Every caption the main window shows until it shows final."""
    seen = []

    def finished():
        caption = app.caption()
        if not seen or seen[-1] != caption:
            seen.append(caption)
        return caption == final
    wait_until(finished, timeout, interval=0.03, message=f"the caption {final!r}")
    return seen


def test_window_show_at_fastest_steps_through_the_folder(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, NAMES, size=(120, 80))
    app = desktop.start(folder=folder)
    app.choose_menu("&Option   View", "Adjust Speed...")
    dialog = wait_until(lambda: top_level(app, "Adjust the Speed of Slide Show"),
                        message="the speed dialog")
    # The hand, a picture without words, points at the current speed.
    markers = dialog.find_all(lambda n: n.role in ("label", "image") and n.showing
                              and not n.name)
    medium = button(dialog, "Medium").extents
    assert len(markers) == 1
    x, _, w, _ = markers[0].extents
    assert medium[0] <= x and x + w <= medium[0] + medium[2]
    app.click(*button(dialog, "Fastest").center)
    assert app.wait_message_box() == MessageBox(
        "Quorvel", "The Speed of Slide Show is Fastest Now", "none")
    app.press_ok()
    wait_until(lambda: top_level(app, "Adjust the Speed of Slide Show") is None,
               message="the speed dialog to close")
    app.choose_menu("&Option   View", "Win Mode SlideShow...")
    seen = captions_until(app, CAPTION_PREFIX + str(folder / "c.bmp"))
    pictures = [c for c in seen if c.endswith(".bmp")]
    assert pictures == [CAPTION_PREFIX + str(folder / name) for name in NAMES]
    captions_until(app, CAPTION_PREFIX + str(folder))
    wait_until(lambda: visible_extra_items(app) == [], message="the show's menus to go")
    assert all(e.enabled for e in app.menu_bar() if e.visible)
    assert app.file_list() == NAMES


def test_window_show_pause_resume_and_cancel(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, [f"p{i}.bmp" for i in range(8)], size=(120, 80))
    app = desktop.start(folder=folder)  # at Medium, 1.5 s a slide
    app.choose_menu("&Option   View", "Win Mode SlideShow...")
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder / "p0.bmp"),
               message="the first slide")
    assert visible_extra_items(app) == ["&Pause", "&Cancel"]
    assert [e.enabled for e in app.menu_bar()[:3]] == [False, False, False]

    click_menu_bar(app, "&Pause")
    wait_until(lambda: visible_extra_items(app) == [
        "&Resume", "C&opy -> VozeviZire", "S&peed..", "SysTr&ay...", "&Cancel"],
        message="the paused show's menus")
    paused_on = app.caption()
    time.sleep(3.2)  # two intervals and more: a paused show must not move on
    assert app.caption() == paused_on

    click_menu_bar(app, "&Resume")
    wait_until(lambda: app.caption() != paused_on, message="the next slide after Resume")
    click_menu_bar(app, "&Cancel")
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder),
               message="the folder in the caption after Cancel")
    wait_until(lambda: visible_extra_items(app) == [], message="the show's menus to go")
    assert [e.enabled for e in app.menu_bar()[:3]] == [True, True, True]


def picture_centred(screen, size):
    cx, cy = SCREEN_SIZE[0] // 2, SCREEN_SIZE[1] // 2
    return (close_to(RED)(screen.pixel(cx, cy))
            and close_to(BLACK, 16)(screen.pixel(cx - size[0] // 2 - 6, cy)))


def test_full_screen_show_paused_then_continued_cancelled_and_exited(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, NAMES, size=(320, 240))
    app = desktop.start(folder=folder)
    app.choose_menu("&Option   View", "Full Screen SlideShow...")
    app.wait_full_screen()
    wait_until(lambda: picture_centred(app.desktop.grab(), (320, 240)),
               message="the first picture centred on black")
    # The green path along the top edge.
    wait_until(lambda: app.desktop.grab().crop(0, 0, 370, 16).count(close_to((0, 255, 0), 60)) > 20,
               message="the green captions")

    app.click(40, SCREEN_SIZE[1] - 40)
    options = wait_until(lambda: top_level(app, "Quorvel - Option"),
                         message="the option window")
    assert [b.name for b in options.find_all(lambda n: n.role == "push button")] == [
        "Cancel", "Continuous", "Exit"]
    # On top of the show: its button is drawn, not the black of the show.
    bx, by = button(options, "Continuous").center
    assert not close_to(BLACK, 16)(app.desktop.grab().pixel(bx, by))

    app.click(bx, by)
    wait_until(lambda: top_level(app, "Quorvel - Option") is None,
               message="the option window to close")
    app.click(40, SCREEN_SIZE[1] - 40)
    options = wait_until(lambda: top_level(app, "Quorvel - Option"),
                         message="the option window again")
    app.click(*button(options, "Cancel").center)
    app.wait_full_screen(shown=False)
    wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder),
               message="the folder in the caption")

    # Esc pauses too, and Exit there ends the program.
    app.choose_menu("&Option   View", "Full Screen SlideShow...")
    app.wait_full_screen()
    app.key("Escape")
    options = wait_until(lambda: top_level(app, "Quorvel - Option"),
                         message="the option window after Esc")
    app.click(*button(options, "Exit").center)
    app.wait_exit()
