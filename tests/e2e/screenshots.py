#!/usr/bin/python3
"""Screenshot gallery: every window and state a reviewer should look at.

Each scene starts the program afresh as a new user on a private X desktop, puts
it in the state it names, and saves the program's windows (with the window
manager's frames, and any open popup) as build/screenshots/NN-name.png, plus an
index.html. Add a state by adding a Scene to SCENES.

    /usr/bin/python3 tests/e2e/screenshots.py [--out DIR] [SCENE ...]
"""

import argparse
import html
import os
import shutil
import subprocess
import sys
import tempfile
from dataclasses import dataclass
from pathlib import Path
from typing import Callable

sys.path.insert(0, str(Path(__file__).parent))

from harness import processes  # noqa: E402
from harness.desktop import Desktop  # noqa: E402
from harness.images import write_wmf  # noqa: E402
from harness.session import REPO_ROOT, UserSession  # noqa: E402
from harness.waiting import wait_until  # noqa: E402

MARGIN = 8
# The same user folder every time, so that captions do not vary between runs.
GALLERY_USER = Path(tempfile.gettempdir()) / f"quorvel-gallery-{os.getuid()}"
# A real-world drawing for the metafile scene, when the corpus is at hand.
CORPUS_DRAWING = REPO_ROOT.parent / "shared" / "corpus" / "apache-poi" / "wmf" / "good" / "santa.wmf"


@dataclass
class Scene:
    name: str
    description: str
    show: Callable  # (UserSession) -> the started Quorvel, in the state to capture


def picture_folder(session):
    folder = session.sandbox.folder("Pictures")
    session.sandbox.pictures(folder, ["Beach.BMP", "logo.gif", "photo.jpg", "favicon.ico",
                                      "notes.gif"], size=(64, 48))
    # Something that looks like a picture, for the scenes that show one.
    subprocess.run(["convert", "-size", "280x180", "gradient:#ffb347-#1e3c72", "-fill", "#ffe066",
                    "-draw", "circle 140,120 140,88", "-fill", "#203040",
                    "-draw", "rectangle 0,140 280,180", f"BMP3:{folder / 'sunset.bmp'}"],
                   check=True)
    for name in ("Family", "Holidays"):
        (folder / name).mkdir()
    return folder


def main_window(session):
    return session.start(folder=picture_folder(session))


def picture_shown(session):
    app = session.start(folder=picture_folder(session))
    app.click_list_entry("File1", "sunset.bmp")
    wait_until(lambda: app.info_labels().get("Pic's Size:"), message="the file's information")
    return app


def large_picture(session, mode):
    folder = session.sandbox.folder("Pictures")
    subprocess.run(["convert", "-size", "720x540", "plasma:#5a8fd0-#f0c060", "-blur", "0x3",
                    f"BMP3:{folder / 'landscape.bmp'}"], check=True)
    app = session.start(folder=folder)
    app.click_list_entry("File1", "landscape.bmp")
    wait_until(lambda: app.info_labels().get("Pic's Size:"), message="the file's information")
    if mode:
        app.choose_menu("&Option   View", mode)
    return app


def full_screen(session):
    app = picture_shown(session)
    app.click_list_entry("File1", "sunset.bmp", double=True)
    app.wait_full_screen()
    return app


def file_not_supported(session):
    folder = picture_folder(session)
    (folder / "broken.jpg").write_text("this is not a picture\n")
    app = session.start(folder=folder)
    app.click_list_entry("File1", "broken.jpg")
    app.wait_message_box()
    return app


def metafile_shown(session):
    folder = session.sandbox.folder("Drawings")
    if CORPUS_DRAWING.exists():
        shutil.copy(CORPUS_DRAWING, folder / "santa.wmf")
    else:
        write_wmf(folder / "santa.wmf", 200, 150, (200, 40, 40))
    app = session.start(folder=folder)
    app.click_list_entry("File1", "santa.wmf")
    wait_until(lambda: app.info_labels().get("Pic's Size:"), message="the file's information")
    return app


def filter_list_open(session):
    app = session.start(folder=picture_folder(session))
    app.drop_down_filter()
    return app


def invalid_pattern_message(session):
    app = session.start(folder=picture_folder(session))
    app.type_filter("*/")
    app.wait_message_box()
    return app


def top_level(app, title):
    for node in app.accessible().children():
        if node.name == title and node.showing:
            return node
    return None


def speed_dialog(session):
    app = session.start(folder=picture_folder(session))
    app.choose_menu("&Option   View", "Adjust Speed...")
    wait_until(lambda: top_level(app, "Adjust the Speed of Slide Show"), message="the dialog")
    return app


def window_show_paused(session):
    folder = picture_folder(session)
    app = session.start(folder=folder)
    app.choose_menu("&Option   View", "Win Mode SlideShow...")
    wait_until(lambda: app.caption().endswith("sunset.bmp"), timeout=20, message="sunset.bmp")
    pause = next(e for e in app.accessible().find_all(
        lambda n: n.role == "menu item" and n.name == "Pause" and n.showing))
    app.click(*pause.center)
    wait_until(lambda: any(e.caption == "&Resume" and e.visible for e in app.menu_bar()),
               message="the paused show's menus")
    return app


def full_screen_show(session):
    app = session.start(folder=picture_folder(session))
    app.choose_menu("&Option   View", "Full Screen SlideShow...")
    app.wait_full_screen()
    wait_until(lambda: app.desktop.grab().crop(0, 0, 370, 16).count(
        lambda p: p[1] > 200 and p[0] < 80) > 20, message="the green captions")
    return app


def option_window(session):
    app = full_screen_show(session)
    app.key("Escape")
    wait_until(lambda: top_level(app, "Quorvel - Option"), message="the option window")
    return app


def copy_finished(session):
    app = picture_shown(session)
    app.choose_submenu("&File", "Copy File To  ...", "Personal ")
    app.wait_message_box()
    return app


def delete_question(session):
    app = picture_shown(session)
    app.choose_menu("&File", "Delete File...")
    app.wait_message_box()
    return app


def pasted_picture(session):
    app = picture_shown(session)
    app.choose_submenu("&File", "Copy Pic To ...", "ClipBoard..")
    app.wait_message_box()
    app.press_ok()
    wait_until(lambda: app.message_box() is None, message="the message box to close")
    app.choose_menu("&File", "Paste To View")
    wait_until(lambda: app.caption().endswith("Untitled"), message="the pasted picture")
    return app


def window_named(session, app, title):
    """Waits for the program's window with the caption, for the scenes of its dialogs."""
    return wait_until(lambda: [w for w in session.windows_of(app.pid)
                               if session.desktop.window_name(w) == title],
                      message=f"the window {title!r}")


def option_dialog(session, rank, title):
    """Opens the rank-th entry of "Loading Option.." (a submenu) with the arrow keys."""
    app = session.start(folder=picture_folder(session))
    popup = app._open_menu("&Option   View")
    for _ in range(len(popup.children()) * 2):
        if any(c.name == "Loading Option.." and (c.focused or c.selected)
               for c in app._menu_bar_item("&Option   View").children()[0].children()):
            break
        app.key("Down")
    app.key("Right", *["Down"] * rank, "Return")
    window_named(session, app, title)
    return app


def tips_window(session):
    app = session.start(folder=picture_folder(session))
    app.choose_menu("&Help", "Tips...")
    app.wait_message_box()
    app.press_ok()
    window_named(session, app, "Tips + help ")
    return app


def about_window(session):
    app = session.start(folder=picture_folder(session))
    app.choose_menu("&Help", "About...")
    window_named(session, app, "About...")
    return app


SCENES = [
    Scene("main-window", "The main window at start, in a folder of a few pictures.",
          main_window),
    Scene("picture-shown", "A picture clicked in the file list, with its information.",
          picture_shown),
    Scene("actual-size", "A picture larger than the panel at its actual size, with scroll bars.",
          lambda session: large_picture(session, "Actual Size")),
    Scene("auto-fit", "The same picture fitted into the panel.",
          lambda session: large_picture(session, None)),
    Scene("stretched", "The same picture stretched over the whole panel.",
          lambda session: large_picture(session, "Stretched Size")),
    Scene("full-screen", "The full-screen view: the picture centred on black.", full_screen),
    Scene("file-not-supported", "The message for a file that is not a picture it can show.",
          file_not_supported),
    Scene("metafile-shown", "A Windows metafile drawn by Quorvel's own player.",
          metafile_shown),
    Scene("filter-list-open", "The picture-type filter dropped down.", filter_list_open),
    Scene("invalid-pattern-message",
          "The message for a filter pattern that names a folder (\"*/\").",
          invalid_pattern_message),
    Scene("speed-dialog", "Adjust the Speed of Slide Show, the hand under the current speed.",
          speed_dialog),
    Scene("window-show-paused", "The window-mode show paused, with its menu bar.",
          window_show_paused),
    Scene("full-screen-show", "The full-screen show with its green captions.", full_screen_show),
    Scene("option-window", "The paused full-screen show and Quorvel - Option on top.",
          option_window),
    Scene("copy-finished", "A picture copied into the Personal favourite folder.",
          copy_finished),
    Scene("delete-question", "The question before a picture goes to the trash.",
          delete_question),
    Scene("pasted-picture", "A picture pasted from the clipboard: untitled, not fitted.",
          pasted_picture),
    Scene("start-in-tray-option", "The start-in-tray option dialog.",
          lambda session: option_dialog(session, 1, "Minimize to TrayIcon")),
    Scene("auto-go-folder", "The Auto-Go folder dialog, with no folder set yet.",
          lambda session: option_dialog(session, 0, "Auto-Go Folder")),
    Scene("tips-window", "The tips window, after the pointer to the readme.", tips_window),
    Scene("about", "The About dialog.", about_window),
]


def capture(session, app, path):
    """Saves the screen area covering all the program's visible windows."""
    app.settle()
    boxes = [session.desktop.frame_geometry(w) for w in session.windows_of(app.pid)]
    left = max(0, min(x for x, _, _, _ in boxes) - MARGIN)
    top = max(0, min(y for _, y, _, _ in boxes) - MARGIN)
    right = max(x + w for x, _, w, _ in boxes) + MARGIN
    bottom = max(y + h for _, y, _, h in boxes) + MARGIN
    session.desktop.grab().crop(left, top, right - left, bottom - top).save_png(path)


def write_index(out, shots):
    rows = "\n".join(
        f'<h2>{html.escape(name)}</h2><p>{html.escape(text)}</p>'
        f'<img src="{html.escape(file)}" alt="{html.escape(name)}">'
        for name, text, file in shots)
    (out / "index.html").write_text(
        "<!doctype html><meta charset=utf-8><title>Quorvel screenshots</title>"
        "<style>body{font-family:sans-serif;background:#eee}img{border:1px solid #999}</style>"
        f"<h1>Quorvel screenshots</h1>\n{rows}\n", encoding="utf-8")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=REPO_ROOT / "build" / "screenshots")
    parser.add_argument("scenes", nargs="*", help="names of the scenes to take (default: all)")
    args = parser.parse_args(argv)
    unknown = set(args.scenes) - {s.name for s in SCENES}
    if unknown:
        parser.error(f"unknown scenes: {', '.join(sorted(unknown))}")

    args.out.mkdir(parents=True, exist_ok=True)
    if not args.scenes:
        # A full run writes the whole gallery: no pictures left from older scene lists.
        for old in args.out.glob("[0-9][0-9]-*.png"):
            old.unlink()
    processes.become_subreaper()
    failures, shots = [], []
    with Desktop() as desktop:
        os.environ["DISPLAY"] = desktop.env["DISPLAY"]
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = desktop.env["DBUS_SESSION_BUS_ADDRESS"]
        for number, scene in enumerate(SCENES, start=1):
            if args.scenes and scene.name not in args.scenes:
                continue
            file = f"{number:02d}-{scene.name}.png"
            session = UserSession(desktop, sandbox_root=GALLERY_USER)
            try:
                app = scene.show(session)
                capture(session, app, args.out / file)
                shots.append((scene.name, scene.description, file))
                print(f"screenshot: {args.out / file}")
            except Exception as error:  # noqa: BLE001 - the other scenes still count
                failures.append(scene.name)
                print(f"screenshot {scene.name} failed: {error!r}", file=sys.stderr)
            finally:
                session.close()
    write_index(args.out, shots)
    print(f"screenshots: {len(shots)} taken, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
