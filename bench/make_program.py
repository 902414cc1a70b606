#!/usr/bin/env python3
"""Writes the benchmark program: a block of 200 programs with every kind of block the analysis
reads (rapid, linear, I/J and R arcs, incremental moves, comments, feeds, M30/M99 ends),
repeated up to the size asked for. The same program for every benchmark that reads G-code.

With --surface, a program of another kind instead: the finishing pass of a CAM program over a
curved surface, a zigzag of moves of 0.1 mm each that never repeats itself, as 3-D surfacing
writes them (the size of program that makes 200 MB in a shop).

With --lathe, a lathe's program, to be read with a lathe profile: facing and turning under G96 up
to the G50 limit, G71 with its shape and G70, G76 threads, grooving with G75, hand-written
turning passes, repeated.

Usage: make_program.py PATH SIZE_MB [--surface | --lathe]"""
import math, random, sys
path, size_mb = sys.argv[1], int(sys.argv[2])


def write_repeated(lines):
    unit = ("\r\n".join(lines) + "\r\n").encode("ascii")
    target = size_mb * 1000 * 1000
    with open(path, "wb") as f:
        written = 0
        while written < target:
            f.write(unit)
            written += len(unit)


if len(sys.argv) > 3 and sys.argv[3] == "--lathe":
    rnd = random.Random(20261209)
    lines = []
    for p in range(100):
        lines += ["%", f"O{2000 + p}", "(OD ROUGH AND FINISH)", "G50 S2500", "G00 X200. Z100. T0101", "G96 S180 M03",
                  "G99", "G00 X62. Z2.", "G71 U1.5 R0.5", "G71 P100 Q200 U0.4 W0.1 F0.25",
                  "N100 G00 X20.", "G01 Z-15.", "G02 X30. Z-20. R5.", "G01 Z-40.", "X45. Z-50.", "N200 X62.",
                  "G70 P100 Q200 F0.1", "G00 X200. Z100. T0303", "G97 S900", "G00 X32. Z5.",
                  "G76 P020060 Q100 R0.05", "G76 X27.4 Z-18. P1300 Q400 F2.0", "G00 X200. Z100. T0505", "G96 S120",
                  "G00 X48. Z-30.", "G75 R0.5", "G75 X36. Z-36. P2000 Q2500 F0.08", "G00 X200. Z100. T0707",
                  "G96 S200"]
        for n in range(400):
            x = rnd.uniform(20, 60)
            z = -rnd.uniform(0, 60)
            r = rnd.random()
            if r < 0.4:
                lines.append(f"N{n * 10} G01 X{x:.3f} Z{z:.3f} F{rnd.choice([0.1, 0.15, 0.2, 0.3])}")
            elif r < 0.6:
                lines.append(f"G01 U-{rnd.uniform(0, 2):.3f} W-{rnd.uniform(0, 5):.3f}")
            elif r < 0.75:
                lines.append(f"G02 X{x:.3f} Z{z:.3f} R{rnd.uniform(30, 80):.3f}")
            elif r < 0.85:
                lines.append(f"G03 X{x:.3f} Z{z:.3f} I{rnd.uniform(-5, 5):.3f} K{rnd.uniform(-5, 5):.3f}")
            else:
                lines.append(f"G00 X{x + 5:.3f} Z2.")
        lines += ["G00 X200. Z100.", "M30", "%"]
    write_repeated(lines)
    sys.exit(0)
if len(sys.argv) > 3 and sys.argv[3] == "--surface":
    target = size_mb * 1000 * 1000
    with open(path, "wb") as f:
        head = ["%", "O2000 (SURFACE FINISH  T02 R3 BALL END MILL)", "G90 G17 G21 G40 G49 G80", "T2 M06",
                "S12000 M03", "G00 X-100. Y-100. Z20.", "G43 Z10. H02 M08", "G01 Z0 F2500."]
        f.write(("\r\n".join(head) + "\r\n").encode("ascii"))
        written, y, direction = 0, -100.0, 1
        while written < target:
            xs = range(0, 2001) if direction > 0 else range(2000, -1, -1)
            line = []
            for i in xs:
                x = -100 + i * 0.1
                z = 4 * math.sin(x / 13) * math.cos(y / 17) + 0.5 * math.sin(x / 3.1 + y / 5.3)
                line.append(f"X{x:.3f} Y{y:.3f} Z{z:.3f}")
            chunk = ("\r\n".join(line) + "\r\n").encode("ascii")
            f.write(chunk)
            written += len(chunk)
            y += 0.05
            direction = -direction
        f.write(b"G00 Z50.\r\nM30\r\n%\r\n")
    sys.exit(0)
rnd = random.Random(20240501)
def num(lo, hi):
    v = rnd.uniform(lo, hi)
    return f"{v:.3f}" if rnd.random() < 0.8 else str(int(v * 1000))
lines = []
for p in range(200):
    lines += ["%", f"O{1000 + p}", "(ROUGHING  T01 D10 FLAT END MILL)", "G90 G00 X0 Y0 Z50.", "G17 G40 G49 M08"]
    for n in range(250):
        r = rnd.random()
        if r < 0.35:
            lines.append(f"N{n * 10} G01 X{num(-200, 200)} Y{num(-200, 200)} F{rnd.choice([80, 120, 200, 350.])}")
        elif r < 0.5:
            lines.append(f"G02 X{num(-200, 200)} Y{num(-200, 200)} I{num(-50, 50)} J{num(-50, 50)}")
        elif r < 0.65:
            lines.append(f"G03 X{num(-200, 200)} Y{num(-200, 200)} R{num(-150, 150)}")
        elif r < 0.75:
            lines.append(f"G00 X{num(-200, 200)} Y{num(-200, 200)} Z{num(0, 50)}")
        elif r < 0.85:
            lines.append(f"G91 G01 Z-{num(0, 2)} F60 (PLUNGE)")
        elif r < 0.9:
            lines.append("G90")
        else:
            lines.append(f"X{num(-200, 200)} Y{num(-200, 200)}")
    lines += ["M99" if p % 3 == 0 else "M30", "%"]
write_repeated(lines)
