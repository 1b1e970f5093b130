"""Hiding in the notification area: trayer's XEmbed tray on the test desktop, or a
status notifier watcher as KDE's and GNOME's panels run."""

import sys
from pathlib import Path

from harness import processes
from harness.waiting import holds, wait_until


def test_started_in_the_tray_or_hidden_there_only_a_left_click_brings_the_window(desktop):
    app = desktop.start(settings={"TrayIcon": "1"}, wait=False)
    icon = app.wait_tray_icon()
    wait_until(app.accessible, message="the program in the accessibility tree")
    assert not app.main_window() and app.message_box() is None
    for _ in range(2):
        # The right and middle buttons offer nothing and bring nothing back.
        app.click(*icon, button=3)
        app.click(*icon, button=2)
        assert holds(lambda: not app.main_window()) and app.tray_icon() == icon
        app.click(*icon, button=1)
        app.wait_for_window()
        app.wait_tray_icon(present=False)
        # The browser was made ready behind the icon.
        assert app.caption().endswith(str(desktop.home))
        app.hide_to_tray()
        icon = app.wait_tray_icon()


def test_through_a_status_notifier_watcher_only_activate_restores(desktop):
    x, record = desktop.desktop, desktop.logs / "sni-watcher.record"
    watcher = processes.spawn([sys.executable, Path(__file__).parent / "harness/sni_watcher.py",
                               record], x.env, desktop.logs / "sni-watcher.log")
    try:
        wait_until(lambda: "ready" in record.read_text(), message="the status notifier watcher")
        app = desktop.start()
        app.hide_to_tray()
        service = wait_until(lambda: [line.split()[1] for line in record.read_text().splitlines()
                                      if line.startswith("registered ")])[-1]
        # Shown through the watcher, not in the XEmbed tray beside it.
        assert app.tray_icon() is None
        # What a panel sends for a middle and a right click brings nothing back; a left does.
        for method in ("SecondaryActivate", "ContextMenu", "Activate"):
            assert holds(lambda: not app.main_window())
            x.run(["gdbus", "call", "--session", "--dest", service, "--object-path",
                   "/StatusNotifierItem", "--method", "org.kde.StatusNotifierItem." + method,
                   "0", "0"])
        app.wait_for_window()
        wait_until(lambda: not x.bus_has(service), message="the item to leave the bus")
    finally:
        processes.end_process(watcher.pid)


def test_without_a_tray_host_the_window_stays(desktop):
    desktop.desktop.stop_tray_host()
    try:
        app = desktop.start(settings={"TrayIcon": "1"})
        app.choose_menu("&File", "Minimize to SysTray...")
        assert holds(app.main_window)
        assert app.tray_icon() is None and app.message_box() is None
    finally:
        desktop.desktop.start_tray_host()
