#pragma once
// What an operator asks for from the machine's panel: a punched tape holding the comment
// "(LOAD O1234)" (or "(LOAD 1234)", either case) asks for that program, "(LOAD O1234 N500)" or
// "(LOAD O1234 TOOL3)" for it restarted from block N500 or after its third tool change, "(LIST)"
// for the list of programs this machine may ask for. Such a tape is a request, never a program
// to store.

#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QTemporaryFile;

namespace korvane {

struct PortProfile;

struct ProgramRequest {
  enum class Kind { Load, List };
  Kind kind = Kind::Load;
  QString program;  // "O1234" for a load
  QString from;     // the block a restart starts from ("N500", "tool:3"), empty for the whole program
};

// The first request comment of the tape's lines, if it holds one.
std::optional<ProgramRequest> findProgramRequest(const QStringList& lines);

// A file of the program folder that is no program to hand out (a link that leads out of the
// folder, a FIFO, a device), and why; it is neither sent nor listed.
struct SkippedFile {
  QString path;
  QString reason;
};

// The file that answers a load from folder: one named as the program with any extension (or
// none), else the first file, by name, whose first program number is the program's. Backups,
// kept incomplete tapes and files that are no program are never an answer; the last are added
// to *skipped. Empty when there is none.
QString findRequestedProgram(const QString& folder, const QString& program, QList<SkippedFile>* skipped = nullptr);

// The restart program of the file at path (found by findRequestedProgram) from the request's
// block, read for the machine of profile, its subprograms looked up among the programs of folder,
// every file read as an answer is (copied from what was opened after the checks), written to
// file. False, with the reason, when the restart is refused or cannot be made.
bool writeRestartAnswer(const QString& folder, const QString& path, const ProgramRequest& request,
                        const PortProfile& profile, QTemporaryFile& file, QString* reason);

// A program in folder that a machine may be sent: its file name and program number ("O1234",
// empty when it has none).
struct AvailableProgram {
  QString fileName;
  QString program;
};
QList<AvailableProgram> availablePrograms(const QString& folder, QList<SkippedFile>* skipped = nullptr);

// More than any NC program holds (nearly two days of a 19200 bit/s line), and a bound for a file
// that grows while it is read.
inline constexpr qint64 kLargestProgramBytes = qint64(256) << 20;

// Copies the program at path in folder into `to`, from what was opened after the checks that
// findRequestedProgram makes, in bounded pieces, at most kLargestProgramBytes. False with *problem.
bool copyProgramFile(const QString& folder, const QString& path, QIODevice& to, QString* problem);

// The number of the program that answers "(LIST)".
inline const QString kProgramListNumber = QStringLiteral("O9998");
// O9998 with one comment line per available program, in characters every tape code has.
QString programListText(const QString& machineName, const QList<AvailableProgram>& programs);

}  // namespace korvane
