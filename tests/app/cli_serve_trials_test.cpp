// korvane-cli serve against what went wrong when the service was tried on the shop floor: links
// and special files in the program folder, a store the disk refuses, a machine that asks again at
// once, a service restarted in the middle of a tape, a punch's label and a wrong parity bit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

#include "app/cli_serve_support.h"
#include "support/iso_tape.h"

using namespace korvane::test;

namespace {

bool makeLink(const QString& target, const QString& link) {
  return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
}

bool makeFifo(const QString& path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }

QString request(const QString& comment) { return QStringLiteral("%\nO9999(%1)\nM30\n%\n").arg(comment); }

bool stopsOnSigterm(Service& service) {
  ::kill(service.process().processId(), SIGTERM);
  return service.process().waitForFinished(5000) && service.process().exitStatus() == QProcess::NormalExit &&
         service.process().exitCode() == 0;
}

}  // namespace

TEST(CliServeTrials, TheProgramFolderHandsOutOnlyItsOwnRegularFiles) {
  PtyPair machine;
  TempWindir windir;
  ASSERT_TRUE(machine.ok() && windir.linkComPort(1, machine.slavePath()));
  const QDir dir(windir.path());
  const QString programs = dir.filePath("programs");
  const QString outside = dir.filePath("outside");
  ASSERT_TRUE(QDir().mkpath(programs) && QDir().mkpath(outside));
  ASSERT_TRUE(writeFileBytes(programs + "/O5000.nc", "%\r\nO5000(FACE)\r\nM30\r\n%\r\n"));
  ASSERT_TRUE(makeLink("O5000.nc", programs + "/O5001.nc"));  // a link that stays in the folder is fine
  ASSERT_TRUE(writeFileBytes(outside + "/secret.nc", "%\r\nO6000(SECRET)\r\nM30\r\n%\r\n"));
  ASSERT_TRUE(makeLink(outside + "/secret.nc", programs + "/O6000.nc"));
  ASSERT_TRUE(makeFifo(outside + "/fifo") && makeLink(outside + "/fifo", programs + "/O6001.nc"));
  ASSERT_TRUE(makeLink("/dev/zero", programs + "/O6002.nc"));
  ASSERT_TRUE(makeFifo(programs + "/O6003.nc"));
  ASSERT_TRUE(writeFileBytes(windir.iniPath(), servedProfile(1, programs, dir.filePath("in"))));

  Service service({"--answer-wait", "3"});
  ASSERT_TRUE(service.waitForLog("result=open")) << service.log().toStdString();
  for (const char* program : {"O6000", "O6001", "O6002", "O6003"}) {
    SCOPED_TRACE(program);
    ASSERT_TRUE(machine.write(iso(request(QStringLiteral("LOAD %1").arg(program)).toLatin1())));
    // Answered with nothing at once: the worker neither sends the link's target nor hangs in a
    // FIFO's open or in /dev/zero.
    ASSERT_TRUE(service.waitForLog(QStringLiteral("program=%1 result=not-found").arg(program)))
        << service.log().toStdString();
    EXPECT_TRUE(service.log().contains(QStringLiteral("result=skipped file=%1/%2.nc").arg(programs, program)))
        << service.log().toStdString();
  }
  EXPECT_FALSE(service.log().contains("result=sent")) << service.log().toStdString();
  EXPECT_FALSE(readable(machine.read(300)).contains("SECRET"));

  ASSERT_TRUE(machine.write(iso(request("LIST").toLatin1())));
  ASSERT_TRUE(service.waitForLog("program=O9998 result=waiting")) << service.log().toStdString();
  ASSERT_TRUE(machine.write("\x11"));
  const QByteArray list = readTape(machine);
  EXPECT_TRUE(list.contains("(PROGRAMS NO.1 2) \n(O5000 O5000.NC)\n(O5000 O5001.NC)\nM30 \n")) << list.toStdString();
  EXPECT_TRUE(stopsOnSigterm(service)) << service.log().toStdString();
}

TEST(CliServeTrials, ATapeThatCannotBeStoredIsKeptBeforeTheNextOneArrives) {
  PtyPair machine;
  TempWindir windir;
  ASSERT_TRUE(machine.ok() && windir.linkComPort(1, machine.slavePath()));
  const QDir dir(windir.path());
  const QString in = dir.filePath("in");
  ASSERT_TRUE(writeFileBytes(windir.iniPath(), servedProfile(1, QString(), in)));

  // Files of at most 200 bytes: a disk that is as good as full for a program of 400.
  Service service({}, [] {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 200;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
  });
  ASSERT_TRUE(service.waitForLog("result=open")) << service.log().toStdString();
  QByteArray big = "%\nO1234(FIRST)\n";
  for (int i = 1; i <= 30; ++i) big += QStringLiteral("G1X%1.Y%1.\n").arg(i).toLatin1();
  ASSERT_TRUE(machine.write(iso(big + "M30\n%\n")));
  ASSERT_TRUE(service.waitForLog("program=O1234")) << service.log().toStdString();
  ASSERT_TRUE(machine.write(iso("%\nO2\nM30\n%\n")));  // the machine's next tape
  ASSERT_TRUE(waitFor([&] { return QFile::exists(in + "/O0002.nc"); })) << service.log().toStdString();

  const QString failed = service.log().split('\n').filter("program=O1234").join('\n');
  EXPECT_TRUE(failed.contains("result=failed")) << failed.toStdString();
  EXPECT_TRUE(failed.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << failed.toStdString();
  EXPECT_FALSE(failed.contains("Unknown error")) << failed.toStdString();
  EXPECT_FALSE(QFile::exists(in + "/O1234.nc"));
  const QStringList kept = QDir(in).entryList({"O1234-*"}, QDir::Files);
  ASSERT_EQ(kept.size(), 1) << QDir(in).entryList().join(' ').toStdString();
  EXPECT_TRUE(failed.contains("file=" + in + "/" + kept[0])) << failed.toStdString();
  const QByteArray keptBytes = readFileBytes(in + "/" + kept[0]);
  EXPECT_TRUE(keptBytes.startsWith("%\r\nO1234(FIRST)\r\nG1X1.Y1.\r\n") && keptBytes.endsWith("\r\n"))
      << keptBytes.toStdString();
  EXPECT_EQ(readFileBytes(in + "/O0002.nc"), QByteArray("%\r\nO2\r\nM30\r\n%\r\n"));
}

TEST(CliServeTrials, ADc1RightAfterAnAnswerBelongsToTheNextRequest) {
  PtyPair machine;
  TempWindir windir;
  ASSERT_TRUE(machine.ok() && windir.linkComPort(1, machine.slavePath()));
  const QDir dir(windir.path());
  const QString programs = dir.filePath("programs");
  ASSERT_TRUE(QDir().mkpath(programs));
  ASSERT_TRUE(writeFileBytes(programs + "/O5000.nc", "%\r\nO5000(FACE)\r\nM30\r\n%\r\n"));
  ASSERT_TRUE(writeFileBytes(windir.iniPath(), servedProfile(1, programs, dir.filePath("in"))));

  Service service({"--answer-wait", "6"});
  ASSERT_TRUE(service.waitForLog("result=open")) << service.log().toStdString();
  for (int round = 1; round <= 3; ++round) {
    SCOPED_TRACE(round);
    // The operator asks again 0.3 s after the last answer ended: request and READ at once.
    if (round > 1) QThread::msleep(300);
    ASSERT_TRUE(machine.write(iso(request("LOAD O5000").toLatin1()) + '\x11'));
    EXPECT_TRUE(readTape(machine).contains("%\nO5000(FACE) \nM30 \n%")) << service.log().toStdString();
  }
  EXPECT_TRUE(service.waitForLog("program=O5000 bytes=24 result=sent", 3)) << service.log().toStdString();
  EXPECT_FALSE(service.log().contains("result=timeout")) << service.log().toStdString();
}

TEST(CliServeTrials, LabelsTailsAndWrongParityAreToldApartFromPrograms) {
  PtyPair machine;
  TempWindir windir;
  ASSERT_TRUE(machine.ok() && windir.linkComPort(1, machine.slavePath()));
  const QDir dir(windir.path());
  const QString in = dir.filePath("in");
  ASSERT_TRUE(writeFileBytes(windir.iniPath(), servedProfile(1, QString(), in)));
  auto files = [&] { return QDir(in).entryList(QDir::Files, QDir::Name); };

  auto service = std::make_unique<Service>(QStringList{});
  ASSERT_TRUE(service->waitForLog("result=open")) << service->log().toStdString();
  // A Fanuc 0 punches its label and DC2 before the tape: no program of its own.
  ASSERT_TRUE(machine.write("\x1b" + iso("&HE:") + "\x12" + iso("%\nO1234(LABELLED)\nM30\n%\n")));
  ASSERT_TRUE(waitFor([&] { return QFile::exists(in + "/O1234.nc"); })) << service->log().toStdString();
  EXPECT_EQ(readFileBytes(in + "/O1234.nc"), QByteArray("%\r\nO1234(LABELLED)\r\nM30\r\n%\r\n"));

  // One character with its parity bit wrong on an 8-bit ISO line: dropped, and said so.
  QByteArray smoke = iso("%\nO2345(SMOKE)\nM30\n%\n");
  smoke[smoke.indexOf('S')] = char(quint8('S') | 0x80);
  ASSERT_TRUE(machine.write(smoke));
  ASSERT_TRUE(service->waitForLog("program=O2345")) << service->log().toStdString();
  EXPECT_EQ(readFileBytes(in + "/O2345.nc"), QByteArray("%\r\nO2345(MOKE)\r\nM30\r\n%\r\n"));
  EXPECT_TRUE(service->log().contains(QStringLiteral("result=stored file=%1/O2345.nc reason=\"パリティエラーの文字が 1 個").arg(in)))
      << service->log().toStdString();
  EXPECT_TRUE(QString::fromUtf8(readFileBytes(dir.filePath("korvane-transfers.tsv"))).contains(QStringLiteral("パリティエラーの文字が 1 個")));
  EXPECT_EQ(files().join(' ').toStdString(), "O1234.nc O2345.nc");

  // The service is killed in the middle of a tape and started again; the rest of the tape comes.
  ASSERT_TRUE(machine.write(iso("%\nO7000\nG1X1.\nG1Y")));
  ASSERT_TRUE(waitFor([&] { return readFileBytes(in + "/receiving-com1.part").contains("G1X1."); }));
  service.reset();  // SIGKILL
  PtyPair again;  // the same machine; a fresh terminal, as the old one stays claimed by the killed process
  ASSERT_TRUE(again.ok() && windir.linkComPort(1, again.slavePath()));
  service = std::make_unique<Service>(QStringList{});
  ASSERT_TRUE(service->waitForLog("result=open")) << service->log().toStdString();
  EXPECT_TRUE(service->log().contains("program=O7000 bytes=17 result=incomplete")) << service->log().toStdString();
  ASSERT_TRUE(again.write(iso("2.\nG1Z3.\nM30\n%\n")));
  ASSERT_TRUE(service->waitForLog("result=incomplete", 2)) << service->log().toStdString();
  EXPECT_TRUE(service->log().contains(QStringLiteral("テープの途中から"))) << service->log().toStdString();
  EXPECT_FALSE(service->log().contains("result=stored")) << service->log().toStdString();
  const QStringList tails = QDir(in).entryList({"unnumbered-incomplete-*"}, QDir::Files);
  ASSERT_EQ(tails.size(), 1) << files().join(' ').toStdString();
  EXPECT_EQ(readFileBytes(in + "/" + tails[0]), QByteArray("2.\r\nG1Z3.\r\nM30\r\n%\r\n"));
  EXPECT_TRUE(QDir(in).entryList({"unnumbered-2*"}, QDir::Files).isEmpty()) << files().join(' ').toStdString();
  EXPECT_TRUE(stopsOnSigterm(*service)) << service->log().toStdString();
}
