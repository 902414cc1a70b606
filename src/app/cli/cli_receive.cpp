// korvane-cli receive [--profile N] (--file F | --folder D): the receive engine of the window on
// the terminal. Exit status 0 at the end of data, 1 aborted (Ctrl-C), 2 failed, 3 at the end of
// data with characters that came with a parity error.
#include <QDir>
#include <QFileInfo>

#include "app/cli/cli_command.h"
#include "app/cli/cli_transfer.h"
#include "transfer/receive_engine.h"

namespace korvane::cli {
namespace {

constexpr int kDamagedStatus = 3;

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

const QCommandLineOption kFile(QStringLiteral("file"), QStringLiteral("Receive everything into the one file F."),
                               QStringLiteral("F"));
const QCommandLineOption kFolder(QStringLiteral("folder"),
                                 QStringLiteral("Receive each program into a file of its own in the folder D."),
                                 QStringLiteral("D"));

void defineReceive(QCommandLineParser& parser) {
  parser.addOption(profileOption());
  parser.addOption(kFile);
  parser.addOption(kFolder);
}

int runReceive(const QCommandLineParser& parser) {
  const std::optional<int> profileSlot = chosenProfile(parser, "receive");
  if (!profileSlot) return kUsageStatus;
  if (!parser.positionalArguments().isEmpty())
    return fail(QStringLiteral("receive: unexpected argument %1").arg(parser.positionalArguments().first()));
  const QStringList files = parser.values(kFile);
  const QStringList folders = parser.values(kFolder);
  if (files.size() + folders.size() > 1) return fail(QStringLiteral("receive: give --file FILE or --folder FOLDER, once"));
  if (files.size() + folders.size() == 0) return fail(QStringLiteral("receive: give --file FILE or --folder FOLDER"));
  const ReceiveMethod method = files.isEmpty() ? ReceiveMethod::FolderPerProgram : ReceiveMethod::OneFile;
  const QString target = QFileInfo(files.isEmpty() ? folders.first() : files.first()).absoluteFilePath();
  if (method == ReceiveMethod::FolderPerProgram && !QFileInfo(target).isDir()) {
    return fail(QStringLiteral("receive: フォルダがありません: %1").arg(target));
  }

  CliTransfer t(*profileSlot);
  if (!t.store.loadProblem().isEmpty()) return refuseUnreadableSettings(t.store);
  ArgumentsUi ui(method, target);
  ReceiveEngine engine(t.store, t.context, ui);
  switch (engine.press()) {
    // Everything up to the end of data is on disk, but not every character as the machine sent it.
    case ReceiveOutcome::Completed: return engine.parityFaults() > 0 ? kDamagedStatus : 0;
    case ReceiveOutcome::Aborted: return 1;
    case ReceiveOutcome::Failed:
    case ReceiveOutcome::NotStarted: return 2;
  }
  return 2;
}

const Registrar registrar({"receive", "[--profile N] (--file F | --folder D)",
                           "receive what the machine punches out\n"
                           "(exit status 0 at the end of data, 1 aborted with Ctrl-C, 2 failed,\n"
                           "3 at the end of data with characters that came with a parity error)",
                           defineReceive, runReceive});

}  // namespace
}  // namespace korvane::cli
