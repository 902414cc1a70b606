// korvane-cli receive [--profile N] (--file F | --folder D): the receive engine of the window on
// the terminal. Exit status 0 at the end of data, 1 aborted (Ctrl-C), 2 failed.
#include <QDir>
#include <QFileInfo>

#include "app/cli/cli_command.h"
#include "app/cli/cli_transfer.h"
#include "transfer/receive_engine.h"

namespace korvane::cli {
namespace {

// The dialogs answered from the command line.
class ArgumentsUi final : public ReceiveUi {
 public:
  ArgumentsUi(ReceiveMethod method, QString target) : method_(method), target_(std::move(target)) {}
  std::optional<ReceiveMethod> chooseMethod() override { return method_; }
  QString chooseFolder() override { return target_; }
  void clearFileList() override { rows_.clear(); }
  void addFiles() override { rows_ << target_; }
  QStringList fileListRows() const override { return rows_; }
  void appendFileListRow(const QString& row) override { rows_ << row; }
  void setListTextBlue(bool) override {}
  void openFolder(const QString& folder) override { out() << folder << Qt::endl; }

 private:
  ReceiveMethod method_;
  QString target_;
  QStringList rows_;
};

int runReceive(const QStringList& args) {
  int profileSlot = 0;
  std::optional<ReceiveMethod> method;
  QString target;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--profile") && i + 1 < args.size()) {
      bool ok = false;
      profileSlot = args[++i].toInt(&ok);
      if (!ok || profileSlot < 1 || profileSlot > kProfileSlots) return fail(QStringLiteral("receive: --profile takes 1..10"));
    } else if ((a == QLatin1String("--file") || a == QLatin1String("--folder")) && i + 1 < args.size() && !method) {
      method = a == QLatin1String("--file") ? ReceiveMethod::OneFile : ReceiveMethod::FolderPerProgram;
      target = QFileInfo(args[++i]).absoluteFilePath();
    } else {
      return fail(QStringLiteral("receive: unexpected argument %1").arg(a));
    }
  }
  if (!method) return fail(QStringLiteral("receive: give --file FILE or --folder FOLDER"));
  if (*method == ReceiveMethod::FolderPerProgram && !QFileInfo(target).isDir()) {
    return fail(QStringLiteral("receive: フォルダがありません: %1").arg(target));
  }

  CliTransfer t(profileSlot);
  ArgumentsUi ui(*method, target);
  ReceiveEngine engine(t.store, t.context, ui);
  switch (engine.press()) {
    case ReceiveOutcome::Completed: return 0;
    case ReceiveOutcome::Aborted: return 1;
    case ReceiveOutcome::Failed:
    case ReceiveOutcome::NotStarted: return 2;
  }
  return 2;
}

const Registrar registrar({"receive", "[--profile N] (--file F | --folder D)  receive what the machine punches out",
                           runReceive});

}  // namespace
}  // namespace korvane::cli
