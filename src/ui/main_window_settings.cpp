// The communication settings dialog from the main window.
#include "ui/main_window.h"

namespace korvane {

void MainWindow::onSettings() {}

}  // namespace korvane
