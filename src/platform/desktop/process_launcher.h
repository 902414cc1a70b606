#pragma once
// Starting outside programs (editor, viewer, file manager, browser, system information tool)
// as independent processes. Programs always get an argument list, never a shell command line,
// so a path holding blanks, quotes or ";" reaches the program as one argument and runs nothing.

#include <QString>
#include <QStringList>
#include <functional>
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
#ifdef Q_OS_WIN
  // Explorer opens a folder, and hands a web or "mailto:" address to the program registered for it.
  static QString desktopOpener() { return QStringLiteral("explorer.exe"); }
#else
  static QString desktopOpener() { return QStringLiteral("xdg-open"); }
#endif

  // Where a failure shows that only comes after the start: the desktop opener starts but finds
  // no program for the address or folder. Called on the thread of the launcher, with a message
  // naming the command and the reason.
  using FailureReport = std::function<void(const QString& message)>;
  void setFailureReport(FailureReport report) { failureReport_ = std::move(report); }

 protected:
  void reportFailure(const QString& message) const {
    if (failureReport_) failureReport_(message);
  }

 private:
  FailureReport failureReport_;
};

// "<command> を起動できません（<reason>）"
QString launchFailureMessage(const QString& command, const QString& reason);

// Starts programs through QProcess::startDetached. The desktop opener (a program named as
// desktopOpener(), or one named in watchedPrograms) is a short hand-over that ends by itself;
// it is started as a watched child instead, and an exit other than 0 goes to the failure report
// with the last line it wrote to its error output.
class QtProcessLauncher final : public ProcessLauncher {
 public:
  std::optional<QString> startDetached(const QString& program, const QStringList& args) override;
  void setWatchedPrograms(const QStringList& names) { watched_ = names; }

 private:
  std::optional<QString> startWatched(const QString& program, const QStringList& args);
#ifdef Q_OS_WIN
  // Explorer's exit status says nothing: it is 1 after a successful hand-over too.
  QStringList watched_;
#else
  QStringList watched_{desktopOpener()};
#endif
};

// Starts a command stored in the settings ("xdg-open", "/usr/bin/gedit", "gvim -p") with extra
// arguments appended, each as one argument. A stored command that names an existing file as a
// whole is the program even when it holds blanks; otherwise it is split the way a shell splits
// words (QProcess::splitCommand: blanks separate, double quotes group), the first word being
// the program and the rest its leading arguments.
std::optional<QString> startStoredCommand(ProcessLauncher& launcher, const QString& command,
                                          const QStringList& extraArgs);

}  // namespace korvane
