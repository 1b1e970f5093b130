"""What the viewer comparisons share: pictures with a green block that shows at any
scale, and timing `VIEWER PICTURE` from its start to that block on the screen of a
private X desktop, each run with a fresh home of its own.

The screen is read by first_picture (bench/viewers/first_picture.cpp, built to
/tmp/first_picture or where FIRST_PICTURE says).
"""

import os
import statistics
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "e2e"))

from harness.desktop import Desktop  # noqa: E402,F401  (re-exported for the scripts)

GREEN = (0, 255, 0)
# Every second pixel of every second row is counted: a few thousand of them is a
# picture well on its way, however small a viewer shows it.
WANTED = 1500


def noise_with_block(path, width, height, *options):
    """width x height of fractal noise (as costly to decode as a photograph) with a
    green block in its middle third, written by ImageMagick with the given options.
    Opaque, as a photograph is: ImageMagick's noise comes with an alpha channel, which
    the encoders would keep."""
    subprocess.run(["convert", "-seed", "7", "-size", f"{width}x{height}", "plasma:fractal",
                    "-fill", "rgb(0,255,0)", "-draw", green_block(width, height), "-alpha", "off",
                    "-depth", "8", *options, str(path)], check=True)
    return path


def green_block(width, height):
    """The ImageMagick drawing of the block in the middle third of a picture."""
    return f"rectangle {width // 3},{height // 3} {2 * width // 3},{2 * height // 3}"


class Timer:
    """Times viewers on one desktop; each run gets fresh homes under `work`."""

    def __init__(self, desktop, work):
        self.desktop = desktop
        self.work = Path(work)
        self.binary = Path(os.environ.get("FIRST_PICTURE", "/tmp/first_picture"))
        self.runs = 0

    def time(self, name, argv, picture, timeout_ms=30000):
        """Milliseconds from starting `argv picture` to the green block on screen, or
        None (with the reason on stderr) when it never showed."""
        self.runs += 1
        home = self.work / "homes" / f"{name}-{self.runs}"
        runtime = home / "runtime"
        runtime.mkdir(parents=True, mode=0o700)
        env = dict(self.desktop.env, HOME=str(home), XDG_RUNTIME_DIR=str(runtime),
                   XDG_CONFIG_HOME=str(home / ".config"), XDG_CACHE_HOME=str(home / ".cache"),
                   QT_QPA_PLATFORM="xcb")
        done = subprocess.run(
            [str(self.binary), *map(str, GREEN), str(WANTED), str(timeout_ms), "--", *argv,
             str(picture)], env=env, cwd=Path(picture).parent, capture_output=True, text=True)
        if done.returncode != 0:
            print(f"{name} {Path(picture).name}: {done.stderr.strip()}", file=sys.stderr)
            return None
        return float(done.stdout)


def summary(values):
    return (f"median {statistics.median(values):6.0f} ms  "
            f"(min {min(values):.0f}, max {max(values):.0f}, n={len(values)})")
