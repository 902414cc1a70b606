#pragma once
// Random NC programs for the property tests of the toolpath: a machining centre's (lines,
// rapids, arcs by R and by centre in all three planes, full circles, helices, incremental moves,
// drilling cycles, tool changes) and a lathe's (lines, arcs, single cycles, G71/G72 with their
// shapes, G70, G74, G76). Arcs by centre end on their circle to the written 0.001 mm, a few up to
// 0.05 mm off it (as lenient controls take them). Lines end
// in CR LF, LF or CR at random, with blank lines, comments in Shift-JIS and lines of one
// character between them, as received programs hold them.

#include <QByteArray>
#include <cmath>
#include <numbers>
#include <random>
#include <string>

namespace korvane::test {

class RandomProgram {
 public:
  explicit RandomProgram(unsigned seed) : rnd_(seed) {}

  QByteArray mill(int blocks);
  QByteArray lathe(int blocks);

 private:
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rnd_); }
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rnd_); }
  bool chance(double p) { return uniform(0, 1) < p; }
  static std::string num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::round(v * 1000) / 1000);
    std::string s = text;
    while (s.back() == '0') s.pop_back();  // X10. as a program writes it
    return s == "-0." ? "0." : s;
  }
  void line(const std::string& text);

  std::mt19937 rnd_;
  QByteArray out_;
};

inline void RandomProgram::line(const std::string& text) {
  out_ += QByteArray::fromStdString(text);
  const int ending = pick(0, 9);
  out_ += ending < 6 ? "\r\n" : ending < 9 ? "\n" : "\r";
  if (chance(0.03)) out_ += "\r\n";                            // a blank line
  if (chance(0.03)) out_ += "\n";
  if (chance(0.02)) out_ += "(\x83\x65\x83\x58\x83\x67)\r\n";  // (テスト)
  if (chance(0.02)) out_ += chance(0.5) ? "/\n" : "/\r\n";      // one character
}

inline QByteArray RandomProgram::mill(int blocks) {
  out_ = "%\r\n";
  line("O1 (RANDOM)");
  line("G90 G17 G21 G40 G80");
  line("T1 M06");
  double x = uniform(-50, 50), y = uniform(-50, 50), z = 5;
  line("G00 X" + num(x) + " Y" + num(y) + " Z" + num(z));
  bool absolute = true;
  int plane = 17;
  for (int i = 0; i < blocks; ++i) {
    const int kind = pick(0, 11);
    if (kind <= 2) {
      const double nx = uniform(-80, 80), ny = uniform(-80, 80), nz = uniform(-5, 2);
      if (absolute) {
        line("G01 X" + num(nx) + " Y" + num(ny) + (chance(0.3) ? " Z" + num(nz) : "") + " F" + std::to_string(pick(50, 900)));
        x = std::round(nx * 1000) / 1000;
        y = std::round(ny * 1000) / 1000;
      } else {
        const double dx = std::round(uniform(-20, 20) * 1000) / 1000, dy = std::round(uniform(-20, 20) * 1000) / 1000;
        line("G01 X" + num(dx) + " Y" + num(dy) + " F300");
        x += dx;
        y += dy;
      }
    } else if (kind == 3) {
      line("G00 Z" + num(uniform(2, 30)));
      const double nx = uniform(-80, 80), ny = uniform(-80, 80);
      line(std::string(absolute ? "" : "G90 ") + "G00 X" + num(nx) + " Y" + num(ny));
      absolute = true;
      x = std::round(nx * 1000) / 1000;
      y = std::round(ny * 1000) / 1000;
      line("G01 Z" + num(uniform(-4, 0)) + " F100");
    } else if (kind <= 6) {
      // An arc by its centre in the XY plane, ending on its circle; now and then a helix, now
      // and then a whole circle.
      if (plane != 17) line("G17");
      plane = 17;
      const double r = uniform(1, 40), from = uniform(0, 2 * std::numbers::pi);
      const double cx = x - r * std::cos(from), cy = y - r * std::sin(from);
      const std::string g = chance(0.5) ? "G02" : "G03";
      const std::string centre = " I" + num(cx - x) + " J" + num(cy - y);
      if (chance(0.15)) {
        line(g + centre + (chance(0.5) ? " Z" + num(uniform(-6, 0)) : ""));
        continue;
      }
      const double to = uniform(0, 2 * std::numbers::pi);
      const double off = chance(0.2) ? uniform(-0.05, 0.05) : 0;  // an end a little off the circle
      const double ex = cx + (r + off) * std::cos(to), ey = cy + (r + off) * std::sin(to);
      line(std::string(absolute ? "" : "G90 ") + g + " X" + num(ex) + " Y" + num(ey) + centre +
           (chance(0.2) ? " Z" + num(uniform(-6, 0)) : "") + " F" + std::to_string(pick(80, 600)));
      absolute = true;
      x = std::round(ex * 1000) / 1000;
      y = std::round(ey * 1000) / 1000;
    } else if (kind == 7) {
      // An arc by its radius, short or long, in any plane.
      plane = pick(0, 2) == 0 ? 17 : pick(0, 1) ? 18 : 19;
      const double nx = x + uniform(-30, 30), ny = y + uniform(-30, 30), nz = uniform(-5, 5);
      const double chord = plane == 17 ? std::hypot(nx - x, ny - y) : 10;
      const double r = chord / 2 + uniform(0.5, 30);
      std::string words = plane == 17 ? " X" + num(nx) + " Y" + num(ny)
                          : plane == 18 ? " X" + num(nx) + " Z" + num(nz)
                                        : " Y" + num(ny) + " Z" + num(nz);
      line("G" + std::to_string(plane) + (absolute ? "" : " G90") + (chance(0.5) ? " G02" : " G03") + words +
           " R" + num(chance(0.3) ? -r : r));
      absolute = true;
      if (plane != 19) x = std::round(nx * 1000) / 1000;
      if (plane != 18) y = std::round(ny * 1000) / 1000;
    } else if (kind == 8) {
      absolute = !absolute;
      line(absolute ? "G90" : "G91");
    } else if (kind == 9) {
      const double hx = uniform(-60, 60), hy = uniform(-60, 60);
      line(std::string(absolute ? "" : "G90 ") + (chance(0.5) ? "G98" : "G99") + (chance(0.5) ? " G81" : " G83 Q" + num(uniform(0.5, 3))) +
           " X" + num(hx) + " Y" + num(hy) + " Z" + num(uniform(-15, -1)) + " R" + num(uniform(1, 4)) + " F100");
      absolute = true;
      x = std::round(hx * 1000) / 1000;
      y = std::round(hy * 1000) / 1000;
      if (chance(0.5)) {
        const double nx = uniform(-60, 60), ny = uniform(-60, 60);
        line("X" + num(nx) + " Y" + num(ny));
        x = std::round(nx * 1000) / 1000;
        y = std::round(ny * 1000) / 1000;
      }
      line("G80");
    } else if (kind == 10) {
      line("T" + std::to_string(pick(1, 12)) + " M06");
    } else {
      const double nx = uniform(-80, 80), ny = uniform(-80, 80);
      line(std::string(absolute ? "" : "G90 ") + "G00 X" + num(nx) + " Y" + num(ny) + " Z" + num(uniform(5, 40)));
      absolute = true;
      x = std::round(nx * 1000) / 1000;
      y = std::round(ny * 1000) / 1000;
    }
  }
  line("M30");
  out_ += "%\r\n";
  return out_;
}

inline QByteArray RandomProgram::lathe(int blocks) {
  out_ = "%\r\n";
  line("O2 (RANDOM TURNING)");
  line("G50 S2500");
  line("T0101");
  line("G00 X" + num(uniform(40, 80)) + " Z2.");
  line("G96 S" + std::to_string(pick(80, 250)) + " M03");
  int shapes = 0;
  for (int i = 0; i < blocks; ++i) {
    const int kind = pick(0, 9);
    if (kind <= 2) {
      line("G01 X" + num(uniform(0, 80)) + " Z" + num(uniform(-60, 2)) + " F" + num(uniform(0.05, 0.4)));
    } else if (kind == 3) {
      line("G00 X" + num(uniform(10, 90)) + " Z" + num(uniform(-10, 5)));
    } else if (kind == 4) {
      line(std::string(chance(0.5) ? "G02" : "G03") + " X" + num(uniform(0, 80)) + " Z" + num(uniform(-60, 0)) + " R" +
           num(uniform(40, 80)));
    } else if (kind == 5) {
      line("G00 X" + num(uniform(60, 90)) + " Z2.");
      line(std::string(chance(0.5) ? "G90" : "G94") + " X" + num(uniform(20, 55)) + " Z" + num(uniform(-40, -5)) + " F0.2");
      if (chance(0.5)) line("X" + num(uniform(15, 50)));
      line("G00 X" + num(uniform(60, 90)));
    } else if (kind <= 7) {
      // A shape to rough out, then to finish.
      const int ns = 100 + 10 * (shapes++ % 50) * 2;
      const double d0 = uniform(10, 30), z1 = uniform(-20, -5), d1 = d0 + uniform(5, 20), z2 = z1 - uniform(5, 20);
      line("G00 X" + num(d1 + uniform(5, 20)) + " Z2.");
      const bool facing = chance(0.3);
      line(std::string(facing ? "G72 W" : "G71 U") + num(uniform(0.5, 2.5)) + " R0.5");
      line(std::string(facing ? "G72" : "G71") + " P" + std::to_string(ns) + " Q" + std::to_string(ns + 10) +
           " U0.4 W0.1 F0.25");
      line("N" + std::to_string(ns) + " G00 X" + num(d0));
      line("G01 Z" + num(z1));
      line((chance(0.5) ? "G02 X" : "G03 X") + num(d1) + " Z" + num(z1 - (d1 - d0) / 2) + " R" + num((d1 - d0) / 2));
      line("G01 Z" + num(z2));
      line("N" + std::to_string(ns + 10) + " X" + num(d1 + 10));
      if (chance(0.7)) line("G70 P" + std::to_string(ns) + " Q" + std::to_string(ns + 10) + " F0.1");
    } else if (kind == 8) {
      line("G00 X" + num(uniform(30, 60)) + " Z2.");
      if (chance(0.5)) {
        line("G76 P010060 Q100 R0.05");
        line("G76 X" + num(uniform(15, 28)) + " Z" + num(uniform(-30, -10)) + " P900 Q300 F1.5");
      } else {
        line("G74 R0.5");
        line("G74 X0 Z" + num(uniform(-25, -5)) + " Q3000 F0.1");
      }
    } else {
      line("T0" + std::to_string(pick(1, 9)) + "0" + std::to_string(pick(1, 9)));
    }
  }
  line("G00 X100. Z100.");
  line("M30");
  out_ += "%\r\n";
  return out_;
}

}  // namespace korvane::test
