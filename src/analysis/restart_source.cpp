#include "analysis/restart_source.h"

#include <QFile>

#include "analysis/dnc_expander.h"
#include "analysis/dnc_work_data.h"
#include "analysis/machining_time.h"
#include "analysis/program_index.h"
#include "platform/desktop/regular_file.h"

namespace korvane {

bool callsSubprograms(QByteArrayView bytes) {
  qsizetype start = 0;
  while (start < bytes.size()) {
    qsizetype end = start;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
    const QByteArrayView line = bytes.sliced(start, end - start);
    if (line.contains("98") && DncLineText(line).words().is(BlockWords::kCall)) return true;
    start = end + 1;
  }
  return false;
}

namespace {

class MemorySink final : public DncLineSink {
 public:
  explicit MemorySink(QByteArray& out) : out_(out) {}
  bool writeLine(QByteArrayView line) override {
    out_.append(line);
    out_.append("\r\n", 2);
    return true;
  }

 private:
  QByteArray& out_;
};

// The flat program of the combined data, or nothing with the reason.
std::optional<QByteArray> flatten(QByteArrayView data, QString* error) {
  const ProgramIndex index(data);
  QByteArray flat;
  MemorySink sink(flat);
  DncHooks hooks;
  DncResult result;
  DncExpander expander(data, index, sink, hooks, result);
  if (expander.run() != DncExpander::End::Done) {
    if (error) *error = result.message;
    return std::nullopt;
  }
  return flat;
}

}  // namespace

std::optional<RestartSource> loadRestartSource(const QStringList& files, QString* error) {
  if (files.isEmpty()) {
    if (error) *error = QStringLiteral("プログラムがありません");
    return std::nullopt;
  }
  QFile file(files.first());
  const QString problem = regularFileProblem(files.first());
  if (!problem.isEmpty()) {
    if (error) *error = problem + QStringLiteral("\r\n") + files.first();
    return std::nullopt;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = file.errorString() + QStringLiteral("\r\n") + files.first();
    return std::nullopt;
  }
  RestartSource source;
  source.bytes = file.readAll();
  source.displayName = displayNameOf(files.first());
  if (file.error() != QFileDevice::NoError) {
    if (error) *error = file.errorString() + QStringLiteral("\r\n") + files.first();
    return std::nullopt;
  }
  if (!callsSubprograms(source.bytes)) return source;
  DncWorkData work;
  if (!work.build(files, error)) return std::nullopt;
  std::optional<QByteArray> flat = flatten(work.bytes(), error);
  if (!flat) return std::nullopt;
  source.bytes = std::move(*flat);
  source.flattened = true;
  return source;
}

}  // namespace korvane
