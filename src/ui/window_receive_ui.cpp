#include "ui/window_receive_ui.h"

#include <QListWidget>

#include "ui/file_dialogs.h"
#include "ui/file_list_editor.h"
#include "ui/folder_chooser.h"
#include "ui/list_interactions.h"
#include "ui/main_window.h"
#include "platform/desktop/process_launcher.h"
#include "ui/receive_method_dialog.h"

namespace korvane {

std::optional<ReceiveMethod> WindowReceiveUi::chooseMethod() { return askReceiveMethod(parent_); }

QString WindowReceiveUi::chooseFolder() { return chooseReceiveFolder(parent_, store_.app().dataFolder); }

void WindowReceiveUi::clearFileList() { editor_.clearFileList(); }

// The target of a one-file reception is usually a new file: the add dialog takes a new name here.
void WindowReceiveUi::addFiles() {
  dialogs_.setAcceptNewFileName(true);
  editor_.addFiles();
  dialogs_.setAcceptNewFileName(false);
}

QStringList WindowReceiveUi::fileListRows() const {
  QStringList rows;
  for (int i = 0; i < list_->count(); ++i) rows << list_->item(i)->text();
  return rows;
}

void WindowReceiveUi::appendFileListRow(const QString& row) { list_->addItem(row); }

void WindowReceiveUi::setListTextBlue(bool blue) {
  QPalette palette = list_->palette();
  palette.setColor(QPalette::Text, blue ? QColor(0, 0, 255) : list_->style()->standardPalette().color(QPalette::Text));
  list_->setPalette(palette);
}

// The desktop's file manager shows the folder (xdg-open on Linux); when it cannot, the window
// says so (a failure found later by the opener goes to the launcher's failure report).
void WindowReceiveUi::openFolder(const QString& folder) {
  if (const auto error = processLauncher().openPath(folder)) {
    if (auto* window = qobject_cast<MainWindow*>(parent_)) window->showMessage(*error, MessageIcon::Critical);
  }
}

}  // namespace korvane
