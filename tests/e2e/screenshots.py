#!/usr/bin/python3
"""Screenshot gallery: each scene starts the program afresh as a new user, puts it in the
state it names and saves its windows and popups as NN-name.png, plus an index.html."""

import argparse
import html
import os
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))

from harness.app import Quorvel  # noqa: E402
from harness.desktop import Desktop  # noqa: E402
from harness.images import BLUE_WMF  # noqa: E402
from harness.session import REPO_ROOT, UserSession  # noqa: E402
from harness.processes import wait_until  # noqa: E402

# The same user folder every time, so that captions do not vary between runs.
GALLERY_USER = Path(tempfile.gettempdir()) / f"quorvel-gallery-{os.getuid()}"
CORPUS_DRAWING = REPO_ROOT.parent / "shared/corpus/apache-poi/wmf/good/santa.wmf"
OPTIONS = "&Option   View"


def convert(folder, name, *args):
    subprocess.run(["convert", *args, f"BMP3:{folder / name}"], check=True)
    return folder


def pictures(session, broken=False):  # a few pictures, one like a photo, and two subfolders
    folder = session.folder("Pictures")
    session.pictures(folder, ["Beach.BMP", "logo.gif", "photo.jpg", "favicon.ico", "notes.gif"],
                     size=(64, 48))
    for name in ("Family", "Holidays"):
        (folder / name).mkdir()
    if broken:
        (folder / "broken.jpg").write_text("this is not a picture\n")
    return convert(folder, "sunset.bmp", "-size", "280x180", "gradient:#ffb347-#1e3c72", "-fill",
                   "#ffe066", "-draw", "circle 140,120 140,88", "-fill", "#203040", "-draw",
                   "rectangle 0,140 280,180")


def landscape(session):
    return convert(session.folder("Pictures"), "landscape.bmp", "-size", "720x540",
                   "plasma:#5a8fd0-#f0c060", "-blur", "0x3")


def drawing(session):
    (folder := session.folder("Drawings")).joinpath("santa.wmf").write_bytes(
        CORPUS_DRAWING.read_bytes() if CORPUS_DRAWING.exists() else BLUE_WMF)
    return folder


def click(name, double=False): return lambda app: app.click_list_entry(name, double=double)
def menu(*choice): return lambda app: app.choose_menu(*choice)
def window(title): return lambda app: app.wait_window(title)
def until(test, what, timeout=10): return lambda app: wait_until(lambda: test(app), timeout,
                                                                 message=what)


MESSAGE, OK, FULL_SCREEN = Quorvel.wait_message_box, Quorvel.answer, Quorvel.wait_full_screen
P, PL = pictures, lambda session: pictures(session, broken=True)
SHOWN = until(lambda app: app.info_labels().get("Pic's Size:"), "the size")
SUNSET, LANDSCAPE = [click("sunset.bmp"), SHOWN], [click("landscape.bmp"), SHOWN]
SHOW = [menu(OPTIONS, "Full Screen SlideShow..."), FULL_SCREEN,
        until(lambda app: app.desktop.grab().crop(0, 0, 370, 16).count(
            lambda p: p[1] > 200 and p[0] < 80) > 20, "the green captions")]
SCENES = [  # name, description, the folder to start in, the steps
    ("main-window", "The main window at start, in a folder of a few pictures.", P, []),
    ("picture-shown", "A picture clicked in the file list, with its information.", P, SUNSET),
    ("actual-size", "A picture larger than the panel at its actual size, with scroll bars.",
     landscape, [*LANDSCAPE, menu(OPTIONS, "Actual Size")]),
    ("auto-fit", "The same picture fitted into the panel.", landscape, LANDSCAPE),
    ("stretched", "The same, stretched.", landscape, [*LANDSCAPE, menu(OPTIONS, "Stretched Size")]),
    ("full-screen", "The full-screen view: the picture centred on black.", P,
     [*SUNSET, click("sunset.bmp", double=True), FULL_SCREEN]),
    ("file-not-supported", "The message for a non-picture.", PL, [click("broken.jpg"), MESSAGE]),
    ("metafile-shown", "Drawn by Quorvel's metafile player.", drawing, [click("santa.wmf"), SHOWN]),
    ("filter-list-open", "The picture-type filter dropped down.", P, [Quorvel.drop_down_filter]),
    ("invalid-pattern-message", "The message for a filter pattern that names a folder (\"*/\").",
     P, [lambda app: app.type_filter("*/"), MESSAGE]),
    ("speed-dialog", "Adjust the Speed of Slide Show, the hand under the current speed.", P,
     [menu(OPTIONS, "Adjust Speed..."), window("Adjust the Speed of Slide Show")]),
    ("window-show-paused", "The window-mode show paused, with its menu bar.", P,
     [menu(OPTIONS, "Win Mode SlideShow..."),
      until(lambda app: app.caption().endswith("sunset.bmp"), "sunset.bmp", 20),
      lambda app: app.click(*app.menu_bar_item("&Pause").center),
      until(lambda app: app.menu_bar_item("&Resume").showing, "the paused show's menus")]),
    ("full-screen-show", "The full-screen show with its green captions.", P, SHOW),
    ("option-window", "The paused full-screen show and Quorvel - Option on top.", P,
     [*SHOW, lambda app: app.key("Escape"), window("Quorvel - Option")]),
    ("copy-finished", "A picture copied into the Personal favourite folder.", P,
     [*SUNSET, menu("&File", "Personal ", "Copy File To  ..."), MESSAGE]),
    ("delete-question", "The question before a picture goes to the trash.", P,
     [*SUNSET, menu("&File", "Delete File..."), MESSAGE]),
    ("pasted-picture", "A picture pasted from the clipboard: untitled, not fitted.", P,
     [*SUNSET, menu("&File", "ClipBoard..", "Copy Pic To ..."), OK, menu("&File", "Paste To View"),
      until(lambda app: app.caption().endswith("Untitled"), "the pasted picture")]),
    ("start-in-tray-option", "The start-in-tray option dialog.", P,
     [menu(OPTIONS, 'Minimize to "SysTray"', "Loading Option.."), window("Minimize to TrayIcon")]),
    ("auto-go-folder", "The Auto-Go folder dialog, with no folder set yet.", P,
     [menu(OPTIONS, 'Go to "Folder"', "Loading Option.."), window("Auto-Go Folder")]),
    ("tips-window", "The tips window.", P, [menu("&Help", "Tips..."), OK, window("Tips + help ")]),
    ("about", "The About dialog.", P, [menu("&Help", "About..."), window("About...")]),
]


def capture(app, path, margin=8):  # the area of all the program's windows, once still
    grabs = [None]
    wait_until(lambda: grabs.append(app.desktop.grab().data) or grabs[-1] == grabs[-2], 5,
               interval=0.3, message="the screen to settle")
    boxes = [app.desktop.window_geometry(w, frame=True) for w in app.desktop.windows_of(app.pid)]
    x0, y0 = (max(0, min(box[i] for box in boxes) - margin) for i in (0, 1))
    x1, y1 = (max(box[i] + box[i + 2] for box in boxes) + margin for i in (0, 1))
    app.desktop.grab().crop(x0, y0, x1 - x0, y1 - y0).save_png(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=REPO_ROOT / "build" / "screenshots")
    parser.add_argument("scenes", nargs="*", help="names of the scenes to take (default: all)")
    args = parser.parse_args()
    if unknown := set(args.scenes) - {scene[0] for scene in SCENES}:
        parser.error(f"unknown scenes: {', '.join(sorted(unknown))}")
    args.out.mkdir(parents=True, exist_ok=True)
    for old in [] if args.scenes else args.out.glob("[0-9][0-9]-*.png"):
        old.unlink()  # a full run writes the whole gallery, nothing from older scene lists
    failures, shots = [], []
    with Desktop() as desktop:
        for number, (name, description, folder, steps) in enumerate(SCENES, start=1):
            if args.scenes and name not in args.scenes:
                continue
            file = f"{number:02d}-{name}.png"
            session = UserSession(desktop, root=GALLERY_USER)
            try:
                app = session.start(folder=folder(session))
                for step in steps:
                    step(app)
                capture(app, args.out / file)
                shots.append(f'<h2>{html.escape(name)}</h2><p>{html.escape(description)}</p>'
                             f'<img src="{file}" alt="{html.escape(name)}">')
            except Exception as error:  # noqa: BLE001 - the other scenes still count
                failures.append(name)
                print(f"screenshot {name} failed: {error!r}", file=sys.stderr)
            finally:
                session.close()
    (args.out / "index.html").write_text(
        "<!doctype html><meta charset=utf-8><title>Quorvel screenshots</title><style>body{font-"
        "family:sans-serif;background:#eee}img{border:1px solid #999}</style><h1>Quorvel "
        "screenshots</h1>\n" + "\n".join(shots) + "\n", encoding="utf-8")
    print(f"screenshots: {len(shots)} taken, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
