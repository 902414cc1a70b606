// Help and the about box from the main window.
#include "ui/about_box.h"
#include "ui/help_viewer.h"
#include "ui/list_interactions.h"
#include "ui/main_window.h"

namespace korvane {

// One help window for the main window, brought forward again on later calls.
void MainWindow::onHelp() {
  auto* viewer = findChild<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
  if (viewer == nullptr) viewer = new HelpViewer(this);
  viewer->showContext(kHelpStartContext);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

void MainWindow::onAbout() {
  if (aboutBox_ == nullptr) {
    aboutBox_ = new frmAbout(processLauncher(), [this](const QString& text) { showMessage(text, MessageIcon::None); },
                             this);
    // "OK" unloads the box; the next call builds a fresh one.
    aboutBox_->setAttribute(Qt::WA_DeleteOnClose);
  }
  aboutBox_->show();
  aboutBox_->raise();
  aboutBox_->activateWindow();
}

}  // namespace korvane
