// List interactions: tooltips, context menus, double-click, drops, the external editor and viewer.
#include <QPointer>

#include "platform/desktop/process_launcher.h"
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

void MainWindow::setUpListInteractions() {
  listInteractions_ = new ListInteractions(*this);
  // The desktop opener finds out only after its start that it has no program for a folder, an
  // address or a file; the window that started it says so.
  QPointer<MainWindow> self(this);
  processLauncher().setFailureReport([self](const QString& message) {
    if (self) self->showMessage(message, MessageIcon::Critical);
  });
}
void MainWindow::onEdit() { openInEditor(*this); }
void MainWindow::onViewer() { openInViewer(*this); }

}  // namespace korvane
