#include "analysis/dnc_converter.h"

#include <QDir>
#include <QSaveFile>

#include "analysis/dnc_expander.h"
#include "analysis/dnc_work_data.h"
#include "analysis/program_index.h"
#include "platform/desktop/fd_write.h"

namespace korvane {

namespace {

bool gRunning = false;  // everything runs on the window thread

// Holds the process-wide running mark for the length of one run.
class RunningMark {
 public:
  RunningMark() { gRunning = true; }
  ~RunningMark() { gRunning = false; }
  RunningMark(const RunningMark&) = delete;
  RunningMark& operator=(const RunningMark&) = delete;
};

// Collects lines in a buffer and hands the file large pieces.
class SaveFileSink final : public DncLineSink {
 public:
  explicit SaveFileSink(QSaveFile& file) : file_(file) {}

  bool writeLine(QByteArrayView line) override {
    buffer_.append(line);
    buffer_.append("\r\n", 2);
    return buffer_.size() < kChunk || flush();
  }

  // Written past the file's own buffer, so that a full disk is reported in the system's words.
  bool flush() {
    if (buffer_.isEmpty()) return true;
    const bool ok = writeAllToFd(file_.handle(), buffer_.constData(), buffer_.size(), &reason_);
    buffer_.resize(0);
    return ok;
  }
  const QString& reason() const { return reason_; }

 private:
  static constexpr qsizetype kChunk = 256 * 1024;
  QSaveFile& file_;
  QByteArray buffer_;
  QString reason_;
};

DncResult finished(DncResult result, DncOutcome outcome, const QString& message = QString()) {
  result.outcome = outcome;
  result.message = message;
  return result;
}

QString writeFailure(const QSaveFile& file, const QString& reason = QString()) {
  return QStringLiteral("変換先ファイルに書き込めません: %1\r\n%2")
      .arg(QDir::toNativeSeparators(file.fileName()), reason.isEmpty() ? file.errorString() : reason);
}

}  // namespace

QString dncDuplicateQuestion(const QString& report) {
  return QStringLiteral("プログラムが重複しています\r\n") + report + QStringLiteral("中断しますか？");
}

DncConverter::DncConverter(DncHooks hooks) : hooks_(std::move(hooks)) {}

bool DncConverter::anyRunning() { return gRunning; }

DncResult DncConverter::run(const QStringList& listFiles, const QString& destination) {
  DncResult result;
  if (gRunning) return finished(std::move(result), DncOutcome::Busy, QStringLiteral("ＤＮＣ変換を実行中です"));
  const RunningMark mark;

  DncWorkData work;
  QString error;
  if (!work.build(listFiles, &error)) return finished(std::move(result), DncOutcome::Failed, error);

  // Nothing is written to the destination's own name until the run has succeeded; an
  // interrupted or failed run discards the temporary file beside it.
  QSaveFile out(destination);
  if (destination.isEmpty() || !out.open(QIODevice::WriteOnly)) {
    return finished(std::move(result), DncOutcome::Failed,
                    QStringLiteral("変換先ファイルを作成できません: %1\r\n%2")
                        .arg(QDir::toNativeSeparators(destination), out.errorString()));
  }

  const ProgramIndex index(work.bytes());
  result.duplicateReport = index.duplicateReport();
  if (!result.duplicateReport.isEmpty() && hooks_.stopOnDuplicates &&
      hooks_.stopOnDuplicates(dncDuplicateQuestion(result.duplicateReport))) {
    // The operator chose to stop: the destination is left empty, as the run had created it.
    if (!out.commit()) return finished(std::move(result), DncOutcome::Failed, writeFailure(out));
    return finished(std::move(result), DncOutcome::Stopped);
  }

  if (hooks_.expansionStarting) hooks_.expansionStarting();
  SaveFileSink sink(out);
  DncExpander expander(work.bytes(), index, sink, hooks_, result);
  switch (expander.run()) {
    case DncExpander::End::Done: break;
    case DncExpander::End::Cancelled:
      return finished(std::move(result), DncOutcome::Cancelled, QStringLiteral("変換が中断されました"));
    case DncExpander::End::Recursion: {
      const QString message = result.message;
      return finished(std::move(result), DncOutcome::Failed, message);
    }
    case DncExpander::End::WriteError:
      return finished(std::move(result), DncOutcome::Failed, writeFailure(out, sink.reason()));
  }
  if (!sink.flush()) return finished(std::move(result), DncOutcome::Failed, writeFailure(out, sink.reason()));
  if (!out.commit()) return finished(std::move(result), DncOutcome::Failed, writeFailure(out));
  return finished(std::move(result), DncOutcome::Converted);
}

}  // namespace korvane
