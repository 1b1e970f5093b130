#!/usr/bin/python3
"""Start-up time of Quorvel against other viewers: from starting `VIEWER PICTURE` to
the picture on screen, on the same 24-megapixel JPEG on the same private X desktop,
in turns, median of ten each.

Usage: compare_startup.py QUORVEL_BINARY [ROUNDS] [BARE_WINDOW_BINARY] [NAME=BINARY ...]
(needs feh, qimgv and eog installed). bare_window, built beside the benchmarks, is the
floor: a Qt Widgets window that paints green at once and decodes nothing. Each
NAME=BINARY is one more build of Quorvel timed in the same turns, to compare two
versions in one run.
"""

import shutil
import sys
import tempfile
from pathlib import Path

from viewer_timing import Desktop, Timer, noise_with_block, summary


def main():
    variants = [a for a in sys.argv[1:] if "=" in a]
    args = [a for a in sys.argv if "=" not in a]
    quorvel = Path(args[1]).resolve()
    rounds = int(args[2]) if len(args) > 2 else 10
    work = Path(tempfile.mkdtemp(prefix="quorvel-viewers-"))
    # The picture alone in its folder: Quorvel lists the folder it opens, and the
    # viewers' private homes made in it would be listed too.
    pictures = work / "picture"
    pictures.mkdir()
    picture = noise_with_block(pictures / "photo-24mp.jpg", 6000, 4000, "-quality", "90")
    viewers = {"quorvel": [str(quorvel)], "feh": ["feh"], "qimgv": ["qimgv"], "eog": ["eog"]}
    for variant in variants:
        name, binary = variant.split("=", 1)
        viewers[name] = [str(Path(binary).resolve())]
    if len(args) > 3:
        viewers["bare Qt"] = [str(Path(args[3]).resolve())]
    viewers = {name: argv for name, argv in viewers.items() if shutil.which(argv[0])}
    times = {name: [] for name in viewers}
    with Desktop() as desktop:
        timer = Timer(desktop, work)
        for _ in range(rounds):
            for name, argv in viewers.items():
                elapsed = timer.time(name, argv, picture)
                if elapsed is not None:
                    times[name].append(elapsed)
    shutil.rmtree(work, ignore_errors=True)
    for name, values in times.items():
        if values:
            print(f"{name:8} {summary(values)}")


if __name__ == "__main__":
    main()
