#!/usr/bin/env python3
"""Restarts random mill programs with korvane-cli restart at random blocks after their first tool
change, and runs the restart program and the original through LinuxCNC's standalone interpreter
rs274, an independent reading of the same G-code. From the restart block on every move must agree:
its end point, its feed rate and feed mode, the spindle speed and the tool in the spindle; and
before the restart block the approach must never go down below where the block starts, except by
its one feed down.

The programs are written the way shops and CAM posts write them: per tool a reference return, T and
M06 (or M06 T), work offset, S and M03, G43 H with the clearance height and M08, then cuts in
absolute and incremental stretches, arcs by R and by I J, drilling cycles that switch between G98
and G99, dwells and feeds per revolution. Where the dialects differ (rs274 takes dwells in seconds
and repeats as L, and has no "%" or O lines) both programs are translated the same way after
korvane has written the restart. The restart block is marked with a comment, which rs274 reports
before the block's moves.

A drilling cycle that goes on at the restart block starts again from the level the cycle started
from: the rapids of its first hole up to the R level over the hole may differ, where the hole
itself starts at the same point; from there on nothing may.

Usage: compare_restart_rs274.py KORVANE_CLI LINUXCNC_ROOT [COUNT] [SEED]
Exit status 0 when every restart agrees (refused restarts are reported, and must give a reason)."""
import math
import os
import random
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_with_rs274 import run_rs274  # noqa: E402

MARK = "(RSTB)"


class MillProgram:
    def __init__(self, rnd, number):
        self.rnd = rnd
        self.inch = rnd.random() < 0.2
        self.scale = 0.05 if self.inch else 1.0
        self.lines = ["%", f"O{number} (RESTART CHECK {number})"]
        self.number = number

    def c(self, lo, hi):
        return f"{self.rnd.uniform(lo, hi) * self.scale:.{4 if self.inch else 3}f}"

    def add(self, text):
        self.lines.append(text)

    def build(self):
        rnd = self.rnd
        self.add(("G20" if self.inch else "G21") + " G17 G40 G49 G80 G90 G94")
        for tool in range(1, rnd.randint(2, 4) + 1):
            self.tool(tool)
        self.add("G91 G28 Y0")
        self.add("G90")
        self.add("M30")
        self.add("%")
        return self

    def tool(self, tool):
        rnd = self.rnd
        self.add("G91 G28 Z0" + (" M05" if rnd.random() < 0.5 else ""))
        self.add("G90")
        self.add(f"T{tool:02d} M06" if rnd.random() < 0.7 else f"M06 T{tool}")
        if rnd.random() < 0.3:
            self.add(f"T{tool + 1}")
        self.add(f"G00 G90 G5{rnd.randint(4, 9)} X{self.c(-50, 50)} Y{self.c(-50, 50)} S{rnd.randint(800, 4000)} M03")
        self.add(f"G43 H{tool} Z{self.c(30, 60)} M08")
        self.add(f"G00 Z{self.c(2, 5)}")
        self.add(f"G01 Z{self.c(-3, 0)} F{rnd.randint(50, 300)}")
        for _ in range(rnd.randint(10, 30)):
            self.cut()
        self.add(f"G00 Z{self.c(30, 60)}")
        self.add("M09")

    def cut(self):
        rnd = self.rnd
        r = rnd.random()
        if r < 0.3:
            self.add(f"G01 X{self.c(-80, 80)} Y{self.c(-80, 80)}" + (f" F{rnd.randint(80, 900)}" if rnd.random() < 0.3 else ""))
        elif r < 0.4:
            self.add(f"G01 X{self.c(-80, 80)} Y{self.c(-80, 80)}")
            self.add(f"X{self.c(-80, 80)} Y{self.c(-80, 80)}")  # the motion in force
        elif r < 0.55:
            # An arc of a circle through the end point, by its centre or by its radius.
            g = rnd.choice(["G02", "G03"])
            i, j = rnd.uniform(-30, 30) * self.scale, rnd.uniform(-30, 30) * self.scale
            rr = math.hypot(i, j)
            a = rnd.uniform(0, 2 * math.pi)
            d = 4 if self.inch else 3
            self.add(f"G91 {g} X{i + rr * math.cos(a):.{d}f} Y{j + rr * math.sin(a):.{d}f} I{i:.{d}f} J{j:.{d}f}")
            self.add("G90")
            if rnd.random() < 0.5:
                radius = rnd.uniform(10, 30) * self.scale
                chord = rnd.uniform(0.2, 1.8) * radius
                b = rnd.uniform(0, 2 * math.pi)
                self.add(f"G91 {g} X{chord * math.cos(b):.{d}f} Y{chord * math.sin(b):.{d}f} R{radius:.{d}f}")
                self.add("G90")
        elif r < 0.62:
            self.add(f"G00 Z{self.c(2, 20)}")
            self.add(f"X{self.c(-80, 80)} Y{self.c(-80, 80)}")
            self.add(f"G01 Z{self.c(-3, 0)} F{rnd.randint(50, 200)}")
        elif r < 0.7:
            self.add(f"G91 G01 Z-{self.c(0.5, 2)} F{rnd.randint(40, 120)}")
            self.add(f"X{self.c(-20, 20)} Y{self.c(-20, 20)}")
            self.add("G90")
        elif r < 0.8:
            self.drill()
        elif r < 0.84:
            self.add(f"G95 G01 X{self.c(-80, 80)} F0.{rnd.randint(5, 30):02d}")
            self.add(f"Y{self.c(-80, 80)}")
            self.add("G94 F200")
        elif r < 0.88:
            self.add(f"G04 P{rnd.randint(100, 2000)}")
        elif r < 0.92:
            self.add(f"S{rnd.randint(500, 5000)}")
        elif r < 0.94:
            self.add(f"N{rnd.randint(1, 9999)} M08")
        elif r < 0.96:
            # A side cut with cutter compensation: restarts inside it are refused.
            x, y = rnd.uniform(-40, 40) * self.scale, rnd.uniform(-40, 40) * self.scale
            d = 4 if self.inch else 3
            step = 30 * self.scale
            self.add(f"G01 X{x - step:.{d}f} Y{y - step:.{d}f}")
            self.add(f"G41 D1 G01 X{x:.{d}f} Y{y:.{d}f}")
            self.add(f"X{x + step:.{d}f}")
            self.add(f"Y{y + step:.{d}f}")
            self.add(f"G40 G01 X{x + 2 * step:.{d}f} Y{y + 2 * step:.{d}f}")
        else:
            self.add(f"G00 Z{self.c(20, 40)}")
            self.add(f"G53 Z0")
            self.add(f"G00 Z{self.c(2, 20)}")

    def drill(self):
        rnd = self.rnd
        cycle = rnd.choice(["G81", "G82", "G83", "G73"])
        self.add(f"G00 Z{self.c(10, 30)}")
        words = f"X{self.c(-60, 60)} Y{self.c(-60, 60)} R{self.c(1, 5)} Z-{self.c(3, 20)}"
        if cycle in ("G83", "G73"):
            words += f" Q{self.c(1, 4)}"
        if cycle == "G82":
            words += f" P{rnd.randint(100, 1000)}"
        self.add(f"{rnd.choice(['G98', 'G99'])} {cycle} {words} F{rnd.randint(50, 200)}")
        for _ in range(rnd.randint(1, 5)):
            if rnd.random() < 0.75:
                self.add(f"X{self.c(-60, 60)} Y{self.c(-60, 60)}")
            else:
                self.add(f"{rnd.choice(['G98', 'G99'])} X{self.c(-60, 60)}")
        self.add(f"G80 G00 Z{self.c(10, 30)}")


def to_ngc(fanuc_lines):
    """The rs274 dialect of a Fanuc program: no "%", the O line a comment, dwells in seconds."""
    out = []
    for line in fanuc_lines:
        text = line.rstrip("\r\n")
        if text.strip() == "%":
            continue
        m = re.match(r"^\s*(O\d+)\s*(\((.*)\))?\s*$", text)
        if m:
            out.append(f"({m.group(1)} {m.group(3) or ''})")
            continue
        if re.search(r"G0?4\b|G82", text):
            text = re.sub(r"P(\d+(?:\.\d*)?)", lambda p: f"P{float(p.group(1)) / 1000:.3f}", text)
        text = re.sub(r"\bK(\d+)", r"L\1", text)
        out.append(text)
    return "\n".join(out) + "\n"


def rs274_moves(root, work, ngc_text, name):
    path = os.path.join(work, name)
    with open(path, "w") as f:
        f.write(ngc_text)
    out, complaint = run_rs274(root, path, "".join(f"T{t} P{t} D0.4 Z0 ;\n" for t in range(1, 21)))
    moves = []  # (kind, end, feed, per_rev, speed, tool, marked)
    pos = [0.0, 0.0, 0.0]
    unit = 1.0
    feed = 0.0
    per_rev = False
    speed = 0.0
    tool = 0
    marked = False
    for line in out.splitlines():
        m = re.search(r"N[.0-9]+\s+(\w+)\((.*)\)", line)
        if not m:
            continue
        name, args = m.group(1), m.group(2)
        if name == "COMMENT":
            if "RSTB" in args:
                marked = True
            continue
        nums = [float(x) for x in re.findall(r"-?\d+\.\d+|-?\d+", args)]
        if name == "USE_LENGTH_UNITS":
            unit = 25.4 if "INCH" in args else 1.0
        elif name == "SET_FEED_RATE":
            feed = nums[0] * unit
        elif name == "SET_FEED_MODE":
            per_rev = nums[-1] == 1
        elif name == "SET_SPINDLE_SPEED":
            speed = nums[-1]
        elif name == "CHANGE_TOOL":
            tool = int(nums[0])
        elif name in ("STRAIGHT_TRAVERSE", "STRAIGHT_FEED"):
            pos = [v * unit for v in nums[:3]]
            kind = "rapid" if name == "STRAIGHT_TRAVERSE" else "feed"
            moves.append((kind, pos, feed, per_rev, speed, tool, marked))
        elif name == "ARC_FEED":
            fe, se, fa, sa, rot, ae = nums[:6]
            plane = (0, 1, 2)
            new = list(pos)
            new[plane[0]], new[plane[1]], new[plane[2]] = fe * unit, se * unit, ae * unit
            pos = new
            moves.append(("arc", pos, feed, per_rev, speed, tool, marked))
    return moves, complaint, marked


def close(a, b, tol):
    return all(abs(x - y) <= tol for x, y in zip(a, b))


def compare(original, restart, inch, drilling_goes_on):
    """Differences between the moves from the restart block on, and faults of the approach."""
    tol = 0.003 if inch else 0.0011
    want = [m for m in original if m[6]]
    got = [m for m in restart if m[6]]
    before = [m for m in original if not m[6]]
    start_z = before[-1][1][2] if before else 0.0
    problems = []
    if drilling_goes_on:
        def drop(moves):
            n = 0
            while n < len(moves) and moves[n][0] == "rapid":
                n += 1
            return moves[n - 1][1] if n else None, moves[n:]
        w_at, want = drop(want)
        g_at, got = drop(got)
        if w_at is None or g_at is None or not close(w_at, g_at, tol):
            problems.append(f"the first hole starts at {g_at}, not {w_at}")
    if len(want) != len(got):
        problems.append(f"{len(got)} moves from the block on where the program makes {len(want)}")
    for i, (w, g) in enumerate(zip(want, got)):
        if w[0] != g[0] or not close(w[1], g[1], tol):
            problems.append(f"move {i}: {g[0]} to {g[1]} where the program makes {w[0]} to {w[1]}")
        elif w[0] != "rapid" and (abs(w[2] - g[2]) > 1e-6 * max(1, w[2]) or w[3] != g[3]):
            problems.append(f"move {i}: feed {g[2]} per_rev={g[3]} where the program has {w[2]} per_rev={w[3]}")
        elif abs(w[4] - g[4]) > 1e-6 or w[5] != g[5]:
            problems.append(f"move {i}: S{g[4]} T{g[5]} where the program has S{w[4]} T{w[5]}")
        if problems:
            break
    approach = [m for m in restart if not m[6]]
    z = 0.0
    for i, m in enumerate(approach):
        feed_down = i == len(approach) - 1 and m[0] == "feed"
        if m[1][2] < z - 1e-9 and m[1][2] < start_z - tol and not feed_down:
            problems.append(f"the approach goes down to Z{m[1][2]:.4f}, below the block's start Z{start_z:.4f}")
        if feed_down and m[1][2] < start_z - tol:
            problems.append(f"the feed down ends at Z{m[1][2]:.4f}, below the block's start Z{start_z:.4f}")
        z = m[1][2]
    return problems


def main():
    cli, root = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if not os.path.exists(os.path.join(root, "usr/bin/rs274")):
        print(f"no rs274 under {root}: scripts/reference.sh unpacks it (scripts/test.sh runs it)")
        return 1
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 30
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 20261209
    rnd = random.Random(seed)
    failed = refused = agreed = 0
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, XDG_CONFIG_HOME=work)  # default settings: a machining centre
        env.pop("windir", None)
        for n in range(count):
            prog = MillProgram(rnd, 2000 + n).build()
            first_change = next(i for i, line in enumerate(prog.lines) if "M06" in line)
            for k in range(4):
                b = rnd.randint(first_change + 1, len(prog.lines) - 3)
                lines = list(prog.lines)
                lines[b] = lines[b] + " " + MARK
                fanuc = os.path.join(work, f"p{n}-{k}.nc")
                with open(fanuc, "w", newline="\r\n") as f:
                    f.write("\n".join(lines) + "\n")
                out = os.path.join(work, f"p{n}-{k}-restart.nc")
                run = subprocess.run([cli, "restart", fanuc, "--from", f"line:{b + 1}", "-o", out],
                                     capture_output=True, text=True, env=env)
                label = f"p{n} line {b + 1} ({lines[b]})"
                if run.returncode != 0:
                    refused += 1
                    reason = run.stderr.strip()
                    print(f"{label}: refused: {reason}")
                    if run.returncode != 2 or not reason:
                        failed += 1
                    continue
                with open(out, newline="") as f:
                    restart_lines = f.read().splitlines()
                original, complaint_o, marked_o = rs274_moves(root, work, to_ngc(lines), "original.ngc")
                restarted, complaint_r, marked_r = rs274_moves(root, work, to_ngc(restart_lines), "restart.ngc")
                if complaint_o or complaint_r or not marked_o or not marked_r:
                    failed += 1
                    print(f"{label}: rs274 did not run it: {complaint_o or complaint_r or 'the restart block was not reached'}")
                    print("\n".join(restart_lines))
                    continue
                restart_block = next(line for line in restart_lines if MARK in line)
                drilling_goes_on = re.search(r"G(8[1-9]|73)", restart_block) is not None and \
                    re.search(r"G(8[1-9]|73)", lines[b]) is None
                problems = compare(original, restarted, prog.inch, drilling_goes_on)
                if problems:
                    failed += 1
                    print(f"{label}: DIFFERS: " + "; ".join(problems[:3]))
                    print("\n".join(restart_lines[:40]))
                else:
                    agreed += 1
                    print(f"{label}: ok, {sum(1 for m in restarted if m[6])} moves agree")
    print(f"{agreed} restarts agree, {refused} refused, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
