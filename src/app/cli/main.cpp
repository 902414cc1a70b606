// korvane-cli: the engines of korvane without the window, for scripts, tests and a quick check
// of the settings and ports.
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>

#include "app/cli/cli_command.h"
#include "korvane/version.h"

namespace korvane::cli {

std::vector<Command>& commands() {
  static std::vector<Command> all;
  return all;
}

QTextStream& out() {
  static QTextStream stream(stdout);
  return stream;
}

QTextStream& err() {
  static QTextStream stream(stderr);
  return stream;
}

int fail(const QString& message, int status) {
  err() << "korvane-cli: " << message << Qt::endl;
  return status;
}

}  // namespace korvane::cli

namespace {

void printUsage(QTextStream& to) {
  using namespace korvane::cli;
  auto list = commands();
  std::sort(list.begin(), list.end(), [](const Command& a, const Command& b) { return qstrcmp(a.name, b.name) < 0; });
  to << "usage: korvane-cli COMMAND [ARGS...]\n\ncommands:\n";
  for (const Command& c : list) to << "  " << c.name << ' ' << c.usage << '\n';
  to.flush();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  using namespace korvane::cli;
  QStringList args = QCoreApplication::arguments().mid(1);
  if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
    printUsage(args.isEmpty() ? err() : out());
    return args.isEmpty() ? 2 : 0;
  }
  if (args.first() == QLatin1String("--version")) {
    out() << "korvane-cli " << KORVANE_VERSION << Qt::endl;
    return 0;
  }
  const QString name = args.takeFirst();
  for (const Command& c : commands()) {
    if (name == QLatin1String(c.name)) {
      const int status = c.run(args);
      out().flush();
      err().flush();
      return status;
    }
  }
  err() << "korvane-cli: unknown command " << name << "\n";
  printUsage(err());
  return 2;
}
