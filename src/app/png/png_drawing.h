#pragma once
// The PNG picture of `korvane-cli plot`, drawn with Qt's painting. On Linux this is a module of
// its own that only `plot` loads: Qt's GUI library and the thirty libraries it brings take a few
// milliseconds and megabytes at every start, which no other command needs. On Windows, whose
// Qt is linked in statically, it is part of korvane-cli. Plain C entry points, so that the
// module is found by name.

#include <QString>
#include <cstddef>

class QCoreApplication;

namespace korvane {
class Toolpath;
}

struct KorvanePngRequest {
  const korvane::Toolpath* path = nullptr;
  int view = 0;  // a toolpath::View
  int width = 0;
  int height = 0;
  bool drawsUntil = false;  // the moves after untilMove are drawn faint
  std::size_t untilMove = 0;
  QString title;
  QString out;
  QString error;  // why the picture could not be written
};

#if defined(KORVANE_PNG_MODULE_BUILD)
#define KORVANE_PNG_API extern "C" __attribute__((visibility("default")))
#else
#define KORVANE_PNG_API extern "C"
#endif

// A GUI application object, which drawing text takes; it runs offscreen, needing no display.
KORVANE_PNG_API QCoreApplication* korvane_png_application(int* argc, char** argv);
// Writes the picture to request->out; false with request->error set when it could not.
KORVANE_PNG_API bool korvane_png_write(KorvanePngRequest* request);
