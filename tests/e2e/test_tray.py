"""Hiding in the notification area, the start-in-tray option, the Auto-Go folder,
and the tips, on the test desktop (its tray host is trayer, an XEmbed tray)."""

import sys
from pathlib import Path

import pytest
from harness import processes
from harness.desktop import SCREEN_SIZE
from harness.waiting import WaitTimeout, wait_until

TAKES_EFFECT = "OK!..It will take effect when you run Quorvel next time."


# ------------------------------------------------------------------ helpers
def tray_icon(app):
    """The program's icon window in the tray host's strip at the bottom of the screen."""
    for window in app.desktop.windows_of(app.pid):
        x, y, width, height = app.desktop.window_geometry(window)
        if width <= 48 and height <= 48 and y >= SCREEN_SIZE[1] - 48:
            return x + width // 2, y + height // 2
    return None


def wait_tray_icon(app, present=True):
    if present:
        return wait_until(lambda: tray_icon(app), timeout=10, message="the tray icon")
    return wait_until(lambda: tray_icon(app) is None, timeout=10,
                      message="the tray icon to go")


def stays_hidden(app, seconds=1.0):
    """Gives a click time to take effect, and says whether the window stayed away."""
    try:
        wait_until(app.main_window_shown, timeout=seconds, interval=0.1)
        return False
    except WaitTimeout:
        return True


def window_titled(app, title):
    """A top-level window of the program (dialog or plain window), found by its caption."""
    for node in app.accessible().children():
        if node.name == title and node.showing:
            return node
    return None


def wait_window(app, title):
    return wait_until(lambda: window_titled(app, title), timeout=10,
                      message=f"the window {title!r}")


def alert(app):
    """The message box on screen, as (title, text), or None."""
    for node in app.accessible().children():
        if node.role == "alert" and node.showing:
            texts = [p.name for p in node.children() if p.role == "label" and p.showing
                     and p.name]
            return node.name, "\n".join(texts)
    return None


def wait_alert(app):
    return wait_until(lambda: alert(app), timeout=10, message="a message box")


def click_button(app, window, caption):
    button = window.find(lambda n: n.role == "push button"
                         and n.name.replace("&", "") == caption.replace("&", ""))
    if button is None:
        raise LookupError(f"no button {caption!r} in {window.name!r}")
    app.click(*button.center)


def dismiss_alert(app):
    box = next(n for n in app.accessible().children() if n.role == "alert" and n.showing)
    click_button(app, box, "OK")
    wait_until(lambda: alert(app) is None, timeout=10, message="the message box to close")


def choose_loading_option(app, rank):
    """Chooses the rank-th entry (0: Go to "Folder", 1: Minimize to "SysTray") of the
    "Loading Option.." submenu, walking there with the arrow keys."""
    menu = "&Option   View"
    popup = app._open_menu(menu)
    for _ in range(len(popup.children()) * 2):
        current = [c for c in popup.children() if c.focused or c.selected]
        if current and current[0].name == "Loading Option..":
            break
        app.key("Down")
        popup = wait_until(lambda: [c for c in app._menu_bar_item(menu).children()
                                    if c.role == "popup menu"][0], timeout=5)
    else:
        raise LookupError("could not reach 'Loading Option..' with the arrow keys")
    # A submenu opened from the keyboard starts on its first entry.
    app.key("Right", *["Down"] * rank, "Return")


def labels_of(window):
    return [n.name for n in window.find_all(lambda n: n.role == "label" and n.showing)]


class StatusNotifierWatcher:
    """The test watcher (harness/sni_watcher.py) on the desktop's session bus; a
    program started while it runs shows its tray icon through it."""

    def __init__(self, desktop, folder):
        self.desktop = desktop
        self.record = Path(folder) / "sni-watcher.record"
        script = Path(__file__).parent / "harness" / "sni_watcher.py"
        self.process = processes.spawn([sys.executable, str(script), str(self.record)],
                                       desktop.env, Path(folder) / "sni-watcher.log")
        wait_until(lambda: self.record.exists() and "ready" in self.record.read_text(),
                   timeout=10, message="the status notifier watcher")

    def registered(self):
        return [line.split(" ", 1)[1] for line in self.record.read_text().splitlines()
                if line.startswith("registered ")]

    def item_call(self, service, method, *args):
        return self.desktop.run(["gdbus", "call", "--session", "--dest", service,
                                 "--object-path", "/StatusNotifierItem", "--method",
                                 method, *map(str, args)]).stdout

    def has_owner(self, service):
        return "true" in self.desktop.run(
            ["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
             "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.NameHasOwner",
             service]).stdout

    def stop(self):
        processes.end_process(self.process.pid)


@pytest.fixture
def status_notifier_watcher(test_desktop, desktop):
    watcher = StatusNotifierWatcher(test_desktop, desktop.sandbox.logs)
    yield watcher
    watcher.stop()


@pytest.fixture
def no_tray_host(test_desktop):
    test_desktop.stop_tray_host()
    yield
    test_desktop.start_tray_host()


# ------------------------------------------------------------------ the tray
def test_hide_to_the_tray_and_come_back_with_a_left_click(desktop):
    app = desktop.start()
    app.choose_menu("&File", "Minimize to SysTray...")
    icon = wait_tray_icon(app)
    wait_until(lambda: not app.main_window_shown(), timeout=10, message="the window to hide")

    # The right and middle buttons offer nothing and bring nothing back.
    app.click(*icon, button=3)
    app.click(*icon, button=2)
    assert stays_hidden(app)
    assert tray_icon(app) == icon

    app.click(*icon, button=1)
    app.wait_for_window()
    wait_tray_icon(app, present=False)
    assert app.is_running()


def test_through_a_status_notifier_watcher_only_activate_restores(
        desktop, status_notifier_watcher):
    watcher = status_notifier_watcher
    app = desktop.start()
    app.choose_menu("&File", "Minimize to SysTray...")
    service = wait_until(watcher.registered, timeout=10, message="the item's registration")[-1]
    wait_until(lambda: not app.main_window_shown(), timeout=10, message="the window to hide")
    # Shown through the watcher, not in the XEmbed tray beside it.
    assert tray_icon(app) is None
    assert "'Quorvel 1.36'" in watcher.item_call(
        service, "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierItem", "ToolTip")

    # What a panel sends for a middle click and for a right click brings nothing back.
    watcher.item_call(service, "org.kde.StatusNotifierItem.SecondaryActivate", 0, 0)
    watcher.item_call(service, "org.kde.StatusNotifierItem.ContextMenu", 0, 0)
    assert stays_hidden(app)

    # A left click.
    watcher.item_call(service, "org.kde.StatusNotifierItem.Activate", 0, 0)
    app.wait_for_window()
    wait_until(lambda: not watcher.has_owner(service), timeout=10,
               message="the item to leave the bus")


def test_start_in_the_tray_shows_no_window(desktop):
    app = desktop.start(settings={"TrayIcon": "1"}, wait=False)
    icon = wait_tray_icon(app)
    assert not app.main_window_shown()
    assert alert(app) is None

    app.click(*icon)
    app.wait_for_window()
    wait_tray_icon(app, present=False)
    # The browser was made ready behind the icon.
    assert app.caption().endswith(str(desktop.home))


def test_without_a_tray_host_the_window_stays(desktop, no_tray_host):
    app = desktop.start(settings={"TrayIcon": "1"})
    assert app.main_window_shown()
    app.choose_menu("&File", "Minimize to SysTray...")
    assert not stays_hidden(app, 0.1) and app.main_window_shown()
    assert tray_icon(app) is None
    assert alert(app) is None


def test_start_in_tray_option_is_stored_by_its_dialog(desktop):
    app = desktop.start()
    choose_loading_option(app, 1)
    dialog = wait_window(app, "Minimize to TrayIcon")
    assert {"Minimize to SysTray when Starts", "Enabled", "Disabled"} <= set(labels_of(dialog))
    enabled = dialog.find(lambda n: n.role == "radio button" and n.name == "Enabled")
    disabled = dialog.find(lambda n: n.role == "radio button" and n.name == "Disabled")
    assert disabled.checked and not enabled.checked
    app.click(*enabled.center)
    click_button(app, dialog, "&OK")
    assert wait_alert(app) == ("Quorvel", TAKES_EFFECT)
    dismiss_alert(app)
    assert "TrayIcon=1" in desktop.sandbox.settings_file.read_text().replace('"', "") \
        .replace("Quorvel\\", "")
    # Nothing changes in this run.
    assert app.main_window_shown()


# ------------------------------------------------------------------ Auto-Go folder
def test_auto_go_folder_set_used_at_the_next_start_and_removed(desktop):
    target = desktop.sandbox.folder("Holidays")
    desktop.sandbox.pictures(target, ["beach.bmp"])
    (target / "2024").mkdir()
    app = desktop.start()
    choose_loading_option(app, 0)
    dialog = wait_window(app, "Auto-Go Folder")
    assert "Haven't Set the Folder" in labels_of(dialog)
    entry = dialog.find(lambda n: n.role == "list item" and n.name.strip() == "Holidays")
    app.click(*entry.center, double=True)
    # Opened, the folder lists its own subfolder.
    wait_until(lambda: wait_window(app, "Auto-Go Folder").find(
        lambda n: n.role == "list item" and n.name.strip() == "2024"),
        timeout=10, message="the dialog's folder list to open Holidays")
    click_button(app, dialog, "&OK")
    assert wait_alert(app) == ("Quorvel", TAKES_EFFECT)
    dismiss_alert(app)
    wait_until(lambda: window_titled(app, "Auto-Go Folder") is None, timeout=10,
               message="the dialog to close")
    options = {e.caption: e for e in app.menu_items("&Option   View")}
    assert options['Go to "Folder" Now'].enabled
    app.exit_via_menu()
    app.wait_exit(10)

    again = desktop.start()
    assert again.caption().endswith(str(target))
    assert again.file_list() == ["beach.bmp"]
    choose_loading_option(again, 0)
    dialog = wait_window(again, "Auto-Go Folder")
    assert str(target) in labels_of(dialog)
    click_button(again, dialog, "&Remove Auto-Go Function")
    assert wait_alert(again) == ("Quorvel", TAKES_EFFECT)
    dismiss_alert(again)
    options = {e.caption: e for e in again.menu_items("&Option   View")}
    assert not options['Go to "Folder" Now'].enabled


# ------------------------------------------------------------------ help
def test_tips_point_to_the_readme_then_show_the_tips_window(desktop):
    app = desktop.start()
    app.choose_menu("&Help", "Tips...")
    assert wait_alert(app) == ("Tips on Readme.txt", "Please Read the Readme.txt for more details")
    assert window_titled(app, "Tips + help ") is None
    dismiss_alert(app)
    tips = wait_window(app, "Tips + help ")
    texts = labels_of(tips)
    assert "**Recommend Auto-Fit Mode" in texts
    assert "Viewing Panel:" in texts and "Full Screen View:" in texts
    assert len([t for t in texts if "Full Screen" in t or "Auto-Fit" in t or "Zoom" in t]) >= 6

