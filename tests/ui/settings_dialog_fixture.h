#pragma once
// The communication settings dialog over a settings file in a temporary folder: its port check
// opens ports of a set the test chooses, and its messages and calls into the main window are
// recorded.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "probe_port.h"
#include "ui/dialog_message.h"
#include "ui/settings_dialog.h"

namespace korvane::test {

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousHook_ = setDialogMessageHook([this](QWidget*, const QString& text) { messages << text; });
    store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("korvane.ini")));
    store->loadSettings();
  }
  void TearDown() override {
    dialog.reset();
    setDialogMessageHook(previousHook_);
  }
  Form3& make(const QList<PortChoice>& portList = {{1, true, {}}, {2, true, {}}, {3, true, {}}}) {
    Form3::Hooks hooks;
    hooks.makePort = [this] { return std::make_unique<ProbePort>(ports); };
    hooks.renameMachine = [this](int slot, const QString& name) { renames << qMakePair(slot, name); };
    hooks.setShutdownCheck = [this](bool on) { shutdownChecks << on; };
    dialog = std::make_unique<Form3>(*store, portList, std::move(hooks));
    return *dialog;
  }

  QTemporaryDir dir;
  std::unique_ptr<SettingsStore> store;
  std::unique_ptr<Form3> dialog;
  std::shared_ptr<ProbeLog> ports = [] {
    auto log = std::make_shared<ProbeLog>();
    log->present = {1, 2, 3};
    return log;
  }();
  QStringList messages;
  QList<QPair<int, QString>> renames;
  QList<bool> shutdownChecks;

 private:
  DialogMessageHook previousHook_;
};

}  // namespace korvane::test
