#pragma once
// Machining time, cutting length and tape length of NC programs, one result row per program end.
// Files are streamed through a fixed buffer: memory stays the same whatever their size.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "analysis/block_splitter.h"
#include "analysis/machining_state.h"

namespace korvane {

class MachiningTimeCalculator {
 public:
  static constexpr qsizetype kDefaultBufferSize = 256 * 1024;
  // From this size on a file is split on helper threads too while this one also measures.
  static constexpr qint64 kHelperThreadsFileSize = 4 * 1024 * 1024;

  explicit MachiningTimeCalculator(MachiningState::RowHandler onRow, qsizetype bufferSize = kDefaultBufferSize,
                                   const MachineModel& machine = {});

  // Measures one file, shown under its last path component. False when it cannot be opened or
  // read; `error` then holds the system's description (rows of programs that ended before a
  // read error have been handed on already). Rows are handed on on the calling thread.
  bool computeFile(const QString& path, QString* error);

  // Measures a program held in memory as if it were a file called `displayName`.
  void computeBytes(const QString& displayName, QByteArrayView program);

 private:
  class Measure final : public BlockConsumer {
   public:
    explicit Measure(MachiningState& state) : state_(state) {}
    void take(const BlockWords& words) override { state_.block(words); }

   private:
    MachiningState& state_;
  };

  MachiningState state_;
  Measure measure_{state_};
  qsizetype bufferSize_;
};

// What a run of kakou_time hands on: each row as soon as it exists (the result window appends
// it), and the file that could not be read, which ends the run.
struct MachiningSink {
  std::function<void(const MachiningRow&)> row;
  std::function<void(const QString& displayName, const QString& error)> unreadable;
};

// Measures the files in the given order. Stops at the first file that cannot be opened or read
// and returns false after telling the sink; true when every file was measured.
// Read as the machine reads them: a machining centre or a lathe, its rapid rate and the rest.
bool kakou_time(const QStringList& paths, const MachiningSink& sink, const MachineModel& machine = {});

// The message shown for a file that cannot be read: its name, a line break, the reason.
QString unreadableFileMessage(const QString& displayName, const QString& error);

// The name a result row shows for a path: its last component.
QString displayNameOf(const QString& path);

}  // namespace korvane
