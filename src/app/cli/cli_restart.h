#pragma once
// The restart of a program from a block in its middle, shared by `restart` (which writes it) and
// `send --from` (which sends it).

#include <QByteArray>
#include <QCommandLineOption>
#include <QStringList>
#include <optional>

#include "analysis/machine_model.h"
#include "analysis/restart_program.h"

namespace korvane::cli {

const QCommandLineOption& fromOption();

// The restart program of files.first() (the others hold its subprograms) from the block the
// --from text names. Nothing, after the reason on standard error, when the text names no block,
// a file cannot be read or the restart is refused.
std::optional<RestartProgram> restartOf(const QStringList& files, const QString& from, const MachineModel& machine,
                                        const RestartOptions& options, const char* command);

}  // namespace korvane::cli
