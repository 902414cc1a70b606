#!/usr/bin/env python3
"""Draws random Fanuc-style mill programs with `korvane-cli plot` and reads the same programs with
LinuxCNC's standalone interpreter rs274, an independent reading of the same G-code: the bounding
box of the SVG's feed paths in the top, front and side views must equal the extents of the cutting
moves rs274 makes (its STRAIGHT_FEED and ARC_FEED, each arc walked finely) within 0.01 mm.

The programs are compare_with_rs274.py's, written in both dialects from one model.

Usage: compare_plot_with_rs274.py KORVANE_CLI LINUXCNC_ROOT [COUNT] [SEED]
Exit status 0 when every drawing agrees."""
import math
import os
import random
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_with_rs274 import Program, run_rs274  # noqa: E402

WITHIN = 0.01  # mm
STEPS = 4096  # points an arc is walked in
VIEWS = {"top": (0, 1), "front": (0, 2), "side": (1, 2)}  # the axes across and up


def rs274_cut_points(root, path):
    """The points of every cutting move rs274 makes, arcs walked finely, in mm."""
    out, complaint = run_rs274(root, path)
    if complaint:
        return None, complaint
    pos, unit, plane, points = [0.0, 0.0, 0.0], 1.0, "XY", []
    for line in out.splitlines():
        m = re.search(r"N[.0-9]+\s+(\w+)\((.*)\)", line)
        if not m:
            continue
        name, args = m.group(1), m.group(2)
        nums = [float(x) for x in re.findall(r"-?\d+\.\d+|-?\d+", args)] if name != "COMMENT" else []
        if name == "USE_LENGTH_UNITS":
            unit = 25.4 if "INCH" in args else 1.0
        elif name == "SELECT_PLANE":
            plane = args.split("_")[-1]
        elif name in ("STRAIGHT_TRAVERSE", "STRAIGHT_FEED"):
            to = [v * unit for v in nums[:3]]
            if name == "STRAIGHT_FEED":
                points += [tuple(pos), tuple(to)]
            pos = to
        elif name == "ARC_FEED":
            fe, se, fa, sa, rot, ae = nums[:6]
            fe, se, fa, sa, ae = (v * unit for v in (fe, se, fa, sa, ae))
            idx = {"XY": (0, 1, 2), "XZ": (2, 0, 1), "YZ": (1, 2, 0)}[plane]
            s = (pos[idx[0]], pos[idx[1]], pos[idx[2]])
            r0 = math.hypot(s[0] - fa, s[1] - sa)
            r1 = math.hypot(fe - fa, se - sa)
            a0 = math.atan2(s[1] - sa, s[0] - fa)
            a1 = math.atan2(se - sa, fe - fa)
            rot = int(rot)
            turn = (a1 - a0) % (2 * math.pi) if rot > 0 else (a0 - a1) % (2 * math.pi)
            if turn <= 1e-12:
                turn = 2 * math.pi
            turn += 2 * math.pi * (abs(rot) - 1)
            sweep = turn if rot > 0 else -turn
            for k in range(STEPS + 1):
                t = k / STEPS
                r, a = r0 + (r1 - r0) * t, a0 + sweep * t
                p = [0.0, 0.0, 0.0]
                p[idx[0]], p[idx[1]], p[idx[2]] = fa + r * math.cos(a), sa + r * math.sin(a), s[2] + (ae - s[2]) * t
                points.append(tuple(p))
            new = list(pos)
            new[idx[0]], new[idx[1]], new[idx[2]] = fe, se, ae
            pos = new
    return points, out


def svg_feed_box(svg):
    """The bounding box of the <path class="feed"> elements: M and L points, A arcs in centre form
    (SVG 1.1 appendix F.6.5) walked finely; y turned back upward."""
    box = [math.inf, -math.inf, math.inf, -math.inf]

    def add(x, y):
        box[0], box[1] = min(box[0], x), max(box[1], x)
        box[2], box[3] = min(box[2], -y), max(box[3], -y)

    for d in re.findall(r'<path class="feed"[^>]* d="([^"]*)"', svg):
        t = re.findall(r"[MLA]|-?[0-9.]+", d)
        i, x, y = 0, 0.0, 0.0
        while i < len(t):
            c = t[i]
            i += 1
            if c in "ML":
                x, y = float(t[i]), float(t[i + 1])
                i += 2
                add(x, y)
                continue
            rx, ry, phi = float(t[i]), float(t[i + 1]), math.radians(float(t[i + 2]))
            large, sweep = t[i + 3] == "1", t[i + 4] == "1"
            x2, y2 = float(t[i + 5]), float(t[i + 6])
            i += 7
            co, si = math.cos(phi), math.sin(phi)
            x1p = co * (x - x2) / 2 + si * (y - y2) / 2
            y1p = -si * (x - x2) / 2 + co * (y - y2) / 2
            lam = x1p ** 2 / rx ** 2 + y1p ** 2 / ry ** 2
            if lam > 1:
                rx, ry = rx * math.sqrt(lam), ry * math.sqrt(lam)
            num = rx * rx * ry * ry - rx * rx * y1p * y1p - ry * ry * x1p * x1p
            den = rx * rx * y1p * y1p + ry * ry * x1p * x1p
            coef = (1 if large != sweep else -1) * math.sqrt(max(0.0, num / den))
            cxp, cyp = coef * rx * y1p / ry, -coef * ry * x1p / rx
            cx, cy = co * cxp - si * cyp + (x + x2) / 2, si * cxp + co * cyp + (y + y2) / 2
            th = math.atan2((y1p - cyp) / ry, (x1p - cxp) / rx)
            dt = math.atan2((-y1p - cyp) / ry, (-x1p - cxp) / rx) - th
            if not sweep and dt > 0:
                dt -= 2 * math.pi
            if sweep and dt < 0:
                dt += 2 * math.pi
            for k in range(STEPS + 1):
                a = th + dt * k / STEPS
                add(cx + rx * co * math.cos(a) - ry * si * math.sin(a), cy + rx * si * math.cos(a) + ry * co * math.sin(a))
            x, y = x2, y2
    return box


def main():
    cli, root = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if not os.path.exists(os.path.join(root, "usr/bin/rs274")):
        print(f"no rs274 under {root}: scripts/reference.sh unpacks it (scripts/test.sh runs it)")
        return 1
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 20261209
    rnd = random.Random(seed)
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, XDG_CONFIG_HOME=work, QT_QPA_PLATFORM="offscreen")
        env.pop("windir", None)
        # The programs written for a calculator-type control with a profile that says so.
        calculator = os.path.join(work, "calculator")
        os.mkdir(calculator)
        with open(os.path.join(calculator, "korvane.ini"), "wb") as f:
            f.write("[COM1]\r\n小数点入力=1\r\n".encode("cp932"))
        calculator_env = dict(env, windir=calculator)
        for n in range(count):
            prog = Program(rnd, 1000 + n).build()
            fanuc, ngc = os.path.join(work, f"p{n}.nc"), os.path.join(work, f"p{n}.ngc")
            with open(fanuc, "w", newline="\r\n") as f:
                f.write("\n".join(prog.fanuc) + "\n")
            with open(ngc, "w") as f:
                f.write("\n".join(prog.ngc) + "\n")
            points, raw = rs274_cut_points(root, ngc)
            if not points:
                print(f"p{n}: rs274 did not run the program:\n{raw[-2000:]}")
                failed += 1
                continue
            worst = 0.0
            for view, (a, b) in VIEWS.items():
                svg = os.path.join(work, f"p{n}-{view}.svg")
                profile = ["--profile", "1"] if prog.calculator else []
                run = subprocess.run([cli, "plot", "--view", view] + profile + [fanuc, "-o", svg], capture_output=True,
                                     text=True, env=calculator_env if prog.calculator else env)
                if run.returncode != 0:
                    print(f"p{n} {view}: plot failed: {run.stderr}")
                    failed += 1
                    break
                with open(svg) as f:
                    drawn = svg_feed_box(f.read())
                truth = [min(p[a] for p in points), max(p[a] for p in points), min(p[b] for p in points), max(p[b] for p in points)]
                worst = max(worst, max(abs(d - t) for d, t in zip(drawn, truth)))
            verdict = "ok" if worst <= WITHIN else "DIFFERS"
            print(f"p{n}: feed paths against rs274's cutting moves, largest difference {worst:.5f} mm {verdict}")
            if worst > WITHIN:
                failed += 1
                print("\n".join(prog.fanuc))
    print(f"{count - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
