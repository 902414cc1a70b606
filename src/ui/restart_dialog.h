#pragma once
// "途中から送信": the blocks of a program (line, N number, tool changes, the time into the
// program from the estimate) with a search box; a chosen block shows the restart program's header
// in full, or why there is none, before anything is sent. 送信 closes the dialog with the restart
// program ready; the main window sends it as 送信 sends a file.

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <optional>

#include "analysis/machine_model.h"
#include "analysis/restart_program.h"
#include "analysis/restart_reading.h"
#include "analysis/restart_source.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace korvane {

class RestartBlockModel;

inline const QString kRestartCaption = QStringLiteral("途中から送信");

class frmRestart final : public QDialog {
  Q_OBJECT

 public:
  // source: the program (flat where it calls subprograms); machine and options: the selected
  // profile's.
  frmRestart(RestartSource source, const MachineModel& machine, const RestartOptions& options, QWidget* parent = nullptr);
  ~frmRestart() override;

  // The restart program of the chosen block, when there is one.
  const std::optional<RestartProgram>& restart() const { return restart_; }
  const RestartSource& source() const { return source_; }

  // Chooses the block at `ordinal` among the program's blocks, as a click on its row does.
  void chooseBlock(std::int64_t ordinal);
  // The search box's text looked up from the row after the chosen one: N500, line:120, tool:3,
  // or any text a block holds. False when no block has it.
  bool findNext(const QString& text);

  QLabel* lblfile = nullptr;
  QLineEdit* txtsearch = nullptr;
  QPushButton* cmdfind = nullptr;
  QTableView* lstblocks = nullptr;
  QPlainTextEdit* txtheader = nullptr;
  QPushButton* cmdoffer = nullptr;
  QPushButton* cmdsend = nullptr;
  QPushButton* cmdclose = nullptr;

 private:
  void showChosen(std::int64_t ordinal);
  std::int64_t currentOrdinal() const;

  RestartSource source_;
  MachineModel machine_;
  RestartOptions options_;
  ProgramRecords records_;
  RestartBlockModel* model_ = nullptr;
  std::optional<RestartProgram> restart_;
  std::int64_t offered_ = -1;
};

}  // namespace korvane
