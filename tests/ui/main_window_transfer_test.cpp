// The window's send and receive commands drive the engines: the window switches to the transfer
// and back, "中断" aborts, and commands from the menus cannot start a second transfer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "settings/settings_store.h"
#include "support/fake_serial_port.h"
#include "transfer/receive_engine.h"
#include "ui/main_window.h"
#include "test_doubles.h"

using namespace korvane;
using namespace korvane::test;

namespace {


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
