// The time estimate on arbitrary bytes, read for a machining centre and for a lathe: a file read
// in one piece and the same file split in small chunks on a helper thread must give the same rows.
#include <QList>
#include <algorithm>
#include <cstring>

#include "analysis/chunk_pipeline.h"
#include "analysis/machining_time.h"
#include "fuzz_support.h"

using namespace korvane;

namespace {

QList<QStringList> rows(const QByteArray& bytes, bool chunked, MachineModel::Kind kind) {
  QList<QStringList> result;
  MachineModel machine;
  machine.kind = kind;
  MachiningState state([&result](const MachiningRow& row) { result << row.texts(); }, machine);
  state.startFile(QStringLiteral("f.nc"));
  qsizetype offset = 0;
  const auto read = [&](unsigned char* to, qint64 room) {
    const qint64 count = std::min<qint64>(room, bytes.size() - offset);
    std::memcpy(to, bytes.constData() + offset, static_cast<size_t>(count));
    offset += count;
    return count;
  };
  if (chunked) {
    ChunkPipeline pipeline(64, 2, 1);
    pipeline.run(read, [&state](std::span<const BlockWords> blocks) {
      for (const BlockWords& w : blocks) state.block(w);
    });
  } else {
    struct Measure final : BlockConsumer {
      MachiningState& state;
      explicit Measure(MachiningState& s) : state(s) {}
      void take(const BlockWords& w) override { state.block(w); }
    } measure(state);
    BlockSplitter splitter(1 << 16);
    splitter.start(measure);
    splitter.stream(read);
  }
  state.finishFile();
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  for (const auto kind : {MachineModel::Kind::MachiningCentre, MachineModel::Kind::Lathe}) {
    if (rows(bytes, false, kind) != rows(bytes, true, kind)) fuzz::fail("chunked reading gave other rows");
  }
  return 0;
}
