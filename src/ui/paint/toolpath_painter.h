#pragma once
// Draws a toolpath with QPainter, for the window and for `korvane-cli plot` alike: cuts as
// solid lines in the colour of their tool, rapids thin and dashed, the path after a chosen move
// faint; arcs cut into chords fine enough for the scale they are drawn at. No OpenGL: the
// pictures come out the same under Wine, on a remote desktop and headless.

#include <QImage>
#include <QPainter>
#include <QString>
#include <atomic>
#include <optional>

#include "analysis/toolpath.h"
#include "analysis/toolpath_detail.h"

namespace korvane::toolpath {

// Where the view's millimetres land on a picture: pixels per millimetre, and the pixel at which
// the view's point (0, 0) lies (the second axis grows upward).
struct Frame {
  double scale = 1;
  double originX = 0;
  double originY = 0;

  QPointF toPixel(double a, double b) const { return {originX + a * scale, originY - b * scale}; }
  QPointF toPixel(const ViewPoint& p) const { return toPixel(p.a, p.b); }
  ViewPoint toView(const QPointF& px) const { return {(px.x() - originX) / scale, (originY - px.y()) / scale}; }
  // The frame that shows `box` whole and centred in `area` of the picture.
  static Frame fitting(const Box2& box, const QRectF& area);
  bool operator==(const Frame&) const = default;
};

// What the faint layer holds: every move, drawn pale; the bright layer: the moves before
// `untilMove` (all of them without it) in full colour, drawn over the faint one.
enum class Layer { Faint, Bright };

struct DrawOptions {
  bool rapids = true;
  bool cuts = true;
  std::optional<std::size_t> untilMove;
  bool antialias = true;
};

// Draws one layer over `picture` pixels; false when `stop` was raised before it was done.
bool drawToolpath(QPainter& painter, const Toolpath& path, const Detail* detail, View view, const Frame& frame,
                  const QSizeF& picture, Layer layer, const DrawOptions& options,
                  const std::atomic<bool>* stop = nullptr);

// The lathe's centre line, across the picture.
void drawCentreLine(QPainter& painter, const Frame& frame, const QSizeF& picture);
// A scale bar of a round length near the bottom left corner, and the view's axes beside it.
void drawScaleAndAxes(QPainter& painter, View view, const Frame& frame, const QSizeF& picture);
// The length a scale bar shows at this scale: 1, 2 or 5 times a power of ten, about `pixels` long.
double roundScaleLength(double pixelsPerMm, double pixels);

// The programmed extents as text, one line for the cuts and one for all moves: "切削 X -1.000 〜
// 5.000 ..." (a lathe's X as a diameter).
QStringList extentsLines(const Toolpath& path);
QString viewCaption(View view);

// A whole picture as plot writes it: the background, the layers, the centre line, the scale,
// the axes and the extents.
QImage renderPicture(const Toolpath& path, const Detail* detail, View view, const QSize& size,
                     const DrawOptions& options, const QString& title);

}  // namespace korvane::toolpath
