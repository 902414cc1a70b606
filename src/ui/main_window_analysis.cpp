// Machining length and time, file information and DNC conversion from the main window.
#include "ui/main_window.h"

namespace korvane {

void MainWindow::onFileInfo() {}
void MainWindow::onMachiningTime() {}
void MainWindow::kakou_time() {}
void MainWindow::kakou_time(const QStringList&) {}

}  // namespace korvane
