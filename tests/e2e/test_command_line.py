"""The program started from outside: printing its version, one copy per user, and a
picture opened from a file manager handed over to the running copy."""

import subprocess

from harness import processes
from harness.app import MessageBox
from harness.waiting import wait_until


def test_version_and_help_print_one_line_without_a_desktop(desktop):
    usage = "Usage: quorvel [--version | --help] [--] [PICTURE-OR-FOLDER]"
    for option, line in (("--version", "Quorvel 1.36"), ("--help", usage)):
        done = subprocess.run([str(desktop.binary), option], capture_output=True, text=True,
                              timeout=10, env={"PATH": "/usr/bin:/bin"})
        assert (done.returncode, done.stdout, done.stderr) == (0, line + "\n", "")


def test_a_picture_opened_while_a_copy_runs_shows_in_that_copy(desktop):
    start, _ = desktop.sandbox.pictures(desktop.sandbox.folder("Start"), ["ünï 写真.bmp", "b.bmp"])
    trip = desktop.sandbox.folder("Trip", inside_home=False)
    picture, _ = desktop.sandbox.pictures(trip, ["beach; ü 1.bmp", "other.bmp"], size=(120, 80))
    first = desktop.start(args=[start])
    first.wait_picture(start, "24 X 16")
    # The picture is read while the toolkit starts, on a thread the toolkit must not
    # take for its main one.
    assert "not created in the main() thread" not in first.output()

    # Without a picture, a second copy is refused and waits for the user, windowless.
    second = desktop.start(wait=False)
    assert second.wait_message_box() == MessageBox(
        "Quorvel 1.36", "The program is already running!", "none")
    assert second.is_running() and not second.main_window_shown()
    second.answer()
    assert second.wait_exit(10) == 0

    x = desktop.desktop
    for hidden in (False, True):
        if hidden:
            first.choose_menu("&File", "Minimize to SysTray...")
            first.wait_tray_icon()
            wait_until(lambda: not first.main_window_shown(), message="the window to hide")
        else:
            # Another program has the focus, over the window.
            other = processes.spawn(["xmessage", "-center", "elsewhere"], x.env)
            window = int(wait_until(lambda: x.run(
                ["xdotool", "search", "--onlyvisible", "--class", "Xmessage"],
                check=False).stdout.split(), message="xmessage's window")[0])
            x.xdotool("windowactivate", "--sync", window)
            wait_until(lambda: x.active_window() == window, message="xmessage to take the focus")
        # As a file manager runs it: another folder, the picture's full name.
        second = desktop.start(folder=desktop.home, args=[picture], wait=False)
        assert second.wait_exit(10) == 0

        first.wait_picture(picture, "120 X 80")
        assert first.highlighted("File1") == [picture.name]
        wait_until(lambda: first.main_window_shown()
                   and x.active_window() == first._main_x_window(),
                   message="the window to come to the front")
        first.wait_tray_icon(present=False)
        assert first.message_box() is None
        if not hidden:
            processes.end_process(other.pid)
