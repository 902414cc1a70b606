// DNC conversion from the main window.
#include "ui/main_window.h"

namespace korvane {

void MainWindow::onDnc() {}

}  // namespace korvane
