#!/usr/bin/env python3
"""make_resources.py: draws the program's icon (resources/kestrel.ico) and its button click (resources/button.wav).

Both files are committed; run this only to change them: python3 scripts/make_resources.py
"""
import math
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.join(HERE, "..", "resources")

GREEN = (0, 255, 0)

# The kestrel seen from below, wings swept back, in a unit square (x right, y down).
BIRD = [
    (0.50, 0.14),  # beak
    (0.55, 0.20), (0.55, 0.29),  # head
    (0.74, 0.26), (0.97, 0.42), (0.74, 0.38), (0.56, 0.45),  # right wing: wrist, pointed tip, trailing edge
    (0.56, 0.57), (0.61, 0.84), (0.50, 0.88), (0.39, 0.84), (0.44, 0.57),  # long tail
    (0.44, 0.45), (0.26, 0.38), (0.03, 0.42), (0.26, 0.26),  # left wing
    (0.45, 0.29), (0.45, 0.20),
]


def inside(polygon, x, y):
    hit = False
    j = len(polygon) - 1
    for i, (xi, yi) in enumerate(polygon):
        xj, yj = polygon[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def coverage(size, px, py, samples=4):
    """How much of pixel (px, py) the bird and its ring cover, from samples x samples points."""
    covered = 0
    for sy in range(samples):
        for sx in range(samples):
            x = (px + (sx + 0.5) / samples) / size
            y = (py + (sy + 0.5) / samples) / size
            r = math.hypot(x - 0.5, y - 0.5)
            ring = 0.44 <= r <= 0.49
            if ring or inside(BIRD, x, y):
                covered += 1
    return covered / (samples * samples)


def icon_image(size):
    """One icon image: a 32-bit BGRA bitmap (bottom-up, double height as ICO wants) and its AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for py in reversed(range(size)):
        for px in range(size):
            c = coverage(size, px, py)
            r, g, b = (int(v * c) for v in GREEN)
            pixels += bytes((b, g, r, 255))  # opaque: green on black
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # all zero: every pixel drawn
    return header + bytes(pixels) + mask


def write_icon(path):
    images = [icon_image(32), icon_image(16)]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def write_click(path):
    """A dry mechanical click: a 2.4 kHz tick over a burst of noise, gone in 35 ms."""
    rate = 22050
    random.seed(1505)
    frames = bytearray()
    for n in range(int(rate * 0.035)):
        t = n / rate
        envelope = math.exp(-t / 0.006)
        tick = math.sin(2 * math.pi * 2400 * t)
        noise = random.uniform(-1.0, 1.0) * math.exp(-t / 0.002)
        value = 0.55 * envelope * tick + 0.35 * noise
        frames += struct.pack("<h", int(max(-1.0, min(1.0, value)) * 32000))
    header = b"RIFF" + struct.pack("<I", 36 + len(frames)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16)
    header += b"data" + struct.pack("<I", len(frames))
    with open(path, "wb") as f:
        f.write(header + frames)


if __name__ == "__main__":
    write_icon(os.path.join(RESOURCES, "kestrel.ico"))
    write_click(os.path.join(RESOURCES, "button.wav"))
