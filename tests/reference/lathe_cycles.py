"""The multiple repetitive cycles G70-G76 of a Fanuc-style lathe (two-block and one-block forms),
as a part of the lathe reading in lathe_reference.py: the shape from N(ns) to N(nf), the passes
of G71/G72/G73, the finishing G70, the pecks of G74/G75, the thread passes of G76."""
import math

from zx_geometry import Line

EPS = 1e-9  # mm: on a pass line
MM_PER_INCH = 25.4


class RepetitiveCycles:
    """Mixed into the lathe reading, whose moves, words and state it uses."""

    REPETITIVE = (70, 71, 72, 73, 74, 75, 76)

    def find_shape(self, ns, nf):
        """N(ns): the first block so numbered after the cycle block in the same program, else the
        first so numbered in that program; N(nf): the first so numbered from N(ns) on."""
        first, last = self.programs[self.index]

        def numbered(i, n):
            w = self.blocks[i].words.get("N")
            return w is not None and w.value == n

        start = next((i for i in range(self.index + 1, last + 1) if numbered(i, ns)), None)
        if start is None:
            start = next((i for i in range(first, last + 1) if numbered(i, ns)), None)
        if start is None:
            return None
        end = next((i for i in range(start, last + 1) if numbered(i, nf)), None)
        if end is None:
            return None
        if start > self.index:
            # The shape follows the cycle: the control skips it afterwards (Open case: after a
            # G70 as after G71-G73).
            self.skip.update(range(start, end + 1))
        return list(range(start, end + 1))

    def shape(self, indices, a):
        """The shape's moves from the start point a: a list of (mode, segment, block). The ns block
        without G00/G01 is G00; later blocks inherit their motion code. Blocks with G04, G28, G30,
        G50, G53 or G70-G76 add no geometry. (Open case: an ns block with G02/G03 is G00 too,
        as the rule reads.)"""
        moves = []
        pos = a
        mode = None
        for i in indices:
            b = self.blocks[i]
            codes = [c for c in b.g if c in (0, 1, 2, 3)]
            if mode is None:
                mode = codes[-1] if codes and codes[-1] in (0, 1) else 0
            elif codes:
                mode = codes[-1]
            if any(c in (4, 28, 30, 50, 53) + self.REPETITIVE for c in b.g):
                moves.append((mode, None, b))
                continue
            arc = mode in (2, 3)
            if not b.has("X", "Z", "U", "W") and not (arc and b.has("I", "K", "R")):
                moves.append((mode, None, b))
                continue
            to = self.target(b, pos)
            seg = self.arc(b, pos, to, mode == 2) if arc else Line(pos, to)
            moves.append((mode, seg, b))
            pos = seg.end
        return moves

    def repetitive(self, code, b):
        a = self.pos
        self.log(f"  G{code} from {self._p(a)}")
        if code == 70:
            self.g70(b, a)
        elif code in (71, 72):
            self.g71_72(code, b, a)
        elif code == 73:
            self.g73(b, a)
        elif code in (74, 75):
            self.g74_75(code, b, a)
        else:
            self.g76(b, a)
        # The motion mode stays the last of G00/G01/G02/G03/G32.

    def _shape_moves(self, b, a):
        if not (b.has("P") and b.has("Q")):
            return None
        indices = self.find_shape(b.num("P"), b.num("Q"))
        if indices is None:
            return None
        return self.shape(indices, a)

    def g70(self, b, a):
        moves = self._shape_moves(b, a)
        if moves is None:
            return
        for mode, seg, blk in moves:
            # The F and S of the shape's blocks: the current ones until a block sets its own.
            if "F" in blk.words:
                self.feed = blk.num("F") * (MM_PER_INCH if self.inch else 1.0)
            if "S" in blk.words:
                self.set_speed_word(blk.num("S"))
            if seg is None:
                continue
            if mode == 0:
                self.rapid(seg.end)
            else:
                self.feed_move(seg)
        self.rapid(a)

    def _allowance(self, b):
        return self.word_length(b, "U", 0.0) / 2, self.word_length(b, "W", 0.0)

    def g71_72(self, code, b, a):
        settings = self.settings[code]
        if not (b.has("P") and b.has("Q")):
            # The first block: depth (U for G71, W for G72) and retract R.
            depth_letter = "U" if code == 71 else "W"
            if depth_letter in b.words:
                settings["depth"] = abs(self.length(b.words[depth_letter]))
            if "R" in b.words:
                settings["retract"] = abs(self.length(b.words["R"]))
            return
        du2, dw = self._allowance(b)
        # Open case: a D in the cutting block is the depth even after a first block.
        depth = abs(self.length(b.words["D"])) if "D" in b.words else settings.get("depth")
        e = settings.get("retract", 0.5)
        moves = self._shape_moves(b, a)
        if moves is None:
            return
        ns_mode = moves[0][0]
        # S' = the shape moved by du/2 in X and dw in Z; it starts at the ns block's end.
        segs = [seg.moved(dw, du2) for _, seg, _ in moves[1:] if seg is not None]
        first = (moves[0][1].end if moves[0][1] is not None else a)
        first = (first[0] + dw, first[1] + du2)
        last = segs[-1].end if segs else first
        # Depth axis: x (1) for G71, z (0) for G72; the pass runs along the other.
        d_axis = 1 if code == 71 else 0
        f_axis = 1 - d_axis
        side = math.copysign(1.0, a[d_axis] - first[d_axis])  # toward A, away from the shape
        total = abs(first[d_axis] - a[d_axis])
        # Open case: without a depth of cut (no D and no first block) no roughing pass is made.
        passes = 0 if not depth or total == 0 else math.ceil(total / depth - 1e-9)
        self.log(f"  G{code}: depth {depth} retract {e} passes {passes} S' from {self._p(first)} to {self._p(last)}")

        def point(d_value, f_value):
            p = [0.0, 0.0]
            p[d_axis], p[f_axis] = d_value, f_value
            return tuple(p)

        for k in range(1, passes + 1):
            level = a[d_axis] - side * min(k * depth, total)
            to = point(level, a[f_axis])
            if ns_mode == 0:
                self.rapid(to)
            else:
                self.feed_to(to)
            end = self.reached(segs, first, last, d_axis, level, side)
            self.feed_to(point(level, end))
            # Open case: a pass that ends at A's Z (G72: X) retracts in X (G72: Z) only.
            back = math.copysign(e, a[f_axis] - end) if end != a[f_axis] else 0.0
            self.rapid(point(level + side * e, end + back))
            self.rapid(point(level + side * e, a[f_axis]))
        # The finishing-allowance pass along every block of S', G00 blocks included.
        self.rapid(first)
        for seg in segs:
            self.feed_move(seg)
        self.rapid(a)

    @staticmethod
    def reached(segs, first, last, d_axis, level, side):
        """Where S' first passes from the pass line (or beyond it) to A's side: the coordinate
        along the pass there; S''s last point's when it never does."""
        f_axis = 1 - d_axis

        def a_side(p):
            return (p[d_axis] - level) * side > EPS

        if a_side(first):
            return first[f_axis]
        for seg in segs:
            if a_side(seg.p0):
                return seg.p0[f_axis]
            cuts = sorted(set([0.0] + [t for t in seg.roots(d_axis, level)] + [seg.span]))
            for t0, t1 in zip(cuts, cuts[1:]):
                if t1 - t0 <= 1e-15:
                    continue
                if a_side(seg.at((t0 + t1) / 2)):
                    return seg.at(t0)[f_axis]
        return last[f_axis]

    def g73(self, b, a):
        settings = self.settings[73]
        if not (b.has("P") and b.has("Q")):
            if "U" in b.words:
                settings["di"] = self.length(b.words["U"])
            if "W" in b.words:
                settings["dk"] = self.length(b.words["W"])
            if "R" in b.words:
                settings["count"] = b.num("R")
            return
        du2, dw = self._allowance(b)
        # Open case: I, K and D of a cutting block stand for the first block's U, W and R.
        di = self.word_length(b, "I", settings.get("di", 0.0))
        dk = self.word_length(b, "K", settings.get("dk", 0.0))
        count = b.num("D", settings.get("count", 1))
        # Open case: the count is rounded to a whole number, at least one pass.
        count = max(1, int(round(count)))
        moves = self._shape_moves(b, a)
        if moves is None:
            return
        first = moves[0][1].end if moves[0][1] is not None else a
        segs = [seg for _, seg, _ in moves[1:] if seg is not None]
        self.log(f"  G73: {count} passes, di {di} dk {dk}")
        for j in range(1, count + 1):
            share = (count - j) / (count - 1) if count > 1 else 0.0
            dx, dz = di * share + du2, dk * share + dw
            self.rapid((first[0] + dz, first[1] + dx))
            for seg in segs:
                self.feed_move(seg.moved(dz, dx))
            self.rapid(a)

    def g74_75(self, code, b, a):
        settings = self.settings[code]
        if not b.has("X", "Z", "U", "W"):
            if "R" in b.words:
                settings["retract"] = abs(self.length(b.words["R"]))
            return
        e = settings.get("retract", 0.5)
        # Open case: a cutting block with I or K is the one-block form, else P and Q are read.
        if b.has("I", "K"):
            di = abs(self.word_length(b, "I", 0.0))
            dk = abs(self.word_length(b, "K", 0.0))
        else:
            di = self.in_increments(b, "P", 0.0)
            dk = self.in_increments(b, "Q", 0.0)
        end = self.target(b, a)
        # G74: steps along X (radius di), pecks along Z (dk); G75 the other way round.
        step_axis, peck_axis = (1, 0) if code == 74 else (0, 1)
        step, peck = (di, dk) if code == 74 else (dk, di)
        named_step = b.has("X", "U") if code == 74 else b.has("Z", "W")
        positions = [a[step_axis]]
        if named_step and end[step_axis] != a[step_axis]:
            span = end[step_axis] - a[step_axis]
            # Open case: a missing or zero step is one step, from A's position to the end one.
            if step > 0:
                count = math.ceil(abs(span) / step - 1e-9)
                direction = math.copysign(1.0, span)
                positions += [a[step_axis] + direction * min(j * step, abs(span)) for j in range(1, count + 1)]
            else:
                positions.append(end[step_axis])
        depth = end[peck_axis] - a[peck_axis]
        direction = math.copysign(1.0, depth) if depth else 1.0
        pecks = math.ceil(abs(depth) / peck - 1e-9) if peck > 0 and depth else 1
        self.log(f"  G{code}: retract {e}, {len(positions)} positions, {pecks} pecks each")

        def point(step_value, peck_value):
            p = [0.0, 0.0]
            p[step_axis], p[peck_axis] = step_value, peck_value
            return tuple(p)

        for j, where in enumerate(positions):
            if j > 0:
                self.rapid(point(where, a[peck_axis]))
            reached = a[peck_axis]
            for m in range(1, pecks + 1):
                if m > 1:
                    self.rapid(point(where, reached - direction * e))
                reached = a[peck_axis] + direction * min(m * peck, abs(depth)) if peck > 0 else end[peck_axis]
                self.feed_to(point(where, reached))
            self.rapid(point(where, a[peck_axis]))
        self.rapid(a)

    def g76(self, b, a):
        settings = self.settings[76]
        if not b.has("X", "Z", "U", "W"):
            if "P" in b.words:
                # m: the first two of six digits, a P written with fewer having leading zeros.
                p = int(abs(b.num("P")))
                settings["finishing"] = (p // 10000) % 100
            if "Q" in b.words:
                settings["min_depth"] = abs(self.length(b.words["Q"]))
            if "R" in b.words:
                settings["allowance"] = abs(self.length(b.words["R"]))
            return
        if b.has("K", "D"):
            height = abs(self.word_length(b, "K", 0.0))
            first_depth = abs(self.word_length(b, "D", 0.0))
            finishing, min_depth, allowance = 1, 0.0, 0.0
        else:
            height = self.in_increments(b, "P", 0.0)
            first_depth = self.in_increments(b, "Q", 0.0)
            # Open case: a two-block cutting block without a first block takes m 1, 0, 0.
            finishing = settings.get("finishing", 1)
            min_depth = settings.get("min_depth", 0.0)
            allowance = settings.get("allowance", 0.0)
        root = self.target(b, a)
        # Open case: a start point on the root diameter threads as an outside thread.
        side = math.copysign(1.0, a[1] - root[1]) if a[1] != root[1] else 1.0
        depths = []
        bottom = height - allowance
        previous = 0.0
        n = 1
        while True:
            d = max(first_depth * math.sqrt(n), previous + min_depth)
            # Open case: with no first depth and no minimum the first pass goes to k - d; past
            # 100000 passes (depths written with a point in the least input increment) the next
            # one goes to k - d.
            if d >= bottom - 1e-12 or (first_depth <= 0 and min_depth <= 0) or n >= 100000:
                depths.append(bottom)
                break
            depths.append(d)
            previous = d
            n += 1
        depths += [height] * finishing
        self.log(f"  G76: height {height} first {first_depth} min {min_depth} allowance {allowance} "
                 f"finishing {finishing}: depths {[round(d, 5) for d in depths]}")
        za, xa = a
        for d in depths:
            x = root[1] + side * (height - d)
            self.rapid((za, x))
            self.feed_to((root[0], x), thread=True)
            self.rapid((root[0], xa))
            self.rapid((za, xa))
