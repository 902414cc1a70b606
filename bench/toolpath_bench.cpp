// Times what the toolpath window does with one program: reading it, finding what there is to
// draw, drawing a picture of the whole program and of a part zoomed in, and stepping through it;
// then the window itself, from opening to its first picture. Offscreen: no display needed.
// Usage: toolpath_bench FILE [--lathe] [--width W --height H]
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <QTimer>
#include <QEventLoop>
#include <cstdio>
#include <ctime>

#include "analysis/toolpath.h"
#include "analysis/toolpath_detail.h"
#include "ui/paint/toolpath_painter.h"
#include "ui/toolpath_canvas.h"
#include "ui/toolpath_window.h"

using namespace korvane;
using toolpath::View;

namespace {

QTextStream& out() {
  static QTextStream stream(stdout);
  return stream;
}

// The share of the picture's pixels drawn on, so that a fast draw is seen to have drawn something.
int inked = 0;

double drawSeconds(const Toolpath& path, const toolpath::Detail* detail, View view, const toolpath::Frame& frame,
                   const QSize& size, const toolpath::DrawOptions& options, int repeats) {
  double best = 1e30;
  for (int r = 0; r < repeats; ++r) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    const std::clock_t cpu = std::clock();
    QPainter painter(&image);
    if (options.untilMove) {
      toolpath::drawToolpath(painter, path, detail, view, frame, QSizeF(size), toolpath::Layer::Faint, options);
    }
    toolpath::drawToolpath(painter, path, detail, view, frame, QSizeF(size), toolpath::Layer::Bright, options);
    painter.end();
    best = std::min(best, static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
    inked = 0;
    for (int y = 0; y < image.height(); ++y) {
      const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      for (int x = 0; x < image.width(); ++x) inked += line[x] != 0xFFFFFFFFu;
    }
  }
  return best;
}

// Runs the event loop until the window shows a picture of what it shows, looking every 20 ms.
void waitForPicture(const ToolpathWindow& window) {
  QEventLoop loop;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, &loop, [&] {
    if (window.toolpath() && window.canvas->pictureCurrent()) loop.quit();
  });
  look.start(20);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: toolpath_bench FILE [--lathe] [--size WxH]\n");
    return 2;
  }
  const QString file = args[1];
  MachineModel machine;
  if (args.contains(QStringLiteral("--lathe"))) machine.kind = MachineModel::Kind::Lathe;
  const View view = machine.lathe() ? View::Lathe : View::Top;
  const QSize size(1280, 800);

  QElapsedTimer timer;
  timer.start();
  if (args.contains(QStringLiteral("--window-only"))) {
    ToolpathWindow window(file, machine);
    window.resize(1280, 800);
    window.show();
    double loaded = -1;
    QObject::connect(&window, &ToolpathWindow::loaded, [&] { loaded = timer.nsecsElapsed() / 1e9; });
    waitForPicture(window);
    out() << "window open:    " << QString::number(timer.nsecsElapsed() / 1e9, 'f', 2) << " s to its first picture ("
          << QString::number(loaded, 'f', 2) << " s to the end of its reading)\n";
    return 0;
  }
  QString error;
  const std::unique_ptr<Toolpath> path = readToolpath(file, machine, &error);
  if (!path) {
    std::fprintf(stderr, "toolpath_bench: %s: %s\n", qPrintable(file), qPrintable(error));
    return 2;
  }
  const double readSeconds = timer.nsecsElapsed() / 1e9;
  timer.restart();
  const auto distinct = toolpath::DistinctMoves::find(*path);
  const double distinctSeconds = timer.nsecsElapsed() / 1e9;
  timer.restart();
  const auto detail = toolpath::Detail::build(*path, distinct, view);
  const double detailSeconds = timer.nsecsElapsed() / 1e9;

  toolpath::Box2 box = path->viewExtents(view, false);
  const toolpath::Frame full = toolpath::Frame::fitting(box, QRectF(20, 20, size.width() - 40, size.height() - 40));
  const toolpath::Box2 cuts = path->viewExtents(view, true);
  const auto zoomed = [&](double factor) {
    // Zoomed in about the middle of the cuts, which the picture's middle then shows.
    toolpath::Frame frame = full;
    const QPointF middle = full.toPixel((cuts.minA + cuts.maxA) / 2, (cuts.minB + cuts.maxB) / 2);
    frame.originX = middle.x() - (middle.x() - frame.originX) * factor;
    frame.originY = middle.y() - (middle.y() - frame.originY) * factor;
    frame.scale *= factor;
    frame.originX += size.width() / 2.0 - middle.x();
    frame.originY += size.height() / 2.0 - middle.y();
    return frame;
  };
  toolpath::DrawOptions options;
  double fullSecondsInked = 0;
  const double fullSeconds = drawSeconds(*path, detail.get(), view, full, size, options, 3);
  fullSecondsInked = inked;
  double zoom8SecondsInked = 0;
  const double zoom8Seconds = drawSeconds(*path, detail.get(), view, zoomed(8), size, options, 3);
  zoom8SecondsInked = inked;
  double zoom64SecondsInked = 0;
  const double zoom64Seconds = drawSeconds(*path, detail.get(), view, zoomed(64), size, options, 3);
  zoom64SecondsInked = inked;
  toolpath::DrawOptions plain = options;
  plain.antialias = false;
  const double plainSeconds = drawSeconds(*path, detail.get(), view, full, size, plain, 3);
  toolpath::DrawOptions half = options;
  half.untilMove = path->moveCount() / 2;
  const double stepSeconds = drawSeconds(*path, detail.get(), view, full, size, half, 3);
  toolpath::DrawOptions exact = options;
  const double exactSeconds = args.contains(QStringLiteral("--exact")) ? drawSeconds(*path, nullptr, view, full, size, exact, 1) : -1;

  // The window, as the operator opens it: until its first picture of the whole program.
  timer.restart();
  double windowSeconds = -1;
  double loadedSeconds = -1;
  {
    ToolpathWindow window(file, machine);
    window.resize(1280, 800);
    window.show();
    QObject::connect(&window, &ToolpathWindow::loaded, [&] { loadedSeconds = timer.nsecsElapsed() / 1e9; });
    waitForPicture(window);
    windowSeconds = timer.nsecsElapsed() / 1e9;
  }

  std::size_t levels = 0;
  for (const auto& level : detail->levels()) levels += level.vertices.size();
  out() << "program:        " << path->blockCount() << " blocks, " << path->moveCount() << " moves, "
        << distinct->count() << " distinct\n";
  out() << "read:           " << QString::number(readSeconds, 'f', 2) << " s\n";
  out() << "distinct moves: " << QString::number(distinctSeconds, 'f', 2) << " s\n";
  out() << "detail (view):  " << QString::number(detailSeconds, 'f', 2) << " s, " << detail->levels().size()
        << " levels, " << levels << " vertices\n";
  out() << "draw whole:     " << QString::number(fullSeconds * 1000, 'f', 1) << " ms (" << size.width() << "x"
        << size.height() << ", best of 3; " << fullSecondsInked * 100 / (size.width() * size.height())
        << " % of the pixels inked)\n";
  out() << "draw whole, no antialiasing: " << QString::number(plainSeconds * 1000, 'f', 1) << " ms\n";
  out() << "draw zoomed 8x: " << QString::number(zoom8Seconds * 1000, 'f', 1) << " ms ("
        << zoom8SecondsInked * 100 / (size.width() * size.height()) << " % inked)\n";
  out() << "draw zoomed 64x:" << QString::number(zoom64Seconds * 1000, 'f', 1) << " ms ("
        << zoom64SecondsInked * 100 / (size.width() * size.height()) << " % inked)\n";
  out() << "draw half way:  " << QString::number(stepSeconds * 1000, 'f', 1) << " ms (faint and bright layers)\n";
  out() << "draw move by move, whole: " << QString::number(exactSeconds * 1000, 'f', 1) << " ms (without the detail)\n";
  out() << "window open:    " << QString::number(windowSeconds, 'f', 2) << " s to its first picture ("
        << QString::number(loadedSeconds, 'f', 2) << " s to the end of its reading)\n";
  out() << "held:           " << (path->bytes() + distinct->bytes() + detail->bytes()) / (1024 * 1024)
        << " MB (toolpath " << path->bytes() / (1024 * 1024) << " MB)\n";
  out().flush();
  return 0;
}
