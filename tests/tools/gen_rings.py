#!/usr/bin/env python3
"""Writes a MIF/MID pair holding one Region of many rings, to time the outer-ring marking.

Usage: gen_rings.py OUT.mif LAYOUT COUNT   (writes OUT.mif and OUT.mid)
LAYOUT: disjoint (a grid of small squares), identical (the same triangle again and again),
nested (concentric squares, largest first) or inward (concentric squares, smallest first).
Example: gen_rings.py /tmp/nested.mif nested 100000 && mifhost --quiet info /tmp/nested.mif
"""
import sys


def rings(layout, n):
    side = int(n ** 0.5) + 1
    for i in range(n):
        if layout == "disjoint":
            x, y = 3 * (i % side), 3 * (i // side)
            yield [(x, y), (x + 2, y), (x + 2, y + 2), (x, y + 2), (x, y)]
        elif layout == "identical":
            yield [(0, 0), (10, 0), (0, 10), (0, 0)]
        else:
            r = n - i if layout == "nested" else i + 1
            yield [(-r, -r), (r, -r), (r, r), (-r, r), (-r, -r)]


def main():
    out, layout, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
    with open(out, "w", newline="") as mif:
        mif.write('Version 300\r\nCharset "WindowsCyrillic"\r\nDelimiter ","\r\n'
                  'CoordSys Earth Projection 1, 0\r\nColumns 1\r\n  id Integer\r\nData\r\n')
        mif.write("Region %d\r\n" % n)
        for ring in rings(layout, n):
            mif.write("%d\r\n" % len(ring))
            mif.write("".join("%g %g\r\n" % p for p in ring))
        mif.write("Pen (1,2,0)\r\nBrush (2,16777215,16777215)\r\n")
    with open(out[: out.rfind(".")] + ".mid", "w", newline="") as mid:
        mid.write("1\r\n")


if __name__ == "__main__":
    main()
