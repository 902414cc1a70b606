#pragma once
// Subcommands of korvane-cli register themselves here, one file each.

#include <QStringList>
#include <QTextStream>
#include <vector>

namespace korvane::cli {

struct Command {
  const char* name;
  const char* usage;  // one line: arguments and what the command does
  int (*run)(const QStringList& args);  // args after the command name
};

std::vector<Command>& commands();

struct Registrar {
  explicit Registrar(Command command) { commands().push_back(command); }
};

QTextStream& out();  // UTF-8 standard output
QTextStream& err();  // UTF-8 standard error

// Reports a usage or run-time problem on stderr and gives the exit status to return.
int fail(const QString& message, int status = 2);

}  // namespace korvane::cli
