#include "analysis/toolpath_svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <numbers>

#include "analysis/toolpath_style.h"

namespace korvane::toolpath {

namespace {

// Chords of helices and spirals stay this close to them, in millimetres.
constexpr double kChordTolerance = 0.001;
// A path element is closed once its data grows past this; the next one carries on.
constexpr qsizetype kPathBytes = 64 * 1024;

void appendNumber(QByteArray& to, double value) {
  char text[40];
  if (std::fabs(value) < 5e-5) value = 0;  // no "-0"
  const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
  if (error != std::errc{}) {
    to += '0';
    return;
  }
  char* last = end;
  while (last > text && last[-1] == '0') --last;
  if (last > text && last[-1] == '.') --last;
  to.append(text, static_cast<qsizetype>(last - text));
}

QByteArray colourText(std::uint32_t rgb) {
  return '#' + QByteArray::number(rgb | 0x1000000u, 16).mid(1).toUpper();
}

QByteArray escaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

// One <path> element being filled: a class, a colour and data with the point it has reached.
class PathElement {
 public:
  PathElement(QIODevice& out, QByteArray cls, QByteArray attributes)
      : out_(out), class_(std::move(cls)), attributes_(std::move(attributes)) {}
  // Writes what is left; false when any write failed.
  bool finish() {
    flush();
    return ok_;
  }

  void moveTo(double a, double b) {
    if (data_.size() > kPathBytes) flush();
    if (open_ && a == a_ && b == b_) return;
    data_ += 'M';
    point(a, b);
  }
  void lineTo(double a, double b) {
    data_ += 'L';
    point(a, b);
  }
  void arcTo(double rx, double ry, double rotationDegrees, bool large, bool sweep, double a, double b) {
    data_ += 'A';
    appendNumber(data_, rx);
    data_ += ' ';
    appendNumber(data_, ry);
    data_ += ' ';
    appendNumber(data_, rotationDegrees);
    data_ += large ? " 1 " : " 0 ";
    data_ += sweep ? "1 " : "0 ";
    appendNumber(data_, a);
    data_ += ' ';
    appendNumber(data_, -b);
    a_ = a;
    b_ = b;
  }

 private:
  void point(double a, double b) {
    appendNumber(data_, a);
    data_ += ' ';
    appendNumber(data_, -b);
    open_ = true;
    a_ = a;
    b_ = b;
  }
  void flush() {
    if (!data_.isEmpty()) {
      const QByteArray element = "<path class=\"" + class_ + '"' + attributes_ + " d=\"" + data_ + "\"/>\n";
      ok_ = out_.write(element) == element.size() && ok_;
    }
    data_.clear();
    open_ = false;
  }

  QIODevice& out_;
  QByteArray class_;
  QByteArray attributes_;
  QByteArray data_;
  bool open_ = false;
  double a_ = 0;
  double b_ = 0;
  bool ok_ = true;
};

// The arc as the view shows it: SVG arcs where it is an ellipse (a circle seen at an angle, a
// circle head on), lines where it is seen edge on, chords where it climbs toward the viewer.
// An arc whose end lies off its circle (the control blends the radius from one to the other)
// is drawn in pieces, each an SVG arc of the radius half way along it, split where the blended
// arc turns; an end more than kFarOff from the circle, which no control accepts, in at most
// kMostPieces pieces a quarter turn.
void addArc(PathElement& element, const Toolpath& path, std::size_t i, const ViewAxes& axes) {
  constexpr double kRadiusStep = 0.005;  // mm of radius change a piece
  constexpr double kFarOff = 2;           // mm
  constexpr int kMostPieces = 4;
  const Arc arc = path.arc(i);
  // The last piece ends exactly where the move does, so that the next move carries on from it.
  const auto pointAt = [&](double angle) { return project(angle == arc.sweep ? path.end(i) : arc.at(angle), axes); };
  const auto onScreen = [&](const Point& d) { return ViewPoint{dot(d, axes.right), -dot(d, axes.up)}; };
  const ViewPoint u = onScreen(arc.u);
  const ViewPoint v = onScreen(arc.v);
  const ViewPoint n = onScreen(arc.n);
  std::vector<double> angles;
  if (std::fabs(arc.endN - arc.startN) * std::sqrt(n.a * n.a + n.b * n.b) > 1e-6) {
    chordAngles(arc, kChordTolerance, axes.right, axes.up, angles);
    for (const double angle : angles) {
      const ViewPoint p = pointAt(angle);
      element.lineTo(p.a, p.b);
    }
    return;
  }
  appendTurningAngles(arc, axes.right, angles);
  appendTurningAngles(arc, axes.up, angles);
  const double winding = std::fabs(arc.endRadius - arc.startRadius);
  if (winding > kRadiusStep) {
    const double quarters = std::max(1.0, std::fabs(arc.sweep) / (std::numbers::pi / 2));
    const double wanted = std::ceil(winding / kRadiusStep);
    const int pieces = static_cast<int>(winding > kFarOff ? std::min(wanted, kMostPieces * quarters) : wanted);
    for (int k = 1; k < pieces; ++k) angles.push_back(arc.sweep * k / pieces);
  }
  const bool forward = arc.sweep >= 0;
  std::sort(angles.begin(), angles.end(), [forward](double x, double y) { return forward ? x < y : x > y; });
  angles.push_back(arc.sweep);
  // The unit circle of the arc's plane on the screen (y downward) is the image of [u v]; its
  // singular values and rotation give the ellipse.
  const double a = u.a, b = v.a, c = u.b, d = v.b;
  const double e = (a + d) / 2, f = (a - d) / 2, g = (c + b) / 2, h = (c - b) / 2;
  const double q = std::sqrt(e * e + h * h), r = std::sqrt(f * f + g * g);
  const double rotation = (std::atan2(h, e) + std::atan2(g, f)) / 2 * 180 / std::numbers::pi;
  const bool sweepFlag = (arc.sweep > 0) == (q * q - r * r > 0);
  const auto radiusAt = [&](double angle) {
    return arc.startRadius + (arc.endRadius - arc.startRadius) * (arc.sweep != 0 ? angle / arc.sweep : 0);
  };
  double from = 0;
  for (const double angle : angles) {
    const ViewPoint p = pointAt(angle);
    const double radius = (radiusAt(from) + radiusAt(angle)) / 2;
    const double rx = radius * (q + r);
    const double ry = radius * std::fabs(q - r);
    if (ry < 1e-7 || rx < 1e-7) {
      element.lineTo(p.a, p.b);  // edge on: the turning points and the end draw it
    } else {
      element.arcTo(rx, ry, rotation, std::fabs(angle - from) > std::numbers::pi, sweepFlag, p.a, p.b);
    }
    from = angle;
  }
}

// Writes the moves of one kind in [from, to) as path elements of `cls`, one per tool for cuts.
bool writeMoves(QIODevice& out, const Toolpath& path, const ViewAxes& axes, Toolpath::Kind kind, std::size_t from,
                std::size_t to, const QByteArray& cls) {
  std::map<int, std::unique_ptr<PathElement>> elements;
  const auto elementFor = [&](int tool) -> PathElement& {
    const int key = kind == Toolpath::Kind::Cut ? tool : -1;
    auto& element = elements[key];
    if (!element) {
      QByteArray attributes;
      if (kind == Toolpath::Kind::Cut) {
        attributes = " data-tool=\"" + QByteArray::number(tool) + "\" stroke=\"" + colourText(toolColour(tool)) + '"';
      }
      element = std::make_unique<PathElement>(out, cls, attributes);
    }
    return *element;
  };
  for (std::size_t i = from; i < to; ++i) {
    const Toolpath::Move& m = path.move(i);
    if (m.kind != kind) continue;
    PathElement& element = elementFor(m.tool);
    const ViewPoint s = project(path.start(i), axes);
    element.moveTo(s.a, s.b);
    if (m.flags & Toolpath::kArc) {
      addArc(element, path, i, axes);
    } else {
      const ViewPoint e = project(path.end(i), axes);
      element.lineTo(e.a, e.b);
    }
  }
  bool ok = true;
  for (auto& entry : elements) ok = entry.second->finish() && ok;
  return ok;
}

QByteArray viewName(View view) {
  switch (view) {
    case View::Front: return "front (X right, Z up)";
    case View::Side: return "side (Y right, Z up)";
    case View::Iso: return "iso (seen from X+ Y- Z+, Z up)";
    case View::Lathe: return "lathe (Z right, X radius up)";
    case View::Top: break;
  }
  return "top (X right, Y up)";
}

}  // namespace

bool writeSvg(const Toolpath& path, const SvgOptions& options, QIODevice& out) {
  const ViewAxes axes = axesOf(options.view);
  Box2 box = path.viewExtents(options.view, false);
  if (options.view == View::Lathe && !box.empty()) box.add(box.minA, 0);  // the centre line shows
  if (box.empty()) box.add(0, 0);
  const double size = std::max({box.width(), box.height(), 1.0});
  const double margin = size * 0.04;
  QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"";
  head += " width=\"" + QByteArray::number(options.width) + "\" height=\"" + QByteArray::number(options.height) + '"';
  // The drawing's frame, left, top (SVG's y grows downward), width and height: the view box and
  // the background are the same rectangle.
  const double frame[] = {box.minA - margin, -(box.maxB + margin), box.width() + 2 * margin, box.height() + 2 * margin};
  head += " viewBox=\"";
  for (int i = 0; i < 4; ++i) {
    if (i > 0) head += ' ';
    appendNumber(head, frame[i]);
  }
  head += "\">\n<title>" + escaped(options.title) + "</title>\n";
  head += "<desc>Toolpath, view " + viewName(options.view) +
          ". User units are millimetres of the program; x is the view's first axis, y is minus its second "
          "(upward) axis. class feed: cutting moves (drilling and lathe cycles included), class rapid: rapid "
          "moves";
  if (options.untilBlock) head += "; later-feed and later-rapid: the moves after the chosen block";
  head += ".</desc>\n";
  head += "<style>path{fill:none;stroke-linejoin:round;stroke-linecap:round;vector-effect:non-scaling-stroke}"
          ".feed,.later-feed{stroke-width:1.5}.rapid,.later-rapid{stroke:" +
          colourText(kRapidColour) +
          ";stroke-width:1;stroke-dasharray:4 3}.later-feed,.later-rapid{opacity:0.25}"
          ".centre-line{stroke:" +
          colourText(kCentreLineColour) + ";stroke-width:1;stroke-dasharray:12 3 2 3}</style>\n";
  for (int i = 0; const char* field : {"<rect x=\"", "\" y=\"", "\" width=\"", "\" height=\""}) {
    head += field;
    appendNumber(head, frame[i++]);
  }
  head += "\" fill=\"" + colourText(kBackground) + "\"/>\n";
  if (options.view == View::Lathe) {
    head += "<path class=\"centre-line\" d=\"M";
    appendNumber(head, box.minA - margin);
    head += " 0L";
    appendNumber(head, box.maxA + margin);
    head += " 0\"/>\n";
  }
  if (out.write(head) != head.size()) return false;

  const std::size_t all = path.moveCount();
  const std::size_t drawn = options.untilBlock ? path.movesThrough(*options.untilBlock) : all;
  if (drawn < all) {
    if (out.write("<g class=\"later\">\n") < 0) return false;
    if (!writeMoves(out, path, axes, Toolpath::Kind::Rapid, drawn, all, "later-rapid")) return false;
    if (!writeMoves(out, path, axes, Toolpath::Kind::Cut, drawn, all, "later-feed")) return false;
    if (out.write("</g>\n") < 0) return false;
  }
  if (!writeMoves(out, path, axes, Toolpath::Kind::Rapid, 0, drawn, "rapid")) return false;
  if (!writeMoves(out, path, axes, Toolpath::Kind::Cut, 0, drawn, "feed")) return false;
  const QByteArray tail = "</svg>\n";
  return out.write(tail) == tail.size();
}

}  // namespace korvane::toolpath
