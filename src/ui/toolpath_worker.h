#pragma once
// The toolpath window's work away from the window's thread: reading the file (a 200 MB program
// takes seconds), finding what there is to draw in each view, and drawing pictures. One thread
// does it all in order; the window asks, and takes the results when it is told they wait. Only
// the newest picture asked for is drawn: a picture still being drawn for an older request is
// given up.

#include <QImage>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "analysis/machine_model.h"
#include "analysis/toolpath.h"
#include "analysis/toolpath_detail.h"
#include "ui/paint/toolpath_painter.h"

namespace korvane {

class ToolpathWorker {
 public:
  struct Picture {
    std::uint64_t id = 0;
    toolpath::View view = toolpath::View::Top;
    toolpath::Frame frame;
    QImage image;  // the background, the faint layer and the bright one
  };
  struct PictureRequest {
    std::uint64_t id = 0;
    toolpath::View view = toolpath::View::Top;
    toolpath::Frame frame;
    QSize size;  // logical pixels
    qreal devicePixelRatio = 1;
    toolpath::DrawOptions options;
  };
  struct Results {
    std::optional<double> progress;  // of the reading, 0 to 1
    bool loaded = false;             // the reading ended: `path` or `error`
    std::shared_ptr<const Toolpath> path;
    QString error;
    std::optional<Picture> picture;
  };

  // `wake` is called on the worker's thread whenever results wait to be taken.
  explicit ToolpathWorker(std::function<void()> wake);
  ~ToolpathWorker();  // gives up what runs and waits for the thread

  void load(const QString& path, const MachineModel& machine);
  // Replaces a request not yet begun; a picture being drawn for an older one is given up.
  void draw(const PictureRequest& request);
  Results take();

 private:
  void run();
  void read(const QString& path, const MachineModel& machine);
  void paint(const PictureRequest& request);
  const toolpath::Detail* detailFor(toolpath::View view);

  std::function<void()> wake_;
  std::mutex mutex_;
  std::condition_variable waiting_;
  // Asked for, under mutex_.
  std::optional<std::pair<QString, MachineModel>> loadAsked_;
  std::optional<PictureRequest> drawAsked_;
  bool quit_ = false;
  // Waiting to be taken, under mutex_.
  Results results_;
  // Raised to give up: everything at the end, the picture in hand for a newer request.
  std::atomic<bool> stopAll_{false};
  std::atomic<bool> stopPicture_{false};
  // The worker's own.
  std::shared_ptr<const Toolpath> path_;
  std::shared_ptr<const toolpath::DistinctMoves> distinct_;
  std::map<toolpath::View, std::unique_ptr<toolpath::Detail>> details_;
  // The faint layer of the last picture, reused while only the chosen block changes.
  struct FaintKey {
    toolpath::View view;
    toolpath::Frame frame;
    QSize size;
    qreal ratio;
    bool rapids;
    bool cuts;
    bool operator==(const FaintKey&) const = default;
  };
  std::optional<FaintKey> faintKey_;
  QImage faint_;
  std::thread thread_;  // last: it starts once everything above exists
};

}  // namespace korvane
