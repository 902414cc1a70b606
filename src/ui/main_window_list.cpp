// List interactions: tooltips, context menus, double-click, drops, the external editor and viewer.
#include "ui/main_window.h"

namespace korvane {

void MainWindow::setUpListInteractions() {}
void MainWindow::onEdit() {}
void MainWindow::onViewer() {}

}  // namespace korvane
