"""Hiding in trayer's tray or a status notifier watcher's; a picture handed over from outside."""

import sys
from pathlib import Path

from harness.processes import end_process, holds, spawn, wait_until


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
    watcher = spawn([sys.executable, Path(__file__).parent / "harness/sni_watcher.py", record],
                    x.env, desktop.logs / "sni-watcher.log")
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
        end_process(watcher.pid)


def test_without_a_tray_host_the_window_stays(desktop):
    desktop.desktop.stop_tray_host()
    try:
        app = desktop.start(settings={"TrayIcon": "1"})
        app.choose_menu("&File", "Minimize to SysTray...")
        assert holds(app.main_window)
        assert app.tray_icon() is None and app.message_box() is None
    finally:
        desktop.desktop.start_tray_host()


def test_a_picture_opened_while_a_copy_runs_shows_in_that_copy(desktop):
    start, _ = desktop.pictures(desktop.folder("Start"), ["ünï 写真.bmp", "b.bmp"])
    trip = desktop.folder("Trip", inside_home=False)
    picture, _ = desktop.pictures(trip, ["beach; ü 1.bmp", "other.bmp"], size=(120, 80))
    first = desktop.start(args=[start])
    first.wait_picture(start, "24 X 16")
    # Read while the toolkit starts, on a thread the toolkit must not take for its main one.
    assert "not created in the main() thread" not in first.output()

    x = desktop.desktop
    other = spawn(["xmessage", "-center", "elsewhere"], x.env)
    for hidden in (False, True):
        if hidden:
            end_process(other.pid)
            first.hide_to_tray()
            first.wait_tray_icon()
        else:  # another program has the focus, over the window
            x.focus(int(wait_until(lambda: x.xdotool("search", "--onlyvisible", "--class",
                                                     "Xmessage"), message="xmessage").split()[0]))
        # As a file manager runs it: another folder, the picture's full name.
        second = desktop.start(folder=desktop.home, args=[picture], wait=False)
        assert second.process.wait(10) == 0
        first.wait_picture(picture, "120 X 80")
        assert first.file_list(selected=True) == [picture.name]
        wait_until(lambda: first.main_window() and x.active_window() == first.main_window(),
                   message="the window to come to the front")
        first.wait_tray_icon(present=False)
        assert first.message_box() is None
