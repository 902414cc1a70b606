#pragma once
// A process launcher that records what would have been started, and can be told to fail.

#include <QList>
#include <QStringList>

#include "platform/process_launcher.h"
#include "ui/list_interactions.h"

namespace korvane::test {

struct Launch {
  QString program;
  QStringList args;
};

class RecordingLauncher final : public ProcessLauncher {
 public:
  RecordingLauncher() { setProcessLauncherForTests(this); }
  ~RecordingLauncher() override { setProcessLauncherForTests(nullptr); }
  std::optional<QString> startDetached(const QString& program, const QStringList& args) override {
    launches.append({program, args});
    if (failWith.isEmpty()) return std::nullopt;
    return failWith;
  }
  QList<Launch> launches;
  QString failWith;
};

}  // namespace korvane::test
