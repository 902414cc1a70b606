#pragma once
// The finished shape of a lathe's multiple repetitive cycle: the blocks from N(ns) to N(nf), read
// as they stand, as a path of straight and circular segments in the ZX plane (radius and Z, in
// millimetres), and where a roughing pass along one axis first meets it.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/block_words.h"

namespace korvane::lathe {

struct Spot {
  double r = 0;  // radius
  double z = 0;
};

struct Segment {
  bool rapid = false;  // a G00 block
  bool arc = false;
  bool clockwise = false;
  Spot from;
  Spot to;
  // Arcs: the centre, the radius, the angle of the start point (from the Z axis toward X) and
  // the signed sweep (counterclockwise positive, seen with Z to the right and X up).
  Spot centre;
  double radius = 0;
  double startAngle = 0;
  double sweep = 0;
  const BlockWords* block = nullptr;  // the block it stands for: its F and S, for G70
  std::int64_t ordinal = 0;

  double length() const;
  // The same segment moved by (dr, dz).
  Segment moved(double dr, double dz) const;
};

struct Shape {
  // The ns block's move from the cycle's start point to the shape's first point, then every
  // segment of the shape after it. Empty when the blocks make no path.
  std::vector<Segment> path;
  bool startsWithRapid = true;  // the ns block is G00 (or has no G00/G01)

  bool empty() const { return path.empty(); }
  Spot first() const { return path.front().to; }
  Spot last() const { return path.back().to; }
};

struct ShapeBlock {
  const BlockWords* words;
  std::int64_t ordinal;
};

// How a length word reads: millimetres from the word as written (increment, point, inch).
using LengthOf = std::function<double(const BlockWords&, Address)>;

// Where the X (U) and Z (W) words of a block lead from `from`: X a diameter, U a diameter's
// change; X over U, Z over W. `length` reads a word in millimetres.
template <typename Length>
Spot targetOf(const BlockWords& w, Spot from, const Length& length) {
  Spot to = from;
  if (w.has(Address::X)) {
    to.r = length(w, Address::X) / 2;
  } else if (w.has(Address::U)) {
    to.r = from.r + length(w, Address::U) / 2;
  }
  if (w.has(Address::Z)) {
    to.z = length(w, Address::Z);
  } else if (w.has(Address::W)) {
    to.z = from.z + length(w, Address::W);
  }
  return to;
}

// The arc a G02 (clockwise) or G03 block makes from `from` to `to`: its centre from I (a radius)
// and K, incremental from the start, or its radius R (negative: more than a half turn).
Segment arcOf(const BlockWords& w, Spot from, Spot to, bool clockwise, const LengthOf& lengthOf);

// How many steps of `step` cover `total`: a distance that is a whole number of steps, but for the
// rounding of a unit conversion (inches to millimetres), takes no step more.
inline double stepsToCover(double total, double step) {
  const double steps = total / step;
  const double whole = std::round(steps);
  return std::fabs(steps - whole) < 1e-9 * std::max(1.0, whole) ? whole : std::ceil(steps);
}

// Reads the blocks from ns to nf as a path starting at `start`.
Shape readShape(const std::vector<ShapeBlock>& blocks, Spot start, const LengthOf& lengthOf);

// Where the segments after the first, moved by (dr, dz), first pass from the line on which the
// coordinate along `alongRadius` (the radius, else Z) equals `level`, or from beyond it, to the
// side where `sideOfStart` lies; touching or running along the line is no crossing. The other
// coordinate of that point, or nothing when the path never crosses.
std::optional<double> firstCrossing(const Shape& shape, double dr, double dz, bool alongRadius, double level,
                                    double sideOfStart);

}  // namespace korvane::lathe
