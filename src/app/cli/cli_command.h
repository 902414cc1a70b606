#pragma once
// Subcommands of korvane-cli register themselves here, one file each. A command names its
// options and arguments once, in its `define` function, for QCommandLineParser; the parser
// then reads the command line and writes the command's --help from the same definitions.

#include <QCommandLineParser>
#include <QStringList>
#include <QTextStream>
#include <vector>

namespace korvane::cli {

struct Command {
  const char* name;
  const char* synopsis;     // what follows the name on the usage line, e.g. "[--profile N] FILE..."
  const char* description;  // what the command does, for the command list and its --help
  void (*define)(QCommandLineParser& parser);   // adds the command's options and arguments
  int (*run)(const QCommandLineParser& parser);  // the parsed command line
};

std::vector<Command>& commands();

struct Registrar {
  explicit Registrar(Command command) { commands().push_back(command); }
};

QTextStream& out();  // UTF-8 standard output
QTextStream& err();  // UTF-8 standard error

// The exit status of a command line the command cannot run.
constexpr int kUsageStatus = 2;

// Reports a usage or run-time problem on stderr and gives the exit status to return.
int fail(const QString& message, int status = kUsageStatus);

}  // namespace korvane::cli
