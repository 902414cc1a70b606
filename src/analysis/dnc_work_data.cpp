#include "analysis/dnc_work_data.h"

#include <QDir>
#include <QFile>
#include <cstring>

#include "platform/desktop/fd_write.h"
#include "platform/desktop/regular_file.h"

namespace korvane {

namespace {

constexpr qint64 kReadChunk = 256 * 1024;
constexpr qsizetype kWriteChunk = 256 * 1024;

}  // namespace

void RecordJoiner::feed(QByteArrayView piece, QByteArray& out) {
  const char* p = piece.data();
  const char* const end = p + piece.size();
  while (p < end) {
    if (afterCr_) {
      afterCr_ = false;
      if (*p == '\n') {  // the LF of a CR LF pair: the record has already been ended
        ++p;
        continue;
      }
    }
    const auto* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
    const char* stop = cr ? cr : end;
    if (stop > p) {
      out.append(p, stop - p);
      recordOpen_ = true;
    }
    p = stop;
    if (cr) {
      out.append("\r\n", 2);
      recordOpen_ = false;
      afterCr_ = true;
      ++p;
    }
  }
}

void RecordJoiner::finish(QByteArray& out) {
  if (recordOpen_) out.append("\r\n", 2);
  recordOpen_ = false;
  afterCr_ = false;
}

DncWorkData::DncWorkData() = default;

DncWorkData::~DncWorkData() { discard(); }

bool DncWorkData::build(const QStringList& files, QString* error) {
  discard();
  // Asked afresh for every run so the TMPDIR of the moment is honoured. A TMPDIR that names no
  // folder gives an empty path, which would put the work file into the current folder.
  const QString folder = QDir::tempPath();
  if (folder.isEmpty()) {
    if (error) {
      *error = QStringLiteral("作業ファイルを作成できません: 一時フォルダ %1 がありません")
                   .arg(QDir::toNativeSeparators(qEnvironmentVariable("TMPDIR")));
    }
    return false;
  }
  // Never asking the file for its name keeps it unnamed where the system supports that.
  file_ = std::make_unique<QTemporaryFile>(QDir(folder).filePath(QStringLiteral("korvane-dnc-XXXXXX.tmp")));
  if (!file_->open()) {
    if (error) {
      *error = QStringLiteral("作業ファイルを作成できません（%1）\r\n%2")
                   .arg(QDir::toNativeSeparators(folder), file_->errorString());
    }
    discard();
    return false;
  }
  for (const QString& path : files) {
    if (!appendFile(path, error)) {
      discard();
      return false;
    }
  }
  if ((!pending_.isEmpty() && !writeOut(pending_)) || !file_->flush()) {
    if (error) *error = workWriteFailure();
    discard();
    return false;
  }
  pending_.clear();
  const qint64 size = file_->size();
  if (size > 0) {
    mapped_ = file_->map(0, size);
    if (mapped_) {
      bytes_ = QByteArrayView(reinterpret_cast<const char*>(mapped_), size);
    } else {
      // Some file systems cannot map; reading the data back costs memory but works anywhere.
      file_->seek(0);
      fallback_ = file_->readAll();
      if (fallback_.size() != size) {
        if (error) *error = QStringLiteral("作業ファイルを読み込めません\r\n%1").arg(file_->errorString());
        discard();
        return false;
      }
      bytes_ = fallback_;
    }
  }
  return true;
}

bool DncWorkData::appendFile(const QString& path, QString* error) {
  QFile in(path);
  const QString problem = regularFileProblem(path);
  if (!problem.isEmpty() || !in.open(QIODevice::ReadOnly)) {
    if (error) {
      *error = QStringLiteral("ファイルを読み込めません: %1\r\n%2")
                   .arg(QDir::toNativeSeparators(path), problem.isEmpty() ? in.errorString() : problem);
    }
    return false;
  }
  RecordJoiner joiner;
  while (true) {
    const QByteArray piece = in.read(kReadChunk);
    if (piece.isEmpty()) {
      if (in.error() != QFileDevice::NoError || !in.atEnd()) {
        if (error) {
          *error = QStringLiteral("ファイルを読み込めません: %1\r\n%2").arg(QDir::toNativeSeparators(path), in.errorString());
        }
        return false;
      }
      break;
    }
    joiner.feed(piece, pending_);
    if (pending_.size() >= kWriteChunk) {
      if (!writeOut(pending_)) {
        if (error) *error = workWriteFailure();
        return false;
      }
      pending_.clear();
    }
  }
  joiner.finish(pending_);
  return true;
}

QString DncWorkData::workWriteFailure() const {
  return QStringLiteral("作業ファイルに書き込めません\r\n%1").arg(writeError_.isEmpty() ? file_->errorString() : writeError_);
}

bool DncWorkData::writeOut(QByteArrayView chunk) {
  // Past the file's own buffer, so that a full disk is reported in the system's words.
  return writeAllToFd(file_->handle(), chunk.data(), chunk.size(), &writeError_);
}

void DncWorkData::discard() {
  if (mapped_) {
    file_->unmap(mapped_);
    mapped_ = nullptr;
  }
  bytes_ = {};
  fallback_.clear();
  pending_.clear();
  file_.reset();  // closes and removes it (an unnamed file simply vanishes)
}

}  // namespace korvane
