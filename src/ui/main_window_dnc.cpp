// DNC conversion from the main window.
#include <QApplication>

#include "analysis/dnc_converter.h"
#include "ui/dnc_window.h"
#include "ui/main_window.h"

namespace korvane {

void MainWindow::onDnc() {
  // Events served during a transfer or a conversion can reach the menu; a second run would
  // share the port's list or the converter. No message box: it would hold the running job.
  if (transferRunning() || DncConverter::anyRunning()) {
    QApplication::beep();
    return;
  }
  if (!dncWindow_) dncWindow_ = new Form6(*this);
  Form6* form = dncWindow_;
  form->setDestination({});

  setWindowCaption(kDncSaveTitle);
  QtSaveDialog platformDialog(this);
  SaveDialog* dialog = dncSaveDialog(*this);
  if (!dialog) dialog = &platformDialog;
  const std::optional<QString> destination = dialog->saveFile(kDncSaveTitle, store_.app().dataFolder, kDncSaveFilter);
  if (!destination) return;
  form->setDestination(*destination);

  DncHooks hooks;
  hooks.stopOnDuplicates = [this](const QString& question) { return askYesNo(question, MessageIcon::Question); };
  hooks.expansionStarting = [form] { form->startConversion(); };
  hooks.convertedAdded = [form](const QString& entry) { form->addConverted(entry); };
  hooks.unconvertedAdded = [form](const QString& callLine) { form->addUnconverted(callLine); };
  hooks.serveEvents = [] { QCoreApplication::processEvents(); };

  // Every row takes part, selected or not: subprograms may lie in any listed file.
  const DncResult result = DncConverter(std::move(hooks)).run(rows(), *destination);
  switch (result.outcome) {
    case DncOutcome::Converted: showMessage(kDncDoneMessage, MessageIcon::None); break;
    case DncOutcome::Stopped: break;
    case DncOutcome::Cancelled:
    case DncOutcome::Busy: showMessage(result.message, MessageIcon::Warning); break;
    case DncOutcome::Failed: showMessage(result.message, MessageIcon::Critical); break;
  }
}

}  // namespace korvane
