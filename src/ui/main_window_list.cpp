// List interactions: tooltips, context menus, double-click, drops, the external editor and viewer.
#include "platform/process_launcher.h"
#include "ui/list_interactions.h"
#include "ui/main_window.h"

namespace korvane {

namespace {
ProcessLauncher* injectedLauncher = nullptr;
}  // namespace

void setProcessLauncherForTests(ProcessLauncher* launcher) { injectedLauncher = launcher; }

ProcessLauncher& processLauncher() {
  static QtProcessLauncher real;
  return injectedLauncher != nullptr ? *injectedLauncher : real;
}

void MainWindow::setUpListInteractions() { new ListInteractions(*this); }
void MainWindow::onEdit() { openInEditor(*this); }
void MainWindow::onViewer() { openInViewer(*this); }

}  // namespace korvane
