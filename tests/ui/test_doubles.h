#pragma once
// Stand-ins for the window's dialogs, desktop services and program launcher that several window
// tests share.

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

#include "platform/desktop/process_launcher.h"
#include "transfer/receive_engine.h"
#include "ui/file_properties.h"
#include "ui/list_interactions.h"

namespace korvane::test {

// A reception whose method question is always cancelled; counts how often it was asked.
class NoReception final : public ReceiveUi {
 public:
  int asked = 0;
  std::optional<ReceiveMethod> chooseMethod() override {
    ++asked;
    return std::nullopt;
  }
  QString chooseFolder() override { return {}; }
  void clearFileList() override {}
  void addFiles() override {}
  QStringList fileListRows() const override { return {}; }
  void appendFileListRow(const QString&) override {}
  void setListTextBlue(bool) override {}
  void openFolder(const QString&) override {}
};

// Records the paths asked for; without a file manager (answers false) the "no answer" comes
// later from the event loop, as it does over the bus.
class RecordingSheets final : public PropertiesSheetService {
 public:
  void showItemProperties(const QString& path, QObject* context, std::function<void()> noAnswer) override {
    asked << path;
    if (!answers) QTimer::singleShot(0, context, std::move(noAnswer));
  }
  QStringList asked;
  bool answers = true;
};

struct Launch {
  QString program;
  QStringList args;
};

// Takes the main window's place as the launcher of the editor, viewer and file manager for its
// lifetime; records what would have been started, and can be told to fail.
class RecordingLauncher final : public ProcessLauncher {
 public:
  RecordingLauncher() { setProcessLauncherForTests(this); }
  ~RecordingLauncher() override { setProcessLauncherForTests(nullptr); }
  std::optional<QString> startDetached(const QString& program, const QStringList& args) override {
    launches.append({program, args});
    if (failWith.isEmpty()) return std::nullopt;
    return failWith;
  }
  // As the real launcher does when a started desktop opener ends with an error.
  void reportLateFailure(const QString& message) { reportFailure(message); }
  QList<Launch> launches;
  QString failWith;
};

}  // namespace korvane::test
