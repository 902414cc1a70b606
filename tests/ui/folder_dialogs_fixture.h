#pragma once
// Shared by the folder dialog tests: a temporary folder tree, messages recorded instead of
// shown, and answering a modal dialog once it is up.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "ui/dialog_message.h"

namespace korvane::test {

// Records the texts of the dialogs' message boxes while it lives.
class MessageRecorder {
 public:
  MessageRecorder() {
    previous_ = setDialogMessageHook([this](QWidget*, const QString& text) { texts << text; });
  }
  ~MessageRecorder() { setDialogMessageHook(previous_); }
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  QStringList texts;

 private:
  DialogMessageHook previous_;
};

// Runs answer on the modal dialog of type Dialog as soon as it is up; a different or missing
// modal dialog is a failure (and is closed so the test does not hang).
template <typename Dialog>
void whenModalShows(std::function<void(Dialog*)> answer) {
  QTimer::singleShot(0, [answer] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      ADD_FAILURE() << "expected modal dialog " << Dialog::staticMetaObject.className() << " did not come up";
      if (QWidget* other = QApplication::activeModalWidget()) other->close();
      return;
    }
    answer(dialog);
  });
}

inline QPushButton* buttonOf(QWidget* dialog, const char* name) {
  auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
  EXPECT_NE(button, nullptr) << name;
  return button;
}

// A temporary folder nc holding the files b.nc and A.txt and the folders sub2 and Sub1.
class FolderTree : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.isValid());
    root_ = QDir::cleanPath(temp_.path());
    nc_ = root_ + QStringLiteral("/nc");
    ASSERT_TRUE(QDir().mkpath(nc_ + QStringLiteral("/sub2")));
    ASSERT_TRUE(QDir().mkpath(nc_ + QStringLiteral("/Sub1")));
    writeFile(nc_ + QStringLiteral("/b.nc"));
    writeFile(nc_ + QStringLiteral("/A.txt"));
  }
  static void writeFile(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("%\r\n");
  }

  QTemporaryDir temp_;
  QString root_;
  QString nc_;
  MessageRecorder messages_;
};

}  // namespace korvane::test
