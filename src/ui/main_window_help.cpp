// Help and the about box from the main window.
#include "ui/main_window.h"

namespace korvane {

void MainWindow::onHelp() {}
void MainWindow::onAbout() {}

}  // namespace korvane
