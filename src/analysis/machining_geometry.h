#pragma once
// Lengths of the moves of an NC program, in input units (0.001 mm). The constants and the
// angle functions are the ones every earlier time estimate of the shop was made with; keeping
// them (π written to 15 digits, the arc cosine through arctan) keeps the figures comparable
// down to the last shown digit.

#include <cmath>
#include <optional>

namespace korvane::machining {

inline constexpr double kRapidRate = 5000;    // mm/min while the motion mode is 0
inline constexpr double kDefaultFeed = 100;   // mm/min in place of a feed of 0
inline constexpr double kInitialFeed = 5000;  // mm/min at the start of every file
inline constexpr double kTapePitch = 2.54;    // mm of tape per character
inline constexpr double kFullTurn = 6.28318530717958;
inline constexpr double kHalfTurn = 3.14159265358979;
inline constexpr double kQuarterTurn = 3.14159265358979 / 2;

struct Point {
  double x = 0;
  double y = 0;
  double z = 0;
};

// Angle of (x, y) in radians: 0 to the right, full turn for (0, 0); the general case lies
// between −π/2 and 3π/2.
double polarAngle(double x, double y);

// Arc cosine of v for |v| <= 1, as arctan(−v / √(1 − v²)) + 2·arctan(1); exactly 0 for v = 1.
double arcCosine(double v);

// Straight move (rapid or linear): the 3-D distance. Inline: most blocks of a program are
// straight moves, and a call would pass both points through memory.
inline double lineLength(const Point& from, const Point& to) {
  const double dx = from.x - to.x;
  const double dy = from.y - to.y;
  const double dz = from.z - to.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Words of an arc block that shape the arc, in input units; nothing for a word not written.
struct ArcWords {
  std::optional<double> r;
  std::optional<double> i;
  std::optional<double> j;
};

// Arc in the XY plane (Z plays no part). `motionMode` 2 runs clockwise, any other arc mode
// counterclockwise. A start equal to the end sweeps a full turn. An R arc whose chord is longer
// than its diameter has no length (0).
double arcLength(const Point& from, const Point& to, double motionMode, const ArcWords& words);

}  // namespace korvane::machining
