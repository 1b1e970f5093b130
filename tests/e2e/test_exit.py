"""Leaving the program."""

import signal

from harness.app import CAPTION_PREFIX


def test_exit_ends_the_program_at_once_and_neither_it_nor_a_kill_blocks_the_next_start(desktop):
    app = desktop.start()
    app.exit_via_menu()
    assert app.wait_exit(5) == 0
    assert desktop.windows_of(app.pid) == []

    # Its single-instance lock went with it; a killed copy's lock does not block either.
    for _ in range(2):
        again = desktop.start()
        assert again.message_box() is None
        assert again.caption() == CAPTION_PREFIX + str(desktop.home)
        again.kill(signal.SIGKILL)


def test_closing_the_main_window_ends_the_program_with_its_other_windows(desktop):
    folder = desktop.sandbox.folder("Pictures")
    desktop.sandbox.pictures(folder, ["photo.bmp"], size=(320, 240))
    app = desktop.start(folder=folder)
    app.click_list_entry("File1", "photo.bmp", double=True)
    app.wait_full_screen()

    # Closed from the window manager, as its close button does, behind the full screen.
    app.activate()
    app.key("alt+F4")
    assert app.wait_exit(10) == 0
    assert desktop.windows_of(app.pid) == []
    assert desktop.start().message_box() is None
