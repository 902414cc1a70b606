#include "analysis/machining_time.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

#include "analysis/chunk_pipeline.h"
#include "platform/desktop/regular_file.h"

namespace korvane {

MachiningTimeCalculator::MachiningTimeCalculator(MachiningState::RowHandler onRow, qsizetype bufferSize,
                                                 const MachineModel& machine)
    : state_(std::move(onRow), machine), bufferSize_(bufferSize) {}

void MachiningTimeCalculator::computeBytes(const QString& displayName, QByteArrayView program) {
  state_.startFile(displayName);
  BlockSplitter splitter(bufferSize_);
  splitter.start(measure_);
  qsizetype offset = 0;
  splitter.stream([&](unsigned char* to, qint64 room) {
    const qint64 count = std::min(room, static_cast<qint64>(program.size() - offset));
    std::memcpy(to, program.data() + offset, static_cast<size_t>(count));
    offset += count;
    return count;
  });
  state_.finishFile();
}

bool MachiningTimeCalculator::computeFile(const QString& path, QString* error) {
  QFile file(path);
  if (!openProgramFile(file, error)) return false;
  state_.startFile(displayNameOf(path));
  const auto read = [&file](unsigned char* to, qint64 room) { return file.read(reinterpret_cast<char*>(to), room); };
  qint64 status = 0;
  if (file.size() < kHelperThreadsFileSize) {
    BlockSplitter splitter(bufferSize_);
    splitter.start(measure_);
    status = splitter.stream(read);
  } else {
    // Splitting takes longer than measuring: with a helper thread splitting and this one both
    // splitting and measuring, a large file takes about half the time on two processors. The
    // rows are made on this thread.
    ChunkPipeline pipeline(ChunkPipeline::kDefaultChunkSize, ChunkPipeline::kDefaultSlotCount,
                           ChunkPipeline::helpersForThisMachine());
    status = pipeline.run(read, [this](std::span<const BlockWords> blocks) {
      for (const BlockWords& words : blocks) state_.block(words);
    });
  }
  if (status < 0) {
    if (error) *error = file.errorString();
    return false;
  }
  state_.finishFile();
  return true;
}

bool kakou_time(const QStringList& paths, const MachiningSink& sink, const MachineModel& machine) {
  MachiningTimeCalculator calculator(
      [&sink](const MachiningRow& row) {
        if (sink.row) sink.row(row);
      },
      MachiningTimeCalculator::kDefaultBufferSize, machine);
  for (const QString& path : paths) {
    QString error;
    if (!calculator.computeFile(path, &error)) {
      if (sink.unreadable) sink.unreadable(displayNameOf(path), error);
      return false;
    }
  }
  return true;
}

QString unreadableFileMessage(const QString& displayName, const QString& error) {
  return displayName + QStringLiteral("\r\n") + error;
}

QString displayNameOf(const QString& path) { return QFileInfo(path).fileName(); }

}  // namespace korvane
