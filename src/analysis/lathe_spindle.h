#pragma once
// The spindle of a lathe as the time estimate sees it: a speed in rpm (G97), or a constant
// surface speed (G96) whose speed follows the diameter up to a limit, and the time a move at a
// feed per revolution takes while the speed changes along it.

namespace korvane::lathe {

struct Spindle {
  bool constantSurface = false;  // G96
  double surfaceSpeed = 0;       // m/min under G96; 0 while none is known
  double rpm = 0;                // under G97; 0 while none is known
  double limit = 4000;           // rpm: G50 S, or the machine's top speed

  // rev/min with the tool at `radius` mm from the axis: at most the limit under G96, and the
  // limit wherever no speed is known (or the diameter is 0).
  double rpmAt(double radius) const;

  // ∫ ds / n along a straight move from radius r0 to r1 (its length `length` mm, the radius
  // changing evenly along it), in mm·min/rev: divided by a feed in mm/rev it gives minutes.
  double lineInverseTurns(double r0, double r1, double length) const;

  // The same along an arc about the centre at radius `centreRadius`, with radius `arcRadius`,
  // starting at angle `from` (radians, counted from the Z axis toward X) and turning by
  // `sweep` (signed).
  double arcInverseTurns(double centreRadius, double arcRadius, double from, double sweep) const;
};

}  // namespace korvane::lathe
