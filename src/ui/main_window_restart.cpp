// "途中から送信" from the list's context menu: the program of the row the menu was opened on,
// restarted from a block the operator picks, sent as 送信 sends a file.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QTemporaryFile>

#include "analysis/dnc_converter.h"
#include "analysis/restart_source.h"
#include "ui/list_interactions.h"
#include "ui/main_window.h"
#include "ui/restart_dialog.h"

namespace korvane {

void MainWindow::onRestartSend() {
  // Events served during a transfer or a conversion can reach the menu; no message box then.
  if (transferRunning() || DncConverter::anyRunning()) {
    QApplication::beep();
    return;
  }
  int row = -1;
  if (const auto* list = findChild<ListInteractions*>(QString(), Qt::FindDirectChildrenOnly)) row = list->menuRow();
  for (int i = 0; i < List1->count() && row < 0; ++i) {
    if (List1->item(i)->isSelected()) row = i;
  }
  if (row < 0 || row >= List1->count()) return;
  openRestart(row, List1->item(row)->text(), std::nullopt);
}

void MainWindow::openRestart(int row, const QString& path, std::optional<std::int64_t> ordinal) {
  if (transferRunning() || DncConverter::anyRunning()) {
    QApplication::beep();
    return;
  }
  if (row < 0) {
    for (int i = 0; i < List1->count() && row < 0; ++i) {
      if (List1->item(i)->text() == path) row = i;
    }
  }
  // The program first; its subprograms may lie in any listed file, as for the DNC conversion.
  QStringList files{path};
  for (int i = 0; i < List1->count(); ++i) {
    if (i != row) files << List1->item(i)->text();
  }
  QString error;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::optional<RestartSource> source = loadRestartSource(files, &error);
  QApplication::restoreOverrideCursor();
  if (!source) {
    showMessage(error, MessageIcon::Critical);
    return;
  }
  const PortProfile& profile = store_.profile(store_.selectedSlot());
  // A block chosen in the toolpath view is one of the file's own; a program flattened for its
  // calls numbers its blocks anew, and the operator chooses again there.
  const bool sameBlocks = !source->flattened;
  frmRestart dialog(std::move(*source), machineOf(profile), restartOptionsOf(profile), this);
  if (ordinal && sameBlocks) dialog.chooseBlock(*ordinal);
  const int result = restartPresenter_ ? restartPresenter_(dialog) : dialog.exec();
  if (result != QDialog::Accepted || !dialog.restart()) return;

  const RestartProgram& restart = *dialog.restart();
  QTemporaryFile file(QDir::temp().filePath(QFileInfo(files.first()).completeBaseName() + QStringLiteral("-restart-XXXXXX.nc")));
  if (!file.open() || file.write(restart.text) != restart.text.size() || !file.flush()) {
    showMessage(QStringLiteral("再開プログラムを書き込めません: %1\r\n%2").arg(QDir::toNativeSeparators(file.fileName()), file.errorString()),
                MessageIcon::Critical);
    return;
  }
  sendRestartProgram(file.fileName(), row, files.first() + QStringLiteral("（%1 から）").arg(restart.block.describe()));
}

}  // namespace korvane
