// `korvane-cli plot`. Every folder under tests/data/plot is one drawing:
//   program.nc    the program
//   expected.svg  the SVG plot writes for it, byte for byte
//   args.txt      (optional) the options before FILE, separated by blanks (--view front ...)
//   machine.txt   (optional) key=value lines of profile 1 (機械種類=1 for a lathe, ...)
// A new case is a new folder; KORVANE_WRITE_GOLDEN=1 writes expected.svg for a folder without
// one, to be checked by hand before it is committed.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <vector>

#include "settings/ini_file.h"
#include "support/test_files.h"

namespace korvane {
namespace {

struct PlotRun {
  int exitCode = -1;
  QByteArray out;
  QString error;
};

PlotRun plot(const QString& windir, const QStringList& args, const QString& program = QStringLiteral(KORVANE_CLI_PATH)) {
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("windir"), windir);
  cli.setProcessEnvironment(env);
  cli.start(program, QStringList{QStringLiteral("plot")} + args);
  PlotRun run;
  if (!cli.waitForFinished(60000)) return run;
  run.exitCode = cli.exitCode();
  run.out = cli.readAllStandardOutput();
  run.error = QString::fromUtf8(cli.readAllStandardError());
  return run;
}

QString text(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

struct PlotCase {
  QString name;
  QString folder;
};

void PrintTo(const PlotCase& c, std::ostream* os) { *os << c.name.toStdString(); }

QList<PlotCase> loadCases() {
  const QDir root(QStringLiteral(KORVANE_TEST_DATA_DIR "/plot"));
  QList<PlotCase> cases;
  for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    cases << PlotCase{name, root.filePath(name)};
  }
  return cases;
}

class PlotGolden : public ::testing::TestWithParam<PlotCase> {};

TEST_P(PlotGolden, WritesTheExpectedSvg) {
  const QDir folder(GetParam().folder);
  QTemporaryDir dir;
  // The case's machine as profile 1 of a settings file of its own.
  QByteArray ini = "[COM1]\r\n";
  for (const QString& line : text(folder.filePath(QStringLiteral("machine.txt"))).split(QLatin1Char('\n'))) {
    if (!line.trimmed().isEmpty()) ini += encodeCp932(line.trimmed()) + "\r\n";
  }
  test::writeTestFile(dir.path(), QStringLiteral("korvane.ini"), ini);
  const QString out = dir.filePath(QStringLiteral("plot.svg"));
  QStringList args{QStringLiteral("--profile"), QStringLiteral("1")};
  args << text(folder.filePath(QStringLiteral("args.txt"))).split(QLatin1Char(' '), Qt::SkipEmptyParts);
  for (QString& a : args) a = a.trimmed();
  args << folder.filePath(QStringLiteral("program.nc")) << QStringLiteral("-o") << out;
  const PlotRun run = plot(dir.path(), args);
  ASSERT_EQ(run.exitCode, 0) << run.error.toStdString();
  const QByteArray written = test::readTestFile(out);
  const QString expectedPath = folder.filePath(QStringLiteral("expected.svg"));
  if (!QFile::exists(expectedPath) && qEnvironmentVariableIsSet("KORVANE_WRITE_GOLDEN")) {
    test::writeTestFile(folder.path(), QStringLiteral("expected.svg"), written);
    GTEST_SKIP() << "wrote " << expectedPath.toStdString() << ": check it by hand";
  }
  EXPECT_EQ(written.toStdString(), test::readTestFile(expectedPath).toStdString());
}

INSTANTIATE_TEST_SUITE_P(Cases, PlotGolden, ::testing::ValuesIn(loadCases()),
                         [](const ::testing::TestParamInfo<PlotCase>& info) { return info.param.name.toStdString(); });

TEST(CliPlot, AFileThatCannotBeReadIsNamedWithExitTwo) {
  QTemporaryDir dir;
  const QString missing = dir.filePath(QStringLiteral("no-such-program.nc"));
  const PlotRun run = plot(dir.path(), {missing, QStringLiteral("-o"), dir.filePath(QStringLiteral("x.svg"))});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(run.error.contains(QStringLiteral("no-such-program.nc"))) << run.error.toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.svg"))));
}

TEST(CliPlot, RefusesWhatItCannotDraw) {
  QTemporaryDir dir;
  const QString program = test::writeTestFile(dir.path(), QStringLiteral("p.nc"), "G01 X10. F100\r\nM30\r\n");
  const auto refused = [&](const QStringList& args, const char* said) {
    const PlotRun run = plot(dir.path(), args);
    EXPECT_EQ(run.exitCode, 2) << said;
    EXPECT_TRUE(run.error.contains(QLatin1String(said))) << run.error.toStdString();
  };
  const QString svg = dir.filePath(QStringLiteral("p.svg"));
  refused({program, QStringLiteral("-o"), dir.filePath(QStringLiteral("p.pdf"))}, ".svg or .png");
  refused({QStringLiteral("--view"), QStringLiteral("bottom"), program, QStringLiteral("-o"), svg}, "top, front");
  refused({QStringLiteral("--view"), QStringLiteral("lathe"), program, QStringLiteral("-o"), svg}, "--lathe");
  refused({QStringLiteral("--size"), QStringLiteral("10x10"), program, QStringLiteral("-o"), svg}, "--size");
  refused({QStringLiteral("--until"), QStringLiteral("N99"), program, QStringLiteral("-o"), svg}, "no block N99");
  refused({QStringLiteral("--until"), QStringLiteral("next"), program, QStringLiteral("-o"), svg}, "--until");
  refused({program}, "-o OUT");
  EXPECT_FALSE(QFile::exists(svg));
}

TEST(CliPlot, DrawsAPngOfTheSizeAsked) {
  QTemporaryDir dir;
  const QString program =
      test::writeTestFile(dir.path(), QStringLiteral("p.nc"), "T1 M06\r\nG00 X0 Y0\r\nG01 X100. Y50. F100\r\nM30\r\n");
  const QString png = dir.filePath(QStringLiteral("p.png"));
  const PlotRun run = plot(dir.path(), {QStringLiteral("--size"), QStringLiteral("640x400"), program,
                                        QStringLiteral("-o"), png});
  ASSERT_EQ(run.exitCode, 0) << run.error.toStdString();
  const QImage image(png);
  ASSERT_EQ(image.size(), QSize(640, 400));
  // The cut runs from the lower left to the upper right of the picture, in the first tool's
  // colour (green): straight, 50 mm up over 100 mm across.
  std::vector<QPointF> seen;
  for (int x = 100; x < 540; x += 20) {
    for (int y = 0; y < 400; ++y) {
      const QColor c = image.pixelColor(x, y);
      if (c.green() - c.red() > 40 && c.green() - c.blue() > 20) {
        seen.emplace_back(x, y);
        break;
      }
    }
  }
  ASSERT_GE(seen.size(), 20u);
  const double slope = (seen.back().y() - seen.front().y()) / (seen.back().x() - seen.front().x());
  EXPECT_NEAR(slope, -0.5, 0.02);
}

#if !defined(Q_OS_WIN)
// The PNG drawing is a module of its own on Linux: a korvane-cli without it beside it or in its
// library folder still draws SVG, and says what is missing instead of writing no picture silently.
TEST(CliPlot, WithoutItsPngModuleStillDrawsSvgAndNamesWhatIsMissing) {
  QTemporaryDir dir;
  const QString alone = dir.filePath(QStringLiteral("korvane-cli"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(KORVANE_CLI_PATH), alone));
  ASSERT_TRUE(QFile::setPermissions(alone, QFile::permissions(alone) | QFileDevice::ExeOwner));
  const QString program = test::writeTestFile(dir.path(), QStringLiteral("p.nc"), "G00 X0 Y0\r\nG01 X10. F100\r\nM30\r\n");
  const QString png = dir.filePath(QStringLiteral("p.png"));
  const PlotRun refused = plot(dir.path(), {program, QStringLiteral("-o"), png}, alone);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(refused.error.contains(QStringLiteral("korvane-png.so"))) << refused.error.toStdString();
  EXPECT_FALSE(QFile::exists(png));
  const QString svg = dir.filePath(QStringLiteral("p.svg"));
  const PlotRun drawn = plot(dir.path(), {program, QStringLiteral("-o"), svg}, alone);
  EXPECT_EQ(drawn.exitCode, 0) << drawn.error.toStdString();
  EXPECT_TRUE(text(svg).contains(QStringLiteral("class=\"feed\"")));
}
#endif

}  // namespace
}  // namespace korvane
