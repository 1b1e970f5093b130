#!/usr/bin/python3
"""Quorvel against qimgv and eog on one file of each type it reads: from starting
`VIEWER FILE` to the picture on screen, on the same private X desktop, every viewer
and type in turns, median of ROUNDS each.

Usage: compare_formats.py QUORVEL_BINARY [ROUNDS] [TYPE ...] [NAME=BINARY ...]
(needs qimgv, eog, ImageMagick, cwebp, heif-enc, avifenc and cjxl; qimgv reads the
newer types through qt5-image-formats-plugins and kimageformat-plugins, eog through
the gdk-pixbuf loaders webp-pixbuf-loader, heif-gdk-pixbuf, libavif-gdk-pixbuf and
librsvg2-common). The photos are 24 megapixels, the scan 12, the screenshot 4K; the
SVG is a drawing of some thousands of paths. A first, untimed turn fills the file
cache and finds out which viewer opens which type: one that does not shows "-".
Each NAME=BINARY is one more build of Quorvel timed in the same turns, to compare two
versions in one run.
"""

import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

from viewer_timing import Desktop, Timer, noise_with_block, summary

VIEWERS = {"qimgv": ["qimgv"], "eog": ["eog"]}
PEERS = list(VIEWERS)


def encode(*argv):
    subprocess.run(argv, check=True, capture_output=True)


# The photo types as their own encoders write them (the settings bench_click uses).
PHOTOS = {
    "JPEG": ("jpg", lambda source, out: ["convert", source, "-quality", "90", out]),
    "WebP": ("webp", lambda source, out: ["cwebp", "-quiet", "-mt", source, "-o", out]),
    "HEIC": ("heic", lambda source, out: ["heif-enc", "-q", "80", "-p", "preset=ultrafast",
                                          source, "-o", out]),
    "AVIF": ("avif", lambda source, out: ["avifenc", "-s", "10", "--min", "20", "--max", "30",
                                          "-j", "2", source, out]),
    "JPEG XL": ("jxl", lambda source, out: ["cjxl", source, out, "-e", "3", "--quiet"]),
}


def photos(folder, kinds):
    """One 24-megapixel photograph in each of those photo types."""
    kinds = [kind for kind in kinds if kind in PHOTOS]
    if not kinds:
        return {}
    source = noise_with_block(folder / "source.png", 6000, 4000)
    files = {}
    for kind in kinds:
        suffix, command = PHOTOS[kind]
        (folder / kind).mkdir()
        files[kind] = folder / kind / f"photo-24mp.{suffix}"
        encode(*command(str(source), str(files[kind])))
    source.unlink()
    return files


def screenshot(path, width=3840, height=2160):
    """Flat panels, lines of text-like marks and a photo in a window, as a screenshot
    has, with the green block over its middle."""
    marks = ["viewbox 0 0 %d %d" % (width, height),
             f"fill '#303038' rectangle 0,0 {width - 1},39",
             f"fill '#e6e8ec' rectangle 0,40 319,{height - 1}"]
    for y in range(60, height - 20, 22):
        marks.append("fill '#3c3c46'")
        x = 20
        while x < 300:
            marks.append(f"rectangle {x},{y} {x + 5},{y + 9}")
            x += 9 + (x * 7 + y) % 13
        marks.append("fill '#141414'")
        x = 360
        while x < width // 2:
            marks.append(f"rectangle {x},{y} {x + 4},{y + 10}")
            x += 8 + (x * 5 + y) % 11
    drawing = path.with_suffix(".mvg")
    drawing.write_text("\n".join(marks) + "\n")
    encode("convert", "-size", f"{width}x{height}", "xc:#f2f2f2", f"mvg:{drawing}",
           "-composite", "(", "-seed", "7", "-size", f"{width // 2 - 80}x{height - 160}",
           "plasma:fractal", "-blur", "0x2", ")", "-geometry", f"+{width // 2 + 40}+80",
           "-composite", "-fill", "rgb(0,255,0)", "-draw",
           f"rectangle {width // 3},{height // 3} {2 * width // 3},{2 * height // 3}",
           "-depth", "8", "-type", "TrueColor", str(path))
    drawing.unlink()
    return path


def drawing(path, width=2400, height=1600):
    """Some thousands of paths, as a map or a diagram has, with the green block on top."""
    parts = [f"<svg xmlns='http://www.w3.org/2000/svg' width='{width}' height='{height}'>"]
    for i in range(4000):
        parts.append(f"<path d='M{i * 37 % 2300} {i * 53 % 1550 + 30} q40 -30 80 0 t80 0' "
                     f"stroke='#{i * 2654435761 % 0xFFFFFF:06x}' fill='none' stroke-width='3'/>")
    parts.append(f"<rect x='{width // 3}' y='{height // 3}' width='{width // 3}' "
                 f"height='{height // 3}' fill='#00ff00'/></svg>\n")
    path.write_text("\n".join(parts))
    return path


KINDS = ["JPEG", "PNG", "WebP", "TIFF", "HEIC", "AVIF", "JPEG XL", "SVG"]


def make_pictures(work, kinds):
    """Each file alone in its folder: Quorvel lists the folder it opens."""
    files = photos(work, kinds)
    for kind, name, make in (("TIFF", "scan.tif", lambda p: noise_with_block(
            p, 4000, 3000, "-compress", "lzw")), ("PNG", "screenshot-4k.png", screenshot),
                             ("SVG", "drawing.svg", drawing)):
        if kind in kinds:
            (work / kind).mkdir()
            files[kind] = make(work / kind / name)
    return {kind: files[kind] for kind in kinds}


def main():
    variants = dict(a.split("=", 1) for a in sys.argv[1:] if "=" in a)
    args = [a for a in sys.argv if "=" not in a]
    quorvel = Path(args[1]).resolve()
    rounds = int(args[2]) if len(args) > 2 else 7
    wanted = [t.lower() for t in args[3:]]
    kinds = [kind for kind in KINDS if not wanted or kind.lower() in wanted]
    work = Path(tempfile.mkdtemp(prefix="quorvel-formats-"))
    print("Making the pictures...", flush=True)
    files = make_pictures(work, kinds)
    viewers = {"quorvel": [str(quorvel)], **VIEWERS,
               **{name: [str(Path(binary).resolve())] for name, binary in variants.items()}}
    missing = [name for name, argv in viewers.items() if not shutil.which(argv[0])]
    if missing:
        sys.exit(f"not installed: {', '.join(missing)}")
    times = {(kind, name): [] for kind in files for name in viewers}
    with Desktop() as desktop:
        timer = Timer(desktop, work)
        opens = {key: timer.time(key[1], viewers[key[1]], files[key[0]], 20000) is not None
                 for key in times}
        names = list(viewers)
        for turn in range(rounds):
            print(f"turn {turn + 1} of {rounds}", file=sys.stderr, flush=True)
            for kind, picture in files.items():
                # Each turn starts with another viewer, so none always follows the same one.
                for name in names[turn % len(names):] + names[:turn % len(names)]:
                    if opens[kind, name]:
                        elapsed = timer.time(name, viewers[name], picture)
                        if elapsed is not None:
                            times[kind, name].append(elapsed)
    sizes = {kind: picture.stat().st_size / 1e6 for kind, picture in files.items()}
    shutil.rmtree(work, ignore_errors=True)

    def median(kind, name):
        values = times[kind, name]
        return statistics.median(values) if values else None

    print(f"\nFrom start to the picture on screen, median of {rounds} (ms)\n")
    print(f"{'type':8} {'file':20} {'MB':>5}  " + " ".join(f"{n[:7]:>7}" for n in viewers) +
          "  no slower than the faster peer")
    for kind, picture in files.items():
        own = median(kind, "quorvel")
        peers = [m for m in (median(kind, p) for p in PEERS) if m is not None]
        cells = [f"{m:7.0f}" if m is not None else f"{'-':>7}"
                 for m in (median(kind, n) for n in viewers)]
        if own is None:
            verdict = "quorvel did not show it"
        elif not peers:
            verdict = "(no peer opens it)"
        elif own <= min(peers):
            verdict = "yes"
        else:
            verdict = f"NO, {own / min(peers):.2f}x the faster"
        print(f"{kind:8} {picture.name:20} {sizes[kind]:5.1f}  "
              f"{' '.join(cells)}  {verdict}")
    print()
    for (kind, name), values in times.items():
        if values:
            print(f"{kind:8} {name:8} {summary(values)}")


if __name__ == "__main__":
    main()
