#!/usr/bin/env python3
"""Writes a MIF/MID pair of about the given size (MB of MIF text) for speed measurements.

Usage: gen_big_mif.py OUT.mif [MEGABYTES]   (writes OUT.mif and OUT.mid; default 100 MB)
"""
import random
import sys


def main():
    out = sys.argv[1]
    target = int(float(sys.argv[2]) if len(sys.argv) > 2 else 100) * 1000 * 1000
    rnd = random.Random(1)
    mid_path = out[: out.rfind(".")] + ".mid"
    with open(out, "w", newline="") as mif, open(mid_path, "w", newline="") as mid:
        mif.write('Version 300\r\nCharset "WindowsLatin1"\r\nDelimiter ","\r\n'
                  'CoordSys Earth Projection 1, 104\r\nColumns 4\r\n  id Integer\r\n'
                  '  name Char(40)\r\n  value Float\r\n  note Char(80)\r\nData\r\n\r\n')
        size = 0
        n = 0
        while size < target:
            kind = n % 4
            x = rnd.uniform(-180, 180)
            y = rnd.uniform(-90, 90)
            if kind == 0:
                text = "Point %.6f %.6f\r\n    Symbol (35,0,12)\r\n" % (x, y)
            elif kind == 1:
                pts = rnd.randint(2, 40)
                text = "Pline %d\r\n" % pts + "".join(
                    "%.6f %.6f\r\n" % (x + i * 0.001, y + rnd.uniform(-1, 1) * 0.001)
                    for i in range(pts)) + "    Pen (1,2,0)\r\n"
            elif kind == 2:
                pts = rnd.randint(4, 80)
                text = "Region  1\r\n  %d\r\n" % pts + "".join(
                    "%.6f %.6f\r\n" % (x + rnd.uniform(0, 0.01), y + rnd.uniform(0, 0.01))
                    for i in range(pts)) + ("    Pen (1,2,0)\r\n    Brush (2,16777215,16777215)"
                                            "\r\n    Center %.6f %.6f\r\n" % (x, y))
            else:
                text = ('Text\r\n    "Label %d"\r\n    %.6f %.6f %.6f %.6f\r\n'
                        '    Font ("Arial",0,0,0)\r\n' % (n, x, y, x + 0.01, y + 0.01))
            mif.write(text)
            size += len(text)
            mid.write('%d,"Name %d, kind %d",%.3f,"note ""%d"""\r\n' % (n, n, kind, x, n))
            n += 1
    print("%d objects" % n)


main()
