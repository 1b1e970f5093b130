#!/usr/bin/env python3
"""Compares Quorvel's metafile player with LibreOffice on the shared corpus.

    fidelity.py [--build DIR] [--corpus DIR] [--work DIR] [--only SUBSTRING] [--reuse-lo] [--cases]

Renders every WMF/EMF file that the corpus expects to load with LibreOffice (at its
natural size) and with our player at the same pixel size, then reports per format
the median RGB RMSE of the two after both are box-averaged to 64 x 64 (0 is
identical; a blank picture scores about 0.25) and the share of files under 0.10,
also for the pictures under 150 pixels on their long side. --cases compares, file
by file, the small metafiles of make_cases.py (features of other programs' files
that the corpus lacks) instead.
Also prints per-file times of both (LibreOffice's measured inside one soffice run,
so its start-up is not counted). Needs a build with -DQUORVEL_BENCH=ON, and the
Debian packages libreoffice-draw and python3-uno.
"""
import argparse
import os
import statistics
import subprocess
import sys

# Pictures smaller than this on their long side are also reported apart: text
# and thin lines weigh most there.
SMALL_SIDE = 150
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "mf"))
    ap.add_argument("--corpus", default=os.path.join(ROOT, "..", "shared", "corpus"))
    ap.add_argument("--work", default="/tmp/quorvel-fidelity")
    ap.add_argument("--only", default="")
    ap.add_argument("--reuse-lo", action="store_true", help="keep LibreOffice renders from a previous run")
    ap.add_argument("--cases", action="store_true",
                    help="compare the cases of make_cases.py instead of the corpus, file by file")
    args = ap.parse_args()
    if args.cases:
        args.work = os.path.join(args.work, "cases")
        args.corpus = os.path.join(args.work, "files")
        subprocess.run([sys.executable, os.path.join(HERE, "make_cases.py"), args.corpus], check=True)

    tool = os.path.join(args.build, "tools", "metafile", "render_metafile")
    os.makedirs(os.path.join(args.work, "lo"), exist_ok=True)
    os.makedirs(os.path.join(args.work, "ours"), exist_ok=True)

    files = []
    with open(os.path.join(args.corpus, "MANIFEST.tsv")) as f:
        next(f)
        for line in f:
            cols = line.rstrip("\n").split("\t")
            if cols[1] in ("wmf", "emf") and cols[2] == "load" and args.only in cols[0]:
                files.append((cols[0], cols[1]))

    def out_name(kind, rel):
        return os.path.join(args.work, kind, rel.replace("/", "__") + ".png")

    lo_log = os.path.join(args.work, "lo.tsv")
    if not (args.reuse_lo and os.path.exists(lo_log)):
        job = os.path.join(args.work, "lo_jobs.tsv")
        with open(job, "w") as f:
            for rel, _ in files:
                f.write("%s\t%s\n" % (os.path.join(args.corpus, rel), out_name("lo", rel)))
        with open(lo_log, "w") as log:
            subprocess.run(["/usr/bin/python3", os.path.join(HERE, "lo_render.py"), job], stdout=log, check=True)
    lo = {}
    with open(lo_log) as f:
        for line in f:
            cols = line.rstrip("\n").split("\t")
            if len(cols) == 3 and cols[1] != "ERROR":
                w, h = cols[2].split("x")
                lo[os.path.relpath(cols[0], args.corpus)] = (float(cols[1]), int(w), int(h))

    job = os.path.join(args.work, "our_jobs.tsv")
    with open(job, "w") as f:
        for rel, _ in files:
            if rel in lo:
                _, w, h = lo[rel]
                f.write("%s\t%s\t%d\t%d\n" % (os.path.join(args.corpus, rel), out_name("ours", rel), w, h))
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    subprocess.run([tool, "--batch", job], env=env, stderr=subprocess.DEVNULL)

    cmp_job = os.path.join(args.work, "cmp_jobs.tsv")
    with open(cmp_job, "w") as f:
        for rel, _ in files:
            if rel in lo:
                f.write("%s\t%s\n" % (out_name("ours", rel), out_name("lo", rel)))
    res = subprocess.run([tool, "--compare", cmp_job], env=env, capture_output=True, text=True).stdout
    scores = {}
    for line in res.splitlines():
        path, value = line.split("\t")
        scores[path] = float(value) if value != "MISSING" else 0.5

    # Which EMF files carry EMF+ records: LibreOffice draws those from the EMF+
    # records, we from the plain ones, so they are reported apart as well.
    emf_files = [os.path.join(args.corpus, rel) for rel, kind in files if kind == "emf" and rel in lo]
    plus = {}
    if emf_files:
        info = subprocess.run([tool, "--info"] + emf_files, env=env, capture_output=True, text=True).stdout
        for line in info.splitlines():
            cols = line.split("\t")
            if len(cols) >= 4:
                plus[os.path.relpath(cols[0], args.corpus)] = cols[3]

    def summary(name, vals):
        if not vals:
            return
        under = sum(1 for v in vals if v < 0.10)
        print("%s: %d files, median RMSE %.4f, under 0.10: %d (%.1f %%)" % (
            name, len(vals), statistics.median(vals), under, 100.0 * under / len(vals)))

    report = os.path.join(args.work, "scores.tsv")
    with open(report, "w") as out:
        for fmt in ("wmf", "emf"):
            vals = []
            groups = {}
            for rel, kind in files:
                if kind != fmt or rel not in lo:
                    continue
                v = scores.get(out_name("ours", rel), 0.5)
                vals.append(v)
                groups.setdefault(plus.get(rel, "-"), []).append(v)
                out.write("%s\t%.4f\n" % (rel, v))
            summary(fmt.upper(), vals)
            small = [scores.get(out_name("ours", rel), 0.5) for rel, kind in files
                     if kind == fmt and rel in lo and max(lo[rel][1], lo[rel][2]) < SMALL_SIDE]
            summary("  under %d px on the long side" % SMALL_SIDE, small)
            if fmt == "emf":
                summary("  without EMF+", groups.get("-", []))
                summary("  EMF+ with plain records", groups.get("emf+dual", []))
                summary("  EMF+ only", groups.get("emf+only", []))
    if args.cases:
        for rel, _ in files:
            if rel in lo:
                print("  %s: RMSE %.4f" % (rel, scores.get(out_name("ours", rel), 0.5)))
    missing = [rel for rel, _ in files if rel not in lo]
    if missing:
        print("LibreOffice could not render %d files: %s" % (len(missing), ", ".join(missing)))
    print("per-file scores: " + report)


if __name__ == "__main__":
    sys.exit(main())
