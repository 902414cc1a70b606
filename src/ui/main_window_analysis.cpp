// Machining length and time, file information and DNC conversion from the main window.
#include <QApplication>
#include <QListWidget>

#include "analysis/machine_model.h"
#include "analysis/machining_time.h"
#include "ui/file_properties.h"
#include "ui/main_window.h"
#include "ui/result_window.h"

namespace korvane {

namespace {

QStringList selectedRowTexts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->isSelected()) texts << list->item(i)->text();
  }
  return texts;
}

}  // namespace

void MainWindow::onFileInfo() {
  showFileProperties(selectedRowTexts(List1), this, propertiesSheetService(),
                     [this](const QString& text) { showMessage(text, MessageIcon::None); });
}

void MainWindow::onMachiningTime() { kakou_time(); }

void MainWindow::kakou_time() { kakou_time(selectedRowTexts(List1)); }

void MainWindow::kakou_time(const QStringList& paths) {
  // The window lives as long as the main window; closing it only hides it and drops its rows.
  if (resultWindow_ == nullptr) resultWindow_ = new Form5(this);
  Form5* results = resultWindow_;

  QApplication::setOverrideCursor(Qt::WaitCursor);
  QString failure;
  const MachiningSink sink{
      [results](const MachiningRow& row) { results->appendRow(row.texts()); },
      [&failure](const QString& name, const QString& error) { failure = unreadableFileMessage(name, error); }};
  // Read for the machine selected in the machine box.
  korvane::kakou_time(paths, sink, machineOf(store_.profile(store_.selectedSlot())));
  QApplication::restoreOverrideCursor();

  if (!failure.isEmpty()) showMessage(failure, MessageIcon::None);
  results->show();
  results->raise();
  results->activateWindow();
}

}  // namespace korvane
