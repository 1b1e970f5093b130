"""Only one copy runs per user."""

from harness.app import MessageBox


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

