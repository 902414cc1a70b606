// korvane-cli serve: the shop-floor service. Every machine profile with ｻｰﾋﾞｽ=1 is served at
// once, each on its own line and thread, until SIGTERM or Ctrl-C.
#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "app/cli/cli_command.h"
#include "app/cli/cli_transfer.h"
#include "app/cli/terminal_view.h"
#include "platform/serial/serial_port_factory.h"
#include "transfer/service/machine_service.h"

namespace korvane::cli {
namespace {

// How often the main thread looks whether a stop was asked for: quick enough for systemd's stop,
// rare enough to cost nothing.
constexpr int kStopLookMs = 200;

namespace opt {
const QCommandLineOption answerWait(QStringLiteral("answer-wait"),
                                    QStringLiteral("Seconds an answer waits for the machine's DC1 (300)."),
                                    QStringLiteral("S"));
const QCommandLineOption quietLimit(QStringLiteral("quiet-limit"),
                                    QStringLiteral("Seconds without data after which a tape is kept as incomplete (30)."),
                                    QStringLiteral("S"));
const QCommandLineOption retry(QStringLiteral("retry"),
                               QStringLiteral("Seconds between attempts to open a lost or busy port (5)."),
                               QStringLiteral("S"));
}  // namespace opt

void defineServe(QCommandLineParser& parser) { parser.addOptions({opt::answerWait, opt::quietLimit, opt::retry}); }

// A seconds option as milliseconds; false after a message when it is no positive number.
bool secondsOption(const QCommandLineParser& parser, const QCommandLineOption& option, int* ms) {
  if (!parser.isSet(option)) return true;
  bool ok = false;
  const double s = parser.value(option).toDouble(&ok);
  if (ok && s > 0 && s <= 86400) {
    *ms = int(s * 1000);
    return true;
  }
  fail(QStringLiteral("serve: --%1 takes seconds (more than 0, at most 86400)").arg(option.names().first()));
  return false;
}

struct ServedMachine {
  std::unique_ptr<SerialPort> port;
  std::unique_ptr<MachineService> service;
};

int runServe(const QCommandLineParser& parser) {
  if (!parser.positionalArguments().isEmpty())
    return fail(QStringLiteral("serve: unexpected argument %1").arg(parser.positionalArguments().first()));
  ServiceTimes times;
  if (!secondsOption(parser, opt::answerWait, &times.answerWaitMs) ||
      !secondsOption(parser, opt::quietLimit, &times.quietLimitMs) || !secondsOption(parser, opt::retry, &times.retryMs))
    return kUsageStatus;

  SettingsStore store(SettingsStore::defaultIniPath());
  store.loadSettings();
  if (!store.loadProblem().isEmpty()) return refuseUnreadableSettings(store);

  // SIGTERM and Ctrl-C only set the flag; this thread looks at it a few times a second.
  std::atomic<bool> stopAsked{false};
  installAbortSignals(&stopAsked);

  ServiceLog log(stderr, transferLogPath(store.iniPath()));
  SteadyClock clock;
  std::vector<ServedMachine> machines;
  QStringList served;
  QList<int> portsTaken;
  for (int slot = 1; slot <= kProfileSlots; ++slot) {
    const PortProfile& p = store.profile(slot);
    if (asInt(p.serviceEnabled) != 1) continue;
    ServedMachine m{makeSerialPort(store.iniPath()), nullptr};
    m.service = std::make_unique<MachineService>(store, slot, *m.port, clock, log, times);
    QString problem = m.service->setUpProblem();
    if (problem.isEmpty() && portsTaken.contains(asInt(p.portNumber)))
      problem = QStringLiteral("Com%1 は他の機械が使っています").arg(asInt(p.portNumber));
    if (!problem.isEmpty()) {
      log.event({slot, p.deviceName, QStringLiteral("service"), QString(), -1, QStringLiteral("not-served"), QString(), problem});
      continue;
    }
    portsTaken << asInt(p.portNumber);
    served << QStringLiteral("COM%1=Com%2").arg(slot).arg(asInt(p.portNumber));
    machines.push_back(std::move(m));
  }
  if (machines.empty()) {
    return fail(QStringLiteral("serve: ｻｰﾋﾞｽ=1 で使える機械がありません (%1)").arg(store.iniPath()), 1);
  }
  log.event({0, QString(), QStringLiteral("service"), QString(), -1, QStringLiteral("started"), store.iniPath(),
             QStringLiteral("serving ") + served.join(QLatin1Char(' '))});

  std::vector<std::thread> threads;
  for (ServedMachine& m : machines) threads.emplace_back([service = m.service.get()] { service->run(); });
  while (!stopAsked.load()) std::this_thread::sleep_for(std::chrono::milliseconds(kStopLookMs));
  log.event({0, QString(), QStringLiteral("service"), QString(), -1, QStringLiteral("stopping"), QString(),
             QStringLiteral("SIGTERM or Ctrl-C")});
  for (ServedMachine& m : machines) m.service->requestStop();
  for (std::thread& t : threads) t.join();
  log.event({0, QString(), QStringLiteral("service"), QString(), -1, QStringLiteral("stopped"), QString(), QString()});
  return 0;
}

const Registrar registrar(
    {"serve", "[--answer-wait S] [--quiet-limit S] [--retry S]",
     "the shop-floor service: serves every profile with ｻｰﾋﾞｽ=1 at once until SIGTERM or Ctrl-C.\n"
     "What a machine punches is stored in its 受信ﾌｫﾙﾀﾞ as O<number> (a replaced program is kept as\n"
     "O<number>.<ext>.<n>); a punched (LOAD O1234) is answered from its ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ once the machine\n"
     "sends DC1, (LIST) with the program O9998 listing them. One line per event on stderr; one record\n"
     "per transfer in korvane-transfers.tsv beside the settings file",
     defineServe, runServe});

}  // namespace
}  // namespace korvane::cli
