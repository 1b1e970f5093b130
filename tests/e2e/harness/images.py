"""Metafiles to put in a sandbox, and screen pixels to check."""

import struct
import subprocess
from dataclasses import dataclass
from pathlib import Path


def write_wmf(path, width, height, color=(255, 0, 0)):
    """A placeable metafile at 96 units per inch filled with one colour, no outline."""
    def record(function, *params):  # parameters in the order they are stored
        return struct.pack(f"<IH{len(params)}H", 3 + len(params), function, *params)
    r, g, b = color
    records = (record(0x020B, 0, 0)                    # window origin
               + record(0x020C, height, width)         # window extent
               + record(0x02FC, 0, r | g << 8, b, 0)   # solid brush
               + record(0x012D, 0)                     # selected
               + record(0x02FA, 5, 0, 0, 0, 0)         # null pen
               + record(0x012D, 1)                     # selected
               + record(0x041B, height, width, 0, 0)   # rectangle over it all
               + record(0x0000))                       # end of file
    header = struct.pack("<HHHIHIH", 1, 9, 0x0300, 9 + len(records) // 2, 2, 8, 0)
    placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, width, height, 96, 0)
    checksum = 0
    for (word,) in struct.iter_unpack("<H", placeable):
        checksum ^= word
    Path(path).write_bytes(placeable + struct.pack("<H", checksum) + header + records)


@dataclass
class Image:
    """RGB pixels of a screen area, with (0, 0) at the area's top-left."""

    width: int
    height: int
    data: bytes

    def pixel(self, x, y):
        assert 0 <= x < self.width and 0 <= y < self.height, f"({x}, {y}) outside the image"
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def crop(self, x, y, width, height):
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + width), min(self.height, y + height)
        return Image(max(0, x1 - x0), max(0, y1 - y0), b"".join(
            self.data[(row * self.width + x0) * 3:(row * self.width + x1) * 3]
            for row in range(y0, y1)))

    def count(self, predicate):
        return sum(1 for i in range(0, len(self.data), 3) if predicate(self.data[i:i + 3]))

    def save_png(self, path):
        header = f"P6\n{self.width} {self.height}\n255\n".encode()
        subprocess.run(["convert", "ppm:-", str(path)], input=header + self.data, check=True)


def close_to(expected, tolerance=24):
    return lambda p: all(abs(a - b) <= tolerance for a, b in zip(p, expected))
