// What a running transfer shows in the main window.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <climits>

#include "ui/main_window.h"

namespace korvane {

namespace {

const QString kSendCaption = QStringLiteral("送信");
const QString kReceiveCaption = QStringLiteral("受信");
const QString kAbortCaption = QStringLiteral("中断");
const QColor kSendingBackground(128, 255, 255);

}  // namespace

// The controls a transfer of this kind disables; its own button stays enabled as the abort button.
QList<QWidget*> MainWindow::transferControls(TransferKind kind) const {
  if (kind == TransferKind::Send) {
    return {cmdget, cmdedit, cmdportset, cmdexit, comportm, flistadd, flistins, flistdel, List1};
  }
  return {Cmdsend, cmdedit, cmdportset, cmdexit, flistadd, flistins, flistdel, comportm};
}

void MainWindow::enterTransfer(TransferKind kind) {
  runningTransfer_ = kind;
  (kind == TransferKind::Send ? Cmdsend : cmdget)->setText(kAbortCaption);
  for (QWidget* w : transferControls(kind)) w->setEnabled(false);
}

void MainWindow::leaveTransfer(TransferKind kind) {
  if (kind == TransferKind::Send) {
    Cmdsend->setText(kSendCaption);
  } else {
    cmdget->setText(kReceiveCaption);
  }
  for (QWidget* w : transferControls(kind)) w->setEnabled(true);
  runningTransfer_.reset();
}

void MainWindow::setWindowCaption(const QString& text) { setWindowTitle(text); }

void MainWindow::setStatusText(const QString& text) { statusPanel1->setText(text); }

void MainWindow::setElapsedText(const QString& text) { statusPanel2->setText(text); }

// The bar counts in int; a file larger than that is shown in steps of progressScale_ bytes.
void MainWindow::setProgressRange(qint64 maximum) {
  if (maximum < 0) maximum = 0;
  progressScale_ = maximum > INT_MAX ? (maximum + INT_MAX - 1) / INT_MAX : 1;
  ProgressBar1->setRange(0, static_cast<int>(maximum / progressScale_));
}

void MainWindow::setProgressValue(qint64 value) {
  const qint64 scaled = std::max<qint64>(0, value) / progressScale_;
  ProgressBar1->setValue(static_cast<int>(std::min<qint64>(scaled, ProgressBar1->maximum())));
}

void MainWindow::setRowSelected(int row, bool selected) {
  // A restart program is sent for the row it was made from.
  if (rowShownForSend_ >= 0) row = rowShownForSend_;
  if (QListWidgetItem* item = List1->item(row)) item->setSelected(selected);
}

void MainWindow::clearRowSelection() { List1->clearSelection(); }

void MainWindow::setListSending(bool sending) {
  QPalette palette = List1->palette();
  const QBrush base = sending ? QBrush(kSendingBackground) : QApplication::palette(List1).base();
  // All groups: the list is disabled while it is sent and must still show the colour.
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setBrush(group, QPalette::Base, base);
  }
  List1->setPalette(palette);
}

}  // namespace korvane
