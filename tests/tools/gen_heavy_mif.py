#!/usr/bin/env python3
"""Writes MIF files that are small for what they make a reader do, for memory and time checks:

    gen_heavy_mif.py FOLDER

empty_sections.mif   10 MB: one Pline of 5 million empty sections
empty_rings.mif      10 MB: one Region of 5 million empty rings
multipoint.mif       20 MB: one MultiPoint of 5 million points
one_node_sections.mif 10 MB: one Pline of 1.7 million sections of one node
points.mif           10 MB: 1 million Point objects
arcs.mif              8 MB: 500,000 full-circle arcs (each becomes 73 host points)
open_char.mif         8 MB: a Char( parameter list left open, followed by 4 million words

Measure each with: /usr/bin/time -v build/bin/mifhost --quiet info FILE (Maximum resident set size).
"""
import os
import sys

HEADER = 'Version 300\nDelimiter ","\nColumns 1\n  id Integer\nData\n'
N = 5_000_000
FILES = {
    "empty_sections": HEADER + "Pline Multiple %d\n" % N + "0\n" * N,
    "empty_rings": HEADER + "Region %d\n" % N + "0\n" * N,
    "multipoint": HEADER + "MultiPoint %d\n" % N + "0 0\n" * N,
    "one_node_sections": HEADER + "Pline Multiple %d\n" % (N // 3) + "1\n0 0\n" * (N // 3),
    "points": HEADER + "Point 0 0\n" * (N // 5),
    "arcs": HEADER + "Arc 0 0 1 1 0 0\n" * (N // 10),
    "open_char": "Version 300\nColumns 1\n  a Char(\n" + "w " * 4_000_000 + "\nData\nPoint 1 2\n",
}

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
for name, text in FILES.items():
    with open(os.path.join(folder, name + ".mif"), "w", newline="") as out:
        out.write(text)
