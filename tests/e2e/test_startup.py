"""Starting the program: what a first-time user sees, and the stored start-up folder."""

from harness import layout
from harness.app import CAPTION_PREFIX
from harness.images import close_to

# Hidden, they give up their access keys (the menu bar would let them swallow presses).
SLIDE_SHOW_ITEMS = ["Pause", "Resume", "Copy -> VozeviZire", "Speed..", "SysTray...", "Cancel"]
FILE_MENU = ["Copy Pic To ...", "Copy File To  ...", "Paste To View", "-", "Run File Now...",
             "Delete File...", "-", "Refresh Folder...", "Minimize to SysTray...", "-", "Exit"]
GO_TO_FOLDER_NOW = 'Go to "Folder" Now'


def pictures_folder(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["zebra.gif", "Apple.BMP", "banana.bmp", ".hidden.bmp"])
    (folder / "notes.txt").write_text("not a picture\n")
    (folder / "Holidays").mkdir()
    (folder / ".thumbnails").mkdir()
    return folder


def option_entry(app, caption):
    return next(e for e in app.menu_items("&Option   View") if e.caption == caption)


def test_first_run_opens_the_start_folder(desktop):
    folder = pictures_folder(desktop)
    app = desktop.start(folder=folder)

    assert app.caption() == CAPTION_PREFIX + str(folder)
    assert app.working_folder() == str(folder)
    assert app.client_size() == layout.CLIENT_SIZE
    assert app.drive() == "Home"
    # The chain from the volume root down to the open folder, then its subfolders;
    # hidden folders are left out.
    assert app.folder_list() == [str(desktop.home), "Pictures", "Holidays"]
    assert app.highlighted("Dir1") == ["Pictures"]
    assert app.filter_text() == "ALL Readable Format"
    # Readable pictures only, hidden ones included, sorted without regard to case.
    assert app.file_list() == [".hidden.bmp", "Apple.BMP", "banana.bmp", "zebra.gif"]
    assert app.info_labels() == {"Size:": "", "Date:": "", "Pic's Size:": ""}
    assert app.message_box() is None


def test_first_run_menus(desktop):
    app = desktop.start()

    bar = app.menu_bar()
    assert [e.caption for e in bar if e.visible] == ["&File", "&Option   View", "&Help"]
    hidden = [e.caption for e in bar if not e.visible]
    assert hidden == SLIDE_SHOW_ITEMS

    assert [e.caption for e in app.menu_items("&File")] == FILE_MENU
    options = {e.caption: e for e in app.menu_items("&Option   View")}
    assert "Auto-Fit Size" in options
    # Nothing stored to go to yet.
    assert options[GO_TO_FOLDER_NOW].visible and not options[GO_TO_FOLDER_NOW].enabled
    assert not desktop.sandbox.settings_file.exists()


def test_viewing_panel_shows_the_placeholder(desktop):
    app = desktop.start(folder=pictures_folder(desktop))

    panel = app.panel_pixels()
    inner = layout.PANEL_BORDER
    width, height = layout.PLACEHOLDER_SIZE
    placeholder = panel.crop(inner, inner, width, height)
    black = placeholder.count(close_to((0, 0, 0), 16))
    light_blue = placeholder.count(lambda p: p[2] > 180 and p[2] > p[0] + 40)
    assert black > width * height // 2, "the placeholder's black ground"
    assert light_blue > 100, "the placeholder's light-blue lettering"
    # Just right of and just below the placeholder the panel shows its own background.
    assert not close_to((0, 0, 0), 16)(panel.pixel(inner + width + 4, inner + 4))
    assert not close_to((0, 0, 0), 16)(panel.pixel(inner + 4, inner + height + 4))
    # Nothing of the placeholder leaks into the border.
    assert not close_to((0, 0, 0), 16)(panel.pixel(0, height // 2))


def test_stored_start_up_folder_is_opened(desktop):
    stored = desktop.sandbox.folder("Photos/2024")
    desktop.sandbox.pictures(stored, ["beach.bmp"])
    app = desktop.start(folder=desktop.sandbox.folder("Start"),
                        settings={"AutoJump": str(stored)})

    assert app.caption() == CAPTION_PREFIX + str(stored)
    assert app.working_folder() == str(stored)
    assert app.file_list() == ["beach.bmp"]
    assert option_entry(app, GO_TO_FOLDER_NOW).enabled


def test_vanished_start_up_folder_gives_way_to_the_home_volume(desktop):
    gone = desktop.sandbox.folder("Gone", inside_home=False)
    gone.rmdir()
    # Started from a folder on another volume than the home volume.
    outside = desktop.sandbox.folder("Start", inside_home=False)
    app = desktop.start(folder=outside, settings={"AutoJump": str(gone)})

    # The main window came up, so no message held the start; and none is showing.
    assert app.message_box() is None
    assert app.caption() == CAPTION_PREFIX + str(desktop.home)
    assert app.drive() == "Home"
    assert app.working_folder() == str(desktop.home)
    # The stored folder is still there to go to (once it exists again).
    assert option_entry(app, GO_TO_FOLDER_NOW).enabled
