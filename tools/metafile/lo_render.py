#!/usr/bin/python3
"""Renders metafiles with LibreOffice, each at a chosen pixel size, in one soffice run.

    lo_render.py LIST            lines: IN<TAB>OUT.png[<TAB>WIDTH<TAB>HEIGHT]

Without a size the picture's natural size at 96 dpi is used. Prints one line per
file: IN, milliseconds for load + render + PNG write, and the pixel size used.
Needs the Debian packages libreoffice-draw and python3-uno (run with /usr/bin/python3).
"""
import os
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def start_office():
    profile = tempfile.mkdtemp(prefix="quorvel-lo-")
    pipe = "quorvel_lo_%d" % os.getpid()
    proc = subprocess.Popen(
        ["soffice", "--headless", "--invisible", "--norestore", "--nologo",
         "-env:UserInstallation=file://" + profile,
         "--accept=pipe,name=%s;urp;" % pipe],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(600):
        try:
            ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            return proc, ctx
        except NoConnectException:
            time.sleep(0.1)
    proc.kill()
    raise SystemExit("soffice did not start")


def render(ctx, desktop, src, dst, width, height):
    doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(src)), "_blank", 0,
                                       (prop("Hidden", True),))
    if doc is None:
        return None
    try:
        page = doc.DrawPages.getByIndex(0)
        if page.getCount() == 0:
            return None
        shape = page.getByIndex(0)
        if width <= 0 or height <= 0:
            size = shape.Size  # 1/100 mm
            width = max(1, round(size.Width * 96 / 2540))
            height = max(1, round(size.Height * 96 / 2540))
        export = ctx.ServiceManager.createInstanceWithContext(
            "com.sun.star.drawing.GraphicExportFilter", ctx)
        export.setSourceDocument(shape)
        data = uno.Any("[]com.sun.star.beans.PropertyValue",
                       (prop("PixelWidth", width), prop("PixelHeight", height)))
        export.filter((prop("URL", uno.systemPathToFileUrl(os.path.abspath(dst))),
                       prop("MediaType", "image/png"), prop("FilterData", data)))
        return width, height
    finally:
        doc.close(True)


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    jobs = []
    with open(sys.argv[1]) as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) >= 2:
                w = int(parts[2]) if len(parts) >= 4 else 0
                h = int(parts[3]) if len(parts) >= 4 else 0
                jobs.append((parts[0], parts[1], w, h))
    proc, ctx = start_office()
    try:
        desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        for src, dst, w, h in jobs:
            t0 = time.perf_counter()
            try:
                size = render(ctx, desktop, src, dst, w, h)
            except Exception as e:  # a file LibreOffice can't open is reported, not fatal
                print("%s\tERROR\t%s" % (src, str(e).replace("\n", " ")), flush=True)
                continue
            ms = (time.perf_counter() - t0) * 1000
            if size is None:
                print("%s\tERROR\tnothing to render" % src, flush=True)
            else:
                print("%s\t%.1f\t%dx%d" % (src, ms, size[0], size[1]), flush=True)
    finally:
        try:
            desktop.terminate()
        except Exception:
            pass
        proc.wait(timeout=30)


if __name__ == "__main__":
    main()
