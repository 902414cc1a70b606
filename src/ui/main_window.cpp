#include "ui/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/serial/serial_port_factory.h"
#include "ui/message_box.h"
#include "ui/twips.h"
#include "ui/window_transfers.h"

namespace korvane {

namespace {

// X11 cannot make a window larger than this many pixels in either direction.
constexpr int kLargestWindowPx = 32767;

// Ends the process without running another window event; the settings file is already written
// and the operating system releases the port.
void endProcessNow() {
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace

MainWindow::MainWindow(SettingsStore& store, const QStringList& rows, PortFactory makePort, QWidget* parent)
    : QMainWindow(parent),
      store_(store),
      makePort_(std::move(makePort)),
      layout_(designedLayout()),
      quit_(endProcessNow),
      presenter_([this](const QString& text, MessageIcon icon, bool yesNo) {
        return execMessageBox(this, text, icon, yesNo);
      }) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(kAppTitle);
  buildControls();
  buildMenus();
  connectEvents();
  applyTabOrder();
  placeControls();
  // The controls keep their designed places below the designed size, so a smaller window would
  // only hide buttons: the designed client area (status bar included) under the menu bar is
  // the least the window can be.
  setMinimumSize(twipsToPx(kDesignClientWidth, logicalDpiX()),
                 menuBar()->sizeHint().height() + twipsToPx(kDesignClientHeight, logicalDpiY()));
  resize(twipsToPx(kDesignWidth, logicalDpiX()), twipsToPx(kDesignHeight, logicalDpiY()));
  setUpListInteractions();
  startUp(rows);
  cmdexit->setFocus();
}

void MainWindow::startUp(const QStringList& rows) {
  // A cancelled file dialog already reads as an empty choice here, so nothing has to be set up
  // to tell it from a chosen file.
  for (const QString& row : rows) {
    if (!row.isEmpty()) List1->addItem(row);
  }
  store_.loadSettings();
  // Said as the window comes up, before anything can be sent: the defaults may not be the line
  // settings of the machine.
  if (!store_.loadProblem().isEmpty()) {
    QTimer::singleShot(0, this, [this] { showMessage(store_.loadProblem(), MessageIcon::Warning); });
  }
  if (!store_.loadNotice().isEmpty()) {
    QTimer::singleShot(0, this, [this] { showMessage(store_.loadNotice(), MessageIcon::Information); });
  }

  // From here on a step that fails is skipped and start-up goes on.
  probePorts();

  {
    const QSignalBlocker quiet(comportm);
    for (int n = 1; n <= kProfileSlots; ++n) comportm->addItem(store_.profile(n).deviceName);
    comportm->setCurrentIndex(-1);
  }
  // Selecting raises the selection event, which sets currentProfile to the same slot. A slot
  // outside 1..10 (or not a whole number) leaves the box without a selection.
  const int slot = store_.selectedSlot();
  if (slot > 0) comportm->setCurrentIndex(slot - 1);

  Check1->setChecked(asInt(store_.app().shutdownAfterSend) == 1);

  if (serialPort_) serialPort_->setDtrEnable(true);

  margins_ = captureMargins(designedLayout());
  layoutReady_ = true;
  store_.loadWindowSize();
  applyOuterSize(store_.app().windowWidth, store_.app().windowHeight);
}

// Opens and closes each of the ports 1 to 10. A port is listed when it opened, when it exists
// but did not open (in use, no access, a device server that does not answer), and when the
// operator named it in korvane-ports though what it names is not there now (an adapter
// unplugged): a missing port in the middle hides none after it. What each port is and how its
// opening went is kept for the settings dialog.
void MainWindow::probePorts() {
  portChoices_.clear();
  if (!makePort_) return;
  serialPort_ = makePort_();
  if (!serialPort_) return;
  for (int n = 1; n <= kProfileSlots; ++n) {
    serialPort_->setCommPort(n);
    PortError error;
    PortChoice port{n, true, {}};
    QString state = QStringLiteral("ok");
    if (serialPort_->open(&error)) {
      serialPort_->close();
    } else {
      if (error.number == kErrInvalidPort && !portHasEntry(n, store_.iniPath())) continue;
      port.openable = false;
      state = error.description;
    }
    port.detail = QStringLiteral("Com %1: %2\n%3").arg(n).arg(portDevicePath(n, store_.iniPath()), state);
    portChoices_ << port;
  }
}

QSize MainWindow::frameExtraPx() const { return frameGeometry().size() - geometry().size(); }

// A stored size that is no whole number of pixels reads back as it was stored while the window
// still has the pixel size it gave, so starting and ending without resizing keeps the file as it was.
QSize MainWindow::outerSizeTwips() const {
  const QSize outer = frameGeometry().size();
  const int width = outer.width() == appliedPx_.width() ? appliedTwips_.width()
                                                        : pxToTwips(outer.width(), logicalDpiX());
  const int height = outer.height() == appliedPx_.height() ? appliedTwips_.height()
                                                           : pxToTwips(outer.height(), logicalDpiY());
  return {width, height};
}

void MainWindow::applyOuterSize(double widthTwips, double heightTwips) {
  QSize outer = frameGeometry().size();
  const auto fits = [](int px) { return px >= 1 && px <= kLargestWindowPx; };
  // Compared as doubles first: a stored number too large for an int must not wrap around.
  if (widthTwips > 0 && widthTwips < 1e9 && fits(twipsToPx(widthTwips, logicalDpiX()))) {
    outer.setWidth(twipsToPx(widthTwips, logicalDpiX()));
    appliedPx_.setWidth(outer.width());
    appliedTwips_.setWidth(static_cast<int>(std::lround(widthTwips)));
  }
  if (heightTwips > 0 && heightTwips < 1e9 && fits(twipsToPx(heightTwips, logicalDpiY()))) {
    outer.setHeight(twipsToPx(heightTwips, logicalDpiY()));
    appliedPx_.setHeight(outer.height());
    appliedTwips_.setHeight(static_cast<int>(std::lround(heightTwips)));
  }
  const QSize extra = frameExtraPx();
  resize((outer - extra).expandedTo(QSize(1, 1)));
  // Before the window manager has framed the window its frame is unknown; size it again then.
  if (extra.isNull()) pendingOuterPx_ = outer;
  if (layoutReady_) layoutForOuterSize(outerSizeTwips());
}

void MainWindow::layoutForOuterSize(const QSize& twips) {
  store_.app().windowWidth = twips.width();
  store_.app().windowHeight = twips.height();
  applyResizeRule(layout_, margins_, twips.width(), twips.height());
  placeControls();
}

void MainWindow::fitFrameOnce() {
  if (!pendingOuterPx_ || !isVisible()) return;
  const QSize extra = frameExtraPx();
  if (extra.isNull()) return;
  const QSize target = (*pendingOuterPx_ - extra).expandedTo(QSize(1, 1));
  pendingOuterPx_.reset();
  if (target != size()) resize(target);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (layoutReady_) layoutForOuterSize(outerSizeTwips());
  fitFrameOnce();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  fitFrameOnce();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  fitFrameOnce();
}

// The close box saves nothing. While a transfer runs, closing would cut the machine's program
// off mid-block, so the operator is asked first (see askToStopAndLeave).
void MainWindow::closeEvent(QCloseEvent* event) {
  if (!transferRunning()) {
    event->accept();
    return;
  }
  event->ignore();
  askToStopAndLeave(WayOut::CloseBox);
}

// A window-modal box that the transfer does not wait for: a modal loop here would hold the line
// (a machine reading in DNC mode would starve mid-cut) for as long as the operator thinks.
void MainWindow::askToStopAndLeave(WayOut way) {
  askedWayOut_ = way;
  if (!closeQuestion_) {
    closeQuestion_ =
        new QMessageBox(QMessageBox::Warning, kAppTitle, QString(), QMessageBox::Yes | QMessageBox::No, this);
    closeQuestion_->setObjectName(QStringLiteral("closeQuestion"));
    closeQuestion_->setDefaultButton(QMessageBox::No);
    closeQuestion_->setWindowModality(Qt::WindowModal);
    fitCaption(*closeQuestion_);
    connect(closeQuestion_, &QMessageBox::finished, this, &MainWindow::closeQuestionAnswered);
  }
  closeQuestion_->setText(sendRunning() ? QStringLiteral("送信中です。中断して終了しますか？")
                                        : QStringLiteral("受信中です。中断して終了しますか？"));
  closeQuestion_->show();
  closeQuestion_->raise();
  closeQuestion_->activateWindow();
}

void MainWindow::closeQuestionAnswered(int answer) {
  if (answer != QMessageBox::Yes || !transferRunning()) return;
  leaveAfterTransfer_ = askedWayOut_;
  // What a press of 中断 does: the engine sees the flag at its next wait, ends the tape and
  // reports, and leaveTransfer then takes the way out.
  gblnCancelFlag = true;
}

void MainWindow::onMachineSelected(int position) {
  if (position >= 0) store_.app().currentProfile = position + 1;
}

void MainWindow::onShutdownClicked(bool checked) { store_.app().shutdownAfterSend = checked ? 1 : 0; }

void MainWindow::onSaveSettings() {
  QString error;
  if (!store_.saveSettings(&error)) showMessage(error, MessageIcon::Critical);
}

// The start slot and the size are written; a write that fails cannot be helped at this point
// and does not keep the program from ending.
void MainWindow::onExit() {
  if (transferRunning()) {
    askToStopAndLeave(WayOut::Exit);
    return;
  }
  const QSize outer = outerSizeTwips();
  store_.saveExitState(outer.width(), outer.height());
  quit_();
}


void MainWindow::showMessage(const QString& text, MessageIcon icon) { presenter_(text, icon, false); }

bool MainWindow::askYesNo(const QString& text, MessageIcon icon) { return presenter_(text, icon, true); }

}  // namespace korvane
