"""Hiding in the notification area: trayer's XEmbed tray on the test desktop, or a
status notifier watcher as KDE's and GNOME's panels run."""

import sys
from pathlib import Path

import pytest
from harness import processes
from harness.waiting import wait_until


class StatusNotifierWatcher:
    """The test watcher (harness/sni_watcher.py) on the desktop's session bus; a
    program started while it runs shows its tray icon through it."""

    def __init__(self, desktop, folder):
        self.desktop = desktop
        self.record = folder / "sni-watcher.record"
        script = Path(__file__).parent / "harness" / "sni_watcher.py"
        self.process = processes.spawn([sys.executable, str(script), str(self.record)],
                                       desktop.env, folder / "sni-watcher.log")
        wait_until(lambda: self.record.exists() and "ready" in self.record.read_text(),
                   message="the status notifier watcher")

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


def test_started_in_the_tray_or_hidden_there_only_a_left_click_brings_the_window(desktop):
    app = desktop.start(settings={"TrayIcon": "1"}, wait=False)
    icon = app.wait_tray_icon()
    wait_until(app.accessible, message="the program in the accessibility tree")
    assert not app.main_window_shown() and app.message_box() is None
    for _ in range(2):
        # The right and middle buttons offer nothing and bring nothing back.
        app.click(*icon, button=3)
        app.click(*icon, button=2)
        assert app.stays_hidden()
        assert app.tray_icon() == icon
        app.click(*icon, button=1)
        app.wait_for_window()
        app.wait_tray_icon(present=False)
        # The browser was made ready behind the icon.
        assert app.caption().endswith(str(desktop.home))
        app.choose_menu("&File", "Minimize to SysTray...")
        icon = app.wait_tray_icon()
        wait_until(lambda: not app.main_window_shown(), message="the window to hide")


def test_through_a_status_notifier_watcher_only_activate_restores(
        desktop, status_notifier_watcher):
    watcher = status_notifier_watcher
    app = desktop.start()
    app.choose_menu("&File", "Minimize to SysTray...")
    service = wait_until(watcher.registered, message="the item's registration")[-1]
    wait_until(lambda: not app.main_window_shown(), message="the window to hide")
    # Shown through the watcher, not in the XEmbed tray beside it.
    assert app.tray_icon() is None
    assert "'Quorvel 1.36'" in watcher.item_call(
        service, "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierItem", "ToolTip")
    # What a panel sends for a middle and a right click brings nothing back; a left click does.
    watcher.item_call(service, "org.kde.StatusNotifierItem.SecondaryActivate", 0, 0)
    watcher.item_call(service, "org.kde.StatusNotifierItem.ContextMenu", 0, 0)
    assert app.stays_hidden()
    watcher.item_call(service, "org.kde.StatusNotifierItem.Activate", 0, 0)
    app.wait_for_window()
    wait_until(lambda: not watcher.has_owner(service), message="the item to leave the bus")


def test_without_a_tray_host_the_window_stays(desktop, no_tray_host):
    app = desktop.start(settings={"TrayIcon": "1"})
    app.choose_menu("&File", "Minimize to SysTray...")
    assert not app.stays_hidden(0.1) and app.main_window_shown()
    assert app.tray_icon() is None and app.message_box() is None
