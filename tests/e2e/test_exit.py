"""Leaving the program."""

from harness.app import CAPTION_PREFIX


def test_exit_ends_the_program_at_once(desktop):
    app = desktop.start()
    app.exit_via_menu()
    assert app.wait_exit(5) == 0
    assert desktop.windows_of(app.pid) == []

    # Its single-instance lock went with it.
    again = desktop.start()
    assert again.message_box() is None
    assert again.caption() == CAPTION_PREFIX + str(desktop.home)
