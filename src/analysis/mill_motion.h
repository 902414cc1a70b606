#pragma once
// Follows the moves of a mill program block by block as a Fanuc-style control makes them, and
// adds up their time and cutting length: modal G code groups (motion, plane, distance, units,
// feed mode, drilling return level), feeds per minute or per revolution, arcs and helices in
// any plane, dwells, drilling cycles, reference point returns and machine coordinate moves.

#include "analysis/block_words.h"
#include "analysis/machining_geometry.h"

namespace korvane {

class MillMotion {
 public:
  struct Totals {
    double minutes = 0;
    double cuttingMillimetres = 0;
  };

  explicit MillMotion(double rapidRate = machining::kDefaultRapidRate) : rapidRate_(rapidRate) {}

  // Every file starts from G90 G17 G21 G94 G98, rapid, position 0 and the initial feed.
  void reset();

  // Carries out one block, adding its moves and dwells to `totals`.
  void apply(const BlockWords& words, Totals& totals);


 private:
  // A length word in millimetres: a value without a decimal point is in the least input
  // increment (0.001 mm, or 0.0001 inch under G20).
  double length(const BlockWords& w, Address a) const {
    // A value written with a point is multiplied by 1, exactly, rather than asked about: whether
    // a word has one follows no pattern.
    const double value = w.number(a) * incrementScale_[w.hasPoint(a)];
    return inch_ ? value * machining::kMillimetresPerInch : value;
  }
  // Where the axis words of the block lead: absolute or incremental, unwritten axes staying.
  machining::Point target(const BlockWords& w) const;
  bool hasAxisWord(const BlockWords& w) const { return w.has(Address::X) || w.has(Address::Y) || w.has(Address::Z); }
  double feedRate() const {  // mm/min
    const double rate = perRevolution_ ? feed_ * spindle_ : feed_;
    return rate > 0 ? rate : machining::kDefaultFeed;
  }

  void rapid(const machining::Point& to, Totals& totals);
  void feed(const machining::Point& to, Totals& totals);
  void dwell(double seconds, Totals& totals) const;

  void setModes(const BlockWords& w);
  void oneShot(const BlockWords& w, Totals& totals);
  void arc(const BlockWords& w, const machining::Point& to, Totals& totals);
  // Drilling cycles (mill_cycles.cpp).
  void drill(const BlockWords& w, Totals& totals);
  void drillHole(const machining::Point& hole, double rLevel, double bottom, double clear, Totals& totals);
  void peck(double rLevel, double bottom, bool fullRetract, Totals& totals);

  double rapidRate_;
  machining::Point position_;
  int motion_ = 0;       // 0-3
  int cycle_ = 0;        // 73, 74, 76, 81-89 while a drilling cycle is active, else 0
  machining::Plane plane_ = machining::Plane::XY;
  bool absolute_ = true;
  bool inch_ = false;
  double incrementScale_[2] = {0.001, 1.0};  // a length word without a point, with one
  bool perRevolution_ = false;
  bool returnToR_ = false;  // G99; G98 returns to the initial level
  double feed_ = machining::kInitialFeed;  // mm/min, or mm per revolution under G95
  double spindle_ = 0;                     // rev/min
  // Drilling data, kept from block to block while the cycle lasts.
  double initialLevel_ = 0;
  double rWord_ = 0;       // mm, as written: a level (G90) or a distance from the initial level (G91)
  double zWord_ = 0;       // mm, as written: a level (G90) or a distance from the R level (G91)
  double peckDepth_ = 0;   // Q, mm
  double dwellSeconds_ = 0;  // P
};

}  // namespace korvane
