#pragma once
// The picture of the toolpath window: the path in one view, zoomed with the wheel about the
// pointer, panned by dragging, measured by clicking two points. Pictures are drawn by the worker;
// until a new one arrives the last one is shown moved and scaled to where the view now is, so
// that zooming and panning follow the hand at once even on a program of millions of moves.

#include <QPointF>
#include <QWidget>
#include <memory>
#include <optional>

#include "analysis/toolpath.h"
#include "ui/paint/toolpath_painter.h"
#include "ui/toolpath_worker.h"

namespace korvane {

class ToolpathCanvas : public QWidget {
  Q_OBJECT

 public:
  explicit ToolpathCanvas(QWidget* parent = nullptr);

  void setWorker(ToolpathWorker* worker) { worker_ = worker; }
  void setToolpath(std::shared_ptr<const Toolpath> path);
  void setView(toolpath::View view);
  toolpath::View view() const { return view_; }
  void setShown(bool rapids, bool cuts);
  // The path up to this many moves is drawn bright, the rest faint; nothing: all bright.
  void setUntilMove(std::optional<std::size_t> moves);
  // Where the tool is after the chosen block (the reading's millimetres, a lathe's x the radius).
  void setMarker(std::optional<machining::Point> at);

  void fitAll();
  void zoomAt(const QPointF& pixel, double factor);
  const toolpath::Frame& frame() const { return frame_; }

  // A picture the worker drew; shown if it is for the view shown.
  void takePicture(ToolpathWorker::Picture picture);
  // The picture shown was drawn for what is shown now.
  bool pictureCurrent() const { return picture_ && picture_->id == asked_; }
  const QImage* pictureImage() const { return picture_ ? &picture_->image : nullptr; }

  QString measurement() const { return measurement_; }
  void clearMeasurement();

 signals:
  void measured(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  struct PointPicked {
    toolpath::ViewPoint seen;
    std::optional<machining::Point> at;  // a move's end under the pointer
  };
  void askPicture();
  void sendRequest();
  std::optional<PointPicked> pick(const QPointF& pixel) const;
  void measureAt(const QPointF& pixel);
  QString distanceText() const;

  ToolpathWorker* worker_ = nullptr;
  std::shared_ptr<const Toolpath> path_;
  toolpath::View view_ = toolpath::View::Top;
  toolpath::Frame frame_;
  bool fitted_ = true;  // follows the window's size while the operator has not zoomed or panned
  toolpath::DrawOptions options_;
  std::optional<machining::Point> marker_;
  std::optional<ToolpathWorker::Picture> picture_;
  std::uint64_t asked_ = 0;
  bool requestQueued_ = false;
  std::optional<QPointF> pressedAt_;
  QPointF lastDrag_;
  bool dragging_ = false;
  std::optional<PointPicked> first_;
  std::optional<PointPicked> second_;
  QString measurement_;
};

}  // namespace korvane
