#!/usr/bin/env python3
"""An independent reading of lathe programs for the time estimate: what a Fanuc-style lathe control
with G code system A does with a program, move by move, written from the rules of the lathe reading
alone (diameter X, U/W, ZX arcs, G98/G99, G96/G97/G50 with the spindle following the diameter, G32,
the single cycles G90/G92/G94, the multiple repetitive cycles G70-G76 in both forms, tool changes,
dwells, G28/G30/G53, G50 X/Z, inch, calculator-type decimal point input) and from the way korvane
splits a file into blocks and words.

Prints one row per program end as `korvane-cli analyze` does (name, program number, minutes, mm,
tape m; the name on a file's first row only), followed by the unrounded minutes and millimetres.

Usage: lathe_reference.py [--machine KEY=VALUE ...] [--rapid R] [--limit N] [--tool-change S]
                          [--decimal-point 0|1] [--mill] [--numeric] [--trace] FILE...
       lathe_reference.py --self-test
Machine keys as in korvane.ini: 早送り速度 (mm/min), 最高回転数 (rpm), 工具交換時間 (s), 小数点入力,
and 機械種類 (1, the default here, a lathe; 0 a machining centre, read by a small mill reading that
knows straight moves, XY arcs, G90/G91, G20/G21, G04 and M06 only).

The reading is split over this file (the machine, the block, moves, single cycles), lathe_cycles.py
(G70-G76), zx_geometry.py (lines, arcs, the G96 integrals) and nc_text.py (blocks and words).
Choices made where the rules leave a case open are marked "Open case:" in their comments.
"""
import argparse
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lathe_cycles import RepetitiveCycles  # noqa: E402
from nc_text import fixed, read_blocks  # noqa: E402
from zx_geometry import (Line, arc_by_centre, arc_by_radius, arc_revolutions, line_revolutions,  # noqa: E402
                         numeric_revolutions, self_test)

TAPE_PITCH = 2.54
MM_PER_INCH = 25.4
M_PER_FOOT = 0.3048
INITIAL_FEED = 5000.0  # mm/min until an F is written
ZERO_FEED = 100.0      # mm/min for F0


# --------------------------------------------------------------------------------------------
# Machine

class Machine:
    def __init__(self, rapid=5000.0, limit=4000.0, tool_change=0.0, calculator=False, mill=False):
        self.mill = mill  # a machining centre: only the small mill reading below
        self.rapid = rapid
        self.limit = limit
        self.tool_change = tool_change
        self.calculator = calculator

    KEYS = {"早送り速度": "rapid", "最高回転数": "limit", "工具交換時間": "tool_change", "小数点入力": "calculator"}

    def set_key(self, key, value):
        if key == "機械種類":
            self.mill = float(value) != 1
            return
        attr = self.KEYS.get(key, key)
        if attr == "calculator":
            self.calculator = float(value) == 1
        elif attr in ("rapid", "limit", "tool_change"):
            setattr(self, attr, float(value))
        else:
            raise ValueError(f"unknown machine key {key}")


# --------------------------------------------------------------------------------------------
# The lathe

class Row:
    def __init__(self, name, number, minutes, millimetres, characters):
        self.name, self.number = name, number
        self.minutes, self.millimetres, self.characters = minutes, millimetres, characters

    def texts(self):
        return [self.name, self.number, fixed(self.minutes, 2), fixed(self.millimetres, 2),
                fixed(self.characters * TAPE_PITCH / 1000, 2)]


class Lathe(RepetitiveCycles):
    # One-shot codes whose axis words are no move; G10 and G65 carry them as data (Open case).
    ONE_SHOT = (4, 10, 28, 30, 50, 53, 65)
    MOTION = (0, 1, 2, 3, 32, 90, 92, 94)

    def __init__(self, machine, numeric=False, trace=None):
        self.machine = machine
        self.numeric = numeric
        self.trace = trace

    # ---- per file

    def run_file(self, name, data):
        blocks = read_blocks(data)
        self.blocks = blocks
        self.programs = self._programs(blocks)
        self.reset()
        rows = []
        name_left = name
        characters = 0
        number = None
        self.skip = set()
        for i, b in enumerate(blocks):
            characters += b.length + 1
            if b.numbered and b.num("O") not in (None, 0):
                number = b.num("O")
            self.index = i
            if i not in self.skip:
                self.block(b)
            if b.ends_program() or (b.percent_only and characters > 2):
                rows.append(self._row(name_left, number, characters))
                name_left = ""
                characters = 0
        # A file's last program that holds any move gives its row even without an end code.
        # (Open case: a move is any rapid or feed the reading makes, even of no length; a dwell
        # or a tool change alone is none.)
        if self.moved:
            rows.append(self._row(name_left, number, characters))
        return rows

    def _row(self, name, number, characters):
        text = "" if number is None else fixed(abs(number), 0)
        row = Row(name, text, self.minutes, self.cut, characters)
        self.minutes = self.cut = 0.0
        self.moved = False
        return row

    @staticmethod
    def _programs(blocks):
        """Where each program of the file starts and ends: block index -> (first, last)."""
        bounds = []
        start = 0
        characters = 0
        for i, b in enumerate(blocks):
            characters += b.length + 1
            if b.ends_program() or (b.percent_only and characters > 2):
                bounds.append((start, i))
                start = i + 1
                characters = 0
        if start < len(blocks):
            bounds.append((start, len(blocks) - 1))
        of = {}
        for first, last in bounds:
            for i in range(first, last + 1):
                of[i] = (first, last)
        return of

    def reset(self):
        self.minutes = 0.0
        self.cut = 0.0
        self.moved = False
        self.pos = (0.0, 0.0)  # (z, x radius), mm
        self.inch = False
        self.per_rev = True     # G99
        self.feed = None        # F as written, converted to mm; None until an F is written
        self.css = False        # G96
        self.vc = None          # m/min
        self.rpm = None         # G97 speed
        self.g50_limit = None
        self.tool = None
        self.mode = 0           # the last of G00/G01/G02/G03/G32
        self.single = None      # 90, 92 or 94 while a single cycle is in force
        self.cycle_x = self.cycle_z = 0.0
        self.cycle_r = 0.0
        # Two-block settings, kept per cycle code.
        self.settings = {code: {} for code in (71, 72, 73, 74, 75, 76)}

    # ---- numbers

    def increment(self):
        return 0.0001 if self.inch else 0.001

    def length(self, w):
        """A word that follows the coordinate rule, in mm: with a point as written, without one in
        the least input increment, or (calculator type) in mm or inch."""
        v = w.value if (w.point or self.machine.calculator) else w.value * self.increment()
        return v * MM_PER_INCH if self.inch else v

    def word_length(self, b, letter, default=None):
        w = b.words.get(letter)
        return default if w is None else self.length(w)

    def in_increments(self, b, letter, default=None):
        """A word always in the least input increment, point or not (G74/G75 P and Q, G76 P(k) and
        Q(dd) of the cutting block)."""
        w = b.words.get(letter)
        if w is None:
            return default
        v = abs(w.value) * self.increment()
        return v * MM_PER_INCH if self.inch else v

    def target(self, b, start):
        """Where X/U and Z/W lead from `start`: X a diameter, U its increment; X wins over U and
        (Open case:) Z over W."""
        z, x = start
        if "X" in b.words:
            x = self.length(b.words["X"]) / 2
        elif "U" in b.words:
            x = start[1] + self.length(b.words["U"]) / 2
        if "Z" in b.words:
            z = self.length(b.words["Z"])
        elif "W" in b.words:
            z = start[0] + self.length(b.words["W"])
        return (z, x)

    # ---- the spindle

    def limit(self):
        return self.g50_limit if self.g50_limit is not None else self.machine.limit

    def speed_at(self, x):
        """The spindle speed at radius x, rpm."""
        if self.css:
            if not self.vc:
                return self.limit()
            d = 2 * abs(x)
            if d == 0:
                return self.limit()
            return min(self.limit(), 1000 * self.vc / (math.pi * d))
        if not self.rpm:
            return self.limit()
        return self.rpm

    def set_speed_word(self, s):
        """An S word: a surface speed under G96 (feet per minute under G20, converted, as an
        Open case, when it is read rather than when it is used), a spindle speed under G97."""
        if self.css:
            self.vc = abs(s) * (M_PER_FOOT if self.inch else 1.0)
        else:
            self.rpm = abs(s)

    # ---- moves

    def log(self, text):
        if self.trace:
            self.trace(text)

    def rapid(self, to):
        length = math.dist(self.pos, to)
        self.minutes += length / self.machine.rapid
        self.moved = True
        self.log(f"  rapid {self._p(self.pos)} -> {self._p(to)}  {length:.4f} mm")
        self.pos = to

    def _p(self, p):
        return f"(X{2 * p[1]:.4f} Z{p[0]:.4f})"

    def revolutions(self, seg):
        """The integral of ds / n along the move (mm min): the time at F = 1 mm per turn."""
        if self.css and self.vc:
            if self.numeric:
                return numeric_revolutions(seg, lambda x: 1 / self.speed_at(x))
            N, k = self.limit(), 1000 * self.vc / (2 * math.pi)
            return line_revolutions(seg, N, k) if isinstance(seg, Line) else arc_revolutions(seg, N, k)
        return seg.length / self.speed_at(seg.p0[1])

    def feed_move(self, seg, thread=False):
        """A feed move (a line or an arc) at the modal F: per revolution under G99 and for every
        thread, per minute under G98; before any F, and for F0, per minute at 5000 and 100."""
        if self.feed is None:
            t = seg.length / INITIAL_FEED
        elif self.feed == 0:
            t = seg.length / ZERO_FEED
        elif self.per_rev or thread:
            t = self.revolutions(seg) / abs(self.feed)
        else:
            t = seg.length / abs(self.feed)
        self.minutes += t
        self.cut += seg.length
        self.moved = True
        kind = "thread" if thread else "feed"
        self.log(f"  {kind} {self._p(self.pos)} -> {self._p(seg.end)}  {seg.length:.4f} mm  {t:.6f} min")
        self.pos = seg.end

    def feed_to(self, to, thread=False):
        self.feed_move(Line(self.pos, to), thread)

    def dwell(self, seconds):
        if seconds > 0:
            self.minutes += seconds / 60
            self.log(f"  dwell {seconds} s")

    # ---- one block

    def block(self, b):
        """One block. The plane is always ZX (Open case: G17 and G19 change nothing), G91 changes
        nothing, M06 is no tool change on a lathe."""
        g = b.g
        motion = [c for c in g if c in self.MOTION]
        repetitive = [c for c in g if c in self.REPETITIVE]
        one_shot = [c for c in g if c in self.ONE_SHOT]
        motion = motion[-1] if motion else None
        repetitive = repetitive[-1] if repetitive else None
        one_shot = one_shot[-1] if one_shot else None
        axis = b.has("X", "Z", "U", "W")
        if self.trace and b.text.strip():
            self.trace(f"{self.index + 1}: {b.text}")

        for c in g:
            if c in (20, 21):
                self.inch = c == 20
            elif c in (98, 99):
                self.per_rev = c == 99
        saved = None
        if repetitive == 70:
            # After a G70 the F and S in force before it are back (Open case: the surface speed
            # and the spindle speed both; G96/G97 in the shape's blocks are not followed).
            saved = (self.feed, self.vc, self.rpm)
        if "F" in b.words:
            self.feed = b.num("F") * (MM_PER_INCH if self.inch else 1.0)

        # The spindle. G50 S without X, Z, U or W sets the limit; any other S is an ordinary S.
        s = b.num("S")
        if one_shot == 50 and not axis:
            # Open case: G50 S0 (or a negative limit) leaves the limit as it was.
            if s is not None and s > 0:
                self.g50_limit = s
            s = None
        spindle = [c for c in g if c in (96, 97)]
        if spindle and spindle[-1] == 97:
            if self.css:
                self.rpm = self.speed_at(self.pos[1])  # the speed the spindle has at this moment
            self.css = False
        elif spindle:
            self.css = True
        if s is not None:
            self.set_speed_word(s)

        # Tools: T0101 and T101 are tool 1, T11 tool 1, T1 and T0011 tool 0; the first T counts.
        # (Open case: the digits before a point, should a T have one.)
        if "T" in b.words:
            whole = b.words["T"].digits
            tool = int(whole[:-2] or "0") if len(whole) >= 3 else int(whole[:-1] or "0")
            if self.tool is None or tool != self.tool:
                self.minutes += self.machine.tool_change / 60
                self.log(f"  tool change to {tool}")
            self.tool = tool

        if motion is not None:
            if motion in (90, 92, 94):
                if self.single is None:
                    # Open case: a single cycle entered from another motion starts with X, Z at
                    # the start point and R 0; switching among G90/G92/G94 keeps them, and a
                    # block of the cycle with R alone changes R for the next repeat.
                    self.cycle_z, self.cycle_x = self.pos
                    self.cycle_r = 0.0
                self.single = motion
            else:
                self.mode = motion
                self.single = None

        if repetitive is not None:
            self.single = None  # not resumed afterwards
            self.repetitive(repetitive, b)
            if saved is not None:
                self.feed, self.vc, self.rpm = saved
            return

        if one_shot is not None:
            self.one_shot(one_shot, b)
            return

        if self.single is not None:
            if "R" in b.words:
                self.cycle_r = self.length(b.words["R"])
            if axis:
                z, x = self.target(b, self.pos)
                if b.has("X", "U"):
                    self.cycle_x = x
                if b.has("Z", "W"):
                    self.cycle_z = z
                self.single_cycle()
            return

        arc = self.mode in (2, 3)
        if not axis and not (arc and b.has("I", "K", "R")):
            return
        to = self.target(b, self.pos)
        if self.mode == 0:
            self.rapid(to)
        elif self.mode == 1:
            self.feed_to(to)
        elif self.mode == 32:
            self.feed_to(to, thread=True)
        else:
            self.feed_move(self.arc(b, self.pos, to, self.mode == 2))

    def arc(self, b, start, end, clockwise):
        if "R" in b.words:
            return arc_by_radius(start, end, self.length(b.words["R"]), clockwise)
        return arc_by_centre(start, end, self.word_length(b, "K", 0.0), self.word_length(b, "I", 0.0), clockwise)

    def one_shot(self, code, b):
        if code == 4:
            # P in ms (a point changes nothing); X or U in s with a point, in ms without one,
            # and (Open case:) in s under calculator-type input; P before X/U.
            if "P" in b.words:
                self.dwell(b.num("P") / 1000)
            elif b.has("X", "U"):
                w = b.words["X"] if "X" in b.words else b.words["U"]
                self.dwell(w.value if (w.point or self.machine.calculator) else w.value / 1000)
        elif code == 50:
            # The position is renamed, not moved: X/Z are the new values, (Open case:) U/W
            # shift them by that much.
            if b.has("X", "Z", "U", "W"):
                self.pos = self.target(b, self.pos)
        elif code == 53:
            # A rapid to machine coordinates X (a diameter) and Z; (Open case:) U and W mean
            # nothing here.
            if b.has("X", "Z"):
                z, x = self.pos
                if "X" in b.words:
                    x = self.length(b.words["X"]) / 2
                if "Z" in b.words:
                    z = self.length(b.words["Z"])
                self.rapid((z, x))
        elif code in (28, 30):
            # Open case: with axis words, through the intermediate point (X/Z absolute, U/W
            # incremental) to the reference point, taken as the origin of the axes named, as
            # the mill reading has it; without axis words nothing moves.
            if not b.has("X", "Z", "U", "W"):
                return
            self.rapid(self.target(b, self.pos))
            z, x = self.pos
            if b.has("X", "U"):
                x = 0.0
            if b.has("Z", "W"):
                z = 0.0
            self.rapid((z, x))

    # ---- single cycles

    def single_cycle(self):
        za, xa = self.pos
        x, z, r = self.cycle_x, self.cycle_z, self.cycle_r
        self.log(f"  G{self.single} X{2 * x:.4f} Z{z:.4f} R{r:.4f} from {self._p(self.pos)}")
        if self.single == 90:
            self.rapid((za, x + r))
            self.feed_to((z, x))
            self.feed_to((z, xa))
            self.rapid((za, xa))
        elif self.single == 92:
            self.rapid((za, x + r))
            self.feed_to((z, x), thread=True)
            self.rapid((z, xa))
            self.rapid((za, xa))
        else:  # 94
            self.rapid((z + r, xa))
            self.feed_to((z, x))
            self.feed_to((za, x))
            self.rapid((za, xa))


class Mill(Lathe):
    """Just enough of a machining centre for the cases that compare the two kinds: straight moves
    and arcs in the XY plane, G90/G91, G20/G21, feeds per minute, G04, and a tool change at each
    M06. Anything else (drilling cycles, other planes, G28...) is not read here."""

    def reset(self):
        super().reset()
        self.pos3 = (0.0, 0.0, 0.0)
        self.absolute = True

    def block(self, b):
        for c in b.g:
            if c in (20, 21):
                self.inch = c == 20
            elif c in (90, 91):
                self.absolute = c == 90
            elif c in (0, 1, 2, 3):
                self.mode = c
        if "F" in b.words:
            self.feed = b.num("F") * (MM_PER_INCH if self.inch else 1.0)
        if 6 in b.m:
            self.minutes += self.machine.tool_change / 60
        if 4 in b.g:
            if "P" in b.words:
                self.dwell(b.num("P") / 1000)
            return
        if not b.has("X", "Y", "Z") and not (self.mode >= 2 and b.has("I", "J", "R")):
            return
        to = list(self.pos3)
        for i, letter in enumerate("XYZ"):
            if letter in b.words:
                v = self.length(b.words[letter])
                to[i] = v if self.absolute else to[i] + v
        to = tuple(to)
        if self.mode in (0, 1):
            length = math.dist(self.pos3, to)
        else:
            start, end = (self.pos3[0], self.pos3[1]), (to[0], to[1])
            if "R" in b.words:
                seg = arc_by_radius(start, end, self.length(b.words["R"]), self.mode == 2)
            else:
                seg = arc_by_centre(start, end, self.word_length(b, "I", 0.0), self.word_length(b, "J", 0.0), self.mode == 2)
            length = math.hypot(seg.length, to[2] - self.pos3[2])
        self.moved = True
        if self.mode == 0:
            self.minutes += length / self.machine.rapid
        else:
            rate = INITIAL_FEED if self.feed is None else (ZERO_FEED if self.feed == 0 else abs(self.feed))
            self.minutes += length / rate
            self.cut += length
        self.log(f"  G0{self.mode} {self.pos3} -> {to}: {length:.4f} mm")
        self.pos3 = to


# --------------------------------------------------------------------------------------------

def reading(machine, numeric=False, trace=None):
    return (Mill if machine.mill else Lathe)(machine, numeric, trace)


def analyze(paths, machine, numeric=False, trace=None):
    rows = []
    for path in paths:
        with open(path, "rb") as f:
            data = f.read()
        name = path.replace("\\", "/").rsplit("/", 1)[-1]
        rows += reading(machine, numeric, trace).run_file(name, data)
    return rows


def analyze_bytes(name, data, machine, numeric=False):
    return reading(machine, numeric).run_file(name, data)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("files", nargs="*")
    ap.add_argument("--machine", action="append", default=[], metavar="KEY=VALUE")
    ap.add_argument("--rapid", type=float)
    ap.add_argument("--limit", type=float)
    ap.add_argument("--tool-change", type=float)
    ap.add_argument("--decimal-point", type=int, choices=(0, 1))
    ap.add_argument("--mill", action="store_true", help="a machining centre (a small reading of its own)")
    ap.add_argument("--numeric", action="store_true", help="integrate every G96 feed numerically")
    ap.add_argument("--trace", action="store_true", help="print every move on standard error")
    ap.add_argument("--self-test", action="store_true",
                    help="hold the closed-form G96 integrals to Simpson's rule on random moves")
    args = ap.parse_args(argv)
    if args.self_test:
        return self_test()
    machine = Machine()
    for kv in args.machine:
        key, _, value = kv.partition("=")
        machine.set_key(key.strip(), value.strip())
    if args.mill:
        machine.mill = True
    if args.rapid is not None:
        machine.rapid = args.rapid
    if args.limit is not None:
        machine.limit = args.limit
    if args.tool_change is not None:
        machine.tool_change = args.tool_change
    if args.decimal_point is not None:
        machine.calculator = args.decimal_point == 1
    trace = (lambda t: print(t, file=sys.stderr)) if args.trace else None
    for row in analyze(args.files, machine, args.numeric, trace):
        print("\t".join(row.texts() + [repr(row.minutes), repr(row.millimetres)]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
