"""Every newer type in the browser and full screen; the show's windows stacked over the screen."""

import shutil
from pathlib import Path

from harness.desktop import SCREEN_SIZE
from harness.images import BLUE_WMF, close_to
from harness.processes import wait_until

# Quadrants of 64 x 48: red, green / blue, yellow, made by tests/picture/formats/make.sh.
KEPT = Path(__file__).resolve().parent.parent / "picture" / "formats"
PICTURES = {"screen.png": "png-rgb.png", "web.webp": "webp-lossy.webp",
            "scan.tiff": "tiff-lzw.tif", "phone.heic": "heic-plain.heic",
            "phone.avif": "avif-plain.avif", "new.jxl": "jxl-lossless.jxl",
            "drawing.svg": "svg-drawing.svg", "packed.svgz": "svg-packed.svgz"}
RED, YELLOW, BLUE, BLACK = (255, 0, 0), (255, 255, 0), (30, 60, 200), (0, 0, 0)
CX, CY = SCREEN_SIZE[0] // 2, SCREEN_SIZE[1] // 2


def on_screen(app, *points):  # (colour, dx, dy) from the centre
    screen = app.desktop.grab()
    return all(close_to(colour, 16 if colour == BLACK else 24)(screen.pixel(CX + x, CY + y))
               for colour, x, y in points)


def test_every_newer_type_is_listed_shown_and_shown_full_screen(desktop):
    folder = desktop.folder("Pictures")
    for name, kept in PICTURES.items():
        shutil.copyfile(KEPT / kept, folder / name)
    desktop.pictures(folder, ["camera.jpeg"], size=(64, 48))
    (folder / "plan.wmf").write_bytes(BLUE_WMF)
    names = [*sorted([*PICTURES, "camera.jpeg"]), "plan.wmf"]
    app = desktop.start(folder=folder)
    assert app.filter_box().text() == "ALL Readable Format"
    assert sorted(app.file_list()) == sorted(names)

    for name in names:
        app.click_list_entry(name)
        app.wait_picture(folder / name, "64 X 48")
        assert app.message_box() is None, name
    # The metafile, clicked last, is drawn by the program's own player at its size.
    wait_until(lambda: close_to(BLUE)(app.panel_pixel(60, 40)), message="the metafile drawn")
    assert not close_to(BLUE)(app.panel_pixel(70, 40))

    for number, name in enumerate(sorted(PICTURES)):
        app.click_list_entry(name, double=True)
        app.wait_full_screen()
        wait_until(lambda: on_screen(app, (RED, -16, -12), (YELLOW, 16, 12), (BLACK, -40, 0),
                                     (BLACK, 4 - CX, 0)), message=f"{name} centred on black")
        app.click(100, 900) if number == 0 else app.key("Escape")  # either closes it
        app.wait_full_screen(shown=False)


def test_show_covers_the_screen_under_its_options_and_closing_the_window_ends_it(desktop):
    folder = desktop.folder("Pictures")
    desktop.pictures(folder, ["a.bmp", "b.bmp", "c.bmp"], size=(320, 240))
    app = desktop.start(folder=folder)
    app.choose_menu("&Option   View", "Full Screen SlideShow...")
    app.wait_full_screen()
    red = (200, 30, 30)  # 320 x 240, in the middle of the black screen
    wait_until(lambda: on_screen(app, (red, 0, 0), (red, -157, -117), (red, 157, 117),
                                 (BLACK, -166, 0), (BLACK, 0, 126), (BLACK, 4 - CX, 0)),
               message="the first slide centred")
    wait_until(lambda: app.desktop.grab().crop(0, 0, 370, 16).count(
        close_to((0, 255, 0), 60)) > 20, message="the green path along the top edge")
    for button in ("Continuous", "Cancel"):
        app.key("Escape")
        options = app.wait_window("Quorvel - Option")
        # On top of the show: its button is drawn, not the black of the show.
        bx, by = options.find(lambda n: n.role == "push button" and n.name == button).center
        assert not close_to(BLACK, 16)(app.desktop.grab().pixel(bx, by))
        app.click(bx, by)
        wait_until(lambda: app.window_titled("Quorvel - Option") is None,
                   message="the option window to close")
    app.wait_full_screen(shown=False)
    app.wait_caption(folder)

    # Closed from the window manager, as its close button does, behind the full screen.
    app.click_list_entry("a.bmp", double=True)
    app.wait_full_screen()
    app.activate()
    app.key("alt+F4")
    assert app.process.wait(10) == 0
    assert desktop.desktop.windows_of(app.pid) == []
    assert desktop.start().message_box() is None
