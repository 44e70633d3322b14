#!/usr/bin/env python3
"""Where the show's picture lies in a screenshot: the bounding box of the
pixels inside a window's area that are neither black (the bars beside a
picture that keeps its shape) nor the compositor's background, and how many
pixels of that background the area shows (a window drawing less than its
area shows it around its picture).

    picture_edges.py SHOT.ppm X Y W H BACKGROUND_RGB
prints "X Y W H BACKGROUND_PIXELS" of the picture, or "none" when there is
no picture in the area."""
import re
import sys


def read_ppm(path):
    data = open(path, "rb").read()
    # One whitespace byte ends the header: the pixels may start with more.
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    if not header:
        sys.exit(f"{path}: not an 8-bit binary PPM")
    width, height = int(header[1]), int(header[2])
    pixels = data[header.end() :]
    if len(pixels) < width * height * 3:
        sys.exit(f"{path}: cut short")
    return width, height, pixels


def main():
    path, x, y, w, h, background = sys.argv[1:]
    x, y, w, h = int(x), int(y), int(w), int(h)
    background = bytes.fromhex(background)
    width, height, pixels = read_ppm(path)
    x, y = max(0, x), max(0, y)
    w, h = min(w, width - x), min(h, height - y)

    # Runs of whole pixels that are black or background, from either end.
    leading = re.compile(b"(?:" + b"\x00\x00\x00|" + re.escape(background) + b")*", re.S)
    trailing = re.compile(b"(?:" + b"\x00\x00\x00|" + re.escape(background[::-1]) + b")*", re.S)

    left, right, top, bottom = w, -1, -1, -1
    background_pixels = 0
    for row in range(y, y + h):
        start = (row * width + x) * 3
        line = pixels[start : start + w * 3]
        if row % 8 == 0:
            background_pixels += sum(
                line[i : i + 3] == background for i in range(0, len(line), 3)
            )
        first = leading.match(line).end() // 3
        if first == w:
            continue
        last = w - 1 - trailing.match(line[::-1]).end() // 3
        left, right = min(left, first), max(right, last)
        top = row if top < 0 else top
        bottom = row
    if right < 0:
        print("none")
        return
    print(x + left, top, right - left + 1, bottom - top + 1, background_pixels)


main()
