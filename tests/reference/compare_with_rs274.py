#!/usr/bin/env python3
"""Measures random Fanuc-style mill programs with korvane-cli analyze and with LinuxCNC's standalone
interpreter rs274, an independent reading of the same G-code, and compares machining time and
cutting length per program.

rs274 prints the canonical moves it makes (traverses, feeds, arcs, dwells); their lengths and
times are added up here, rapid moves at 5000 mm/min. Where the two dialects differ the program is
written twice from one model: rs274 takes dwells in seconds and repeats as L, and has no "%" or O
lines. Constructs whose motion the two controls define differently (boring cycles that feed back
out) are not generated. Coordinates without a decimal point are written only in the programs made
for a calculator-type control, measured with a profile whose 小数点入力 is 1.

Usage: compare_with_rs274.py KORVANE_CLI LINUXCNC_ROOT [COUNT] [SEED]
LINUXCNC_ROOT is Debian's linuxcnc-uspace package unpacked with dpkg -x (scripts/reference.sh).
Exit status 0 when every program agrees within 1 % in time and 0.5 % in cutting length."""
import math
import os
import random
import re
import subprocess
import sys
import tempfile

RAPID = 5000.0


def fmt(v):
    return f"{v:.3f}"


class Program:
    """One program as a model, written out in both dialects."""

    def __init__(self, rnd, number):
        self.rnd = rnd
        self.fanuc = ["%", f"O{number} (RANDOM PART {number})"]
        self.ngc = [f"(O{number})"]
        self.inch = rnd.random() < 0.2
        self.scale = 0.05 if self.inch else 1.0  # keeps inch programs about as big
        self.absolute = True
        self.z = 0.0
        # Written for a calculator-type control (小数点入力=1): whole numbers have no point, and
        # mean millimetres (inches) as they do to rs274.
        self.calculator = rnd.random() < 0.3

    def both(self, text, ngc=None):
        self.fanuc.append(text)
        self.ngc.append(text if ngc is None else ngc)

    def f(self, v):
        text = fmt(v)
        if self.calculator and text.endswith(".000"):
            return text[:-4] if text[:-4] not in ("", "-", "-0") else "0"
        return text

    def c(self, lo, hi):
        v = self.rnd.uniform(lo, hi) * self.scale
        # Mostly whole numbers on a calculator-type control: the words without a point.
        return self.f(round(v) if self.calculator and self.rnd.random() < 0.7 and abs(v) >= 1 else v)

    def build(self):
        rnd = self.rnd
        self.both(("G20" if self.inch else "G21") + " G90 G17 G94 G40 G49 G80")
        self.both("T1 M06 (10MM X Y ZERO)", "T1 M06 (10MM X Y ZERO)")
        self.both(f"S{rnd.randint(800, 3000)} M03")
        self.both(f"G00 X{self.c(-50, 50)} Y{self.c(-50, 50)} Z{self.c(20, 50)}")
        self.both(f"G01 Z{self.c(0, 5)} F{rnd.choice([100, 150, 300, 500])}")
        for _ in range(rnd.randint(20, 80)):
            r = rnd.random()
            if r < 0.25:
                g = rnd.choice(["G1", "G01", "g1"])
                self.both(f"{g} X{self.c(-80, 80)} Y{self.c(-80, 80)}" + (f" F{rnd.randint(50, 800)}" if rnd.random() < 0.3 else ""))
            elif r < 0.35:
                self.both(f"G01 X{self.c(-80, 80)} Y{self.c(-80, 80)}")
                self.both(f"X {self.c(-80, 80)} Y{self.c(-80, 80)} (X Y ZERO)")
            elif r < 0.5:
                self.arc()
            elif r < 0.58:
                self.both(f"G0 X{self.c(-80, 80)} Y{self.c(-80, 80)} Z{self.c(2, 30)}")
            elif r < 0.64:
                self.both(f"G91 G01 Z-{self.c(0.5, 3)} F{rnd.randint(40, 120)}")
                self.both(f"X{self.c(-20, 20)} Y{self.c(-20, 20)}")
                self.both("G90")
            elif r < 0.72:
                self.drill()
            elif r < 0.76:
                ms = rnd.randint(100, 3000)
                self.both(f"G04 P{ms}", f"G4 P{ms / 1000:.3f}")
            elif r < 0.8:
                self.both(f"G00 Z{self.c(10, 40)}")
                self.both("G91 G28 Z0.")
                self.both("G90")
            elif r < 0.84:
                self.both(f"G53 G00 Z{self.c(-5, 0)}")
                self.both(f"G00 Z{self.c(5, 30)}")
            elif r < 0.88:
                self.plane_arc()
            elif r < 0.92:
                self.both(f"G95 G01 X{self.c(-80, 80)} F0.{rnd.randint(5, 30):02d}")
                self.both("G94 F200")
            else:
                self.both(f"N{rnd.randint(1, 9999)} M08 ; COOLANT X99.")
        self.both("G00 Z50.", "G00 Z50.")
        self.fanuc += ["M30", "%"]
        self.ngc += ["M30"]
        return self

    def arc(self):
        rnd = self.rnd
        g = rnd.choice(["G2", "G02", "G3", "G03"])
        if rnd.random() < 0.5:
            i, j = self.c(-30, 30), self.c(-30, 30)
            z = f" Z{self.c(-5, 5)}" if rnd.random() < 0.2 else ""
            if rnd.random() < 0.1:
                self.both(f"{g} I{i} J{j}{z}")  # a full circle (or turn of a helix)
            else:
                # End on the circle so that both readings see the same radius.
                rr = math.hypot(float(i), float(j))
                a = rnd.uniform(0, 2 * math.pi)
                self.both(f"G91 {g} X{self.f(float(i) + rr * math.cos(a))} Y{self.f(float(j) + rr * math.sin(a))} I{i} J{j}{z}")
                self.both("G90")
        else:
            r = rnd.uniform(5, 40) * self.scale
            chord = rnd.uniform(0.1, 1.9) * r
            a = rnd.uniform(0, 2 * math.pi)
            sign = rnd.choice(["", "-"])
            self.both(f"G91 {g} X{self.f(chord * math.cos(a))} Y{self.f(chord * math.sin(a))} R{sign}{self.f(r)}")
            self.both("G90")

    def plane_arc(self):
        rnd = self.rnd
        plane, (u, v), (cu, cv) = rnd.choice([("G18", ("Z", "X"), ("K", "I")), ("G19", ("Y", "Z"), ("J", "K"))])
        r = rnd.uniform(3, 15) * self.scale
        a = rnd.uniform(0, 2 * math.pi)
        b = a + rnd.uniform(0.3, 3)
        # From the start, the centre lies at -r(cos a, sin a); the end at angle b on the circle.
        cu_v, cv_v = -r * math.cos(a), -r * math.sin(a)
        du, dv = cu_v + r * math.cos(b), cv_v + r * math.sin(b)
        g = rnd.choice(["G02", "G03"])
        self.both(f"{plane} G91 {g} {u}{self.f(du)} {v}{self.f(dv)} {cu}{self.f(cu_v)} {cv}{self.f(cv_v)}")
        self.both("G90 G17")

    def drill(self):
        rnd = self.rnd
        cycle = rnd.choice(["G81", "G82", "G83", "G73"])
        ret = rnd.choice(["G98", "G99"])
        self.both(f"G00 Z{self.c(10, 30)}")
        words = f"X{self.c(-60, 60)} Y{self.c(-60, 60)} R{self.c(1, 5)} Z-{self.c(3, 20)}"
        if cycle in ("G83", "G73"):
            words += f" Q{self.c(1, 4)}"
        f = f" F{rnd.randint(50, 200)}"
        if cycle == "G82":
            ms = rnd.randint(100, 1000)
            self.both(f"{ret} {cycle} {words} P{ms}{f}", f"{ret} {cycle} {words} P{ms / 1000:.3f}{f}")
        else:
            self.both(f"{ret} {cycle} {words}{f}")
        for _ in range(rnd.randint(0, 3)):
            self.both(f"X{self.c(-60, 60)} Y{self.c(-60, 60)}")
        if rnd.random() < 0.3:
            n = rnd.randint(2, 4)
            step = self.c(5, 10)
            self.both(f"G91 X{step} K{n}", f"G91 X{step} L{n}")
            self.both("G90")
        self.both(f"G80 G00 Z{self.c(10, 30)}")


def run_rs274(root, path, tools_text="T1 P1 D10 Z0 ;\n"):
    """rs274's canonical calls for the program at path, and what it complained of (empty when
    nothing). Its tool table and variables are written beside the program once."""
    env = dict(os.environ, LD_LIBRARY_PATH=os.path.join(root, "usr/lib"))
    work = os.path.dirname(path)
    tools = os.path.join(work, "tool.tbl")
    variables = os.path.join(work, "rs274.var")
    if not os.path.exists(tools):
        with open(tools, "w") as f:
            f.write(tools_text)
        with open(variables, "w") as f:
            f.write("5220 1\n")
    run = subprocess.run([os.path.join(root, "usr/bin/rs274"), "-t", tools, "-v", variables, "-g", path],
                         capture_output=True, text=True, env=env, stdin=subprocess.DEVNULL, timeout=60, cwd=work)
    return run.stdout, run.stderr.replace("executing", "").strip()


def rs274_figures(root, path):
    out, complaint = run_rs274(root, path)
    if complaint:
        out += "\nerror: " + complaint
    pos = [0.0, 0.0, 0.0]
    unit = 1.0
    feed = 0.0
    per_rev = False
    speed = 0.0
    plane = "XY"
    minutes = 0.0
    cut = 0.0
    for line in out.splitlines():
        m = re.search(r"N[.0-9]+\s+(\w+)\((.*)\)", line)
        if not m:
            continue
        name, args = m.group(1), m.group(2)
        nums = [float(x) for x in re.findall(r"-?\d+\.\d+|-?\d+", args)] if name not in ("COMMENT",) else []
        if name == "USE_LENGTH_UNITS":
            unit = 25.4 if "INCH" in args else 1.0
        elif name == "SELECT_PLANE":
            plane = args.split("_")[-1]
        elif name == "SET_FEED_RATE":
            feed = nums[0] * unit
        elif name == "SET_FEED_MODE":
            per_rev = nums[-1] == 1
        elif name == "SET_SPINDLE_SPEED":
            speed = nums[-1]
        elif name == "DWELL":
            minutes += nums[0] / 60
        elif name in ("STRAIGHT_TRAVERSE", "STRAIGHT_FEED"):
            to = [v * unit for v in nums[:3]]
            length = math.dist(pos, to)
            pos = to
            if name == "STRAIGHT_TRAVERSE":
                minutes += length / RAPID
            else:
                rate = feed * speed if per_rev else feed
                minutes += length / rate
                cut += length
        elif name == "ARC_FEED":
            fe, se, fa, sa, rot, ae = nums[:6]
            fe, se, fa, sa, ae = (v * unit for v in (fe, se, fa, sa, ae))
            idx = {"XY": (0, 1, 2), "XZ": (2, 0, 1), "YZ": (1, 2, 0)}[plane]
            s = (pos[idx[0]], pos[idx[1]], pos[idx[2]])
            r = math.hypot(s[0] - fa, s[1] - sa)
            a0 = math.atan2(s[1] - sa, s[0] - fa)
            a1 = math.atan2(se - sa, fe - fa)
            rot = int(rot)
            if rot > 0:
                sweep = (a1 - a0) % (2 * math.pi)
                if sweep <= 1e-12:
                    sweep = 2 * math.pi
                sweep += 2 * math.pi * (rot - 1)
            else:
                sweep = (a0 - a1) % (2 * math.pi)
                if sweep <= 1e-12:
                    sweep = 2 * math.pi
                sweep += 2 * math.pi * (-rot - 1)
            length = math.hypot(r * sweep, ae - s[2])
            new = list(pos)
            new[idx[0]], new[idx[1]], new[idx[2]] = fe, se, ae
            pos = new
            rate = feed * speed if per_rev else feed
            minutes += length / rate
            cut += length
    return minutes, cut, out


def main():
    cli, root = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if not os.path.exists(os.path.join(root, "usr/bin/rs274")):
        print(f"no rs274 under {root}: scripts/reference.sh unpacks it (scripts/test.sh runs it)")
        return 1
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 40
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 20261208
    rnd = random.Random(seed)
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, XDG_CONFIG_HOME=work)  # default settings: rapid at 5000 mm/min
        env.pop("windir", None)
        # The calculator-type programs with a profile that says so.
        calculator = os.path.join(work, "calculator")
        os.mkdir(calculator)
        with open(os.path.join(calculator, "korvane.ini"), "wb") as f:
            f.write("[COM1]\r\n小数点入力=1\r\n".encode("cp932"))
        calculator_env = dict(env, windir=calculator)
        for n in range(count):
            prog = Program(rnd, 1000 + n).build()
            fanuc = os.path.join(work, f"p{n}.nc")
            ngc = os.path.join(work, f"p{n}.ngc")
            with open(fanuc, "w", newline="\r\n") as f:
                f.write("\n".join(prog.fanuc) + "\n")
            with open(ngc, "w") as f:
                f.write("\n".join(prog.ngc) + "\n")
            ref_min, ref_cut, raw = rs274_figures(root, ngc)
            if "error" in raw.lower() or "ARC_FEED" not in raw and "STRAIGHT_FEED" not in raw:
                print(f"p{n}: rs274 did not run the program:\n{raw[-2000:]}")
                failed += 1
                continue
            command = [cli, "analyze"] + (["--profile", "1"] if prog.calculator else []) + [fanuc]
            row = subprocess.run(command, capture_output=True, text=True, env=calculator_env if prog.calculator else env).stdout.split("\t")
            got_min, got_cut = float(row[2]), float(row[3])
            ok_time = abs(got_min - ref_min) <= max(0.01 * ref_min, 0.006)
            ok_cut = abs(got_cut - ref_cut) <= max(0.005 * ref_cut, 0.006)
            verdict = "ok" if ok_time and ok_cut else "DIFFERS"
            kind = " (calculator type)" if prog.calculator else ""
            print(f"p{n}{kind}: korvane {got_min:.2f} min {got_cut:.2f} mm, rs274 {ref_min:.4f} min {ref_cut:.3f} mm {verdict}")
            if not (ok_time and ok_cut):
                failed += 1
                print("\n".join(prog.fanuc))
    print(f"{count - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
