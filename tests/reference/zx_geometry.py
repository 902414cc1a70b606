"""Moves in the ZX plane of a lathe and the time of a feed per revolution along them.

Points are (z, x) with x a radius, so that (z, x) is the plane's (first, second) axis and G02 runs
clockwise in it. Under G96 the spindle turns at n = 1000 Vc / (pi D) up to its limit N, so that
1/n = max(1/N, |x| / k) with k = 1000 Vc / (2 pi): the integral of ds / n along a line or an arc
has a closed form, held here to Simpson's rule (self_test)."""
import math
import random

SAME_POINT = 1e-9  # mm: an arc ending where it starts is a full turn

class Line:
    def __init__(self, p0, p1):
        self.p0, self.p1 = p0, p1
        self.length = math.dist(p0, p1)
        self.end = p1

    def at(self, t):  # t in [0, 1]
        return (self.p0[0] + (self.p1[0] - self.p0[0]) * t, self.p0[1] + (self.p1[1] - self.p0[1]) * t)

    span = 1.0

    def roots(self, axis, value):
        a, b = self.p0[axis], self.p1[axis]
        if a == b:
            return []
        t = (value - a) / (b - a)
        return [t] if 0 <= t <= 1 else []

    def moved(self, dz, dx):
        return Line((self.p0[0] + dz, self.p0[1] + dx), (self.p1[0] + dz, self.p1[1] + dx))


class Arc:
    """An arc about `centre` of radius r, from angle phi0 by a signed sweep (positive counter-
    clockwise); `end` is the programmed end point, where the next move starts."""

    def __init__(self, centre, r, phi0, sweep, end):
        self.centre, self.r, self.phi0, self.sweep, self.end = centre, r, phi0, sweep, end
        self.length = r * abs(sweep)
        self.p0 = self.at(0)
        self.span = abs(sweep)

    def angle(self, t):
        return self.phi0 + math.copysign(t, self.sweep)

    def at(self, t):  # t in [0, |sweep|]
        a = self.angle(t)
        return (self.centre[0] + self.r * math.cos(a), self.centre[1] + self.r * math.sin(a))

    def roots(self, axis, value):
        """The t where the coordinate `axis` (0 z, 1 x) equals value."""
        if self.r == 0:
            return []
        v = (value - self.centre[axis]) / self.r
        if abs(v) > 1:
            return []
        if axis == 1:  # x = xc + r sin a
            base = [math.asin(v), math.pi - math.asin(v)]
        else:  # z = zc + r cos a
            base = [math.acos(v), -math.acos(v)]
        out = []
        direction = 1 if self.sweep >= 0 else -1
        for b in base:
            # t = direction * (a - phi0) mod 2 pi, then every turn within the sweep
            t = (direction * (b - self.phi0)) % (2 * math.pi)
            while t <= self.span + 1e-12:
                out.append(min(t, self.span))
                t += 2 * math.pi
        return sorted(set(out))

    def moved(self, dz, dx):
        return Arc((self.centre[0] + dz, self.centre[1] + dx), self.r, self.phi0, self.sweep,
                   (self.end[0] + dz, self.end[1] + dx))


def arc_by_centre(start, end, dz, dx, clockwise):
    """I (X, radius) and K (Z) from the start; the radius is the start's. An end equal to the
    start sweeps a full turn."""
    centre = (start[0] + dz, start[1] + dx)
    r = math.hypot(dz, dx)
    sweep = 2 * math.pi
    if abs(end[0] - start[0]) > SAME_POINT or abs(end[1] - start[1]) > SAME_POINT:
        sa, sb = -dz, -dx
        ea, eb = end[0] - centre[0], end[1] - centre[1]
        turn = math.atan2(sa * eb - sb * ea, sa * ea + sb * eb)
        sweep = -turn if clockwise else turn
        if sweep <= 0:
            sweep += 2 * math.pi
    phi0 = math.atan2(start[1] - centre[1], start[0] - centre[0])
    return Arc(centre, r, phi0, -sweep if clockwise else sweep, end)


def arc_by_radius(start, end, signed_r, clockwise):
    """The shorter arc for a positive R, the longer for a negative one; an end equal to the start
    is a full turn; a chord longer than the diameter is a half circle over the chord."""
    r = abs(signed_r)
    dz, dx = end[0] - start[0], end[1] - start[1]
    chord = math.hypot(dz, dx)
    if chord <= SAME_POINT:
        centre = (start[0] - r, start[1])
        return Arc(centre, r, 0.0, -2 * math.pi if clockwise else 2 * math.pi, end)
    r = max(r, chord / 2)
    sweep = 2 * math.asin(min(1.0, chord / (2 * r)))
    long_arc = signed_r < 0
    if long_arc:
        sweep = 2 * math.pi - sweep
    h = math.sqrt(max(0.0, r * r - chord * chord / 4))
    mid = (start[0] + dz / 2, start[1] + dx / 2)
    right = (dx / chord, -dz / chord)  # to the right of the chord, going from start to end
    side = 1 if clockwise != long_arc else -1  # a short clockwise arc turns about a centre on the right
    centre = (mid[0] + side * h * right[0], mid[1] + side * h * right[1])
    phi0 = math.atan2(start[1] - centre[1], start[0] - centre[0])
    return Arc(centre, r, phi0, -sweep if clockwise else sweep, end)


# --------------------------------------------------------------------------------------------
# Time of a feed move at F per revolution: the integral of ds / (F n(x)) along it.
# Under G96, 1/n = max(1/N, |x| / k) with x the radius, N the limit and k = 1000 Vc / (2 pi);
# elsewhere 1/n is a constant.

def inverse_speed_primitive(x, a, N, k):
    """An antiderivative G of g(x) = max(1/N, |x|/k) over x, with a = k/N where the two meet."""
    if x > a:
        return a / N + (x * x - a * a) / (2 * k)
    if x < -a:
        return -a / N - (x * x - a * a) / (2 * k)
    return x / N


def line_revolutions(seg, N, k):
    """Closed form of the integral of ds / n along a straight move under G96, in turns."""
    a = k / N
    x0, x1 = seg.p0[1], seg.p1[1]
    if abs(x1 - x0) < 1e-15:
        return seg.length * max(1 / N, abs(x0) / k)
    return seg.length / (x1 - x0) * (inverse_speed_primitive(x1, a, N, k) - inverse_speed_primitive(x0, a, N, k))


def arc_revolutions(seg, N, k):
    """Closed form along an arc: x = xc + r sin(phi), ds = r dphi. The sweep is cut where |x| = k/N;
    within a piece 1/n is 1/N or +-x/k, whose integral over phi is (xc phi - r cos phi)/k."""
    a = k / N
    cuts = [0.0, seg.span]
    for c in (a, -a):
        cuts += seg.roots(1, c)
    cuts = sorted(set(t for t in cuts if 0 <= t <= seg.span))
    xc, r = seg.centre[1], seg.r
    total = 0.0
    for t0, t1 in zip(cuts, cuts[1:]):
        if t1 - t0 <= 0:
            continue
        xm = seg.at((t0 + t1) / 2)[1]
        if abs(xm) <= a:
            total += r * (t1 - t0) / N
            continue
        p0, p1 = sorted((seg.angle(t0), seg.angle(t1)))
        piece = r * (xc * (p1 - p0) - r * (math.cos(p1) - math.cos(p0))) / k
        total += piece if xm > 0 else -piece
    return total


def numeric_revolutions(seg, inverse_speed, pieces=4096):
    """The same integral by the composite Simpson rule over the move's own parameter."""
    if seg.length == 0:
        return 0.0
    h = seg.span / pieces
    ds = seg.length / seg.span
    total = 0.0
    for i in range(pieces + 1):
        w = 1 if i in (0, pieces) else (4 if i % 2 else 2)
        total += w * inverse_speed(seg.at(i * h)[1])
    return total * h / 3 * ds


# --------------------------------------------------------------------------------------------
# The closed forms held to the numbers

def self_test(count=300, seed=1, pieces=4000):
    """The closed-form G96 integrals against Simpson's rule on random lines and arcs, some of them
    crossing the centre and the limit radius."""
    rnd = random.Random(seed)
    worst = 0.0
    for _ in range(count):
        N = rnd.choice([500.0, 2000.0, 4000.0])
        vc = rnd.uniform(20, 300)
        k = 1000 * vc / (2 * math.pi)
        p0 = (rnd.uniform(-50, 50), rnd.uniform(-40, 60))
        if rnd.random() < 0.5:
            p1 = (rnd.uniform(-50, 50), rnd.uniform(-40, 60))
            seg = Line(p0, p1)
        else:
            p1 = (rnd.uniform(-50, 50), rnd.uniform(-40, 60))
            if rnd.random() < 0.5:
                seg = arc_by_radius(p0, p1, rnd.choice([1, -1]) * rnd.uniform(0.5, 1.5) * math.dist(p0, p1), rnd.random() < 0.5)
            else:
                seg = arc_by_centre(p0, p0, rnd.uniform(-30, 30), rnd.uniform(-30, 30), rnd.random() < 0.5)
        if seg.length == 0:
            continue
        exact = line_revolutions(seg, N, k) if isinstance(seg, Line) else arc_revolutions(seg, N, k)
        approx = numeric_revolutions(seg, lambda x: max(1 / N, abs(x) / k), pieces)
        rel = abs(exact - approx) / approx
        worst = max(worst, rel)
        if rel > 1e-6:
            print(f"closed form {exact} against {approx} on {vars(seg)}")
            return 1
    print(f"{count} moves: closed form and Simpson agree within {worst:.2e}")
    return 0
