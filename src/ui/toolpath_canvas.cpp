#include "ui/toolpath_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>

#include "analysis/toolpath_style.h"

namespace korvane {

using toolpath::View;

namespace {
constexpr double kMargin = 20;        // pixels clear around a fitted path
constexpr double kDragStart = 4;      // pixels the pointer moves before a press becomes a drag
constexpr double kPickReach = 8;      // pixels from a move's end that a click takes it
constexpr double kWheelStep = 1.25;   // zoom per notch of the wheel
constexpr double kSmallestScale = 1e-4;
constexpr double kLargestScale = 1e6;  // pixels per millimetre
}  // namespace

ToolpathCanvas::ToolpathCanvas(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("toolpathCanvas"));
  setMinimumSize(200, 150);
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::CrossCursor);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ToolpathCanvas::setToolpath(std::shared_ptr<const Toolpath> path) {
  path_ = std::move(path);
  picture_.reset();
  clearMeasurement();
  fitAll();
}

void ToolpathCanvas::setView(View view) {
  if (view == view_) return;
  view_ = view;
  clearMeasurement();
  fitAll();
}

void ToolpathCanvas::setShown(bool rapids, bool cuts) {
  options_.rapids = rapids;
  options_.cuts = cuts;
  askPicture();
}

void ToolpathCanvas::setUntilMove(std::optional<std::size_t> moves) {
  if (moves == options_.untilMove) return;
  options_.untilMove = moves;
  askPicture();
}

void ToolpathCanvas::setMarker(std::optional<machining::Point> at) {
  marker_ = at;
  update();
}

void ToolpathCanvas::fitAll() {
  fitted_ = true;
  toolpath::Box2 box = path_ ? path_->viewExtents(view_, false) : toolpath::Box2{};
  if (view_ == View::Lathe && !box.empty()) box.add(box.minA, 0);  // the centre line in sight
  frame_ = toolpath::Frame::fitting(box, QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin));
  askPicture();
}

void ToolpathCanvas::zoomAt(const QPointF& pixel, double factor) {
  const double scale = std::clamp(frame_.scale * factor, kSmallestScale, kLargestScale);
  const double ratio = scale / frame_.scale;
  // The point under the pointer stays where it is.
  frame_.originX = pixel.x() - (pixel.x() - frame_.originX) * ratio;
  frame_.originY = pixel.y() - (pixel.y() - frame_.originY) * ratio;
  frame_.scale = scale;
  fitted_ = false;
  askPicture();
}

void ToolpathCanvas::takePicture(ToolpathWorker::Picture picture) {
  if (picture.view != view_) return;
  picture_ = std::move(picture);
  update();
}

void ToolpathCanvas::clearMeasurement() {
  first_.reset();
  second_.reset();
  measurement_.clear();
  emit measured(measurement_);
  update();
}

void ToolpathCanvas::askPicture() {
  ++asked_;
  update();
  if (requestQueued_) return;
  // Several changes in one turn of the event loop make one request.
  requestQueued_ = true;
  QTimer::singleShot(0, this, &ToolpathCanvas::sendRequest);
}

void ToolpathCanvas::sendRequest() {
  requestQueued_ = false;
  if (!worker_ || !path_ || width() <= 0 || height() <= 0) return;
  ToolpathWorker::PictureRequest request;
  request.id = asked_;
  request.view = view_;
  request.frame = frame_;
  request.size = size();
  request.devicePixelRatio = devicePixelRatioF();
  request.options = options_;
  worker_->draw(request);
}

void ToolpathCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor::fromRgb(static_cast<QRgb>(toolpath::kBackground)));
  if (picture_ && picture_->view == view_) {
    // The picture drawn for an earlier frame, moved and scaled to the frame shown now.
    const toolpath::Frame& drawn = picture_->frame;
    const double k = frame_.scale / drawn.scale;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, k < 1);
    painter.setTransform(QTransform(k, 0, 0, k, frame_.originX - k * drawn.originX, frame_.originY - k * drawn.originY));
    painter.drawImage(QPointF(0, 0), picture_->image);
    painter.restore();
  }
  painter.setRenderHint(QPainter::Antialiasing, true);
  const toolpath::ViewAxes axes = toolpath::axesOf(view_);
  if (marker_) {
    // Where the tool stands after the chosen block.
    const QPointF at = frame_.toPixel(toolpath::project(*marker_, axes));
    painter.setPen(QPen(QColor(200, 0, 0), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(at, 6, 6);
    painter.drawLine(at + QPointF(-10, 0), at + QPointF(10, 0));
    painter.drawLine(at + QPointF(0, -10), at + QPointF(0, 10));
  }
  const auto drawPicked = [&](const PointPicked& p) {
    const QPointF at = frame_.toPixel(p.seen);
    painter.setPen(QPen(QColor(0, 0, 0), 1.5));
    painter.setBrush(QColor(255, 230, 0));
    painter.drawEllipse(at, 4, 4);
  };
  if (first_ && second_) {
    painter.setPen(QPen(QColor(0, 0, 0), 1, Qt::DashLine));
    painter.drawLine(frame_.toPixel(first_->seen), frame_.toPixel(second_->seen));
  }
  if (first_) drawPicked(*first_);
  if (second_) drawPicked(*second_);
  toolpath::drawScaleAndAxes(painter, view_, frame_, QSizeF(size()));
  if (path_ && !pictureCurrent()) {
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(rect().adjusted(8, 6, -8, -6), Qt::AlignRight | Qt::AlignTop, QStringLiteral("描画中…"));
  }
}

void ToolpathCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (fitted_) {
    fitAll();
    return;
  }
  // Zoomed in: the middle of the picture stays the middle.
  const QSizeF grown = QSizeF(event->size() - event->oldSize()) / 2;
  if (event->oldSize().isValid()) {
    frame_.originX += grown.width();
    frame_.originY += grown.height();
  }
  askPicture();
}

void ToolpathCanvas::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches == 0) return;
  zoomAt(event->position(), std::pow(kWheelStep, notches));
  event->accept();
}

void ToolpathCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    clearMeasurement();
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  pressedAt_ = event->position();
  lastDrag_ = event->position();
  dragging_ = false;
}

void ToolpathCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (!pressedAt_ || !(event->buttons() & Qt::LeftButton)) return;
  const QPointF moved = event->position() - *pressedAt_;
  if (!dragging_ && std::hypot(moved.x(), moved.y()) < kDragStart) return;
  dragging_ = true;
  setCursor(Qt::ClosedHandCursor);
  const QPointF step = event->position() - lastDrag_;
  lastDrag_ = event->position();
  frame_.originX += step.x();
  frame_.originY += step.y();
  fitted_ = false;
  askPicture();
}

void ToolpathCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressedAt_) return;
  if (!dragging_) measureAt(event->position());
  pressedAt_.reset();
  dragging_ = false;
  setCursor(Qt::CrossCursor);
}

std::optional<ToolpathCanvas::PointPicked> ToolpathCanvas::pick(const QPointF& pixel) const {
  if (!path_) return std::nullopt;
  const toolpath::ViewAxes axes = toolpath::axesOf(view_);
  PointPicked picked{frame_.toView(pixel), std::nullopt};
  // The nearest end of a move (corners, holes, the ends of arcs) within reach of the pointer.
  double best = kPickReach * kPickReach;
  for (std::size_t i = 0; i < path_->moveCount(); ++i) {
    if (path_->kind(i) == Toolpath::Kind::Jump) continue;
    const machining::Point end = path_->end(i);
    const QPointF at = frame_.toPixel(toolpath::project(end, axes));
    const double d = (at.x() - pixel.x()) * (at.x() - pixel.x()) + (at.y() - pixel.y()) * (at.y() - pixel.y());
    if (d < best) {
      best = d;
      picked.at = end;
      picked.seen = toolpath::project(end, axes);
    }
  }
  if (!picked.at && view_ == View::Iso) return std::nullopt;  // a point of the screen is no point of the part
  return picked;
}

void ToolpathCanvas::measureAt(const QPointF& pixel) {
  const std::optional<PointPicked> picked = pick(pixel);
  if (!picked) {
    measurement_ = QStringLiteral("等角では線の端点を選んでください");
    emit measured(measurement_);
    return;
  }
  if (!first_ || second_) {
    first_ = picked;
    second_.reset();
  } else {
    second_ = picked;
  }
  measurement_ = distanceText();
  emit measured(measurement_);
  update();
}

QString ToolpathCanvas::distanceText() const {
  const auto mm = [](double v) { return QString::number(v, 'f', 3); };
  const auto pointText = [&](const PointPicked& p) {
    if (!p.at) return QStringLiteral("(%1, %2)").arg(mm(p.seen.a), mm(p.seen.b));
    if (path_->lathe()) return QStringLiteral("X%1 Z%2").arg(mm(2 * p.at->x), mm(p.at->z));
    return QStringLiteral("X%1 Y%2 Z%3").arg(mm(p.at->x), mm(p.at->y), mm(p.at->z));
  };
  if (!first_) return {};
  if (!second_) return QStringLiteral("点1 %1  次の点をクリック").arg(pointText(*first_));
  QString text = QStringLiteral("点1 %1  点2 %2  ").arg(pointText(*first_), pointText(*second_));
  if (first_->at && second_->at) {
    const machining::Point& a = *first_->at;
    const machining::Point& b = *second_->at;
    const double distance = machining::lineLength(a, b);
    if (path_->lathe()) {
      return text + QStringLiteral("距離 %1 mm (ΔX(直径) %2  ΔZ %3)").arg(mm(distance), mm(2 * (b.x - a.x)), mm(b.z - a.z));
    }
    return text + QStringLiteral("距離 %1 mm (ΔX %2  ΔY %3  ΔZ %4)").arg(mm(distance), mm(b.x - a.x), mm(b.y - a.y), mm(b.z - a.z));
  }
  // A point off the path: the distance in the plane of the view.
  const double da = second_->seen.a - first_->seen.a;
  const double db = second_->seen.b - first_->seen.b;
  return text + QStringLiteral("距離 %1 mm (画面の平面内)").arg(mm(std::hypot(da, db)));
}

}  // namespace korvane
