#include "ui/app_icon.h"

// The icons live in a static library; without this call the linker may drop them.
static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace korvane {

QIcon builtInApplicationIcon() {
  initIconResources();
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128}) {
    icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/korvane.png").arg(size), QSize(size, size));
  }
  return icon;
}

QIcon applicationIcon() { return QIcon::fromTheme(QLatin1String(kIconName), builtInApplicationIcon()); }

}  // namespace korvane
