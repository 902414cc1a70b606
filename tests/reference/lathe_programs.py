"""Random lathe programs for comparing two readings of them: plausible parts, each a few operations
(facing under G96 up to the limit, G71/G72/G73 roughing of stepped, tapered and rounded shapes in
the two-block and the one-block form, G70 finishing, G74 drilling and face grooving, G75 grooving,
G76/G92/G32 threading, G90/G94 with and without a taper, dwells, G28/G30/G53/G50, feeds per
minute, tool changes) in mm or inch, with numbers written with a point, in the least input
increment, or (for calculator-type controls) in mm without a point; some files hold two programs,
some end without an end code, some have bare LF line ends."""


class LatheProgram:
    def __init__(self, rnd, number, calculator):
        self.rnd = rnd
        self.number = number
        self.calculator = calculator
        self.inch = rnd.random() < 0.2
        self.lines = []
        self.numbered = rnd.random() < 0.25  # every block has an N number
        self.next_n = 10
        self.shape_n = 100
        self.lower = rnd.random() < 0.1
        self.tight = rnd.random() < 0.15  # no blanks between words
        self.tools = iter(range(1, 13))

    # ---- writing words

    def u(self, mm):
        """A length in program units."""
        return mm / 25.4 if self.inch else mm

    def c(self, mm, signed=True):
        """A coordinate-rule word's number from a length in mm, written with a point, without one
        in the least input increment, or (calculator type) without one where it is whole."""
        v = round(self.u(mm), 4 if self.inch else 3)
        r = self.rnd.random()
        if self.calculator and r < 0.35 and abs(v - round(v)) < 1e-9:
            return str(int(round(v)))
        if not self.calculator and r < 0.25:
            return str(int(round(v / (0.0001 if self.inch else 0.001))))
        text = f"{v:.4f}".rstrip("0") if self.inch else f"{v:.3f}".rstrip("0")
        if r > 0.8 and text not in ("0.", "-0.") and (text.startswith("0.") or text.startswith("-0.")):
            text = text.replace("0.", ".", 1)  # .5 for 0.5
        return text

    def incr(self, mm):
        """A word always in the least input increment."""
        return str(int(round(self.u(mm) / (0.0001 if self.inch else 0.001))))

    def feed(self, mm_per_rev):
        v = self.u(mm_per_rev)
        return (f"{v:.4f}" if self.inch else f"{v:.3f}").rstrip("0").rstrip(".") if v < 1 else f"{v:g}"

    def feed_per_minute(self, mm_per_min):
        return f"{self.u(mm_per_min):.1f}"

    def surface(self, m_per_min):
        return str(int(round(m_per_min / 0.3048))) if self.inch else str(int(m_per_min))

    def put(self, text, n=None):
        if n is not None:
            text = f"N{n} {text}"
        elif self.numbered:
            text = f"N{self.next_n} {text}"
            self.next_n += 10
        if self.tight:
            text = text.replace(" ", "") if "(" not in text else text
        if self.lower and self.rnd.random() < 0.5:
            text = text.lower()
        self.lines.append(text)

    def comment(self, text):
        r = self.rnd.random()
        if r < 0.4:
            self.lines.append(f"({text})")
        elif r < 0.5:
            self.lines.append("")
        elif r < 0.6:
            self.lines.append(f"; {text}")

    def new_shape_numbers(self):
        if self.numbered:
            return None
        a = self.shape_n
        self.shape_n += 100
        return a, a + 1

    # ---- the part

    def build(self, end, opening=True):
        rnd = self.rnd
        self.stock = rnd.choice([30.0, 40.0, 50.0, 60.0, 80.0]) + rnd.choice([0, 0.5, 2.35])
        if opening:
            self.lines.append("%")
        self.lines.append(f"O{self.number} (LATHE PART {self.number})")
        self.put(("G20" if self.inch else "G21") + " G18 G40 G99")
        if rnd.random() < 0.5:
            self.put("G28 U0. W0.")
        if rnd.random() < 0.15:
            # The position renamed; an S here is an ordinary S, not the limit.
            self.put(f"G50 X{self.c(200)} Z{self.c(150)}" + (" S600" if rnd.random() < 0.3 else ""))
        if rnd.random() < 0.7:
            self.put(f"G50 S{rnd.choice([1500, 2000, 2500, 3000, 3500])}")
        if rnd.random() < 0.05:
            # A move before any F: 5000 mm/min.
            self.put(f"G01 X{self.c(self.stock + 20)} Z{self.c(20)}")
        ops = [self.facing, self.rough_and_finish, self.grooving, self.drilling, self.threading, self.single_cycles]
        rnd.shuffle(ops)
        ops = ops[: rnd.randint(3, len(ops))]
        if self.facing not in ops:
            ops.insert(0, self.facing)
        for op in ops:
            op()
            if rnd.random() < 0.2:
                # U without a point: milliseconds, or seconds on a calculator-type control.
                u = rnd.randint(1, 3) if self.calculator else rnd.randint(200, 1500)
                self.put(f"G04 {rnd.choice(['P' + str(rnd.randint(100, 2000)), 'X' + str(rnd.randint(1, 3)) + '.5', 'U' + str(u)])}")
            if rnd.random() < 0.5:
                self.put(rnd.choice(["G28 U0. W0.", "G28 U0. W0.", "G30 U0.", f"G53 G00 X{self.c(0)}", "G28"]))
        self.put(f"G00 X{self.c(self.stock + 50)} Z{self.c(50)}")
        if end == "M30":
            self.put("M30")
            self.lines.append("%")
        elif end == "M30-only":
            self.put("M30")
        elif end == "M02":
            self.put("M02")
        elif end == "percent":
            self.lines.append("%")
        elif end == "M99":
            self.put("M99")
        # "none": the file just ends
        return self

    def tool(self, vc=None, rpm=None):
        rnd = self.rnd
        t = next(self.tools)
        form = rnd.random()
        if form < 0.7:
            self.put(f"T{t:02d}{t:02d}")
        elif form < 0.9:
            self.put(f"T{t}{t:02d}")
        else:
            self.put(f"T{t:02d}00")  # the tool with its offset cancelled, then with its offset
            self.put(f"T{t:02d}{t:02d}")
        if rnd.random() < 0.2:
            self.put(f"T{t:02d}{t:02d}")  # the same tool again: no change
        if vc is not None:
            self.put(f"G96 S{self.surface(vc)} M03")
        else:
            self.put(f"G97 S{rpm} M03")

    def facing(self):
        rnd = self.rnd
        self.comment("FACING")
        self.tool(vc=rnd.choice([150, 180, 220, 250]))
        x0 = self.stock + 2
        self.put(f"G00 X{self.c(x0)} Z{self.c(rnd.choice([0.0, 0.5]))}")
        if rnd.random() < 0.2:
            self.put("G98")
            self.put(f"G01 X{self.c(-1.6)} F{self.feed_per_minute(rnd.choice([80, 120, 200]))}")
            self.put("G99")
        else:
            self.put(f"G01 X{self.c(rnd.choice([-1.6, 0.0]))} F{self.feed(rnd.choice([0.1, 0.15, 0.2]))}")
        self.put(f"G00 Z{self.c(2)}")
        self.put(f"X{self.c(x0)}")

    def g71_shape(self, numbers, ns_mode, start_x):
        """A stepped shaft from start_x out to the stock: steps, tapers, rounds."""
        rnd = self.rnd
        lines = []
        x, z = start_x, 0.0
        first = f"G0{ns_mode} X{self.c(x)}" + (f" Z{self.c(0)}" if rnd.random() < 0.3 else "")
        lines.append(first)
        if rnd.random() < 0.5:
            lines.append(f"G01 Z{self.c(z)}" if "Z" not in first else "G01")
        pieces = rnd.randint(2, 4)
        for i in range(pieces):
            room = self.stock - x
            length = rnd.choice([5.0, 8.0, 12.5, 15.0, 7.35])
            z -= length
            # Incremental words in the shape now and then: W for Z, U (a diameter) for X.
            along = f"W{self.c(-length)}" if rnd.random() < 0.25 else f"Z{self.c(z)}"
            lines.append(f"G01 {along}" + (f" F{self.feed(0.08)}" if rnd.random() < 0.2 else ""))
            if i == pieces - 1 or room < 4:
                break
            step = min(room - 2, rnd.choice([4.0, 6.0, 8.5, 10.0]))
            kind = rnd.random()
            if kind < 0.3:
                x += step
                lines.append(f"U{self.c(step)}" if rnd.random() < 0.3 else f"X{self.c(x)}")
            elif kind < 0.55:
                dz = rnd.choice([2.0, 3.5, 5.0])
                x += step
                z -= dz
                lines.append(f"U{self.c(step)} W{self.c(-dz)}" if rnd.random() < 0.3 else f"X{self.c(x)} Z{self.c(z)}")
            else:
                rr = step / 2  # a quarter round: the diameter grows by 2 rr
                convex = rnd.random() < 0.5
                by_radius = rnd.random() < 0.5
                ez, ex = z - rr, x + 2 * rr
                if convex:  # G03 about (z - rr, x/2)
                    arc = f"G03 X{self.c(ex)} Z{self.c(ez)} " + (f"R{self.c(rr)}" if by_radius else f"I0 K{self.c(-rr)}")
                else:  # G02 about (z, x/2 + rr)
                    arc = f"G02 X{self.c(ex)} Z{self.c(ez)} " + (f"R{self.c(rr)}" if by_radius else f"I{self.c(rr)} K0")
                lines.append(arc)
                lines.append("G01")
                x, z = ex, ez
        lines.append(f"X{self.c(self.stock + 1)}")
        return lines

    def g72_shape(self, depth):
        """A face profile from the deepest face inward to the centre and out past the face."""
        rnd = self.rnd
        lines = [f"G00 Z{self.c(-depth)}"]
        x = self.stock - rnd.choice([2.0, 4.0])
        z = -depth
        lines.append(f"G01 X{self.c(x)}")
        while z < -1.0 and x > 12:
            kind = rnd.random()
            dz = min(-z, rnd.choice([1.5, 2.0, 3.0]))
            dx = min(x - 8, rnd.choice([6.0, 8.0, 10.5]))
            if kind < 0.35:
                z += dz
                lines.append(f"Z{self.c(z)}")
                x -= dx
                lines.append(f"X{self.c(x)}")
            elif kind < 0.7:
                z += dz
                x -= dx
                lines.append(f"X{self.c(x)} Z{self.c(z)}")
            else:
                rr = min(dz, dx / 2)
                ez, ex = z + rr, x - 2 * rr
                by_radius = rnd.random() < 0.5
                if rnd.random() < 0.5:  # G02 about (z, x/2 - rr)
                    arc = f"G02 X{self.c(ex)} Z{self.c(ez)} " + (f"R{self.c(rr)}" if by_radius else f"I{self.c(-rr)} K0")
                else:  # G03 about (z + rr, x/2)
                    arc = f"G03 X{self.c(ex)} Z{self.c(ez)} " + (f"R{self.c(rr)}" if by_radius else f"I0 K{self.c(rr)}")
                lines += [arc, "G01"]
                x, z = ex, ez
        lines.append(f"Z{self.c(1.0)}")
        return lines

    def put_shape(self, lines, numbers):
        ns = nf = None
        for i, text in enumerate(lines):
            n = None
            if numbers is not None:
                if i == 0:
                    n = numbers[0]
                elif i == len(lines) - 1:
                    n = numbers[1]
            elif i == 0 or i == len(lines) - 1:
                n = self.next_n
            if n is None and self.numbered:
                n = self.next_n
            if n is not None and numbers is None:
                self.next_n += 10
            self.put(text, n=n)
            if i == 0:
                ns = n
            nf = n
        return ns, nf

    def rough_and_finish(self):
        rnd = self.rnd
        cycle = rnd.choice([71, 71, 72, 73])
        one_block = rnd.random() < 0.4
        self.comment(f"ROUGHING G{cycle}")
        vc = rnd.choice([None, 160, 200])
        self.tool(vc=vc, rpm=rnd.choice([600, 900, 1200]))
        ax, az = self.stock + 2, 2.0
        self.put(f"G00 X{self.c(ax)} Z{self.c(az)}")
        numbers = self.new_shape_numbers()
        du = rnd.choice([0.4, 0.5, 0.0])
        dw = rnd.choice([0.1, 0.05, 0.0])
        f = self.feed(rnd.choice([0.2, 0.25, 0.3]))
        if cycle == 71:
            shape = self.g71_shape(numbers, rnd.choice([0, 0, 1]), rnd.choice([10.0, 14.5, 20.0]))
        elif cycle == 72:
            shape = self.g72_shape(rnd.choice([6.0, 8.0, 11.5]))
        else:
            shape = self.g71_shape(numbers, 0, rnd.choice([14.0, 20.0]))
        cycle_blocks = []
        if cycle in (71, 72):
            depth = rnd.choice([1.0, 1.5, 2.0, 2.5])
            letter = "U" if cycle == 71 else "W"
            if one_block:
                cycle_blocks.append(f"G{cycle} P{{ns}} Q{{nf}} U{self.c(du)} W{self.c(dw)} D{self.c(depth)} F{f}")
            else:
                if rnd.random() < 0.9:
                    cycle_blocks.append(f"G{cycle} {letter}{self.c(depth)} R{self.c(rnd.choice([0.5, 1.0]))}")
                cycle_blocks.append(f"G{cycle} P{{ns}} Q{{nf}} U{self.c(du)} W{self.c(dw)} F{f}")
        else:
            di, dk, count = rnd.choice([3.0, 4.5]), rnd.choice([0.0, 1.0]), rnd.randint(1, 5)
            if one_block:
                cycle_blocks.append(f"G73 P{{ns}} Q{{nf}} I{self.c(di)} K{self.c(dk)} U{self.c(du)} W{self.c(dw)} D{count} F{f}")
            else:
                cycle_blocks.append(f"G73 U{self.c(di)} W{self.c(dk)} R{count}")
                cycle_blocks.append(f"G73 P{{ns}} Q{{nf}} U{self.c(du)} W{self.c(dw)} F{f}")
        if numbers is None:
            # Every block numbered: the shape's numbers are those its blocks will get.
            ns = self.next_n + 10 * len(cycle_blocks)
            nf = ns + 10 * (len(shape) - 1)
        else:
            ns, nf = numbers
        for text in cycle_blocks:
            self.put(text.format(ns=ns, nf=nf))
        got = self.put_shape(shape, numbers)
        assert got == (ns, nf), (got, ns, nf)
        if rnd.random() < 0.8:
            self.comment("FINISHING")
            if rnd.random() < 0.5:
                self.tool(vc=vc or 220, rpm=1500)
            self.put(f"G00 X{self.c(ax)} Z{self.c(az)}")
            self.put(f"G70 P{ns} Q{nf}" + (f" F{self.feed(0.1)}" if rnd.random() < 0.7 else "")
                     + (f" S{self.surface(250) if vc else 1800}" if rnd.random() < 0.3 else ""))
        self.put(f"G00 X{self.c(self.stock + 10)} Z{self.c(10)}")

    def grooving(self):
        rnd = self.rnd
        self.comment("GROOVING G75")
        self.tool(vc=rnd.choice([None, 120]), rpm=700)
        gz = -rnd.choice([10.0, 15.0, 20.0])
        width = rnd.choice([0.0, 3.0, 6.0])
        bottom = self.stock - rnd.choice([4.0, 6.0, 8.0])
        self.put(f"G00 X{self.c(self.stock + 2)} Z{self.c(gz)}")
        peck, step = rnd.choice([0.0, 1.0, 2.0]), rnd.choice([0.0, 2.5, 3.0])
        z_word = f" Z{self.c(gz - width)}" if width else ""
        if rnd.random() < 0.5:
            if rnd.random() < 0.8:
                self.put(f"G75 R{self.c(rnd.choice([0.3, 0.5, 1.0]))}")
            self.put(f"G75 X{self.c(bottom)}{z_word} P{self.incr(peck)} Q{self.incr(step)} F{self.feed(0.05)}")
        else:
            self.put(f"G75 X{self.c(bottom)}{z_word} I{self.c(peck)} K{self.c(step)} F{self.feed(0.05)}")
        self.put(f"G00 X{self.c(self.stock + 10)}")

    def drilling(self):
        rnd = self.rnd
        self.comment("DRILLING G74")
        self.tool(rpm=rnd.choice([600, 800, 1000]))
        face = rnd.random() < 0.3
        ax = 30.0 if face else 0.0
        self.put(f"G00 X{self.c(ax)} Z{self.c(3)}")
        depth = -rnd.choice([12.0, 20.0, 25.5]) if not face else -4.0
        peck = rnd.choice([0.0, 3.0, 5.0])
        x_word = f"X{self.c(20)} " if face else ""
        step = 2.0 if face else 0.0
        if rnd.random() < 0.5:
            if rnd.random() < 0.8:
                self.put(f"G74 R{self.c(rnd.choice([0.5, 1.0]))}")
            p = f"P{self.incr(step)} " if face else ""
            self.put(f"G74 {x_word}Z{self.c(depth)} {p}Q{self.incr(peck)} F{self.feed(0.1)}")
        else:
            i = f"I{self.c(step)} " if face else ""
            self.put(f"G74 {x_word}Z{self.c(depth)} {i}K{self.c(peck)} F{self.feed(0.1)}")
        self.put(f"G00 Z{self.c(10)}")

    def threading(self):
        rnd = self.rnd
        self.comment("THREADING")
        major = min(self.stock - 4, rnd.choice([16.0, 20.0, 24.0, 30.0]))
        lead = rnd.choice([1.0, 1.5, 2.0])
        height = round(0.6134 * lead, 3)
        root = major - 2 * height
        length = -rnd.choice([15.0, 20.0, 22.5])
        self.tool(rpm=rnd.choice([500, 800, 1000]))
        if rnd.random() < 0.2:
            self.put(f"G96 S{self.surface(120)}")  # threads under G96 too
        kind = rnd.random()
        self.put(f"G00 X{self.c(major + 3)} Z{self.c(5)}")
        if kind < 0.3:
            first = rnd.choice([0.3, 0.35, 0.4])
            self.put(f"G76 P{rnd.randint(1, 3):02d}{rnd.choice([0, 10]):02d}{rnd.choice([60, 55]):02d} "
                     f"Q{self.c(rnd.choice([0.05, 0.1]))} R{self.c(rnd.choice([0.0, 0.02, 0.05]))}")
            self.put(f"G76 X{self.c(root)} Z{self.c(length)} P{self.incr(height)} Q{self.incr(first)} F{self.feed(lead)}")
        elif kind < 0.55:
            self.put(f"G76 X{self.c(root)} Z{self.c(length)} K{self.c(height)} D{self.c(rnd.choice([0.2, 0.3]))} F{self.feed(lead)}")
        elif kind < 0.8:
            taper = f" R{self.c(-rnd.choice([0.5, 1.0]))}" if rnd.random() < 0.3 else ""
            x = major - 0.6
            self.put(f"G92 X{self.c(x)} Z{self.c(length)}{taper} F{self.feed(lead)}")
            while x - 0.4 > root:
                x -= 0.4
                self.put(f"X{self.c(x)}")
            self.put(f"X{self.c(root)}")
            self.put(f"G00 X{self.c(major + 3)}")
        else:
            x = major - 0.5
            self.put(f"G00 X{self.c(x)}")
            self.put(f"G32 Z{self.c(length)} F{self.feed(lead)}")
            self.put(f"G00 X{self.c(major + 3)}")
            self.put(f"Z{self.c(5)}")
            self.put(f"X{self.c(root)}")
            self.put(f"G32 Z{self.c(length)}")
            self.put(f"G00 X{self.c(major + 3)}")
            self.put(f"Z{self.c(5)}")
        if rnd.random() < 0.3:
            self.put("G97")  # keeps the speed the spindle has now
        self.put(f"G00 X{self.c(self.stock + 10)} Z{self.c(10)}")

    def single_cycles(self):
        rnd = self.rnd
        self.comment("G90 G94")
        self.tool(vc=rnd.choice([None, 180]), rpm=1000)
        if rnd.random() < 0.3:
            self.put("G96")  # the last surface speed again
        self.put(f"G00 X{self.c(self.stock + 2)} Z{self.c(2)}")
        x = self.stock - 2
        taper = f" R{self.c(-rnd.choice([1.0, 2.0]))}" if rnd.random() < 0.4 else ""
        self.put(f"G90 X{self.c(x)} Z{self.c(-rnd.choice([15.0, 25.0]))}{taper} F{self.feed(0.25)}")
        for _ in range(rnd.randint(1, 3)):
            if rnd.random() < 0.3:
                self.put(f"U{self.c(-2 - (self.stock + 2 - x))}")
                x -= 2
            else:
                x -= 2
                self.put(f"X{self.c(x)}")
        if rnd.random() < 0.6:
            self.put(f"G00 X{self.c(self.stock + 2)} Z{self.c(2)}")
            taper = f" R{self.c(-rnd.choice([0.5, 1.0]))}" if rnd.random() < 0.4 else ""
            self.put(f"G94 X{self.c(rnd.choice([10.0, 20.0]))} Z{self.c(-1)}{taper} F{self.feed(0.2)}")
            self.put(f"Z{self.c(-2)}")
            if rnd.random() < 0.5:
                self.put(f"W{self.c(-3 - 2)}")
        if rnd.random() < 0.3:
            self.put("G98")
            self.put(f"G01 X{self.c(self.stock + 4)} F{self.feed_per_minute(300)}")
            self.put("G99")
        self.put(f"G00 X{self.c(self.stock + 10)} Z{self.c(10)}")


def random_profiles(rnd):
    """Ten lathes; the last is kept as a machining centre and read with --lathe."""
    profiles = {}
    for slot in range(1, 11):
        profiles[slot] = {
            "機械種類": 0 if slot == 10 else 1,
            "最高回転数": rnd.choice([2000, 2500, 3000, 4000, 6000]),
            "工具交換時間": rnd.choice([0, 1.5, 3, 5, 8]),
            "小数点入力": 1 if slot in (8, 9) else 0,
            "早送り速度": rnd.choice([5000, 8000, 12000, 20000]),
        }
    return profiles


def random_file(rnd, n, calculator):
    if rnd.random() < 0.1:
        # A main program and a subprogram in one file: two rows.
        main = LatheProgram(rnd, 1000 + n, calculator).build("M30-only")
        sub = LatheProgram(rnd, 2000 + n, calculator)
        sub.inch = main.inch
        lines = main.lines + sub.build("M99", opening=False).lines + ["%"]
    else:
        lines = LatheProgram(rnd, 1000 + n, calculator).build(
            rnd.choice(["M30", "M30", "M30", "M02", "percent", "none", "M99"])).lines
    text = "\r\n".join(lines) + "\r\n"
    if rnd.random() < 0.15:
        text = text.replace("\r\n", "\n")
    return text
