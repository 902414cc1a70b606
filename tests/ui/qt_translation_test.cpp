// Qt's own texts (message box buttons, file dialogs) follow the window's Japanese.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTranslator>

#include "ui/qt_translation.h"

namespace korvane::test {
namespace {

// The text of the message boxes' Yes button as Qt would show it now.
QString yesButtonText() { return QCoreApplication::translate("QPlatformTheme", "&Yes"); }

class QtTranslationTest : public ::testing::Test {
 protected:
  // Takes back what the test installed, so that later tests see Qt's English again.
  void TearDown() override {
    for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly)) {
      QCoreApplication::removeTranslator(t);
      delete t;
    }
  }
};

TEST_F(QtTranslationTest, MessageBoxButtonsSpeakJapaneseWhateverTheLocale) {
  ASSERT_EQ(yesButtonText(), QStringLiteral("&Yes"));
  ASSERT_TRUE(installQtJapaneseTranslation(*QCoreApplication::instance()))
      << "Qt's Japanese translation (qt6-translations-l10n) is missing";
  EXPECT_TRUE(yesButtonText().contains(QStringLiteral("はい"))) << yesButtonText().toStdString();
  EXPECT_TRUE(QCoreApplication::translate("QPlatformTheme", "&No").contains(QStringLiteral("いいえ")));
}

TEST_F(QtTranslationTest, WithoutTheTranslationTheTextsStayEnglishAndNothingIsInstalled) {
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  EXPECT_FALSE(installQtJapaneseTranslation(*QCoreApplication::instance(), empty.path()));
  EXPECT_EQ(yesButtonText(), QStringLiteral("&Yes"));
  EXPECT_TRUE(QCoreApplication::instance()->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly).isEmpty());
}

}  // namespace
}  // namespace korvane::test
