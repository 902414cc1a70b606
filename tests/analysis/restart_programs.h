#pragma once
// Random mill and lathe programs of the kinds shops write: tool changes with their length
// offsets and reference returns, work offsets, spindle and coolant, arcs, incremental stretches,
// drilling cycles that switch their return level, feeds per revolution; on a lathe speed limits,
// surface speed, roughing cycles with their shapes after them, single cycles, threading and peck
// cycles. Each program is one program of one file, written as a control reads it.

#include <QByteArray>
#include <QStringList>
#include <cmath>
#include <random>

namespace korvane::test {

class ProgramWriter {
 public:
  explicit ProgramWriter(unsigned seed) : rnd_(seed) {}

  QByteArray mill();
  QByteArray lathe();

 private:
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rnd_); }
  int integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rnd_); }
  bool chance(double p) { return uniform(0, 1) < p; }
  QByteArray c(double lo, double hi) { return QByteArray::number(uniform(lo, hi) * scale_, 'f', inch_ ? 4 : 3); }
  void add(const QByteArray& line) { lines_ << line; }
  QByteArray finish();

  void millTool(int tool);
  void millCuts();
  void drilling();
  void latheTool(int tool);
  void roughing();
  void singleCycle();

  std::mt19937 rnd_;
  QList<QByteArray> lines_;
  bool inch_ = false;
  double scale_ = 1;
  int sequence_ = 10;
};

inline QByteArray ProgramWriter::finish() {
  QByteArray text;
  for (const QByteArray& line : lines_) text += line + "\r\n";
  lines_.clear();
  return text;
}

inline QByteArray ProgramWriter::mill() {
  inch_ = chance(0.2);
  scale_ = inch_ ? 0.05 : 1.0;
  add("%");
  add("O" + QByteArray::number(integer(1000, 8999)) + " (RANDOM MILL)");
  add(QByteArray(inch_ ? "G20" : "G21") + " G90 G17 G94 G40 G49 G80");
  const int tools = integer(1, 4);
  for (int tool = 1; tool <= tools; ++tool) millTool(tool);
  add("M30");
  add("%");
  return finish();
}

inline void ProgramWriter::millTool(int tool) {
  if (chance(0.7)) {
    add("T" + QByteArray::number(tool).rightJustified(2, '0') + " M06");
  } else {
    add("M06 T" + QByteArray::number(tool));  // the T read in the same block
  }
  if (chance(0.3)) add("T" + QByteArray::number(tool + 1));  // the next tool called up
  const QByteArray offset = QByteArray("G5") + QByteArray::number(integer(4, 9));
  add("G00 G90 " + offset + " X" + c(-50, 50) + " Y" + c(-50, 50) + " S" + QByteArray::number(integer(800, 4000)) +
      (chance(0.8) ? " M03" : " M04"));
  add("G43 H" + QByteArray::number(tool) + " Z" + c(20, 60) + (chance(0.6) ? " M08" : ""));
  if (chance(0.3)) add("M07");
  add("G01 Z" + c(-3, 2) + " F" + QByteArray::number(integer(50, 300)));
  millCuts();
  add("G00 Z" + c(20, 60));
  if (chance(0.5)) add("M09");
  if (chance(0.6)) {
    add("G91 G28 Z0" + QByteArray(chance(0.5) ? " M05" : ""));
    if (chance(0.3)) add("G28 X0 Y0");
    add("G90");
  } else if (chance(0.3)) {
    add("G53 Z0");
  }
  if (chance(0.3)) add("G49");
}

inline void ProgramWriter::millCuts() {
  for (int n = integer(8, 30); n > 0; --n) {
    const double r = uniform(0, 1);
    if (r < 0.25) {
      add("G01 X" + c(-80, 80) + " Y" + c(-80, 80) + (chance(0.3) ? " F" + QByteArray::number(integer(50, 800)) : ""));
    } else if (r < 0.35) {
      add("X" + c(-80, 80) + " Y" + c(-80, 80));  // the motion in force
    } else if (r < 0.5) {
      const double i = uniform(-30, 30) * scale_;
      const double j = uniform(-30, 30) * scale_;
      const double rr = std::hypot(i, j);
      const double a = uniform(0, 6.28);
      add(QByteArray(chance(0.5) ? "G91 G02" : "G91 G03") + " X" + QByteArray::number(i + rr * std::cos(a), 'f', 4) + " Y" +
          QByteArray::number(j + rr * std::sin(a), 'f', 4) + " I" + QByteArray::number(i, 'f', 4) + " J" +
          QByteArray::number(j, 'f', 4));
      if (chance(0.5)) add("X" + QByteArray::number(uniform(-5, 5) * scale_, 'f', 4) + " Y" + QByteArray::number(uniform(-5, 5) * scale_, 'f', 4) + " R" + c(10, 20));
      add("G90");
    } else if (r < 0.58) {
      add("G0 X" + c(-80, 80) + " Y" + c(-80, 80) + " Z" + c(2, 30));
      add("Z" + c(0, 2));  // still a rapid
    } else if (r < 0.66) {
      add("G91 G01 Z-" + c(0.5, 3) + " F" + QByteArray::number(integer(40, 120)));
      add("X" + c(-20, 20) + " Y" + c(-20, 20));
      add("G90");
    } else if (r < 0.74) {
      drilling();
    } else if (r < 0.78) {
      add("G95 G01 X" + c(-80, 80) + " F0." + QByteArray::number(integer(5, 30)).rightJustified(2, '0'));
      add("Y" + c(-80, 80));
      add("G94 F200");
    } else if (r < 0.82) {
      add("N" + QByteArray::number(sequence_ += 10) + " M08");
    } else if (r < 0.86) {
      add("G04 P" + QByteArray::number(integer(100, 2000)));
    } else if (r < 0.9) {
      add("S" + QByteArray::number(integer(500, 5000)));
    } else if (r < 0.94) {
      // A contour with cutter compensation: restarts in it are refused.
      add("G41 D1 G01 X" + c(-40, 40) + " Y" + c(-40, 40));
      add("X" + c(-40, 40));
      add("G40 G01 X" + c(-40, 40) + " Y" + c(-40, 40));
    } else {
      add("G18 G91 G02 X" + QByteArray::number(2 * 5 * scale_, 'f', 4) + " Z0 I" + QByteArray::number(5 * scale_, 'f', 4) + " K0");
      add("G90 G17");
    }
  }
}

inline void ProgramWriter::drilling() {
  static const char* const cycles[] = {"G81", "G82", "G83", "G73"};
  const char* cycle = cycles[integer(0, 3)];
  add("G00 Z" + c(10, 30));
  QByteArray words = "X" + c(-60, 60) + " Y" + c(-60, 60) + " R" + c(1, 5) + " Z-" + c(3, 20);
  if (QByteArray(cycle) == "G83" || QByteArray(cycle) == "G73") words += " Q" + c(1, 4);
  if (QByteArray(cycle) == "G82") words += " P" + QByteArray::number(integer(100, 1000));
  add(QByteArray(chance(0.5) ? "G98 " : "G99 ") + cycle + " " + words + " F" + QByteArray::number(integer(50, 200)));
  for (int n = integer(0, 4); n > 0; --n) {
    const double r = uniform(0, 1);
    if (r < 0.6) {
      add("X" + c(-60, 60) + " Y" + c(-60, 60));
    } else if (r < 0.8) {
      add(QByteArray(chance(0.5) ? "G98" : "G99") + " X" + c(-60, 60));
    } else {
      // Incremental: R from the initial level, Z from the R level.
      add("G91 X" + c(5, 10) + " R-" + c(5, 8) + " Z-" + c(3, 8) + " K" + QByteArray::number(integer(2, 3)));
      add("G90 R" + c(1, 5) + " Z-" + c(3, 20));  // a block without a hole inside the cycle
    }
  }
  add("G80 G00 Z" + c(10, 30));
}

inline QByteArray ProgramWriter::lathe() {
  inch_ = chance(0.15);
  scale_ = inch_ ? 0.05 : 1.0;
  add("%");
  add("O" + QByteArray::number(integer(1000, 8999)) + " (RANDOM LATHE)");
  add(QByteArray(inch_ ? "G20" : "G21") + " G40 G99");
  add("G50 S" + QByteArray::number(integer(1500, 3000)));
  if (chance(0.5)) add("G28 U0 W0");
  const int tools = integer(1, 4);
  for (int tool = 1; tool <= tools; ++tool) latheTool(tool);
  add("M30");
  add("%");
  return finish();
}

inline void ProgramWriter::latheTool(int tool) {
  const QByteArray t = QByteArray::number(tool).rightJustified(2, '0');
  add("T" + t + t);
  if (chance(0.6)) {
    add("G96 S" + QByteArray::number(integer(100, 250)) + " M03");
  } else {
    add("G97 S" + QByteArray::number(integer(500, 2000)) + " M03");
  }
  add("G00 X" + c(50, 60) + " Z" + c(2, 5) + (chance(0.5) ? " M08" : ""));
  for (int n = integer(3, 10); n > 0; --n) {
    const double r = uniform(0, 1);
    if (r < 0.3) {
      add("G01 X" + c(20, 48) + " F0." + QByteArray::number(integer(5, 30)).rightJustified(2, '0'));
      add("Z-" + c(5, 40));
      add("G00 X" + c(50, 60));
      add("Z" + c(2, 5));
    } else if (r < 0.45) {
      roughing();
    } else if (r < 0.6) {
      singleCycle();
    } else if (r < 0.68) {
      add("G97 S" + QByteArray::number(integer(300, 800)));
      add("G76 P01" + QByteArray::number(integer(0, 1)) + "060 Q100 R0.05");
      add("G76 X" + c(16, 20) + " Z-" + c(10, 20) + " P" + QByteArray::number(integer(800, 1200)) + " Q300 F1.5");
    } else if (r < 0.76) {
      add("G00 X0 Z" + c(3, 5));
      add("G74 R1.");
      add("G74 Z-" + c(10, 30) + " Q" + QByteArray::number(integer(2000, 5000)) + " F0.1");
      add("G00 X" + c(50, 60));
    } else if (r < 0.84) {
      add("G00 X" + c(20, 30) + " Z" + c(3, 5));
      add("G32 Z-" + c(10, 20) + " F1.5");
      add("G00 X" + c(50, 60));
      add("Z" + c(3, 5));
    } else if (r < 0.9) {
      add("G98 G01 X" + c(20, 48) + " F" + QByteArray::number(integer(50, 200)));
      add("G99");
    } else {
      add("G97");  // the speed the spindle has now
    }
  }
  add("G00 X" + c(100, 200) + " Z" + c(50, 150));
  if (chance(0.3)) add("M09");
  if (chance(0.4)) add("G28 U0 W0");
}

inline void ProgramWriter::roughing() {
  const int ns = sequence_ += 10;
  const int nf = sequence_ += 10;
  add("G00 X" + c(50, 60) + " Z" + c(2, 4));
  add("G71 U" + c(1, 2) + " R0.5");
  add("G71 P" + QByteArray::number(ns) + " Q" + QByteArray::number(nf) + " U0.4 W0.1 F0.25");
  add("N" + QByteArray::number(ns) + " G00 X" + c(15, 20));
  add("G01 Z-" + c(5, 10) + " F0.15");
  add("X" + c(25, 30) + " Z-" + c(12, 15));
  add("Z-" + c(20, 30));
  add("N" + QByteArray::number(nf) + " X" + c(48, 50));
  if (chance(0.5)) add("G70 P" + QByteArray::number(ns) + " Q" + QByteArray::number(nf));  // its shape before it
}

inline void ProgramWriter::singleCycle() {
  add("G00 X" + c(50, 60) + " Z" + c(2, 4));
  if (chance(0.5)) {
    add("G90 X" + c(40, 48) + " Z-" + c(10, 30) + (chance(0.3) ? " R-" + c(0.5, 2) : "") + " F0.2");
  } else {
    add("G94 X" + c(10, 20) + " Z-" + c(0.5, 1) + " F0.15");
  }
  for (int n = integer(1, 3); n > 0; --n) add(chance(0.7) ? "X" + c(30, 48) : "Z-" + c(1, 3));
  add("G00 X" + c(50, 60));
}

}  // namespace korvane::test
