// The main window's commands that hand over to the engines: list editing, send and receive.
// The window only forwards; what happens lives in the core.
#include <QListWidget>
#include <QApplication>

#include "analysis/dnc_converter.h"
#include "ui/list_interactions.h"
#include "ui/main_window.h"
#include "ui/window_transfers.h"

namespace korvane {

// The list's event filter goes first: the widgets' own teardown still sends the viewport
// events, and the filter must not see a window that is half gone.
MainWindow::~MainWindow() { delete findChild<ListInteractions*>(QString(), Qt::FindDirectChildrenOnly); }

WindowTransfers& MainWindow::transfers() {
  if (!transfers_) transfers_ = std::make_unique<WindowTransfers>();
  return *transfers_;
}

void MainWindow::setFileDialogs(FileDialogs* dialogs) { transfers().dialogs = dialogs; }
void MainWindow::setReceiveUi(ReceiveUi* ui) { transfers().receiveUi = ui; }
void MainWindow::setClock(Clock* clock) { transfers().clock = clock; }

void MainWindow::setCompletionServices(Mailer* mailer, PowerOff* powerOff, std::function<void()> endProgram) {
  WindowTransfers& t = transfers();
  t.mailer = mailer;
  t.powerOff = powerOff;
  t.endProgram = std::move(endProgram);
}

FileListEditor& MainWindow::listEditor() {
  WindowTransfers& t = transfers();
  if (!t.editor) {
    if (!t.dialogs) {
      t.qtDialogs = std::make_unique<QtFileDialogs>(this);
      t.dialogs = t.qtDialogs.get();
    }
    t.editor = std::make_unique<FileListEditor>(List1, store_, *t.dialogs,
                                                [this](const QString& caption) { setWindowCaption(caption); });
  }
  return *t.editor;
}

QStringList MainWindow::rows() const {
  QStringList out;
  for (int i = 0; i < List1->count(); ++i) out << List1->item(i)->text();
  return out;
}

namespace {

// The list belongs to a running transfer; a command from the menus that would change it, or
// start a second transfer on the port, is refused (the buttons are disabled already). No message
// box: a modal box would hold the running transfer until it is closed.
bool refused(bool busy) {
  if (busy) QApplication::beep();
  return busy;
}

}  // namespace

void MainWindow::onAddFiles() {
  if (refused(transferRunning())) return;
  listEditor().addFiles();
}

void MainWindow::onInsertFile() {
  if (refused(transferRunning())) return;
  listEditor().insertFile();
}

void MainWindow::onDeleteFiles() {
  if (refused(transferRunning())) return;
  listEditor().deleteSelectedFiles();
}

SendEngine* MainWindow::sendEngine() {
  WindowTransfers& t = transfers();
  if (!t.send) {
    if (!serialPort_) return nullptr;
    if (!t.mailer) {
      t.systemMailer = makeSystemMailer(&t.pump);
      t.mailer = t.systemMailer.get();
    }
    if (!t.powerOff) {
      t.systemPowerOff = makeSystemPowerOff();
      t.powerOff = t.systemPowerOff.get();
    }
    t.completion = std::make_unique<CompletionActions>(store_, *t.mailer, *t.powerOff, *this, t.endProgram);
    TransferContext context{*serialPort_, *this, t.pump, *t.clock, gblnCancelFlag};
    t.send = std::make_unique<SendEngine>(
        store_, context,
        SendCompletion{[this, &t](const QStringList& rows) {
                         t.completion->sendCompletionMail(mailRowsForSend_.isEmpty() ? rows : mailRowsForSend_);
                       },
                       [&t] { t.completion->shutDownSystem(); }});
  }
  return t.send.get();
}

void MainWindow::onSend() {
  if (refused(DncConverter::anyRunning())) return;
  WindowTransfers& t = transfers();
  if (refused(t.receive && t.receive->running())) return;
  if (SendEngine* engine = sendEngine()) engine->press(rows());
}

void MainWindow::sendRestartProgram(const QString& path, int row, const QString& mailRow) {
  if (refused(DncConverter::anyRunning() || transferRunning())) return;
  SendEngine* engine = sendEngine();
  if (!engine) return;
  rowShownForSend_ = row;
  mailRowsForSend_ = QStringList{mailRow};
  engine->press({path});
  rowShownForSend_ = -1;
  mailRowsForSend_.clear();
}

void MainWindow::onReceive() {
  WindowTransfers& t = transfers();
  if (refused(t.send && t.send->running())) return;
  if (!t.receive) {
    if (!serialPort_) return;
    if (!t.receiveUi) {
      FileListEditor& editor = listEditor();
      t.windowReceiveUi = std::make_unique<WindowReceiveUi>(this, List1, editor, *t.dialogs, store_);
      t.receiveUi = t.windowReceiveUi.get();
    }
    TransferContext context{*serialPort_, *this, t.pump, *t.clock, gblnCancelFlag};
    t.receive = std::make_unique<ReceiveEngine>(store_, context, *t.receiveUi);
  }
  t.receive->press();
}

}  // namespace korvane
