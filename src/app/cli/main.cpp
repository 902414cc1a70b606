// korvane-cli: the engines of korvane without the window, for scripts, tests and a quick check
// of the settings and ports.
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/cli/cli_command.h"
#include "app/cli/png_plot.h"
#include "app/cli/terminal_view.h"
#include "korvane/version.h"

#if defined(__SANITIZE_THREAD__)
// `plot` draws with Qt's painting, whose own thread pool Debian's Qt (built without
// ThreadSanitizer) hands work to behind locks ThreadSanitizer cannot see: what Qt's own code
// does is left out of a tsan build's reports, korvane's code is not.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n";
}
#endif

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

using namespace korvane::cli;

const QCommandLineOption& helpOption() {
  static const QCommandLineOption option({QStringLiteral("h"), QStringLiteral("help")},
                                         QStringLiteral("Show this help and exit."));
  return option;
}

void printUsage(QTextStream& to) {
  auto list = commands();
  std::sort(list.begin(), list.end(), [](const Command& a, const Command& b) { return qstrcmp(a.name, b.name) < 0; });
  to << "usage: korvane-cli COMMAND [ARGS...]\n"
        "       korvane-cli COMMAND --help    the options of COMMAND\n"
        "       korvane-cli --version\n\ncommands:\n";
  for (const Command& c : list) {
    to << "  " << (QLatin1String(c.name) + QLatin1Char(' ') + QString::fromUtf8(c.synopsis)).trimmed() << '\n';
    to << "      " << QString::fromUtf8(c.description).replace(QLatin1Char('\n'), QLatin1String("\n      ")) << '\n';
  }
  to.flush();
}

// The parser's help with a usage line that names the command rather than the path of the binary.
QString commandHelp(const Command& command, const QCommandLineParser& parser) {
  QString text = parser.helpText();
  const qsizetype firstLineEnd = text.indexOf(QLatin1Char('\n'));
  text.replace(0, firstLineEnd, QStringLiteral("Usage: korvane-cli %1 %2").arg(QLatin1String(command.name),
                                                                              QString::fromUtf8(command.synopsis)));
  return text;
}

int runCommand(const Command& command, const QStringList& args) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
  parser.setApplicationDescription(QString::fromUtf8(command.description));
  parser.addOption(helpOption());
  command.define(parser);
  // The parser skips the first word as the program's name.
  if (!parser.parse(QStringList{QStringLiteral("korvane-cli")} + args)) {
    return fail(QStringLiteral("%1: %2 (korvane-cli %1 --help lists the options)")
                    .arg(QLatin1String(command.name), parser.errorText()));
  }
  if (parser.isSet(helpOption())) {
    out() << commandHelp(command, parser);
    return 0;
  }
  return command.run(parser);
}

}  // namespace

int main(int argc, char** argv) {
  // Only `plot` draws text into its pictures, which takes Qt's fonts and so a GUI application
  // (offscreen on Linux, so that no display is needed). Every other command stays a console one.
  std::unique_ptr<QCoreApplication> app;
  if (argc > 1 && std::strcmp(argv[1], "plot") == 0) {
    app = png::makeApplication(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  prepareConsole();
  QCoreApplication::setApplicationName(QStringLiteral("korvane-cli"));
  QCoreApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));

  // Only the words before the command are korvane-cli's own; the rest belong to the command.
  QCommandLineParser parser;
  parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
  const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
  parser.addOption(helpOption());
  parser.addOption(versionOption);
  parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command to run."));
  if (!parser.parse(QCoreApplication::arguments())) {
    err() << "korvane-cli: " << parser.errorText() << "\n";
    printUsage(err());
    return kUsageStatus;
  }
  if (parser.isSet(versionOption)) {
    out() << "korvane-cli " << QCoreApplication::applicationVersion() << '\n';
    return 0;
  }
  QStringList args = parser.positionalArguments();
  if (parser.isSet(helpOption()) || args.isEmpty()) {
    printUsage(args.isEmpty() && !parser.isSet(helpOption()) ? err() : out());
    return parser.isSet(helpOption()) ? 0 : kUsageStatus;
  }
  const QString name = args.takeFirst();
  for (const Command& c : commands()) {
    if (name == QLatin1String(c.name)) {
      const int status = runCommand(c, args);
      out().flush();
      err().flush();
      return status;
    }
  }
  err() << "korvane-cli: unknown command " << name << "\n";
  printUsage(err());
  return kUsageStatus;
}
