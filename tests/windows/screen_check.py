#!/usr/bin/env python3
"""Reads the meter picture's display back from a screenshot of kv2047.exe.

    screen_check.py SHOT.ppm live|offline

The display is found by its colour (the unlit display, 168,191,163), as the
program paints it at 116 x 151 pixels; "live" wants readings on it (dark text,
no red), "offline" the red "OFFLINE". Exit 0 when the screen shows it, 1 with
what it saw otherwise. A binary PPM (P6) needs no imaging library.
"""
import sys

DISPLAY = (168, 191, 163)


def read_ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise SystemExit("screen_check: not an 8-bit binary PPM")
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def main():
    width, height, px = read_ppm(sys.argv[1])
    want = sys.argv[2]
    xs, ys = [], []
    for y in range(height):
        row = px[y * width * 3:(y + 1) * width * 3]
        start = row.find(bytes(DISPLAY))
        while start != -1:
            if start % 3 == 0:
                xs.append(start // 3)
                ys.append(y)
            start = row.find(bytes(DISPLAY), start + 1)
    if not xs:
        print("screen_check: no meter display on the screen")
        return 1
    x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
    if not (100 <= x1 - x0 <= 130 and 130 <= y1 - y0 <= 165):
        print(f"screen_check: the display colour spans {x1 - x0 + 1} x {y1 - y0 + 1} pixels, not the display's")
        return 1
    red = dark = 0
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            i = (y * width + x) * 3
            r, g, b = px[i], px[i + 1], px[i + 2]
            red += r > 200 and g < 60 and b < 60
            dark += (r * 11 + g * 16 + b * 5) // 32 < 80
    print(f"screen_check: display at {x0},{y0}: {dark} dark and {red} red pixels")
    if want == "live":
        return 0 if dark > 150 and red == 0 else 1
    return 0 if red > 150 else 1


if __name__ == "__main__":
    sys.exit(main())
