#include "app/png/png_drawing.h"

#include <QGuiApplication>
#include <QImageWriter>
#include <QSaveFile>

#include "analysis/toolpath.h"
#include "analysis/toolpath_detail.h"
#include "ui/paint/toolpath_painter.h"

QCoreApplication* korvane_png_application(int* argc, char** argv) {
#if !defined(Q_OS_WIN)
  // No display is needed, nor looked for. Windows' own platform needs none either and brings the
  // system's fonts, which the offscreen one of a static Qt does not find there.
  qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  return new QGuiApplication(*argc, argv);
}

bool korvane_png_write(KorvanePngRequest* request) {
  using namespace korvane;
  const Toolpath& path = *request->path;
  const auto view = static_cast<toolpath::View>(request->view);
  // Moves that repeat or lie within a fraction of a pixel are drawn once: a large program is
  // drawn in a fraction of the time, to the same pixels.
  const auto distinct = toolpath::DistinctMoves::find(path);
  const auto detail = toolpath::Detail::build(path, distinct, view);
  toolpath::DrawOptions options;
  if (request->drawsUntil) options.untilMove = request->untilMove;
  const QImage image = toolpath::renderPicture(path, detail.get(), view, QSize(request->width, request->height),
                                               options, request->title);
  QSaveFile file(request->out);
  if (!file.open(QIODevice::WriteOnly)) {
    request->error = file.errorString();
    return false;
  }
  QImageWriter writer(&file, "png");
  if (!writer.write(image)) {
    request->error = writer.errorString();
    return false;
  }
  if (!file.commit()) {
    request->error = file.errorString();
    return false;
  }
  return true;
}
