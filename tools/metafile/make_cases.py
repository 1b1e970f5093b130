#!/usr/bin/env python3
"""Writes the metafiles of the cases that other programs' files rely on.

    make_cases.py DIR

embedded_emf.wmf     a WMF whose records paint it red, carrying in two comment
                     chunks an EMF that paints its left half blue (Office style)
far_origin.wmf       a WMF without a size whose window origin is far below zero,
                     a black box under MM_ANISOTROPIC (PostScript converter style)
small_text.emf       a 120 x 40 pixel label: Arial placed by its spacing array and
                     a Symbol degree sign (equation and chart label style)

Also writes DIR/MANIFEST.tsv in the shared corpus's layout, so fidelity.py can
take DIR as its corpus (fidelity.py --cases does that).
"""
import os
import struct
import sys


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def i16s(*vals):
    return b"".join(struct.pack("<h", v) for v in vals)


def i32s(*vals):
    return b"".join(struct.pack("<i", v) for v in vals)


def emf(width, height, records):
    body = b""
    for rtype, params in records:
        params += b"\0" * (-len(params) % 4)
        body += u32(rtype) + u32(8 + len(params)) + params
    body += u32(14) + u32(20) + u32(0) + u32(0) + u32(20)
    header = u32(1) + u32(108)
    header += i32s(0, 0, width - 1, height - 1)
    header += i32s(0, 0, width * 2540 // 96, height * 2540 // 96)
    header += u32(0x464D4520) + u32(0x10000) + u32(108 + len(body)) + u32(len(records) + 2)
    header += u16(64) + u16(0) + u32(0) + u32(0) + u32(0)
    header += i32s(960, 960, 254, 254) + u32(0) + u32(0) + u32(0) + i32s(254000, 254000)
    return header + body


def wmf(records, bbox=None, inch=96):
    body = b""
    largest = 3
    for function, params in records:
        params += b"\0" * (len(params) % 2)
        words = 3 + len(params) // 2
        largest = max(largest, words)
        body += u32(words) + u16(function) + params
    body += u32(3) + u16(0)
    out = b""
    if bbox:
        head = u32(0x9AC6CDD7) + u16(0) + i16s(*bbox) + u16(inch) + u32(0)
        check = 0
        for k in range(10):
            check ^= struct.unpack_from("<H", head, 2 * k)[0]
        out += head + u16(check)
    out += u16(1) + u16(9) + u16(0x0300) + u32(9 + len(body) // 2) + u16(16) + u32(largest) + u16(0)
    return out + body


def emf_chunks(data, size):
    check = 0
    for k in range(0, len(data) - 1, 2):
        check ^= struct.unpack_from("<H", data, k)[0]
    count = (len(data) + size - 1) // size
    for at in range(0, len(data), size):
        chunk = data[at:at + size]
        yield (u16(0x000F) + u16(34 + len(chunk)) + u32(0x43464D57) + u32(1) + u32(0x10000)
               + u16(~check if at == 0 else 0) + u32(0) + u32(count) + u32(len(chunk))
               + u32(len(data) - at - len(chunk)) + u32(len(data)) + chunk)


def embedded_emf():
    inner = emf(100, 100, [
        (37, u32(0x80000008)),                      # null pen
        (39, u32(1) + u32(0) + u32(0xFF0000) + u32(0)), (37, u32(1)),
        (43, i32s(0, 0, 51, 101)),                  # left half, blue
    ])
    records = [(0x0626, c) for c in emf_chunks(inner, len(inner) // 2 + 4)]
    records += [(0x02FA, i16s(5, 0, 0, 0, 0)), (0x012D, u16(0)),
                (0x02FC, i16s(0, 0x00FF, 0, 0)), (0x012D, u16(1)),
                (0x041B, i16s(101, 101, 0, 0))]      # the whole frame, red
    return wmf(records, bbox=(0, 0, 100, 100), inch=96)


def far_origin():
    y0 = -30000
    box = [(100, y0 + 100), (900, y0 + 100), (900, y0 + 900), (100, y0 + 900)]
    points = b"".join(i16s(x, y) for x, y in box)
    return wmf([(0x0103, u16(8)), (0x020B, i16s(y0 - 400, -500)),
                (0x02FA, i16s(5, 0, 0, 0, 0)), (0x012D, u16(0)),
                (0x02FC, i16s(0, 0, 0, 0)), (0x012D, u16(1)),
                (0x0538, u16(1) + u16(4) + points)])


def font(slot, height, face, charset=0):
    name = face.encode("utf-16-le") + b"\0" * (64 - 2 * len(face))
    return u32(slot) + i32s(height, 0, 0, 0, 400) + bytes([0, 0, 0, charset, 0, 0, 0, 0]) + name


def text(x, y, chars, dx):
    off = 8 + 16 + 12 + 40
    string = chars.encode("utf-16-le")
    string += b"\0" * (-len(string) % 4)
    rec = i32s(0, 0, -1, -1) + u32(1) + struct.pack("<ff", 1, 1)
    rec += i32s(x, y) + u32(len(chars)) + u32(off) + u32(0) + i32s(0, 0, 0, 0)
    rec += u32(off + len(string) if dx else 0) + string + i32s(*dx)
    return rec


def small_text():
    return emf(120, 40, [
        (82, font(1, -14, "Arial")), (37, u32(1)), (18, u32(1)), (22, u32(24)),
        (84, text(4, 26, "t = 25 C", [7, 4, 8, 4, 8, 8, 4, 10])),
        (82, font(2, -14, "Symbol", 2)), (37, u32(2)),
        (84, text(59, 26, "\uf0b0", [6])),
    ])


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    cases = {"embedded_emf.wmf": embedded_emf(), "far_origin.wmf": far_origin(),
             "small_text.emf": small_text()}
    with open(os.path.join(out, "MANIFEST.tsv"), "w") as manifest:
        manifest.write("path\tkind\texpect\n")
        for name, data in cases.items():
            with open(os.path.join(out, name), "wb") as f:
                f.write(data)
            manifest.write("%s\t%s\tload\n" % (name, name[-3:]))


if __name__ == "__main__":
    main()
