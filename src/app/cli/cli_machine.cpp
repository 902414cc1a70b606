// korvane-cli machine: a CNC control's tape reader/punch interface at the far end of a
// pseudo-terminal, so korvane can be tried, tested and measured without a machine tool.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>

#include "app/cli/cli_command.h"
#include "app/cli/machine_pty.h"
#include "app/cli/machine_socket.h"
#include "settings/settings_store.h"
#include "transfer/machine/machine_summary.h"
#include "transfer/machine/program_store.h"

namespace korvane::cli {
namespace {

struct MachineOptions {
  int link = 0;
  TapeCode code = TapeCode::Iso;
  int baud = 9600;
  MachineFrame frame;
  int buffer = 0;
  bool flow = true;
  double consume = 0;
  int margin = kDefaultReaderMargin;
  bool requestStart = false;
  double startDelayMs = 300;
  QString store;
  int exitAfter = 0;
  double idleExitS = 0;
  QStringList punchFiles;
  bool noWait = false;
  QString listen;  // HOST:PORT: behind a device server instead of on a pseudo-terminal
  bool rfc2217 = false;
  QString ask;  // a program number or LIST: punch a request for it, then read the answer
};

// Ask again for data this often while nothing comes, in case the request met a closed port.
constexpr double kRequestRepeatMs = 1000;
// How long an ending punch waits for korvane to read what is still in the terminal.
constexpr double kDrainLimitMs = 5000;
constexpr double kDrainStepMs = 10;
constexpr double kDrainSettleMs = 100;
constexpr int kMinimumBuffer = 8;

class MonotonicMs {
 public:
  double operator()() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The machine's options, each named once: the parser reads them and prints them for --help.
namespace opt {
QCommandLineOption valued(const char* name, const char* valueName, const char* description) {
  return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(description), QString::fromLatin1(valueName));
}
QCommandLineOption flag(const char* name, const char* description) {
  return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(description));
}
const QCommandLineOption link = valued("link", "N", "Make the terminal Com N (1..10) of korvane's settings.");
const QCommandLineOption code = valued("code", "iso|eia", "The tape code the machine reads and punches (iso).");
const QCommandLineOption baud = valued("baud", "B", "The line rate in bit/s; 0: as fast as the terminal goes (9600).");
const QCommandLineOption frame = valued("frame", "8N2", "Data bits, parity and stop bits of a character, as 8N2 or 7E2.");
const QCommandLineOption buffer =
    valued("buffer", "N", "The reader's buffer in characters; 0: endless (0). At least 8 when set.");
const QCommandLineOption noFlow = flag("no-flow", "Send no XON/XOFF: a full buffer overruns.");
const QCommandLineOption consume = valued("consume", "CPS", "The executing rate in characters per second.");
const QCommandLineOption margin =
    valued("margin", "N", "DC3 when the buffer is N characters below full (32; at most half the buffer).");
const QCommandLineOption requestStart = flag("request-start", "Ask for the program with DC1, as a control does.");
const QCommandLineOption startDelay = valued("start-delay", "MS", "Quiet time before asking (300 ms).");
const QCommandLineOption store = valued("store", "DIR", "Store each program read as a file in DIR.");
const QCommandLineOption exitAfter = valued("exit-after", "N", "End after N programs read or punches done.");
const QCommandLineOption idleExit = valued("idle-exit", "S", "End after S seconds without traffic.");
const QCommandLineOption punch = flag("punch", "Punch the FILE arguments out instead of reading.");
const QCommandLineOption noWait = flag("no-wait", "With --punch: punch at once instead of on the PC's DC1.");
const QCommandLineOption listen =
    valued("listen", "HOST:PORT", "Listen on TCP as a serial device server would, instead of a pseudo-terminal.");
const QCommandLineOption rfc2217 = flag("rfc2217", "With --listen: speak telnet COM port control (RFC 2217), not raw TCP.");
const QCommandLineOption ask = valued("ask", "O1234|LIST",
                                      "Punch a request for a program (or the list), then read the answer, asking with DC1.");
}  // namespace opt

void defineMachine(QCommandLineParser& parser) {
  parser.addOptions({opt::link, opt::code, opt::baud, opt::frame, opt::buffer, opt::noFlow, opt::consume, opt::margin,
                     opt::requestStart, opt::startDelay, opt::store, opt::exitAfter, opt::idleExit, opt::punch,
                     opt::noWait, opt::listen, opt::rfc2217, opt::ask});
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("With --punch: a program to punch out."),
                               QStringLiteral("[FILE...]"));
}

std::optional<MachineOptions> parseOptions(const QCommandLineParser& parser, QString* problem) {
  MachineOptions o;
  // Reads a number option that is given; false when it is not a number of at least minimum.
  auto number = [&](const QCommandLineOption& option, double minimum, double* value) {
    bool ok = false;
    *value = parser.value(option).toDouble(&ok);
    return ok && *value >= minimum;
  };
  double v = 0;
  if (parser.isSet(opt::link)) {
    if (!number(opt::link, 1, &v) || v > 10 || v != int(v)) return *problem = QStringLiteral("--link takes a port 1..10"), std::nullopt;
    o.link = int(v);
  }
  if (parser.isSet(opt::code)) {
    const QString c = parser.value(opt::code).toLower();
    if (c != QLatin1String("iso") && c != QLatin1String("eia")) return *problem = QStringLiteral("--code takes iso or eia"), std::nullopt;
    o.code = c == QLatin1String("eia") ? TapeCode::Eia : TapeCode::Iso;
  }
  if (parser.isSet(opt::baud)) {
    if (!number(opt::baud, 0, &v) || v != int(v)) return *problem = QStringLiteral("--baud takes a line rate (0: none)"), std::nullopt;
    o.baud = int(v);
  }
  if (parser.isSet(opt::frame)) {
    const auto frame = parseMachineFrame(parser.value(opt::frame));
    if (!frame) return *problem = QStringLiteral("--frame takes data bits, parity, stop bits, as 8N2 or 7E2"), std::nullopt;
    o.frame = *frame;
  }
  if (parser.isSet(opt::buffer)) {
    if (!number(opt::buffer, 0, &v) || v != int(v) || (v > 0 && v < kMinimumBuffer))
      return *problem = QStringLiteral("--buffer takes 0 (endless) or at least %1 characters").arg(kMinimumBuffer), std::nullopt;
    o.buffer = int(v);
  }
  o.flow = !parser.isSet(opt::noFlow);
  if (parser.isSet(opt::consume)) {
    if (!number(opt::consume, 0, &v) || v <= 0) return *problem = QStringLiteral("--consume takes characters per second"), std::nullopt;
    o.consume = v;
  }
  if (parser.isSet(opt::margin)) {
    if (!number(opt::margin, 1, &v) || v != int(v)) return *problem = QStringLiteral("--margin takes a count of characters"), std::nullopt;
    o.margin = int(v);
  }
  o.requestStart = parser.isSet(opt::requestStart);
  if (parser.isSet(opt::startDelay)) {
    if (!number(opt::startDelay, 0, &v)) return *problem = QStringLiteral("--start-delay takes milliseconds"), std::nullopt;
    o.startDelayMs = v;
  }
  o.store = parser.value(opt::store);
  if (parser.isSet(opt::exitAfter)) {
    if (!number(opt::exitAfter, 1, &v) || v != int(v)) return *problem = QStringLiteral("--exit-after takes a count"), std::nullopt;
    o.exitAfter = int(v);
  }
  if (parser.isSet(opt::idleExit)) {
    if (!number(opt::idleExit, 0, &v) || v <= 0) return *problem = QStringLiteral("--idle-exit takes seconds"), std::nullopt;
    o.idleExitS = v;
  }
  o.punchFiles = parser.positionalArguments();
  if (parser.isSet(opt::punch) && o.punchFiles.isEmpty())
    return *problem = QStringLiteral("--punch takes one or more files"), std::nullopt;
  if (!parser.isSet(opt::punch) && !o.punchFiles.isEmpty())
    return *problem = QStringLiteral("unexpected argument %1 (files go with --punch)").arg(o.punchFiles.first()), std::nullopt;
  o.noWait = parser.isSet(opt::noWait);
  o.listen = parser.value(opt::listen);
  o.rfc2217 = parser.isSet(opt::rfc2217);
  if (parser.isSet(opt::ask)) {
    static const QRegularExpression program(QStringLiteral("^O?\\d{1,8}$"), QRegularExpression::CaseInsensitiveOption);
    o.ask = parser.value(opt::ask).toUpper();
    if (o.ask != QLatin1String("LIST") && !program.match(o.ask).hasMatch())
      return *problem = QStringLiteral("--ask takes a program number (O1234) or LIST"), std::nullopt;
    if (!o.ask.startsWith(QLatin1Char('O')) && o.ask != QLatin1String("LIST")) o.ask.prepend(QLatin1Char('O'));
  }
  if (o.noWait && o.punchFiles.isEmpty()) return *problem = QStringLiteral("--no-wait goes with --punch"), std::nullopt;
  if (o.rfc2217 && o.listen.isEmpty()) return *problem = QStringLiteral("--rfc2217 goes with --listen"), std::nullopt;
  return o;
}

// The earliest of the deadlines that are set (non-negative), or -1.
double earliest(std::initializer_list<double> deadlines) {
  double best = -1;
  for (double d : deadlines)
    if (d >= 0 && (best < 0 || d < best)) best = d;
  return best;
}

void printSummary(const QJsonObject& summary) {
  out() << QString::fromUtf8(QJsonDocument(summary).toJson(QJsonDocument::Indented));
  out().flush();
}

int runReader(const MachineOptions& o, MachineLine& pty) {
  ReaderConfig config;
  config.code = o.code;
  config.frame = o.frame;
  config.baud = o.baud;
  config.bufferSize = o.buffer;
  config.xonXoff = o.flow;
  config.consumeCps = o.consume;
  config.margin = o.margin;
  TapeReaderModel model(config);
  ReaderSessionInfo session;

  std::optional<ProgramStore> store;
  std::optional<RawFileWriter> rawFiles;
  if (!o.store.isEmpty()) {
    store.emplace(o.store);
    QString error;
    if (!store->prepare(&error)) return fail(error, 1);
    rawFiles.emplace(o.store);
  }
  RawCapture raw([&](int index, const QByteArray& bytes) {
    if (rawFiles) rawFiles->append(index, bytes);
  });

  const MonotonicMs clock;
  QByteArray pendingOut;  // flow-control bytes the terminal could not take yet
  double lastArrivalMs = 0;
  double nextRequestMs = o.requestStart ? o.startDelayMs : -1;
  int programsStored = 0;
  model.advance(clock());

  auto send = [&](const QByteArray& bytes) {
    pendingOut += o.frame.onLine(bytes);
    if (!pendingOut.isEmpty()) pendingOut.remove(0, pty.write(pendingOut));
  };
  auto storePrograms = [&] {
    for (const ReceivedProgram& p : model.takePrograms()) {
      StoredProgram entry{QString(), p.number, int(p.blocks.size()), p.complete};
      if (store) {
        QString error;
        if (const auto path = store->store(p, &error)) {
          entry.file = *path;
        } else {
          err() << "korvane-cli machine: " << error << Qt::endl;
        }
      }
      session.stored << entry;
      ++programsStored;
    }
  };

  while (!stopRequested()) {
    double now = clock();
    const double idleDeadline = o.idleExitS > 0 ? lastArrivalMs + o.idleExitS * 1000 : -1;
    const double next = earliest({model.nextEventMs(), nextRequestMs, idleDeadline});
    pty.wait(next < 0 ? -1 : std::max(0.0, next - now), !pendingOut.isEmpty());
    now = clock();

    const QByteArray bytes = pty.readAvailable();
    if (!bytes.isEmpty()) {
      raw.feed(bytes);
      send(model.receive(bytes, now));
      lastArrivalMs = now;
    }
    send(model.advance(now));
    storePrograms();
    if (o.exitAfter > 0 && programsStored >= o.exitAfter) break;

    if (nextRequestMs >= 0 && now >= nextRequestMs) {
      // Asks (again) only while nothing is coming: not within a program, not while holding.
      if (pendingOut.isEmpty() && !model.inProgram() && !model.holding() && now - lastArrivalMs >= o.startDelayMs) {
        send(QByteArray(1, char(0x11)));
        ++session.startRequests;
      }
      nextRequestMs = now + kRequestRepeatMs;
    }
    if (idleDeadline >= 0 && now >= idleDeadline && model.bufferLevel() == 0) break;
  }

  model.finish(clock());
  storePrograms();
  session.transmissions = raw.transmissions();
  printSummary(readerSummary(model, session));
  return 0;
}

int runPunch(const MachineOptions& o, MachineLine& pty, const QList<QStringList>& programs) {
  const PunchStream stream = buildPunchStream(programs, o.code);
  if (stream.dropped > 0) {
    err() << "korvane-cli machine: " << stream.dropped << " characters without a tape code left out ("
          << stream.droppedSample << ")" << Qt::endl;
  }
  PunchSessionInfo session{o.code, o.frame.text(), o.baud, o.frame.characterRate(o.baud),
                           stream.programs, stream.dropped, stream.bytes.size()};

  const MonotonicMs clock;
  TapePunch punch(stream.bytes, session.characterRate, !o.noWait, clock());
  double lastActivityMs = 0;
  bool blocked = false;  // the terminal took less than was due: wait until it can take more

  while (!stopRequested()) {
    double now = clock();
    const double idleDeadline = o.idleExitS > 0 && !punch.punching() ? lastActivityMs + o.idleExitS * 1000 : -1;
    const double next = earliest({blocked ? -1 : punch.nextEventMs(), idleDeadline});
    pty.wait(next < 0 ? -1 : std::max(0.0, next - now), blocked);
    now = clock();

    const QByteArray bytes = pty.readAvailable();
    if (!bytes.isEmpty()) {
      punch.receive(bytes, now);
      lastActivityMs = now;
    }
    const QByteArray due = o.frame.onLine(punch.due(now));
    if (!due.isEmpty()) {
      const int written = pty.write(due);
      punch.sent(written, now);
      blocked = written < due.size();
      lastActivityMs = now;
    } else {
      blocked = false;
    }
    if (o.exitAfter > 0 && punch.completedPunches() >= o.exitAfter) break;
    if (idleDeadline >= 0 && now >= idleDeadline) break;
  }

  // Closing the terminal hangs the line up and drops what korvane has not read yet. The last
  // bytes reach korvane's input queue a little after the write, so an empty queue counts only
  // once they have had the time to get there.
  const double drainStart = clock();
  while (!stopRequested() && clock() - drainStart < kDrainLimitMs &&
         (clock() - drainStart < kDrainSettleMs || pty.unreadBySlave() > 0))
    pty.wait(kDrainStepMs, false);
  printSummary(punchSummary(punch, session));
  return 0;
}

int runPunch(const MachineOptions& o, MachineLine& pty) {
  QList<QStringList> programs;
  for (const QString& path : o.punchFiles) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(QStringLiteral("%1: %2").arg(path, file.errorString()), 1);
    programs << programBlocks(QString::fromLatin1(file.readAll()));
  }
  return runPunch(o, pty, programs);
}

// An operator at the panel: punches the files given first (as one tape), then a small program
// holding the request, switches the control to read and reads what comes, asking with DC1 as a
// control does.
int runAsk(MachineOptions o, MachineLine& line) {
  const QString comment = o.ask == QLatin1String("LIST") ? QStringLiteral("(LIST)") : QStringLiteral("(LOAD %1)").arg(o.ask);
  o.noWait = true;
  o.exitAfter = 1;
  if (!o.punchFiles.isEmpty()) {
    if (const int status = runPunch(o, line); status != 0) return status;
  }
  if (const int status = runPunch(o, line, {{QStringLiteral("O9999") + comment, QStringLiteral("M30")}}); status != 0)
    return status;
  o.requestStart = true;
  return runReader(o, line);
}

int runMachine(const QCommandLineParser& parser) {
  QString problem;
  const auto options = parseOptions(parser, &problem);
  if (!options) return fail(QStringLiteral("machine: ") + problem);
  for (const QString& path : options->punchFiles)
    if (!QFile::exists(path)) return fail(QStringLiteral("%1: no such file").arg(path), 1);

  catchStopSignals();
  if (!options->listen.isEmpty()) {
    MachineSocket socket(options->rfc2217);
    if (!socket.listen(options->listen, &problem)) return fail(problem, 1);
    if (options->link > 0 && !socket.link(options->link, SettingsStore::defaultIniPath(), &problem)) return fail(problem, 1);
    out() << socket.address() << Qt::endl;
    if (!socket.linkPath().isEmpty()) err() << "Com" << options->link << ": " << socket.linkPath() << Qt::endl;
    if (!options->ask.isEmpty()) return runAsk(*options, socket);
    return options->punchFiles.isEmpty() ? runReader(*options, socket) : runPunch(*options, socket);
  }
  MachinePty pty;
  if (!pty.open(options->baud, &problem)) return fail(problem, 1);
  if (options->link > 0 && !pty.link(options->link, SettingsStore::defaultIniPath(), &problem)) return fail(problem, 1);
  out() << pty.slavePath() << Qt::endl;
  if (!pty.linkPath().isEmpty()) err() << "Com" << options->link << ": " << pty.linkPath() << Qt::endl;

  if (!options->ask.isEmpty()) return runAsk(*options, pty);
  return options->punchFiles.isEmpty() ? runReader(*options, pty) : runPunch(*options, pty);
}

const Registrar registrar(
    {"machine",
     "[--link N] [--code iso|eia] [--baud B] [--frame 8N2] [--buffer N [--no-flow] [--margin N]] [--consume CPS]\n"
     "      [--request-start [--start-delay MS]] [--store DIR] [--exit-after N] [--idle-exit S]\n"
     "      [--punch FILE... [--no-wait]] [--ask O1234|LIST] [--listen HOST:PORT [--rfc2217]]",
     "a CNC tape reader (or, with --punch, a tape punch) on a new pseudo-terminal, or with --listen\n"
     "behind a simulated device server (raw TCP, or telnet COM port control with --rfc2217); prints\n"
     "its path or address, with --link N makes it Com N, and prints a JSON summary when it ends",
     defineMachine, runMachine});

}  // namespace
}  // namespace korvane::cli
