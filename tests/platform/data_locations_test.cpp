// Where the installed help pages and samples are found: the XDG data folders in their order,
// then the share folder beside the program, and only a folder that holds the file asked for.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include "platform/desktop/data_locations.h"
#include "settings/settings_expectations.h"
#include "support/test_files.h"

namespace korvane::test {
namespace {

class DataLocationsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  QString folder(const QString& relative) {
    const QString path = dir.filePath(relative);
    EXPECT_TRUE(QDir().mkpath(path));
    return path;
  }
  QTemporaryDir dir;
};

TEST_F(DataLocationsTest, CandidatesFollowTheXdgDataPathThenTheProgramsOwnPrefix) {
  const QString home = folder(QStringLiteral("home-data"));
  const QString local = folder(QStringLiteral("local-share"));
  const QString system = folder(QStringLiteral("share"));
  EnvGuard dataHome("XDG_DATA_HOME", home.toUtf8());
  EnvGuard dataDirs("XDG_DATA_DIRS", (local + QLatin1Char(':') + system).toUtf8());

  const QStringList expected{
      home + QStringLiteral("/korvane/help"), local + QStringLiteral("/korvane/help"),
      system + QStringLiteral("/korvane/help"),
      QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/korvane/help"))};
  EXPECT_EQ(dataDirectoryCandidates(QStringLiteral("help")), expected);
}

TEST_F(DataLocationsTest, TheFirstFolderHoldingTheMarkerWinsAndOneWithoutItIsPassedOver) {
  const QString local = folder(QStringLiteral("local-share"));
  const QString system = folder(QStringLiteral("share"));
  EnvGuard dataHome("XDG_DATA_HOME", folder(QStringLiteral("home-data")).toUtf8());
  EnvGuard dataDirs("XDG_DATA_DIRS", (local + QLatin1Char(':') + system).toUtf8());
  const QString marker = QStringLiteral("index.html");

  EXPECT_EQ(findDataDirectory(QStringLiteral("help"), marker), QString());

  // The packaged pages in share/.
  folder(QStringLiteral("share/korvane/help"));
  writeTestFile(system + QStringLiteral("/korvane/help"), marker, "<h1>packaged</h1>");
  EXPECT_EQ(findDataDirectory(QStringLiteral("help"), marker), system + QStringLiteral("/korvane/help"));

  // A local folder without a start page does not hide them; one with a start page comes first.
  folder(QStringLiteral("local-share/korvane/help"));
  EXPECT_EQ(findDataDirectory(QStringLiteral("help"), marker), system + QStringLiteral("/korvane/help"));
  writeTestFile(local + QStringLiteral("/korvane/help"), marker, "<h1>shop</h1>");
  EXPECT_EQ(findDataDirectory(QStringLiteral("help"), marker), local + QStringLiteral("/korvane/help"));

  // Each kind of data is looked up on its own.
  EXPECT_EQ(findDataDirectory(QStringLiteral("samples"), QStringLiteral("sample.nc")), QString());
  folder(QStringLiteral("share/korvane/samples"));
  writeTestFile(system + QStringLiteral("/korvane/samples"), QStringLiteral("sample.nc"), "%\nO1\n%\n");
  EXPECT_EQ(findDataDirectory(QStringLiteral("samples"), QStringLiteral("sample.nc")),
            system + QStringLiteral("/korvane/samples"));
}

TEST_F(DataLocationsTest, AMarkerThatIsAFolderDoesNotCount) {
  const QString system = folder(QStringLiteral("share"));
  EnvGuard dataHome("XDG_DATA_HOME", folder(QStringLiteral("home-data")).toUtf8());
  EnvGuard dataDirs("XDG_DATA_DIRS", system.toUtf8());
  folder(QStringLiteral("share/korvane/help/index.html"));
  EXPECT_EQ(findDataDirectory(QStringLiteral("help"), QStringLiteral("index.html")), QString());
}

}  // namespace
}  // namespace korvane::test
