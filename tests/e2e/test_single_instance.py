"""Only one copy runs per user."""

from harness import processes
from harness.app import MessageBox
from harness.waiting import wait_until
from test_command_line import wait_for_picture
from test_tray import wait_tray_icon


def test_second_start_is_refused_and_the_first_copy_keeps_running(desktop):
    first = desktop.start()
    caption = first.caption()

    second = desktop.start(wait=False)
    assert second.wait_message_box() == MessageBox(
        "Quorvel 1.36", "The program is already running!", "none")
    # The refused copy waits for the user and shows no main window of its own.
    assert second.is_running()
    assert second.main_window_shown() is False
    second.press_ok()
    assert second.wait_exit(10) == 0

    assert first.is_running()
    assert first.caption() == caption
    # Still answering the user: its menus open and close.
    assert "Exit" in [e.caption for e in first.menu_items("&File")]



def test_a_picture_opened_while_a_copy_runs_shows_in_that_copy(desktop):
    trip = desktop.sandbox.folder("Trip", inside_home=False)
    picture, _ = desktop.sandbox.pictures(trip, ["beach; ü 1.bmp", "other.bmp"], size=(120, 80))
    first = desktop.start()
    x = desktop.desktop

    def active():
        return int(x.xdotool("getactivewindow"))

    for hidden in (False, True):
        if hidden:
            first.choose_menu("&File", "Minimize to SysTray...")
            wait_tray_icon(first)
            wait_until(lambda: not first.main_window_shown(), message="the window to hide")
        else:
            # Another program has the focus, over the window.
            other = processes.spawn(["xmessage", "-center", "elsewhere"], x.env)
            window = int(wait_until(lambda: x.run(
                ["xdotool", "search", "--onlyvisible", "--class", "Xmessage"],
                check=False).stdout.split(), message="xmessage's window")[0])
            x.xdotool("windowactivate", "--sync", window)
            wait_until(lambda: active() == window, message="xmessage to take the focus")
        # As a file manager runs it: another folder, the picture's full name.
        second = desktop.start(folder=desktop.home, args=[picture], wait=False)
        assert second.wait_exit(10) == 0

        wait_for_picture(first, picture, "120 X 80")
        assert first.highlighted("File1") == [picture.name]
        wait_until(lambda: first.main_window_shown() and active() == first._main_x_window(),
                   message="the window to come to the front")
        wait_tray_icon(first, present=False)
        assert first.message_box() is None
        if not hidden:
            processes.end_process(other.pid)
