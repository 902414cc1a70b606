// The window's message boxes and Qt's own texts: Japanese like the window, a caption shown whole,
// and No as the default where Yes cannot be undone.
#include "ui/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <memory>
#include <QtTest/QTest>

#include "ui/main_window.h"
#include "ui/qt_translation.h"

namespace korvane {
namespace {

struct SeenBox {
  bool seen = false;
  QString yes, no, defaultText;
  int width = 0;
  int captionWidth = 0;
};

// Asks through the window's box, looks at the box once it is up and presses Enter on it as the
// operator would.
std::pair<bool, SeenBox> askedAndSeen(const QString& text, MessageIcon icon, bool yesNo) {
  auto seen = std::make_shared<SeenBox>();
  QTimer::singleShot(0, [seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen->seen = true;
    if (auto* b = box->button(QMessageBox::Yes)) seen->yes = b->text();
    if (auto* b = box->button(QMessageBox::No)) seen->no = b->text();
    if (box->defaultButton()) seen->defaultText = box->defaultButton()->text();
    seen->width = box->width();
    seen->captionWidth = captionWidthPx(*box, box->windowTitle());
    QTest::keyClick(box, Qt::Key_Return);
  });
  const bool answer = execMessageBox(nullptr, text, icon, yesNo);
  return {answer, *seen};
}

TEST(QtTranslation, QtsOwnTextsAreJapanese) {
  ASSERT_TRUE(installQtJapaneseTranslation(*QCoreApplication::instance())) << "qtbase_ja is part of the set-up (qt6-translations-l10n)";
  EXPECT_TRUE(installQtJapaneseTranslation(*QCoreApplication::instance())) << "a second call keeps the one translation";
  // The widget file dialog, as the add, insert and DNC dialogs show it.
  QFileDialog dialog(nullptr, QStringLiteral("開く"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
  auto* fileName = dialog.findChild<QLabel*>(QStringLiteral("fileNameLabel"));
  ASSERT_NE(lookIn, nullptr);
  ASSERT_NE(fileName, nullptr);
  EXPECT_NE(lookIn->text(), QStringLiteral("Look in:"));
  EXPECT_NE(fileName->text(), QStringLiteral("File &name:"));
  EXPECT_TRUE(lookIn->text().contains(QRegularExpression(QStringLiteral("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}]"))))
      << lookIn->text().toStdString();
}

TEST(MessageBox, TheShutdownQuestionDefaultsToNoInJapanese) {
  installQtJapaneseTranslation(*QCoreApplication::instance());
  const auto [answer, seen] = askedAndSeen(QStringLiteral("送信終了後システムを停止します。\rよろしいですか？"),
                                           MessageIcon::Warning, true);
  ASSERT_TRUE(seen.seen);
  EXPECT_FALSE(answer) << "Enter answers No";
  EXPECT_EQ(seen.defaultText, seen.no);
  EXPECT_NE(seen.yes, QStringLiteral("&Yes"));
  EXPECT_NE(seen.no, QStringLiteral("&No"));
  EXPECT_TRUE(seen.yes.contains(QStringLiteral("はい"))) << seen.yes.toStdString();
  EXPECT_TRUE(seen.no.contains(QStringLiteral("いいえ"))) << seen.no.toStdString();
}

TEST(MessageBox, AQuestionThatStopsSomethingStillDefaultsToYes) {
  // The DNC duplicate question: Yes stops the conversion, the careful answer.
  const auto [answer, seen] = askedAndSeen(QStringLiteral("プログラムが重複しています"), MessageIcon::Question, true);
  ASSERT_TRUE(seen.seen);
  EXPECT_TRUE(answer);
}

TEST(MessageBox, AShortMessageStillShowsTheWholeCaption) {
  for (const QString& text : {QStringLiteral("送信が終了しました"), QStringLiteral("N")}) {
    const auto [answer, seen] = askedAndSeen(text, MessageIcon::None, false);
    ASSERT_TRUE(seen.seen);
    EXPECT_TRUE(answer);
    EXPECT_GE(seen.width, seen.captionWidth) << text.toStdString();
  }
  // The caption needs more than its own letters: the title bar's icon and buttons sit beside it.
  QMessageBox box;
  EXPECT_GT(captionWidthPx(box, kAppTitle), QFontMetrics(box.font()).horizontalAdvance(kAppTitle) + 100);
}

}  // namespace
}  // namespace korvane
