// The communication settings dialog from the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "ui/file_list_editor.h"
#include "ui/main_window.h"
#include "ui/settings_dialog.h"

namespace korvane {

void MainWindow::onSettings() {
  if (!settingsDialog_) {
    Form3::Hooks hooks;
    hooks.makePort = makePort_;
    hooks.renameMachine = [this](int slot, const QString& name) { comportm->setItemText(slot - 1, name); };
    hooks.setShutdownCheck = [this](bool checked) { Check1->setChecked(checked); };
    settingsDialog_ = new Form3(store_, portChoices_, std::move(hooks), this);
    // A filter learned while adding files shows in the dialog's filter box at once.
    Form3* dialog = settingsDialog_;
    listEditor().setFilterChangedHandler([dialog](const QString& filter) { dialog->Text1->setText(filter); });
  }
  settingsDialog_->show();
  settingsDialog_->raise();
  settingsDialog_->activateWindow();
  const int slot = store_.selectedSlot();
  settingsDialog_->selectProfile(slot);
  if (slot > 0) comportm->setCurrentIndex(slot - 1);
}

}  // namespace korvane
