import subprocess
from dataclasses import dataclass


# A placeable metafile of 64 x 48 at 96 units per inch: a rectangle of (30, 60, 200), no outline.
BLUE_WMF = bytes.fromhex(
    "d7cdc69a000000000000400030006000000000000157010009000003340000000200080000000000050000"
    "000b0200000000050000000c023000400007000000fc0200001e3cc8000000040000002d01000008000000"
    "fa0205000000000000000000040000002d010100070000001b043000400000000000030000000000")


@dataclass
class Image:
    width: int
    height: int
    data: bytes

    def pixel(self, x, y):
        assert 0 <= x < self.width and 0 <= y < self.height, f"({x}, {y}) outside the image"
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def crop(self, x, y, width, height):
        x1, y1 = min(self.width, x + width), min(self.height, y + height)  # x, y within
        return Image(x1 - x, y1 - y, b"".join(self.data[(row * self.width + x) * 3:(
            row * self.width + x1) * 3] for row in range(y, y1)))

    def count(self, predicate):
        return sum(1 for i in range(0, len(self.data), 3) if predicate(self.data[i:i + 3]))

    def save_png(self, path):
        header = f"P6\n{self.width} {self.height}\n255\n".encode()
        subprocess.run(["convert", "ppm:-", str(path)], input=header + self.data, check=True)


def close_to(expected, tolerance=24):
    return lambda p: all(abs(a - b) <= tolerance for a, b in zip(p, expected))
