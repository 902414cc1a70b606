#include "transfer/service/program_request.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <algorithm>
#include <memory>
#include <vector>

#include "analysis/machine_model.h"
#include "analysis/restart_program.h"
#include "analysis/restart_source.h"
#include "platform/desktop/file_system.h"
#include "settings/settings_types.h"
#include "transfer/receive_engine.h"
#include "transfer/service/program_shelf.h"

namespace korvane {

namespace {

// Enough of a file to reach its program number past a header of comments.
constexpr qint64 kHeadBytes = 64 * 1024;

// Backups ("O1234.nc.3"), tapes kept incomplete or not stored, and the file a tape is arriving in.
bool isServiceLeftover(const QString& name) {
  static const QRegularExpression pattern(
      QStringLiteral("(\\.[^.]+\\.\\d+$)|(-incomplete-)|(-unstored-)|(^receiving-com\\d+(-\\d+)?\\.part$)"));
  return pattern.match(name).hasMatch();
}

QStringList programFiles(const QString& folder) {
  QStringList files;
  // System as well: a FIFO, a device or a link that leads nowhere is seen, and told of, not
  // passed over without a word.
  for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::System, QDir::Name)) {
    if (!isServiceLeftover(name)) files << name;
  }
  return files;
}

QString refusalText(const FolderFileRefusal& refusal) {
  switch (refusal.kind) {
    case FolderFileRefusal::Kind::OutsideFolder:
      return QStringLiteral("ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ の外を指しています (%1)").arg(refusal.detail);
    case FolderFileRefusal::Kind::NotRegularFile:
      return QStringLiteral("プログラムのファイルではありません (%1)").arg(refusal.detail);
    case FolderFileRefusal::Kind::Unreadable:
      break;
  }
  return QStringLiteral("読めません (%1)").arg(refusal.detail);
}

// The file opened for reading when it may be handed out; otherwise false, and *skipped told why
// (once per file).
bool openProgramFile(const QString& folder, const QString& path, QFile& file, QList<SkippedFile>* skipped) {
  FolderFileRefusal refusal;
  const int fd = openRegularFileInFolder(folder, path, &refusal);
  if (fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
  const QString reason = fd >= 0 ? QStringLiteral("読めません (%1)").arg(file.errorString()) : refusalText(refusal);
  if (skipped && std::none_of(skipped->cbegin(), skipped->cend(), [&](const SkippedFile& s) { return s.path == path; }))
    skipped->append({path, reason});
  return false;
}

QString headProgramNumber(const QString& folder, const QString& path, QList<SkippedFile>* skipped) {
  QFile file;
  if (!openProgramFile(folder, path, file, skipped)) return QString();
  const QStringList lines = QString::fromLatin1(file.read(kHeadBytes)).split(QLatin1Char('\n'));
  return ProgramShelf::firstProgramNumber(lines);
}

// Characters of a file name that every tape code can carry in a comment.
QString tapeSafe(const QString& text) {
  QString safe;
  for (const QChar c : text.toUpper()) {
    const bool plain = (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                       c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char(' ');
    safe += plain ? c : QLatin1Char('-');
  }
  return safe;
}

}  // namespace

std::optional<ProgramRequest> findProgramRequest(const QStringList& lines) {
  static const QRegularExpression load(
      QStringLiteral("\\(\\s*LOAD\\s*O?\\s*(\\d+)(?:\\s*(?:N\\s*(\\d+)|TOOL\\s*(\\d+)))?\\s*\\)"),
      QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression list(QStringLiteral("\\(\\s*LIST\\s*\\)"), QRegularExpression::CaseInsensitiveOption);
  for (const QString& line : lines) {
    if (const auto match = load.match(line); match.hasMatch()) {
      QString from;
      if (match.hasCaptured(2)) from = QLatin1Char('N') + match.captured(2);
      if (match.hasCaptured(3)) from = QStringLiteral("tool:") + match.captured(3);
      return ProgramRequest{ProgramRequest::Kind::Load, programFileName(QLatin1Char('O') + match.captured(1), QString()),
                            from};
    }
    if (list.match(line).hasMatch()) return ProgramRequest{ProgramRequest::Kind::List, QString(), QString()};
  }
  return std::nullopt;
}

QString findRequestedProgram(const QString& folder, const QString& program, QList<SkippedFile>* skipped) {
  if (folder.isEmpty() || program.isEmpty()) return QString();
  const QDir dir(folder);
  const QStringList files = programFiles(folder);
  for (const QString& name : files) {
    if (QFileInfo(name).completeBaseName().compare(program, Qt::CaseInsensitive) != 0) continue;
    QFile file;
    if (openProgramFile(folder, dir.filePath(name), file, skipped)) return dir.filePath(name);
  }
  for (const QString& name : files) {
    if (headProgramNumber(folder, dir.filePath(name), skipped) == program) return dir.filePath(name);
  }
  return QString();
}

namespace {

// A safe copy of a file of the program folder, as an answer is copied, kept until the restart is
// made of it.
std::unique_ptr<QTemporaryFile> copyOfProgram(const QString& folder, const QString& path, QString* reason) {
  auto copy = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("korvane-restart-XXXXXX.nc")));
  QString problem;
  if (!copy->open() || !copyProgramFile(folder, path, *copy, &problem) || !copy->flush()) {
    *reason = (problem.isEmpty() ? copy->errorString() : problem) + QStringLiteral(": ") + path;
    return nullptr;
  }
  return copy;
}

}  // namespace

bool writeRestartAnswer(const QString& folder, const QString& path, const ProgramRequest& request,
                        const PortProfile& profile, QTemporaryFile& file, QString* reason) {
  QString error;
  const std::optional<BlockSelector> selector = BlockSelector::parse(request.from, &error);
  if (!selector) {
    *reason = error;
    return false;
  }
  // Read from copies made as an answer is made (regular files of the folder only, in bounded
  // pieces): the program, and, where it calls subprograms, every other program of the folder.
  std::vector<std::unique_ptr<QTemporaryFile>> copies;
  copies.push_back(copyOfProgram(folder, path, reason));
  if (!copies.back()) return false;
  copies.back()->seek(0);
  if (callsSubprograms(copies.back()->readAll())) {
    for (const AvailableProgram& other : availablePrograms(folder)) {
      const QString otherPath = QDir(folder).filePath(other.fileName);
      if (QFileInfo(otherPath) == QFileInfo(path)) continue;
      copies.push_back(copyOfProgram(folder, otherPath, reason));
      if (!copies.back()) return false;
    }
  }
  QStringList files;
  for (const auto& copy : copies) files << copy->fileName();
  std::optional<RestartSource> source = loadRestartSource(files, &error);
  if (!source) {
    *reason = error;
    return false;
  }
  source->displayName = QFileInfo(path).fileName();
  RestartAt at;
  at.selector = selector;
  const RestartProgram restart =
      buildRestartProgram(source->bytes, source->displayName, at, machineOf(profile), restartOptionsOf(profile));
  if (!restart.ok) {
    *reason = restart.reason + (restart.offer ? QStringLiteral("（%1 から再開できます）").arg(restart.offer->describe()) : QString());
    return false;
  }
  if (!file.open() || file.write(restart.text) != restart.text.size() || !file.flush()) {
    *reason = file.errorString();
    return false;
  }
  return true;
}

QList<AvailableProgram> availablePrograms(const QString& folder, QList<SkippedFile>* skipped) {
  QList<AvailableProgram> programs;
  if (folder.isEmpty()) return programs;
  const QDir dir(folder);
  QList<SkippedFile> refused;
  for (const QString& name : programFiles(folder)) {
    const qsizetype before = refused.size();
    const QString number = headProgramNumber(folder, dir.filePath(name), &refused);
    if (refused.size() == before) programs.append({name, number});
  }
  if (skipped) *skipped += refused;
  return programs;
}

bool copyProgramFile(const QString& folder, const QString& path, QIODevice& to, QString* problem) {
  QFile file;
  QList<SkippedFile> refused;
  if (!openProgramFile(folder, path, file, &refused)) {
    *problem = refused.isEmpty() ? file.errorString() : refused.first().reason;
    return false;
  }
  const QString tooLarge = QStringLiteral("%1 MB を超えるファイルはプログラムとして送りません").arg(kLargestProgramBytes >> 20);
  if (file.size() > kLargestProgramBytes) {
    *problem = tooLarge;
    return false;
  }
  // Bounded also while it is read: a file that grows meanwhile stops at the limit.
  constexpr qint64 kPiece = 64 * 1024;
  qint64 copied = 0;
  for (;;) {
    const QByteArray piece = file.read(std::min(kPiece, kLargestProgramBytes + 1 - copied));
    if (piece.isEmpty()) break;
    copied += piece.size();
    if (copied > kLargestProgramBytes) {
      *problem = tooLarge;
      return false;
    }
    if (to.write(piece) != piece.size()) {
      *problem = to.errorString();
      return false;
    }
  }
  if (file.error() != QFileDevice::NoError) {
    *problem = file.errorString();
    return false;
  }
  return true;
}

QString programListText(const QString& machineName, const QList<AvailableProgram>& programs) {
  QString text = QStringLiteral("%\n") + kProgramListNumber + QStringLiteral("\n(PROGRAMS ") + tapeSafe(machineName) + QStringLiteral(" ") +
                 QString::number(programs.size()) + QStringLiteral(")\n");
  for (const AvailableProgram& p : programs) {
    text += QStringLiteral("(") + (p.program.isEmpty() ? QStringLiteral("-----") : p.program) + QLatin1Char(' ') +
            tapeSafe(p.fileName) + QStringLiteral(")\n");
  }
  return text + QStringLiteral("M30\n%\n");
}

}  // namespace korvane
