#include "transfer/service/program_request.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include "analysis/machine_model.h"
#include "analysis/restart_program.h"
#include "analysis/restart_source.h"
#include "settings/settings_types.h"
#include "transfer/receive_engine.h"
#include "transfer/service/program_shelf.h"

namespace korvane {

namespace {

// Enough of a file to reach its program number past a header of comments.
constexpr qint64 kHeadBytes = 64 * 1024;

// Backups ("O1234.nc.3"), tapes kept incomplete and the file a tape is arriving in.
bool isServiceLeftover(const QString& name) {
  static const QRegularExpression pattern(QStringLiteral("(\\.[^.]+\\.\\d+$)|(-incomplete-)|(^receiving-com\\d+\\.part$)"));
  return pattern.match(name).hasMatch();
}

QStringList programFiles(const QString& folder) {
  QStringList files;
  for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
    if (!isServiceLeftover(name)) files << name;
  }
  return files;
}

QString headProgramNumber(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
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

QString findRequestedProgram(const QString& folder, const QString& program) {
  if (folder.isEmpty() || program.isEmpty()) return QString();
  const QDir dir(folder);
  const QStringList files = programFiles(folder);
  for (const QString& name : files) {
    if (QFileInfo(name).completeBaseName().compare(program, Qt::CaseInsensitive) == 0) return dir.filePath(name);
  }
  for (const QString& name : files) {
    if (headProgramNumber(dir.filePath(name)) == program) return dir.filePath(name);
  }
  return QString();
}

bool writeRestartAnswer(const QString& path, const ProgramRequest& request, const PortProfile& profile,
                        QTemporaryFile& file, QString* reason) {
  QString error;
  const std::optional<BlockSelector> selector = BlockSelector::parse(request.from, &error);
  QStringList files{path};
  for (const QString& name : programFiles(profile.programFolder)) {
    const QString other = QDir(profile.programFolder).filePath(name);
    if (QFileInfo(other) != QFileInfo(path)) files << other;
  }
  const std::optional<RestartSource> source = selector ? loadRestartSource(files, &error) : std::nullopt;
  if (!source) {
    *reason = error;
    return false;
  }
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

QList<AvailableProgram> availablePrograms(const QString& folder) {
  QList<AvailableProgram> programs;
  if (folder.isEmpty()) return programs;
  const QDir dir(folder);
  for (const QString& name : programFiles(folder)) programs.append({name, headProgramNumber(dir.filePath(name))});
  return programs;
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
