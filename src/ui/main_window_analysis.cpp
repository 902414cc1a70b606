// Machining length and time, file information and DNC conversion from the main window.
#include <QApplication>
#include <QListWidget>

#include "analysis/machine_model.h"
#include "analysis/machining_time.h"
#include "ui/file_properties.h"
#include "ui/list_interactions.h"
#include "ui/main_window.h"
#include "ui/result_window.h"
#include "ui/toolpath_window.h"

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
  if (resultWindow_ == nullptr) {
    resultWindow_ = new Form5(this);
    connect(resultWindow_, &Form5::toolpathRequested, this, [this](const QString& path) { openToolpath(path); });
  }
  Form5* results = resultWindow_;

  QApplication::setOverrideCursor(Qt::WaitCursor);
  QString failure;
  // File by file, so that each row knows the file it came from (its toolpath opens from it); as
  // one run, the first file that cannot be read ends it.
  const MachineModel machine = machineOf(store_.profile(store_.selectedSlot()));
  for (const QString& path : paths) {
    const MachiningSink sink{
        [results, &path](const MachiningRow& row) { results->appendRow(row.texts(), path); },
        [&failure](const QString& name, const QString& error) { failure = unreadableFileMessage(name, error); }};
    if (!korvane::kakou_time({path}, sink, machine)) break;
  }
  QApplication::restoreOverrideCursor();

  if (!failure.isEmpty()) showMessage(failure, MessageIcon::None);
  results->show();
  results->raise();
  results->activateWindow();
}

void MainWindow::onToolpath() {
  QStringList paths = selectedRowTexts(List1);
  // With nothing selected, the row the menu was opened on.
  const int row = listInteractions_ ? listInteractions_->menuRow() : -1;
  if (paths.isEmpty() && row >= 0 && row < List1->count()) paths << List1->item(row)->text();
  for (const QString& path : paths) openToolpath(path);
}

ToolpathWindow* MainWindow::openToolpath(const QString& path) {
  auto* window = new ToolpathWindow(path, machineOf(store_.profile(store_.selectedSlot())), this);
  // 途中から送信 from the block the view has come to.
  connect(window, &ToolpathWindow::restartRequested, this,
          [this](const QString& file, qint64 ordinal) { openRestart(-1, file, ordinal); });
  window->show();
  emit toolpathOpened(window);
  return window;
}

}  // namespace korvane
