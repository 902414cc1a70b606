// The window's send and receive commands drive the engines: the window switches to the transfer
// and back, "中断" aborts, and commands from the menus cannot start a second transfer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

#include "settings/settings_store.h"
#include "support/fake_serial_port.h"
#include "support/iso_tape.h"
#include "transfer/receive_engine.h"
#include "ui/main_window.h"
#include "test_doubles.h"

using namespace korvane;
using namespace korvane::test;

namespace {

// A reception into one file, the file named beforehand.
class OneFileReception final : public ReceiveUi {
 public:
  explicit OneFileReception(QString path) : path_(std::move(path)) {}
  std::optional<ReceiveMethod> chooseMethod() override { return ReceiveMethod::OneFile; }
  QString chooseFolder() override { return {}; }
  void clearFileList() override { rows_.clear(); }
  void addFiles() override { rows_ << path_; }
  QStringList fileListRows() const override { return rows_; }
  void appendFileListRow(const QString& row) override { rows_ << row; }
  void setListTextBlue(bool) override {}
  void openFolder(const QString&) override {}

 private:
  QString path_;
  QStringList rows_;
};

class WindowTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QApplication::setQuitOnLastWindowClosed(false);
    store = std::make_unique<SettingsStore>(dir.filePath("korvane.ini"));
    program = dir.filePath("a.nc");
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("G1\nX2\n");
    f.close();
    window = std::make_unique<MainWindow>(*store, QStringList{program},
                                          [this] { return std::make_unique<FakeSerialPort>(clock); });
    window->setClock(&clock);
    window->setReceiveUi(&noReception);
    window->setMessagePresenter([this](const QString& text, MessageIcon, bool) {
      messages << text;
      if (onMessage) onMessage(text);
      return true;
    });
    port = static_cast<FakeSerialPort*>(window->serialPort());
    ASSERT_NE(port, nullptr);
  }

  QTemporaryDir dir;
  FakeClock clock;
  NoReception noReception;
  std::unique_ptr<SettingsStore> store;
  std::unique_ptr<MainWindow> window;
  FakeSerialPort* port = nullptr;
  QString program;
  QStringList messages;
  std::function<void(const QString&)> onMessage;

  // A program long enough that a close lands in its middle.
  void writeLongProgram() {
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (int i = 0; i < 400; ++i) f.write("G01X10.Y20.F100\n");
  }
  QMessageBox* closeQuestion() const { return window->findChild<QMessageBox*>(QStringLiteral("closeQuestion")); }

  // Presses the close box once the transfer runs; answer is clicked delayMs of line time later,
  // while the transfer goes on. Records the question and how much had gone out meanwhile.
  void closeDuringTransfer(QMessageBox::StandardButton answer, qint64 delayMs = 2000) {
    QTimer::singleShot(0, window.get(), [this, answer, delayMs] {
      closedAtOnce = window->close();
      QMessageBox* box = closeQuestion();
      ASSERT_NE(box, nullptr) << "no question";
      question = box->text();
      questionShown = box->isVisible();
      wireAtQuestion = port->wire.size();
      if (answer == QMessageBox::NoButton) return;
      clock.at(clock.nowMs() + delayMs, [this, box, answer] {
        wireAtAnswer = port->wire.size();
        box->button(answer)->click();
      });
    });
  }
  bool closedAtOnce = false;
  bool questionShown = false;
  QString question;
  qsizetype wireAtQuestion = -1;
  qsizetype wireAtAnswer = -1;
};

}  // namespace

TEST_F(WindowTransferTest, SendButtonSendsTheListAndRestoresTheWindow) {
  bool busyAtEnd = false;
  onMessage = [&](const QString&) {
    busyAtEnd = window->Cmdsend->text() == "中断" && !window->cmdget->isEnabled() && !window->List1->isEnabled();
  };
  window->Cmdsend->click();
  EXPECT_EQ(messages, QStringList{"送信が終了しました"});
  EXPECT_TRUE(busyAtEnd) << "the window showed the running send";
  EXPECT_EQ(port->wire.toHex(), "0a47b10ad8b20a");
  EXPECT_EQ(window->Cmdsend->text(), "送信");
  EXPECT_TRUE(window->cmdget->isEnabled());
  EXPECT_TRUE(window->List1->isEnabled());
  EXPECT_EQ(window->windowTitle(), "送信終了・・・");
}

TEST_F(WindowTransferTest, SecondPressOfTheSendButtonAborts) {
  store->profile(1).waitEnabled = 1;  // slow enough that the press lands mid-file
  store->profile(1).waitTime = 1000;
  const int opensBefore = port->openCount;
  QTimer::singleShot(0, window.get(), [&] { window->Cmdsend->click(); });
  window->Cmdsend->click();
  EXPECT_EQ(messages.last(), "送信が中断されました");
  EXPECT_EQ(window->windowTitle(), "送信中断・・・");
  EXPECT_EQ(port->openCount, opensBefore + 1) << "the second press started no job of its own";
}

TEST_F(WindowTransferTest, ReceiveFromTheMenuIsRefusedWhileSending) {
  QTimer::singleShot(0, window.get(), [&] { window->mnuget->trigger(); });
  window->Cmdsend->click();
  EXPECT_EQ(noReception.asked, 0) << "no reception dialog while the port is sending";
  EXPECT_EQ(messages.last(), "送信が終了しました");
}

TEST_F(WindowTransferTest, MenuCommandsThatChangeTheListAreRefusedWhileSending) {
  QTimer::singleShot(0, window.get(), [&] {
    window->List1->item(0)->setSelected(true);
    window->onDeleteFiles();
  });
  window->Cmdsend->click();
  EXPECT_EQ(window->List1->count(), 1);
}

// The close box does not cut the machine's program off unasked; the question leaves the send
// running, and Yes stops it as 中断 does (the tape still gets its end) before the window closes.
TEST_F(WindowTransferTest, CloseBoxDuringASendAsksAndOnYesAbortsThenCloses) {
  writeLongProgram();
  store->profile(1).ignorePercent = 1;  // the send frames the tape with "%": its end shows on the wire
  store->profile(1).waitEnabled = 1;    // a slow reader: 2 ms a character, 14 s for the program
  store->profile(1).waitTime = 2;
  window->show();
  closeDuringTransfer(QMessageBox::Yes);
  window->Cmdsend->click();
  EXPECT_FALSE(closedAtOnce);
  EXPECT_TRUE(questionShown);
  EXPECT_EQ(question, QStringLiteral("送信中です。中断して終了しますか？"));
  EXPECT_GT(wireAtAnswer, wireAtQuestion) << "the send went on while the question was open";
  EXPECT_EQ(messages.last(), QStringLiteral("送信が中断されました"));
  EXPECT_LT(port->wire.size(), 400 * 17) << "aborted, not sent to the end";
  EXPECT_EQ(quint8(port->wire.back()), 0xA5) << "the tape's closing \"%\" went out after the abort";
  EXPECT_TRUE(window->isVisible()) << "the window waits for the send to end";
  QApplication::processEvents();
  EXPECT_FALSE(window->isVisible()) << "then it closes";
}

TEST_F(WindowTransferTest, CloseBoxDuringASendAnsweredNoLetsTheSendEnd) {
  writeLongProgram();
  window->show();
  closeDuringTransfer(QMessageBox::No);
  window->Cmdsend->click();
  EXPECT_EQ(question, QStringLiteral("送信中です。中断して終了しますか？"));
  EXPECT_EQ(messages.last(), QStringLiteral("送信が終了しました"));
  QApplication::processEvents();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->Cmdsend->text(), QStringLiteral("送信"));
}

// A send that ends while the question is still open leaves nothing to abort: the question goes,
// the window stays, and the next close is not asked.
TEST_F(WindowTransferTest, AQuestionLeftOpenGoesWhenTheSendEnds) {
  window->show();
  closeDuringTransfer(QMessageBox::NoButton);
  window->Cmdsend->click();
  EXPECT_TRUE(questionShown);
  EXPECT_EQ(messages.last(), QStringLiteral("送信が終了しました"));
  QApplication::processEvents();
  EXPECT_TRUE(closeQuestion() == nullptr || !closeQuestion()->isVisible());
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->close());
}

TEST_F(WindowTransferTest, CloseBoxDuringAReceptionAsksAndOnYesKeepsWhatArrived) {
  OneFileReception reception(dir.filePath(QStringLiteral("in.nc")));
  window->setReceiveUi(&reception);
  window->show();
  clock.at(100, [this] { port->feed(iso("%\nO1234\nG01X1.\n")); });
  closeDuringTransfer(QMessageBox::Yes, 5000);
  window->cmdget->click();
  EXPECT_EQ(question, QStringLiteral("受信中です。中断して終了しますか？"));
  EXPECT_EQ(messages.last(), QStringLiteral("受信が中断されました"));
  QFile in(dir.filePath(QStringLiteral("in.nc")));
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  EXPECT_EQ(in.readAll(), QByteArray("%\r\nO1234\r\nG01X1.\r\n"));
  QApplication::processEvents();
  EXPECT_FALSE(window->isVisible());
}

// Until the machine punches, the reception says it waits for it, and its time runs.
TEST_F(WindowTransferTest, AReceptionWaitingForTheMachineSaysSoAndItsTimeRuns) {
  OneFileReception reception(dir.filePath(QStringLiteral("in.nc")));
  window->setReceiveUi(&reception);
  QString waitingStatus;
  QString waitingElapsed;
  QString lineStatus;
  // Real time, for the window's own clock tick; the line's time runs far ahead meanwhile.
  QTimer::singleShot(800, window.get(), [&] {
    waitingStatus = window->statusPanel1->text();
    waitingElapsed = window->statusPanel2->text();
    port->feed(iso("%\nO1234\n"));
    QTimer::singleShot(50, window.get(), [&] {
      lineStatus = window->statusPanel1->text();
      window->cmdget->click();
    });
  });
  QString statusAtEnd;
  QString elapsedAtEnd;
  onMessage = [&](const QString&) {
    statusAtEnd = window->statusPanel1->text();
    elapsedAtEnd = window->statusPanel2->text();
  };
  window->cmdget->click();
  EXPECT_EQ(waitingStatus, QStringLiteral("機械からのデータを待っています"));
  EXPECT_FALSE(waitingElapsed.isEmpty());
  EXPECT_NE(waitingElapsed, QStringLiteral("00 : 00 : 00")) << "the elapsed time runs while waiting";
  EXPECT_EQ(lineStatus, QStringLiteral(" 2:O1234")) << "the lines replace it as they arrive";
  EXPECT_EQ(messages.last(), QStringLiteral("受信が中断されました"));
  EXPECT_EQ(statusAtEnd, lineStatus);
  clock.advance(5000);
  QTest::qWait(300);
  EXPECT_EQ(window->statusPanel2->text(), elapsedAtEnd) << "the time stops with the reception";
}

// A reception stopped before anything came no longer says that it waits.
TEST_F(WindowTransferTest, AReceptionStoppedWhileWaitingNoLongerSaysItWaits) {
  OneFileReception reception(dir.filePath(QStringLiteral("in.nc")));
  window->setReceiveUi(&reception);
  QString statusAtEnd = QStringLiteral("(no message)");
  onMessage = [&](const QString&) { statusAtEnd = window->statusPanel1->text(); };
  QTimer::singleShot(0, window.get(), [&] { window->cmdget->click(); });
  window->cmdget->click();
  EXPECT_EQ(messages.last(), QStringLiteral("受信が中断されました"));
  EXPECT_EQ(statusAtEnd, QString());
}
