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

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

from harness.desktop import Desktop  # noqa: E402

GREEN = (0, 255, 0)
# Every second pixel of every second row is counted: a few thousand of them is a
# picture well on its way, however small a viewer shows it.
WANTED = 1500


def make_picture(folder):
    """6000 x 4000 of fractal noise (as costly to decode as a photograph) with a green
    block in its middle third that shows at any scale."""
    picture = folder / "photo-24mp.jpg"
    subprocess.run(["convert", "-seed", "7", "-size", "6000x4000", "plasma:fractal",
                    "-fill", "rgb(0,255,0)", "-draw", "rectangle 2000,1333 4000,2666",
                    "-quality", "90", str(picture)], check=True)
    return picture


def main():
    variants = [a for a in sys.argv[1:] if "=" in a]
    args = [a for a in sys.argv if "=" not in a]
    quorvel = Path(args[1]).resolve()
    rounds = int(args[2]) if len(args) > 2 else 10
    timer = Path(os.environ.get("FIRST_PICTURE", "/tmp/first_picture"))
    work = Path(tempfile.mkdtemp(prefix="quorvel-viewers-"))
    # The picture alone in its folder: Quorvel lists the folder it opens, and the
    # viewers' private homes made in it would be listed too.
    pictures = work / "picture"
    pictures.mkdir()
    picture = make_picture(pictures)
    viewers = {"quorvel": [str(quorvel)], "feh": ["feh"], "qimgv": ["qimgv"], "eog": ["eog"]}
    for variant in variants:
        name, binary = variant.split("=", 1)
        viewers[name] = [str(Path(binary).resolve())]
    if len(args) > 3:
        viewers["bare Qt"] = [str(Path(args[3]).resolve())]
    viewers = {name: argv for name, argv in viewers.items() if shutil.which(argv[0])}
    times = {name: [] for name in viewers}
    with Desktop() as desktop:
        for turn in range(rounds):
            for name, argv in viewers.items():
                home = work / f"home-{name}-{turn}"
                runtime = home / "runtime"
                runtime.mkdir(parents=True, mode=0o700)
                env = dict(desktop.env, HOME=str(home), XDG_RUNTIME_DIR=str(runtime),
                           XDG_CONFIG_HOME=str(home / ".config"),
                           XDG_CACHE_HOME=str(home / ".cache"), QT_QPA_PLATFORM="xcb")
                done = subprocess.run(
                    [str(timer), *map(str, GREEN), str(WANTED), "30000", "--", *argv,
                     str(picture)], env=env, cwd=picture.parent, capture_output=True, text=True)
                if done.returncode != 0:
                    print(f"{name}: {done.stderr.strip()}", file=sys.stderr)
                    continue
                times[name].append(float(done.stdout))
    shutil.rmtree(work, ignore_errors=True)
    for name, values in times.items():
        if values:
            print(f"{name:8} median {statistics.median(values):6.0f} ms  "
                  f"(min {min(values):.0f}, max {max(values):.0f}, n={len(values)})")


if __name__ == "__main__":
    main()
