#include "app/cli/png_plot.h"

#if defined(KORVANE_PNG_MODULE_DIR)
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>
#endif

namespace korvane::cli::png {

#if defined(KORVANE_PNG_MODULE_DIR)

namespace {

constexpr char kModuleName[] = "korvane-png.so";

struct Module {
  decltype(&korvane_png_application) application = nullptr;
  decltype(&korvane_png_write) write = nullptr;
  QString problem;  // why it could not be loaded
};

// Beside the program in a build tree; in the library folder of the installed package.
QStringList placesOfModule() {
  const QString dir = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
  return {dir + QLatin1Char('/') + QLatin1String(kModuleName),
          QDir::cleanPath(dir + QStringLiteral("/" KORVANE_PNG_MODULE_DIR "/") + QLatin1String(kModuleName))};
}

Module loadModule() {
  Module module;
  const QStringList places = placesOfModule();
  for (const QString& place : places) {
    if (!QFileInfo::exists(place)) continue;
    QLibrary library(place);  // stays loaded: QLibrary unloads only when told to
    if (!library.load()) {
      module.problem = library.errorString();
      return module;
    }
    module.application = reinterpret_cast<decltype(module.application)>(library.resolve("korvane_png_application"));
    module.write = reinterpret_cast<decltype(module.write)>(library.resolve("korvane_png_write"));
    if (module.application && module.write) return module;
    module.problem = QStringLiteral("%1 lacks the drawing's entry points").arg(place);
    module.application = nullptr;
    module.write = nullptr;
    return module;
  }
  module.problem = QStringLiteral("the PNG drawing (%1) is not installed: not in %2")
                       .arg(QLatin1String(kModuleName), places.join(QStringLiteral(" nor ")));
  return module;
}

const Module& module() {
  static const Module loaded = loadModule();
  return loaded;
}

}  // namespace

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
  if (module().application) return std::unique_ptr<QCoreApplication>(module().application(&argc, argv));
  return std::make_unique<QCoreApplication>(argc, argv);
}

bool writePicture(KorvanePngRequest& request) {
  if (!module().write) {
    request.error = module().problem;
    return false;
  }
  return module().write(&request);
}

#else

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
  return std::unique_ptr<QCoreApplication>(korvane_png_application(&argc, argv));
}

bool writePicture(KorvanePngRequest& request) { return korvane_png_write(&request); }

#endif

}  // namespace korvane::cli::png
