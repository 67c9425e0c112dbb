#!/usr/bin/env python3
"""Checks pixels of a binary PPM (P6) screenshot.

usage: package_pixels.py SHOT.ppm X,Y,R,G,B ...

Exit status 0 when every listed pixel is within 6 of the given colour in each
component, 1 otherwise (the differences are printed), 2 when the file is not
a readable PPM (8 or 16 bits per sample).
"""
import sys

TOLERANCE = 6


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while pos < len(data) and data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            while pos < len(data) and data[pos:pos + 1] != b"\n":
                pos += 1
            continue
        start = pos
        while pos < len(data) and not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    maxval = int(fields[3])
    if fields[0] != b"P6" or maxval not in (255, 65535):
        raise ValueError("not a P6 file of 8 or 16 bits")
    width, height = int(fields[1]), int(fields[2])
    samples = data[pos + 1:]
    if maxval == 65535:
        samples = samples[0::2]  # the high byte of each big-endian sample
    if len(samples) < width * height * 3:
        raise ValueError("short file")
    return width, height, samples


def main():
    try:
        width, height, pixels = read_ppm(sys.argv[1])
    except (OSError, ValueError, IndexError) as e:
        print("package_pixels: %s" % e)
        return 2
    bad = 0
    for wanted in sys.argv[2:]:
        x, y, r, g, b = (int(v) for v in wanted.split(","))
        if not (0 <= x < width and 0 <= y < height):
            print("(%d,%d) outside the %dx%d shot" % (x, y, width, height))
            bad += 1
            continue
        i = (y * width + x) * 3
        got = tuple(pixels[i:i + 3])
        if any(abs(a - e) > TOLERANCE for a, e in zip(got, (r, g, b))):
            print("(%d,%d) is %s, expected %s" % (x, y, got, (r, g, b)))
            bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
