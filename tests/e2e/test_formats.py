"""A folder with one picture of each type read beyond the first nine: under
"ALL Readable Format" each is listed, each click shows it with its size and no
message, and the full-screen view shows it."""

import shutil
from pathlib import Path

from harness.app import CAPTION_PREFIX
from harness.desktop import SCREEN_SIZE
from harness.images import close_to
from harness.waiting import wait_until

# Quadrants of 64 x 48: red, green / blue, yellow, made by tests/picture/formats/make.sh.
KEPT = Path(__file__).resolve().parent.parent / "picture" / "formats"
PICTURES = {
    "screen.png": "png-rgb.png",
    "web.webp": "webp-lossy.webp",
    "scan.tiff": "tiff-lzw.tif",
    "phone.heic": "heic-plain.heic",
    "phone.avif": "avif-plain.avif",
    "new.jxl": "jxl-lossless.jxl",
    "drawing.svg": "svg-drawing.svg",
    "packed.svgz": "svg-packed.svgz",
}
RED, YELLOW = (255, 0, 0), (255, 255, 0)


def test_every_newer_type_is_listed_shown_and_shown_full_screen(desktop):
    folder = desktop.sandbox.folder("Pictures")
    for name, kept in PICTURES.items():
        shutil.copyfile(KEPT / kept, folder / name)
    desktop.sandbox.pictures(folder, ["camera.jpeg"], size=(64, 48))
    app = desktop.start(folder=folder)
    assert app.filter_text() == "ALL Readable Format"
    assert sorted(app.file_list()) == sorted([*PICTURES, "camera.jpeg"])

    for name in sorted([*PICTURES, "camera.jpeg"]):
        app.click_list_entry("File1", name)
        wait_until(lambda: app.caption() == CAPTION_PREFIX + str(folder / name),
                   message=f"the caption to name {name}")
        assert app.info_labels()["Pic's Size:"] == "64 X 48", name
        assert app.message_box() is None, name

    for name in sorted(PICTURES):
        app.click_list_entry("File1", name, double=True)
        app.wait_full_screen()
        cx, cy = SCREEN_SIZE[0] // 2, SCREEN_SIZE[1] // 2
        wait_until(lambda: close_to(RED)(app.desktop.grab().pixel(cx - 16, cy - 12))
                   and close_to(YELLOW)(app.desktop.grab().pixel(cx + 16, cy + 12)),
                   message=f"{name} centred on the screen")
        app.key("Escape")
        app.wait_full_screen(shown=False)
