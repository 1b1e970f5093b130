"""A picture handed over to the running copy, from outside."""

from harness import processes
from harness.waiting import wait_until


def test_a_picture_opened_while_a_copy_runs_shows_in_that_copy(desktop):
    start, _ = desktop.pictures(desktop.folder("Start"), ["ünï 写真.bmp", "b.bmp"])
    trip = desktop.folder("Trip", inside_home=False)
    picture, _ = desktop.pictures(trip, ["beach; ü 1.bmp", "other.bmp"], size=(120, 80))
    first = desktop.start(args=[start])
    first.wait_picture(start, "24 X 16")
    # Read while the toolkit starts, on a thread the toolkit must not take for its main one.
    assert "not created in the main() thread" not in first.output()

    x = desktop.desktop
    other = processes.spawn(["xmessage", "-center", "elsewhere"], x.env)
    for hidden in (False, True):
        if hidden:
            processes.end_process(other.pid)
            first.hide_to_tray()
            first.wait_tray_icon()
        else:  # another program has the focus, over the window
            x.focus(int(wait_until(lambda: x.run(["xdotool", "search", "--onlyvisible",
                                                  "--class", "Xmessage"]).stdout.split(),
                                   message="xmessage's window")[0]))
        # As a file manager runs it: another folder, the picture's full name.
        second = desktop.start(folder=desktop.home, args=[picture], wait=False)
        assert second.process.wait(10) == 0
        first.wait_picture(picture, "120 X 80")
        assert first.file_list(selected=True) == [picture.name]
        wait_until(lambda: first.main_window() and x.active_window() == first.main_window(),
                   message="the window to come to the front")
        first.wait_tray_icon(present=False)
        assert first.message_box() is None
