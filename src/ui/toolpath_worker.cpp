#include "ui/toolpath_worker.h"

#include <QPainter>

#include "analysis/toolpath_style.h"

namespace korvane {

ToolpathWorker::ToolpathWorker(std::function<void()> wake) : wake_(std::move(wake)), thread_([this] { run(); }) {}

ToolpathWorker::~ToolpathWorker() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  stopAll_ = true;
  stopPicture_ = true;
  waiting_.notify_all();
  thread_.join();
}

void ToolpathWorker::load(const QString& path, const MachineModel& machine) {
  {
    std::lock_guard lock(mutex_);
    loadAsked_ = std::make_pair(path, machine);
  }
  waiting_.notify_all();
}

void ToolpathWorker::draw(const PictureRequest& request) {
  {
    // Under the lock: the worker lowers the flag as it takes a request, never after this one
    // was asked for.
    std::lock_guard lock(mutex_);
    drawAsked_ = request;
    stopPicture_ = true;
  }
  waiting_.notify_all();
}

ToolpathWorker::Results ToolpathWorker::take() {
  std::lock_guard lock(mutex_);
  Results taken = std::move(results_);
  results_ = Results{};
  return taken;
}

void ToolpathWorker::run() {
  for (;;) {
    std::unique_lock lock(mutex_);
    waiting_.wait(lock, [this] { return quit_ || loadAsked_ || (drawAsked_ && path_); });
    if (quit_) return;
    if (loadAsked_) {
      const auto [path, machine] = std::move(*loadAsked_);
      loadAsked_.reset();
      lock.unlock();
      read(path, machine);
      continue;
    }
    const PictureRequest request = *drawAsked_;
    drawAsked_.reset();
    stopPicture_ = false;
    lock.unlock();
    paint(request);
  }
}

void ToolpathWorker::read(const QString& path, const MachineModel& machine) {
  double told = -1;
  const auto progress = [&](double share) {
    if (share - told >= 0.01) {
      told = share;
      {
        std::lock_guard lock(mutex_);
        results_.progress = share;
      }
      wake_();
    }
    return !stopAll_.load();
  };
  QString error;
  std::shared_ptr<const Toolpath> read = readToolpath(path, machine, &error, progress);
  {
    std::lock_guard lock(mutex_);
    path_ = read;
    distinct_.reset();
    details_.clear();
    faintKey_.reset();
    results_.loaded = true;
    results_.path = read;
    results_.error = error;
  }
  wake_();
}

const toolpath::Detail* ToolpathWorker::detailFor(toolpath::View view) {
  auto found = details_.find(view);
  if (found != details_.end()) return found->second.get();
  if (!distinct_) distinct_ = toolpath::DistinctMoves::find(*path_, &stopAll_);
  if (!distinct_) return nullptr;
  auto detail = toolpath::Detail::build(*path_, distinct_, view, &stopAll_);
  if (!detail) return nullptr;
  return (details_[view] = std::move(detail)).get();
}

void ToolpathWorker::paint(const PictureRequest& request) {
  const toolpath::Detail* detail = detailFor(request.view);
  if (stopAll_) return;
  const QSize pixels = request.size * request.devicePixelRatio;
  if (pixels.isEmpty()) return;
  const QSizeF logical(request.size);
  const auto blank = [&] {
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(request.devicePixelRatio);
    image.fill(QColor::fromRgb(static_cast<QRgb>(toolpath::kBackground)));
    if (request.view == toolpath::View::Lathe) {
      QPainter painter(&image);
      toolpath::drawCentreLine(painter, request.frame, logical);
    }
    return image;
  };
  const toolpath::DrawOptions& options = request.options;
  const bool faint = options.untilMove && *options.untilMove < path_->moveCount();
  QImage image;
  if (faint) {
    const FaintKey key{request.view, request.frame, request.size, request.devicePixelRatio, options.rapids, options.cuts};
    if (faintKey_ != key) {
      faintKey_.reset();
      faint_ = blank();
      QPainter painter(&faint_);
      if (!toolpath::drawToolpath(painter, *path_, detail, request.view, request.frame, logical,
                                  toolpath::Layer::Faint, options, &stopPicture_)) {
        return;
      }
      faintKey_ = key;
    }
    image = faint_.copy();
  } else {
    image = blank();
  }
  {
    QPainter painter(&image);
    if (!toolpath::drawToolpath(painter, *path_, detail, request.view, request.frame, logical, toolpath::Layer::Bright,
                                options, &stopPicture_)) {
      return;
    }
  }
  {
    std::lock_guard lock(mutex_);
    results_.picture = Picture{request.id, request.view, request.frame, std::move(image)};
  }
  wake_();
}

}  // namespace korvane
