// "ＤＮＣ変換" from the main window: the save dialog, the run over every listed file, the
// duplicate question, the result window's lists and buttons, and the refusals while a transfer
// or another conversion runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "analysis/dnc_converter.h"
#include "settings/settings_store.h"
#include "support/fake_serial_port.h"
#include "transfer/receive_engine.h"
#include "ui/dnc_window.h"
#include "ui/main_window.h"
#include "test_doubles.h"
#include "ui/result_window.h"
#include "support/test_files.h"

using namespace korvane;
using namespace korvane::test;

namespace {

class FakeSaveDialog final : public SaveDialog {
 public:
  std::optional<QString> answer;
  int asked = 0;
  QString caption, folder, filter;
  std::optional<QString> saveFile(const QString& c, const QString& d, const QString& f) override {
    ++asked;
    caption = c;
    folder = d;
    filter = f;
    return answer;
  }
};

struct Message {
  QString text;
  MessageIcon icon;
  bool yesNo;
};

QStringList items(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

class DncWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QApplication::setQuitOnLastWindowClosed(false);
    store = std::make_unique<SettingsStore>(dir.filePath("korvane.ini"));
    store->app().dataFolder = dir.path();
    mainFile = write("main.nc", "%\nO0001\nG90\nM98P1000L2\nM98P3000\nM30\n%\n");
    subFile = write("sub.nc", "O1000\nG01 X10.\nM99\n");
    destination = dir.filePath("out.dnc");
    saveDialog.answer = destination;
    makeWindow({mainFile, subFile});
  }

  void TearDown() override {
    if (window) setDncSaveDialog(*window, nullptr);
  }

  QString write(const QString& name, const QByteArray& text) { return test::writeTestFile(dir.path(), name, text); }

  void makeWindow(const QStringList& rows) {
    window = std::make_unique<MainWindow>(*store, rows, [this] { return std::make_unique<FakeSerialPort>(clock); });
    window->setClock(&clock);
    window->setReceiveUi(&noReception);
    window->setMessagePresenter([this](const QString& text, MessageIcon icon, bool yesNo) {
      messages.push_back({text, icon, yesNo});
      return yesNo ? answerYes : true;
    });
    setDncSaveDialog(*window, &saveDialog);
    port = static_cast<FakeSerialPort*>(window->serialPort());
  }

  QStringList texts() const {
    QStringList out;
    for (const Message& m : messages) out << m.text;
    return out;
  }

  QByteArray output() const { return test::readTestFile(destination); }

  Form6* form() const { return window->findChild<Form6*>(); }

  QTemporaryDir dir;
  FakeClock clock;
  NoReception noReception;
  FakeSaveDialog saveDialog;
  std::unique_ptr<SettingsStore> store;
  std::unique_ptr<MainWindow> window;
  FakeSerialPort* port = nullptr;
  QString mainFile, subFile, destination;
  std::vector<Message> messages;
  bool answerYes = false;
};

}  // namespace

TEST_F(DncWindowTest, ConvertsEveryRowAndShowsTheListsAndTheDoneMessage) {
  window->List1->item(0)->setSelected(true);  // the subprogram's row is not selected
  window->onDnc();

  EXPECT_EQ(saveDialog.asked, 1);
  EXPECT_EQ(saveDialog.caption, "変換先ファイル");
  EXPECT_EQ(saveDialog.filter, "すべてのﾌｧｲﾙ (*.*)|*.*");
  EXPECT_EQ(saveDialog.folder, dir.path());
  EXPECT_EQ(output(), "%\r\nO0001\r\nG90\r\nG01 X10.\r\nG01 X10.\r\nM98P3000\r\nM30\r\n%\r\n");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "変換終了しました");
  EXPECT_EQ(messages[0].icon, MessageIcon::None) << "an end message has no icon";
  EXPECT_FALSE(messages[0].yesNo);

  Form6* f = form();
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->isVisible());
  EXPECT_EQ(f->windowTitle(), "ＤＮＣ変換");
  EXPECT_EQ(items(f->List1), (QStringList{"  O1000", "  O1000"}));
  EXPECT_EQ(items(f->List2), QStringList{"M98P3000"});
  EXPECT_EQ(f->List2->currentRow(), 0) << "the newest entry is selected";
  EXPECT_EQ(f->destination(), destination);
  EXPECT_EQ(f->Command1->text(), "閉　じ　る");
  EXPECT_EQ(f->Command2->text(), "編　　集");
  EXPECT_EQ(f->Command3->text(), "加工長、時間");
}

TEST_F(DncWindowTest, ASecondRunEmptiesTheListsAndReusesTheWindow) {
  window->onDnc();
  Form6* first = form();
  ASSERT_NE(first, nullptr);
  first->Command1->click();
  EXPECT_FALSE(first->isVisible());

  write("main.nc", "%\nO0001\nM98P1000\nM30\n%\n");
  window->onDnc();
  EXPECT_EQ(window->findChildren<Form6*>().size(), 1);
  EXPECT_TRUE(first->isVisible());
  EXPECT_EQ(items(first->List1), QStringList{"  O1000"});
  EXPECT_TRUE(items(first->List2).isEmpty());
}

TEST_F(DncWindowTest, CancelledSaveDialogDoesNothing) {
  saveDialog.answer.reset();
  window->onDnc();
  EXPECT_EQ(saveDialog.asked, 1);
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(QFile::exists(destination));
  const Form6* f = form();
  EXPECT_TRUE(f == nullptr || !f->isVisible());
}

TEST_F(DncWindowTest, DuplicateQuestionAnsweredYesStopsWithAnEmptyDestination) {
  write("sub.nc", "O1000\nG01 X10.\nM99\nO0001\nM99\nO1000\nM99\n");
  answerYes = true;
  window->onDnc();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].yesNo);
  EXPECT_EQ(messages[0].text, "プログラムが重複しています\r\n  O1\r\n  O1000\r\n中断しますか？");
  EXPECT_EQ(output(), "");
  const Form6* f = form();
  EXPECT_TRUE(f == nullptr || !f->isVisible()) << "no result window when the run stops";
}

TEST_F(DncWindowTest, DuplicateQuestionAnsweredNoConvertsWithTheFirstOccurrence) {
  write("other.nc", "O1000\nG00 Z5.\nM99\n");
  makeWindow({mainFile, subFile, dir.filePath("other.nc")});
  answerYes = false;
  window->onDnc();
  EXPECT_EQ(texts(), (QStringList{"プログラムが重複しています\r\n  O1000\r\n中断しますか？", "変換終了しました"}));
  EXPECT_EQ(output(), "%\r\nO0001\r\nG90\r\nG01 X10.\r\nG01 X10.\r\nM98P3000\r\nM30\r\n%\r\n");
}

TEST_F(DncWindowTest, UnreadableListFileIsReportedAndNoDestinationAppears) {
  makeWindow({mainFile, dir.filePath("missing.nc")});
  window->onDnc();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
  EXPECT_FALSE(messages[0].text.isEmpty());
  EXPECT_FALSE(QFile::exists(destination));
}

TEST_F(DncWindowTest, RefusedWhileASendRuns) {
  QTimer::singleShot(0, window.get(), [&] { window->onDnc(); });
  window->Cmdsend->click();
  EXPECT_EQ(saveDialog.asked, 0) << "no save dialog while the port is sending";
  EXPECT_EQ(texts(), QStringList{"送信が終了しました"});
}

TEST_F(DncWindowTest, SecondConversionAndSendAreRefusedWhileAConversionRuns) {
  ASSERT_NE(port, nullptr);
  const int opensBefore = port->openCount;
  bool ranDuringConversion = false;
  // The conversion serves events at every call it expands; these land in the middle of it.
  QTimer::singleShot(0, window.get(), [&] {
    ranDuringConversion = DncConverter::anyRunning();
    window->onDnc();
    window->onSend();
  });
  window->onDnc();
  EXPECT_TRUE(ranDuringConversion);
  EXPECT_EQ(saveDialog.asked, 1);
  EXPECT_EQ(port->openCount, opensBefore) << "the send did not open the port";
  EXPECT_EQ(texts(), QStringList{"変換終了しました"});
}

TEST_F(DncWindowTest, EditButtonStartsTheStoredEditorCommandWithThePathAsOneArgument) {
  window->onDnc();
  Form6* f = form();
  ASSERT_NE(f, nullptr);
  messages.clear();
  RecordingLauncher launcher;

  // A stored command with an option, as the list's editor takes it.
  store->app().editorPath = QStringLiteral("gvim -p");
  f->Command2->click();
  ASSERT_EQ(launcher.launches.size(), 1);
  EXPECT_EQ(launcher.launches[0].program, "gvim");
  EXPECT_EQ(launcher.launches[0].args, (QStringList{"-p", destination}));
  EXPECT_TRUE(messages.empty());

  launcher.failWith = QStringLiteral("gvim を起動できません");
  f->Command2->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, launcher.failWith);
  EXPECT_EQ(messages[0].icon, MessageIcon::Critical);

  messages.clear();
  store->app().editorPath.clear();
  f->Command2->click();
  EXPECT_EQ(launcher.launches.size(), 2) << "nothing is started without an editor";
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "エディターが設定されていません");
  EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
}

// The result is measured as a row of the main list: the operator's selection there is given up,
// and the list is as before otherwise.
TEST_F(DncWindowTest, MeasureButtonMeasuresTheResultAsAListRowAndClearsTheSelection) {
  window->onDnc();
  Form6* f = form();
  ASSERT_NE(f, nullptr);
  window->List1->item(1)->setSelected(true);
  f->Command3->click();
  EXPECT_EQ(window->rows(), (QStringList{mainFile, subFile}));
  EXPECT_TRUE(window->List1->selectedItems().isEmpty());
  auto* results = window->findChild<Form5*>();
  ASSERT_NE(results, nullptr);
  ASSERT_EQ(results->rowCount(), 1);
  // The figures belong to the analysis tests; here the row's name and program number.
  EXPECT_EQ(results->rowTexts(0).mid(0, 2), (QStringList{"out.dnc", "1"}));
}
