#include "ui/paint/toolpath_painter.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "analysis/toolpath_style.h"

namespace korvane::toolpath {

namespace {

constexpr std::size_t kBatch = 4096;          // lines handed to QPainter at once
constexpr std::size_t kBetweenChecks = 16384;  // lines drawn between looks at `stop`
// Arcs drawn move by move are cut into chords this many pixels from the arc at most.
constexpr double kChordPixels = 0.15;
// A level is drawn when it lies within this many pixels of the path.
constexpr double kMergePixels = 0.5;
// Cuts are drawn a little bolder than rapids while there are few of them; a program of more
// moves is drawn with one-pixel pens, which Qt draws several times faster.
constexpr std::size_t kFewMoves = 100000;
constexpr double kBoldCut = 1.6;

QColor colourOf(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

QColor faintOf(const QColor& c) {
  const QColor back = colourOf(kBackground);
  const auto mixed = [](int a, int b) { return (a + 2 * b) / 3; };
  return QColor(mixed(c.red(), back.red()), mixed(c.green(), back.green()), mixed(c.blue(), back.blue()));
}

bool meets(const Box2& a, const Box2& b) {
  return !a.empty() && a.minA <= b.maxA && b.minA <= a.maxA && a.minB <= b.maxB && b.minB <= a.maxB;
}

// Lines gathered per pen and handed to the painter in batches.
class Batches {
 public:
  Batches(QPainter& painter, Layer layer, double cutWidth) : painter_(painter), layer_(layer), cutWidth_(cutWidth) {}
  ~Batches() { flushAll(); }

  void add(Toolpath::Kind kind, std::uint16_t tool, const QPointF& a, const QPointF& b) {
    const int key = kind == Toolpath::Kind::Rapid ? -1 : tool;
    Batch& batch = batches_[key];
    batch.lines.emplace_back(a, b);
    if (batch.lines.size() + batch.dots.size() >= kBatch) flush(key, batch);
  }
  // A cut seen end on (a hole, a plunge): a small square, which would else be no line at all.
  void addDot(std::uint16_t tool, const QPointF& at) {
    Batch& batch = batches_[tool];
    const QRectF dot(at.x() - 2, at.y() - 2, 4, 4);
    if (!batch.dots.empty() && batch.dots.back() == dot) return;
    batch.dots.push_back(dot);
    if (batch.lines.size() + batch.dots.size() >= kBatch) flush(tool, batch);
  }
  void flushAll() {
    for (auto& [key, batch] : batches_) flush(key, batch);
  }

 private:
  struct Batch {
    std::vector<QLineF> lines;
    std::vector<QRectF> dots;
  };

  void flush(int key, Batch& batch) {
    QColor colour = colourOf(key < 0 ? kRapidColour : toolColour(key));
    if (layer_ == Layer::Faint) colour = faintOf(colour);
    if (!batch.lines.empty()) {
      QPen pen(colour, key < 0 ? 1.0 : cutWidth_);
      pen.setCosmetic(true);
      pen.setCapStyle(Qt::FlatCap);
      if (key < 0) pen.setDashPattern({4, 3});
      painter_.setPen(pen);
      painter_.drawLines(batch.lines.data(), static_cast<int>(batch.lines.size()));
      batch.lines.clear();
    }
    if (!batch.dots.empty()) {
      painter_.setPen(Qt::NoPen);
      painter_.setBrush(colour);
      painter_.drawRects(batch.dots.data(), static_cast<int>(batch.dots.size()));
      painter_.setBrush(Qt::NoBrush);
      batch.dots.clear();
    }
  }

  QPainter& painter_;
  Layer layer_;
  double cutWidth_;
  std::map<int, Batch> batches_;
};

// Draws moves one by one, arcs in chords for the scale, passing over those outside the picture.
class ExactMoves {
 public:
  ExactMoves(const Toolpath& path, const ViewAxes& axes, const Frame& frame, const Box2& visible, Batches& batches)
      : path_(path), axes_(axes), frame_(frame), visible_(visible), batches_(batches) {}

  void draw(std::size_t i) {
    const Toolpath::Move& m = path_.move(i);
    const ViewPoint s = project(path_.start(i), axes_);
    const ViewPoint e = project(path_.end(i), axes_);
    if (!(m.flags & Toolpath::kArc)) {
      Box2 box;
      box.add(s.a, s.b);
      box.add(e.a, e.b);
      if (!meets(box, visible_)) return;
      const QPointF from = frame_.toPixel(s);
      const QPointF to = frame_.toPixel(e);
      const double seenLength = std::hypot(to.x() - from.x(), to.y() - from.y());
      if (m.kind == Toolpath::Kind::Cut && seenLength < 0.5 &&
          machining::lineLength(path_.start(i), path_.end(i)) * frame_.scale >= 2) {
        batches_.addDot(m.tool, to);
      } else {
        batches_.add(m.kind, m.tool, from, to);
      }
      return;
    }
    const Arc arc = path_.arc(i);
    const ViewPoint c = project(path_.arcCentre(i), axes_);
    const double reach = arc.maxRadius() + std::fabs(arc.endN - arc.startN);
    Box2 box;
    box.add(c.a - reach, c.b - reach);
    box.add(c.a + reach, c.b + reach);
    if (!meets(box, visible_)) return;
    const int chords = chordCount(arc.maxRadius(), arc.sweep, kChordPixels / frame_.scale);
    QPointF from = frame_.toPixel(s);
    for (int k = 1; k <= chords; ++k) {
      const QPointF to = k == chords ? frame_.toPixel(e) : frame_.toPixel(project(arc.at(arc.sweep * k / chords), axes_));
      batches_.add(m.kind, m.tool, from, to);
      from = to;
    }
  }

 private:
  const Toolpath& path_;
  ViewAxes axes_;
  const Frame& frame_;
  Box2 visible_;
  Batches& batches_;
};

bool stopped(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(std::memory_order_relaxed); }

// One kind of move from the merged level: runs in order of their first move, so the bright
// layer ends at the first run that starts at or after `until`.
bool drawLevel(const Detail::Level& level, Toolpath::Kind kind, std::size_t until, ExactMoves& exact, Batches& batches,
               const Frame& frame, const Box2& visible, const std::atomic<bool>* stop) {
  constexpr std::uint32_t kMove = ~Detail::kEndOfMove;
  std::size_t checkedPage = static_cast<std::size_t>(-1);
  bool pageVisible = false;
  std::size_t sinceCheck = 0;
  for (const Detail::Run& run : level.runs) {
    const Detail::Vertex* v = level.vertices.data() + run.first;
    if ((v[0].move & kMove) >= until) break;
    if (run.kind != kind) continue;
    for (std::uint32_t j = 1; j < run.count; ++j) {
      const std::size_t move = v[j].move & kMove;
      if (move >= until) {
        // The line that crosses the chosen move: its own moves, up to it.
        const std::size_t from = (v[j - 1].move & kMove) + ((v[j - 1].move & Detail::kEndOfMove) ? 1 : 0);
        for (std::size_t i = from; i < until; ++i) exact.draw(i);
        break;
      }
      const std::size_t page = (run.first + j) / Detail::kPage;
      if (page != checkedPage) {
        checkedPage = page;
        pageVisible = meets(level.pages[page], visible);
      }
      if (!pageVisible) {
        // Over the rest of the page: a vertex in it is the start of the next line drawn.
        const std::size_t next = (page + 1) * Detail::kPage;
        j = static_cast<std::uint32_t>(std::min<std::size_t>(next - run.first, run.count) - 1);
        continue;
      }
      batches.add(run.kind, run.tool, frame.toPixel(v[j - 1].a, v[j - 1].b), frame.toPixel(v[j].a, v[j].b));
      if (++sinceCheck >= kBetweenChecks) {
        sinceCheck = 0;
        if (stopped(stop)) return false;
      }
    }
  }
  return true;
}

bool drawMoves(const Toolpath& path, const Detail* detail, Toolpath::Kind kind, std::size_t until, ExactMoves& exact,
               const Box2& visible, const std::atomic<bool>* stop) {
  const std::size_t count = detail ? detail->distinct().count() : path.moveCount();
  for (std::size_t k = 0; k < count; ++k) {
    if (detail && k % Detail::kPage == 0 && !meets(detail->movePages()[k / Detail::kPage], visible)) {
      k += Detail::kPage - 1;
      continue;
    }
    const std::size_t i = detail ? detail->distinct()[k] : k;
    if (i >= until) break;
    if (path.kind(i) == kind) exact.draw(i);
    if (k % kBetweenChecks == 0 && stopped(stop)) return false;
  }
  return true;
}

QString millimetres(double value) { return QString::number(value, 'f', 3); }

}  // namespace

Frame Frame::fitting(const Box2& box, const QRectF& area) {
  Box2 shown = box;
  if (shown.empty()) {
    shown.add(-10, -10);
    shown.add(10, 10);
  }
  const double width = std::max(shown.width(), 1e-3);
  const double height = std::max(shown.height(), 1e-3);
  const double roomX = std::max(area.width(), 10.0);
  const double roomY = std::max(area.height(), 10.0);
  Frame frame;
  frame.scale = std::min(roomX / width, roomY / height);
  const double centreA = (shown.minA + shown.maxA) / 2;
  const double centreB = (shown.minB + shown.maxB) / 2;
  frame.originX = area.center().x() - centreA * frame.scale;
  frame.originY = area.center().y() + centreB * frame.scale;
  return frame;
}

bool drawToolpath(QPainter& painter, const Toolpath& path, const Detail* detail, View view, const Frame& frame,
                  const QSizeF& picture, Layer layer, const DrawOptions& options, const std::atomic<bool>* stop) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, options.antialias);
  const ViewAxes axes = axesOf(view);
  Box2 visible;
  const double slack = 3;  // pixels: a line just outside still shows its pen width
  const ViewPoint topLeft = frame.toView({-slack, -slack});
  const ViewPoint bottomRight = frame.toView({picture.width() + slack, picture.height() + slack});
  visible.add(topLeft.a, topLeft.b);
  visible.add(bottomRight.a, bottomRight.b);
  const std::size_t until = layer == Layer::Bright && options.untilMove ? *options.untilMove : path.moveCount();
  const Detail::Level* level = detail ? detail->levelFor(kMergePixels / frame.scale) : nullptr;
  bool done = true;
  {
    const std::size_t count = detail ? detail->distinct().count() : path.moveCount();
    Batches batches(painter, layer, count < kFewMoves ? kBoldCut : 1.0);
    ExactMoves exact(path, axes, frame, visible, batches);
    // Rapids first: the cuts are drawn over them.
    for (const Toolpath::Kind kind : {Toolpath::Kind::Rapid, Toolpath::Kind::Cut}) {
      if ((kind == Toolpath::Kind::Rapid && !options.rapids) || (kind == Toolpath::Kind::Cut && !options.cuts)) continue;
      done = level ? drawLevel(*level, kind, until, exact, batches, frame, visible, stop)
                   : drawMoves(path, detail, kind, until, exact, visible, stop);
      batches.flushAll();
      if (!done) break;
    }
  }
  painter.restore();
  return done;
}

void drawCentreLine(QPainter& painter, const Frame& frame, const QSizeF& picture) {
  painter.save();
  QPen pen(colourOf(kCentreLineColour), 1);
  pen.setCosmetic(true);
  pen.setDashPattern({12, 3, 2, 3});
  painter.setPen(pen);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.drawLine(QPointF(0, frame.originY), QPointF(picture.width(), frame.originY));
  painter.restore();
}

double roundScaleLength(double pixelsPerMm, double pixels) {
  const double wanted = pixels / pixelsPerMm;
  const double decade = std::pow(10.0, std::floor(std::log10(wanted)));
  for (const double step : {5.0, 2.0, 1.0}) {
    if (step * decade <= wanted) return step * decade;
  }
  return decade;
}

void drawScaleAndAxes(QPainter& painter, View view, const Frame& frame, const QSizeF& picture) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QColor ink(40, 40, 40);
  QPen pen(ink, 1.5);
  pen.setCosmetic(true);
  painter.setPen(pen);
  QFont font = painter.font();
  font.setPixelSize(12);
  painter.setFont(font);

  // The scale bar along the bottom left.
  const double length = roundScaleLength(frame.scale, 120);
  const double px = length * frame.scale;
  const QPointF left(16, picture.height() - 16);
  const QPointF right(left.x() + px, left.y());
  painter.drawLine(left, right);
  painter.drawLine(left + QPointF(0, -5), left + QPointF(0, 5));
  painter.drawLine(right + QPointF(0, -5), right + QPointF(0, 5));
  const QString label = QString::number(length, 'g', 6) + QStringLiteral(" mm");
  painter.drawText(QRectF(left.x(), left.y() - 22, std::max(px, 80.0), 16), Qt::AlignLeft | Qt::AlignBottom, label);

  // The axes: each program axis as the view shows it, from a point near the bottom right corner.
  const ViewAxes axes = axesOf(view);
  const QPointF origin(picture.width() - 56, picture.height() - 30);
  const struct {
    Point direction;
    QString name;
  } named[] = {{{1, 0, 0}, QStringLiteral("X")}, {{0, 1, 0}, QStringLiteral("Y")}, {{0, 0, 1}, QStringLiteral("Z")}};
  for (const auto& axis : named) {
    if (view == View::Lathe && axis.name == QLatin1String("Y")) continue;
    const double a = dot(axis.direction, axes.right);
    const double b = dot(axis.direction, axes.up);
    if (std::hypot(a, b) < 0.1) continue;  // seen end on
    const QPointF tip = origin + QPointF(a * 26, -b * 26);
    painter.drawLine(origin, tip);
    const QPointF along = (tip - origin) / std::hypot(tip.x() - origin.x(), tip.y() - origin.y());
    const QPointF across(-along.y(), along.x());
    painter.drawLine(tip, tip - along * 6 + across * 3);
    painter.drawLine(tip, tip - along * 6 - across * 3);
    painter.drawText(QRectF(tip.x() + along.x() * 8 - 8, tip.y() + along.y() * 8 - 8, 16, 16), Qt::AlignCenter,
                     axis.name);
  }
  painter.restore();
}

QStringList extentsLines(const Toolpath& path) {
  const auto line = [&](const QString& label, const Box3& box) {
    if (box.empty()) return label + QStringLiteral(" なし");
    const auto range = [](const QString& axis, double low, double high) {
      return axis + QLatin1Char(' ') + millimetres(low) + QStringLiteral(" 〜 ") + millimetres(high);
    };
    if (path.lathe()) {
      return label + QLatin1Char(' ') + range(QStringLiteral("X(直径)"), 2 * box.min.x, 2 * box.max.x) +
             QStringLiteral("  ") + range(QStringLiteral("Z"), box.min.z, box.max.z);
    }
    return label + QLatin1Char(' ') + range(QStringLiteral("X"), box.min.x, box.max.x) + QStringLiteral("  ") +
           range(QStringLiteral("Y"), box.min.y, box.max.y) + QStringLiteral("  ") +
           range(QStringLiteral("Z"), box.min.z, box.max.z);
  };
  return {line(QStringLiteral("切削"), path.cutExtents()), line(QStringLiteral("全体"), path.allExtents())};
}

QString viewCaption(View view) {
  switch (view) {
    case View::Front: return QStringLiteral("正面 (XZ)");
    case View::Side: return QStringLiteral("右側面 (YZ)");
    case View::Iso: return QStringLiteral("等角");
    case View::Lathe: return QStringLiteral("ZX (X 半径)");
    case View::Top: break;
  }
  return QStringLiteral("上 (XY)");
}

QImage renderPicture(const Toolpath& path, const Detail* detail, View view, const QSize& size,
                     const DrawOptions& options, const QString& title) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(colourOf(kBackground));
  QPainter painter(&image);
  Box2 box = path.viewExtents(view, false);
  if (view == View::Lathe && !box.empty()) box.add(box.minA, 0);
  // Room at the top for the caption, at the bottom left for the scale.
  const Frame frame = Frame::fitting(box, QRectF(40, 64, size.width() - 80, size.height() - 64 - 80));
  if (view == View::Lathe) drawCentreLine(painter, frame, QSizeF(size));
  if (options.untilMove) drawToolpath(painter, path, detail, view, frame, QSizeF(size), Layer::Faint, options);
  drawToolpath(painter, path, detail, view, frame, QSizeF(size), Layer::Bright, options);
  drawScaleAndAxes(painter, view, frame, QSizeF(size));
  QFont font = painter.font();
  font.setPixelSize(12);
  painter.setFont(font);
  painter.setPen(QColor(40, 40, 40));
  const QStringList lines = QStringList{title + QStringLiteral("  ") + viewCaption(view)} + extentsLines(path);
  painter.drawText(QRectF(12, 8, size.width() - 24, 60), Qt::AlignLeft | Qt::AlignTop, lines.join(QLatin1Char('\n')));
  return image;
}

}  // namespace korvane::toolpath
