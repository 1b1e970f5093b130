"""A folder with one picture of each type read beyond the first nine: under
"ALL Readable Format" each is listed, each click shows it with its size and no
message, and the full-screen view shows it."""

import shutil
from pathlib import Path

from harness.desktop import SCREEN_SIZE
from harness.images import close_to, write_wmf
from harness.waiting import wait_until

# Quadrants of 64 x 48: red, green / blue, yellow, made by tests/picture/formats/make.sh.
KEPT = Path(__file__).resolve().parent.parent / "picture" / "formats"
PICTURES = {"screen.png": "png-rgb.png", "web.webp": "webp-lossy.webp",
            "scan.tiff": "tiff-lzw.tif", "phone.heic": "heic-plain.heic",
            "phone.avif": "avif-plain.avif", "new.jxl": "jxl-lossless.jxl",
            "drawing.svg": "svg-drawing.svg", "packed.svgz": "svg-packed.svgz"}
RED, YELLOW, BLUE = (255, 0, 0), (255, 255, 0), (30, 60, 200)


def test_every_newer_type_is_listed_shown_and_shown_full_screen(desktop):
    folder = desktop.sandbox.folder("Pictures")
    for name, kept in PICTURES.items():
        shutil.copyfile(KEPT / kept, folder / name)
    desktop.sandbox.pictures(folder, ["camera.jpeg"], size=(64, 48))
    write_wmf(folder / "plan.wmf", 64, 48, BLUE)
    names = [*sorted([*PICTURES, "camera.jpeg"]), "plan.wmf"]
    app = desktop.start(folder=folder)
    assert app.filter_text() == "ALL Readable Format"
    assert sorted(app.file_list()) == sorted(names)

    for name in names:
        app.click_list_entry("File1", name)
        app.wait_picture(folder / name, "64 X 48")
        assert app.message_box() is None, name
    # The metafile, clicked last, is drawn by the program's own player at its size.
    wait_until(lambda: close_to(BLUE)(app.panel_pixel(60, 40)),
               message="the metafile on the panel")
    assert not close_to(BLUE)(app.panel_pixel(70, 40))

    cx, cy = SCREEN_SIZE[0] // 2, SCREEN_SIZE[1] // 2
    for name in sorted(PICTURES):
        app.click_list_entry("File1", name, double=True)
        app.wait_full_screen()
        wait_until(lambda: close_to(RED)(app.desktop.grab().pixel(cx - 16, cy - 12))
                   and close_to(YELLOW)(app.desktop.grab().pixel(cx + 16, cy + 12)),
                   message=f"{name} centred on the screen")
        app.key("Escape")
        app.wait_full_screen(shown=False)
