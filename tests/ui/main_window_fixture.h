#pragma once
// A main window over a settings file in a temporary folder, with serial ports that exist only
// in a set the test chooses and message boxes that are recorded instead of shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSet>
#include <QTemporaryDir>
#include <memory>

#include "settings/ini_file.h"
#include "settings/settings_store.h"
#include "ui/japanese_fonts.h"
#include "ui/main_window.h"
#include "probe_port.h"
#include "ui/twips.h"

namespace korvane::test {

struct ShownMessage {
  QString text;
  MessageIcon icon;
  bool yesNo;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    QApplication::setQuitOnLastWindowClosed(false);
    installJapaneseFontSubstitutes();
    iniPath = dir.filePath(QStringLiteral("korvane.ini"));
    log->present = {1, 2, 3};
  }

  // Stores key=value in section 参照 before the window starts.
  void storeApp(const QString& key, const QString& value) { store(kAppSection, key, value); }
  void store(const QString& section, const QString& key, const QString& value) {
    IniFile ini = IniFile::load(iniPath);
    ASSERT_TRUE(ini.setValue(section, key, value));
    ASSERT_TRUE(ini.save(iniPath));
  }
  std::optional<QString> storedApp(const QString& key) const {
    return IniFile::load(iniPath).value(kAppSection, key);
  }

  MainWindow& start(const QStringList& rows = {}) {
    window.reset();
    settings = std::make_unique<SettingsStore>(iniPath);
    auto logRef = log;
    window = std::make_unique<MainWindow>(*settings, rows, [logRef] { return std::make_unique<ProbePort>(logRef); });
    window->setQuitFunction([this] { ++quitCalls; });
    window->setMessagePresenter([this](const QString& text, MessageIcon icon, bool yesNo) {
      messages.append({text, icon, yesNo});
      return answer;
    });
    return *window;
  }

  // Resizes the window so that its outer size, frame included, is width x height twips, the way
  // the operator drags its border, and lets the resize event run.
  void resizeOuter(int widthTwips, int heightTwips) {
    const QSize frame = window->frameGeometry().size() - window->size();
    window->resize(twipsToPx(widthTwips, window->logicalDpiX()) - frame.width(),
                   twipsToPx(heightTwips, window->logicalDpiY()) - frame.height());
    QApplication::processEvents();
  }

  // A control's geometry in twips, as placed on this window's screen.
  int leftTwips(const QWidget* w) const { return pxToTwips(w->x(), window->logicalDpiX()); }
  int topTwips(const QWidget* w) const { return pxToTwips(w->y(), window->logicalDpiY()); }
  int widthTwips(const QWidget* w) const { return pxToTwips(w->width(), window->logicalDpiX()); }
  int heightTwips(const QWidget* w) const { return pxToTwips(w->height(), window->logicalDpiY()); }

  QTemporaryDir dir;
  QString iniPath;
  std::shared_ptr<ProbeLog> log = std::make_shared<ProbeLog>();
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<MainWindow> window;
  int quitCalls = 0;
  QList<ShownMessage> messages;
  bool answer = true;
};

}  // namespace korvane::test
