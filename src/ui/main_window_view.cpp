// What a running transfer shows in the main window.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <climits>
#include <utility>

#include "transfer/line_writer.h"
#include "ui/main_window.h"
#include "ui/window_transfers.h"

namespace korvane {

namespace {

const QString kSendCaption = QStringLiteral("送信");
const QString kReceiveCaption = QStringLiteral("受信");
const QString kAbortCaption = QStringLiteral("中断");
const QColor kSendingBackground(128, 255, 255);
// Status panel 1 of a reception until its first line has arrived.
const QString kWaitingForMachineText = QStringLiteral("機械からのデータを待っています");
// Often enough that the seconds step evenly.
constexpr int kReceptionClockMs = 250;

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
  if (kind == TransferKind::Receive) {
    if (!receptionClock_) {
      receptionClock_ = new QTimer(this);
      receptionClock_->setInterval(kReceptionClockMs);
      connect(receptionClock_, &QTimer::timeout, this, &MainWindow::showReceptionTime);
    }
    receptionStartMs_.reset();
    receptionClock_->start();
  }
}

void MainWindow::leaveTransfer(TransferKind kind) {
  if (kind == TransferKind::Send) {
    Cmdsend->setText(kSendCaption);
  } else {
    cmdget->setText(kReceiveCaption);
  }
  for (QWidget* w : transferControls(kind)) w->setEnabled(true);
  stopReceptionDisplay();
  runningTransfer_.reset();
  // A question still open asks about a transfer that is over; the next close is not asked.
  if (closeQuestion_ && closeQuestion_->isVisible()) closeQuestion_->done(QMessageBox::No);
  if (const std::optional<WayOut> way = std::exchange(leaveAfterTransfer_, std::nullopt)) {
    // After the engine has returned from its button's handler, not inside it.
    QTimer::singleShot(0, this, [this, way] {
      if (*way == WayOut::Exit) {
        onExit();
      } else {
        close();
      }
    });
  }
}

void MainWindow::setWindowCaption(const QString& text) {
  setWindowTitle(text);
  // A reception changes its caption only when it starts and when it ends; from its end on it
  // waits for nothing, though its last messages are still to be read.
  if (runningTransfer_ == TransferKind::Receive && text != kReceivingCaption) stopReceptionDisplay();
}

// A reception shows no line until the machine punches its first; until then the panel says that
// it waits for the machine, so a silent line does not look like a window that hangs.
void MainWindow::setStatusText(const QString& text) {
  statusPanel1->setText(text.isEmpty() && runningTransfer_ == TransferKind::Receive ? kWaitingForMachineText : text);
}

// The engine shows the time at its start and at every line; the window's own clock shows it in
// between, counted from the engine's first showing, so it runs while no line comes.
void MainWindow::setElapsedText(const QString& text) {
  statusPanel2->setText(text);
  if (receptionClock_ && receptionClock_->isActive() && !receptionStartMs_) {
    receptionStartMs_ = transfers().clock->nowMs();
  }
}

void MainWindow::showReceptionTime() {
  if (receptionStartMs_) statusPanel2->setText(elapsedText(transfers().clock->nowMs() - *receptionStartMs_));
}

void MainWindow::stopReceptionDisplay() {
  if (receptionClock_) receptionClock_->stop();
  receptionStartMs_.reset();
  if (statusPanel1->text() == kWaitingForMachineText) statusPanel1->clear();
}

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
