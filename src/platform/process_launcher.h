#pragma once
// Starting outside programs (editor, viewer, file manager, browser, system information tool)
// as independent processes. Programs always get an argument list, never a shell command line,
// so a path holding blanks, quotes or ";" reaches the program as one argument and runs nothing.

#include <QString>
#include <QStringList>
#include <optional>

namespace korvane {

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts program with args and does not wait for it. Returns a message for the operator when
  // the program could not be started, nothing on success.
  virtual std::optional<QString> startDetached(const QString& program, const QStringList& args) = 0;
  // The desktop's opener: a web address, a "mailto:" address or a folder in the file manager.
  std::optional<QString> openUrl(const QString& url) { return startDetached(desktopOpener(), {url}); }
  std::optional<QString> openPath(const QString& path) { return startDetached(desktopOpener(), {path}); }
  static QString desktopOpener() { return QStringLiteral("xdg-open"); }
};

// Starts programs through QProcess::startDetached.
class QtProcessLauncher final : public ProcessLauncher {
 public:
  std::optional<QString> startDetached(const QString& program, const QStringList& args) override;
};

// Starts a command stored in the settings ("xdg-open", "/usr/bin/gedit", "gvim -p") with extra
// arguments appended, each as one argument. A stored command that names an existing file as a
// whole is the program even when it holds blanks; otherwise it is split the way a shell splits
// words (QProcess::splitCommand: blanks separate, double quotes group), the first word being
// the program and the rest its leading arguments.
std::optional<QString> startStoredCommand(ProcessLauncher& launcher, const QString& command,
                                          const QStringList& extraArgs);

}  // namespace korvane
