#pragma once
// What an operator asks for from the machine's panel: a punched tape holding the comment
// "(LOAD O1234)" (or "(LOAD 1234)", either case) asks for that program, "(LOAD O1234 N500)" or
// "(LOAD O1234 TOOL3)" for it restarted from block N500 or after its third tool change, "(LIST)"
// for the list of programs this machine may ask for. Such a tape is a request, never a program
// to store.

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

// The file that answers a load from folder: one named as the program with any extension (or
// none), else the first file, by name, whose first program number is the program's. Backups and
// kept incomplete tapes are never an answer. Empty when there is none.
QString findRequestedProgram(const QString& folder, const QString& program);

// The restart program of the file at path from the request's block, read for the machine of
// profile (its subprograms looked up in the profile's program folder), written to file. False,
// with the reason, when the restart is refused or cannot be written.
bool writeRestartAnswer(const QString& path, const ProgramRequest& request, const PortProfile& profile,
                        QTemporaryFile& file, QString* reason);

// A program in folder that a machine may be sent: its file name and program number ("O1234",
// empty when it has none).
struct AvailableProgram {
  QString fileName;
  QString program;
};
QList<AvailableProgram> availablePrograms(const QString& folder);

// The number of the program that answers "(LIST)".
inline const QString kProgramListNumber = QStringLiteral("O9998");
// O9998 with one comment line per available program, in characters every tape code has.
QString programListText(const QString& machineName, const QList<AvailableProgram>& programs);

}  // namespace korvane
