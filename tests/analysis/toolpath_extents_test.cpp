// What the plot draws against what the reading measures, on random mill and lathe programs: the
// bounding box of the SVG's feed paths, read back as another program would (its arcs taken by the
// SVG rules and walked finely), equals the extents of the cutting moves the reading tells, found
// here by walking each arc finely in the view; and the toolpath's own extents equal them too.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QRegularExpression>
#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/program_reading.h"
#include "analysis/toolpath.h"
#include "analysis/toolpath_svg.h"
#include "random_programs.h"

using namespace korvane;

namespace {

constexpr double kWithin = 0.01;  // mm
constexpr int kSteps = 4096;      // points an arc is walked in

struct Bounds {
  double minA = 1e300, maxA = -1e300, minB = 1e300, maxB = -1e300;
  void add(double a, double b) {
    minA = std::min(minA, a);
    maxA = std::max(maxA, a);
    minB = std::min(minB, b);
    maxB = std::max(maxB, b);
  }
  bool empty() const { return minA > maxA; }
};

// The views as the plot's user units have them: the first axis, and the second (upward).
enum class Seen { Top, Front, Side, Iso, Lathe };
std::pair<double, double> seen(Seen view, double x, double y, double z) {
  switch (view) {
    case Seen::Top: return {x, y};
    case Seen::Front: return {x, z};
    case Seen::Side: return {y, z};
    case Seen::Iso: return {(x + y) / std::sqrt(2.0), (-x + y + 2 * z) / std::sqrt(6.0)};
    case Seen::Lathe: return {z, x};
  }
  return {x, y};
}

struct Moves final : ReadingObserver {
  std::vector<Move> cuts;
  void blockRead(std::int64_t, const BlockPlace&, const BlockWords&) override {}
  void block(std::int64_t, const ModalState&, double) override {}
  void move(const Move& m) override {
    if (m.kind == MoveKind::Feed || m.kind == MoveKind::Arc) cuts.push_back(m);
  }
  void rowEnded(const MachiningRow&) override {}
};

// The cutting moves' extents in a view, each arc walked from its start to its end about its
// centre (the radius and the height along the plane's normal blended evenly).
Bounds measured(const std::vector<Move>& cuts, Seen view) {
  Bounds b;
  const auto add = [&](const machining::Point& p) {
    const auto [a, c] = seen(view, p.x, p.y, p.z);
    b.add(a, c);
  };
  for (const Move& m : cuts) {
    add(m.start);
    add(m.end);
    if (m.kind != MoveKind::Arc) continue;
    // The plane's axes (first, second, normal) as coordinates of a point.
    const auto along = [&](const machining::Point& p, int axis) {
      const double xyz[3] = {p.x, p.y, p.z};
      static const int order[3][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};  // XY, ZX, YZ
      return xyz[order[static_cast<int>(m.plane)][axis]];
    };
    const double sa = along(m.start, 0) - along(m.centre, 0), sb = along(m.start, 1) - along(m.centre, 1);
    const double ea = along(m.end, 0) - along(m.centre, 0), eb = along(m.end, 1) - along(m.centre, 1);
    const double a0 = std::atan2(sb, sa);
    double turn = std::atan2(eb, ea) - a0;
    const bool whole = std::fabs(ea - sa) <= 1e-9 && std::fabs(eb - sb) <= 1e-9;
    const double full = 2 * std::numbers::pi;
    if (m.clockwise) turn = -turn;
    turn = std::fmod(turn, full);
    if (turn <= 0) turn += full;
    if (whole) turn = full;
    const double sweep = m.clockwise ? -turn : turn;
    const double r0 = std::hypot(sa, sb), r1 = std::hypot(ea, eb);
    const double n0 = along(m.start, 2), n1 = along(m.end, 2);
    for (int k = 1; k < kSteps; ++k) {
      const double t = static_cast<double>(k) / kSteps;
      const double r = r0 + (r1 - r0) * t, angle = a0 + sweep * t;
      const double u = along(m.centre, 0) + r * std::cos(angle), v = along(m.centre, 1) + r * std::sin(angle);
      const double n = n0 + (n1 - n0) * t;
      switch (m.plane) {
        case machining::Plane::XY: add({u, v, n}); break;
        case machining::Plane::ZX: add({v, n, u}); break;
        case machining::Plane::YZ: add({n, u, v}); break;
      }
    }
  }
  return b;
}

// The bounding box of the <path class="feed"> elements, as an SVG reader finds it: M and L
// points, and every A arc turned into its centre form (SVG 1.1, appendix F.6.5) and walked.
Bounds feedBounds(const QByteArray& svg) {
  Bounds b;
  static const QRegularExpression element(QStringLiteral("<path class=\"feed\"[^>]* d=\"([^\"]*)\""));
  static const QRegularExpression token(QStringLiteral("[MLA]|-?[0-9.]+"));
  auto elements = element.globalMatch(QString::fromUtf8(svg));
  while (elements.hasNext()) {
    const QString data = elements.next().captured(1);
    QStringList t;
    for (auto m = token.globalMatch(data); m.hasNext();) t << m.next().captured(0);
    double x = 0, y = 0;
    for (qsizetype i = 0; i < t.size();) {
      const QString command = t[i++];
      if (command == QLatin1String("M") || command == QLatin1String("L")) {
        x = t[i++].toDouble();
        y = t[i++].toDouble();
        b.add(x, -y);
        continue;
      }
      EXPECT_EQ(command, QLatin1String("A"));
      double rx = t[i++].toDouble(), ry = t[i++].toDouble();
      const double phi = t[i++].toDouble() * std::numbers::pi / 180;
      const bool large = t[i++] == QLatin1String("1"), sweep = t[i++] == QLatin1String("1");
      const double x2 = t[i++].toDouble(), y2 = t[i++].toDouble();
      const double c = std::cos(phi), s = std::sin(phi);
      const double x1p = c * (x - x2) / 2 + s * (y - y2) / 2, y1p = -s * (x - x2) / 2 + c * (y - y2) / 2;
      const double lambda = x1p * x1p / (rx * rx) + y1p * y1p / (ry * ry);
      if (lambda > 1) {
        rx *= std::sqrt(lambda);
        ry *= std::sqrt(lambda);
      }
      const double num = rx * rx * ry * ry - rx * rx * y1p * y1p - ry * ry * x1p * x1p;
      const double den = rx * rx * y1p * y1p + ry * ry * x1p * x1p;
      const double coef = (large != sweep ? 1 : -1) * std::sqrt(std::max(0.0, num / den));
      const double cxp = coef * rx * y1p / ry, cyp = -coef * ry * x1p / rx;
      const double cx = c * cxp - s * cyp + (x + x2) / 2, cy = s * cxp + c * cyp + (y + y2) / 2;
      const double theta = std::atan2((y1p - cyp) / ry, (x1p - cxp) / rx);
      double delta = std::atan2((-y1p - cyp) / ry, (-x1p - cxp) / rx) - theta;
      if (!sweep && delta > 0) delta -= 2 * std::numbers::pi;
      if (sweep && delta < 0) delta += 2 * std::numbers::pi;
      for (int k = 0; k <= kSteps; ++k) {
        const double a = theta + delta * k / kSteps;
        b.add(cx + rx * c * std::cos(a) - ry * s * std::sin(a), -(cy + rx * s * std::cos(a) + ry * c * std::sin(a)));
      }
      x = x2;
      y = y2;
    }
  }
  return b;
}

void expectSame(const Bounds& drawn, const Bounds& truth, const std::string& what) {
  ASSERT_FALSE(truth.empty()) << what;
  EXPECT_NEAR(drawn.minA, truth.minA, kWithin) << what << " min of the first axis";
  EXPECT_NEAR(drawn.maxA, truth.maxA, kWithin) << what << " max of the first axis";
  EXPECT_NEAR(drawn.minB, truth.minB, kWithin) << what << " min of the second axis";
  EXPECT_NEAR(drawn.maxB, truth.maxB, kWithin) << what << " max of the second axis";
}

void checkProgram(const QByteArray& program, const MachineModel& machine, const std::vector<Seen>& views,
                  const std::string& name) {
  Moves moves;
  readProgramBytes(program, QStringLiteral("p.nc"), machine, moves);
  const std::unique_ptr<Toolpath> path = readToolpathBytes(program, machine);
  for (const Seen view : views) {
    const Bounds truth = measured(moves.cuts, view);
    toolpath::SvgOptions options;
    options.view = static_cast<toolpath::View>(view);
    QBuffer svg;
    svg.open(QIODevice::WriteOnly);
    ASSERT_TRUE(toolpath::writeSvg(*path, options, svg));
    const std::string what = name + " view " + std::to_string(static_cast<int>(view));
    expectSame(feedBounds(svg.data()), truth, what + " (SVG)");
    const toolpath::Box2 own = path->viewExtents(options.view, true);
    Bounds model;
    model.add(own.minA, own.minB);
    model.add(own.maxA, own.maxB);
    expectSame(model, truth, what + " (the toolpath's extents)");
  }
}

}  // namespace

TEST(ToolpathExtents, FeedPathsOfRandomMillProgramsBoundTheCuttingMoves) {
  for (unsigned seed = 1; seed <= 25; ++seed) {
    const QByteArray program = test::RandomProgram(seed).mill(70);
    checkProgram(program, MachineModel{}, {Seen::Top, Seen::Front, Seen::Side, Seen::Iso}, "mill seed " + std::to_string(seed));
    if (HasFailure()) {
      ADD_FAILURE() << program.toStdString();
      return;
    }
  }
}

TEST(ToolpathExtents, FeedPathsOfRandomLatheProgramsBoundTheCuttingMoves) {
  MachineModel lathe;
  lathe.kind = MachineModel::Kind::Lathe;
  for (unsigned seed = 1; seed <= 25; ++seed) {
    const QByteArray program = test::RandomProgram(seed).lathe(25);
    checkProgram(program, lathe, {Seen::Lathe}, "lathe seed " + std::to_string(seed));
    if (HasFailure()) {
      ADD_FAILURE() << program.toStdString();
      return;
    }
  }
}
