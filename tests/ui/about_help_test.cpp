#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>

#include "korvane/version.h"
#include "main_window_fixture.h"
#include "settings/settings_expectations.h"
#include "support/test_files.h"
#include "test_doubles.h"
#include "ui/about_box.h"
#include "ui/app_icon.h"
#include "ui/help_viewer.h"

namespace korvane::test {
namespace {

class AboutHelpTest : public MainWindowTest {
 protected:
  frmAbout& openAbout() {
    start();
    window->mnuhelpver->trigger();
    auto* box = window->findChild<frmAbout*>();
    EXPECT_NE(box, nullptr);
    return *box;
  }
  RecordingLauncher launcher;
};

TEST_F(AboutHelpTest, AboutBoxShowsTitleAndBuildVersionWithoutBlockingTheWindow) {
  frmAbout& box = openAbout();
  EXPECT_TRUE(box.isVisible());
  EXPECT_FALSE(box.isModal());
  EXPECT_EQ(box.windowTitle(), QStringLiteral("ＮＣデータ転送のﾊﾞｰｼﾞｮﾝ情報"));
  EXPECT_EQ(box.lblTitle->text(), QStringLiteral("ＮＣデータ転送  ") + QString::fromLatin1(kVersion));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(QString::fromLatin1(kVersion)).hasMatch());
  for (QLabel* label : {box.lblVersion, box.lblTrademarks, box.lblDisclaimer, box.lblcoment, box.lblcompany}) {
    EXPECT_FALSE(label->text().isEmpty()) << label->objectName().toStdString();
  }
  EXPECT_EQ(box.cmdSysInfo->text(), QStringLiteral("ｼｽﾃﾑ情報(&S)"));
  // The program's own icon, not a stock picture of the toolkit.
  const QImage shown = box.picIcon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  const QImage own = builtInApplicationIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_FALSE(own.isNull());
  EXPECT_EQ(shown, own);
}

TEST_F(AboutHelpTest, TheBuiltInIconHasTheSizesOfTheMenuAndTheWindowList) {
  const QIcon icon = builtInApplicationIcon();
  for (int size : {16, 32, 48, 64, 128}) {
    EXPECT_EQ(icon.pixmap(size, size).size(), QSize(size, size)) << size;
  }
}

TEST_F(AboutHelpTest, OkUnloadsTheBoxAndTheNextCallBuildsAFreshOne) {
  frmAbout& box = openAbout();
  QPointer<frmAbout> first(&box);
  box.cmdOK->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  window->onAbout();
  auto* second = window->findChild<frmAbout*>();
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->isVisible());
}

TEST_F(AboutHelpTest, WebAndMailGoThroughTheDesktopOpener) {
  frmAbout& box = openAbout();
  box.Command1->click();
  box.Command2->click();
  ASSERT_EQ(launcher.launches.size(), 2);
  EXPECT_EQ(launcher.launches[0].program, QStringLiteral("xdg-open"));
  EXPECT_TRUE(launcher.launches[0].args.value(0).startsWith(QStringLiteral("https://")));
  EXPECT_EQ(launcher.launches[1].program, QStringLiteral("xdg-open"));
  EXPECT_TRUE(launcher.launches[1].args.value(0).startsWith(QStringLiteral("mailto:")));
}

TEST_F(AboutHelpTest, SystemInfoStartsTheFirstInstalledTool) {
  frmAbout& box = openAbout();
  box.setSystemInfoCandidates({QStringLiteral("/nonexistent/sysinfo"), QStringLiteral("/bin/true")});
  box.cmdSysInfo->click();
  ASSERT_EQ(launcher.launches.size(), 1);
  EXPECT_EQ(launcher.launches[0].program, QStringLiteral("/bin/true"));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(AboutHelpTest, SystemInfoMissingOrNotStartableSaysItIsUnavailable) {
  frmAbout& box = openAbout();
  box.setSystemInfoCandidates({QStringLiteral("/nonexistent/sysinfo")});
  box.cmdSysInfo->click();
  EXPECT_TRUE(launcher.launches.isEmpty());
  box.setSystemInfoCandidates({QStringLiteral("/bin/true")});
  launcher.failWith = QStringLiteral("failed");
  box.cmdSysInfo->click();
  ASSERT_EQ(messages.size(), 2);
  for (const ShownMessage& m : messages) {
    EXPECT_EQ(m.text, QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
    EXPECT_FALSE(m.yesNo);
  }
}

TEST_F(AboutHelpTest, HelpOpensOneViewerAtTheStartTopic) {
  start();
  window->mnuhelphelp->trigger();
  window->onHelp();
  const auto viewers = window->findChildren<HelpViewer*>();
  ASSERT_EQ(viewers.size(), 1);
  EXPECT_TRUE(viewers[0]->isVisible());
  EXPECT_EQ(viewers[0]->browser()->source().fileName(), QStringLiteral("index.html"));
  EXPECT_TRUE(viewers[0]->browser()->toPlainText().contains(QStringLiteral("目次")));
}

TEST_F(AboutHelpTest, InstalledHelpPagesComeBeforeTheBuiltInCopy) {
  QTemporaryDir data;
  ASSERT_TRUE(data.isValid());
  EnvGuard dataHome("XDG_DATA_HOME", data.filePath(QStringLiteral("home")).toUtf8());
  EnvGuard dataDirs("XDG_DATA_DIRS", data.path().toUtf8());
  start();

  window->onHelp();
  auto* viewer = window->findChild<HelpViewer*>();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->browser()->source(), QUrl(QStringLiteral("qrc:/help/index.html")));

  const QString help = data.filePath(QStringLiteral("korvane/help"));
  ASSERT_TRUE(QDir().mkpath(help));
  writeTestFile(help, QStringLiteral("index.html"),
                QStringLiteral("<html><body><h1>工場のヘルプ</h1><a href=\"machines.html\">機械一覧</a></body></html>").toUtf8());
  writeTestFile(help, QStringLiteral("machines.html"), QStringLiteral("<h1>機械一覧</h1>").toUtf8());
  window->onHelp();
  EXPECT_EQ(viewer->browser()->source(), QUrl::fromLocalFile(help + QStringLiteral("/index.html")));
  EXPECT_TRUE(viewer->browser()->toPlainText().contains(QStringLiteral("工場のヘルプ")));
  // Links lead on within the installed pages.
  const QVariant linked = viewer->browser()->loadResource(QTextDocument::HtmlResource, QUrl(QStringLiteral("machines.html")));
  EXPECT_TRUE(QString::fromUtf8(linked.toByteArray()).contains(QStringLiteral("<h1>機械一覧</h1>")));
}

TEST_F(AboutHelpTest, EveryLinkOfTheHelpLeadsToAShippedPage) {
  start();
  window->onHelp();
  QFile index(QStringLiteral(":/help/index.html"));
  ASSERT_TRUE(index.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(index.readAll());
  QRegularExpression link(QStringLiteral("href=\"([^\"#]+\\.html)\""));
  int links = 0;
  for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
    const QString page = it.next().captured(1);
    QFile file(QStringLiteral(":/help/") + page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.toStdString();
    EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains(QStringLiteral("<h1>"))) << page.toStdString();
  }
  EXPECT_GE(links, 5);
}

TEST_F(AboutHelpTest, WebAndMailThatCannotBeOpenedSaySo) {
  frmAbout& box = openAbout();
  launcher.failWith = QStringLiteral("xdg-open を起動できません（プログラムが見つかりません）");
  box.Command1->click();
  box.Command2->click();
  ASSERT_EQ(messages.size(), 2);
  for (const ShownMessage& m : messages) EXPECT_EQ(m.text, launcher.failWith);
}

TEST_F(AboutHelpTest, AnOpenerThatFailsAfterItsStartIsReportedByTheWindow) {
  start();
  // What the real launcher calls when the desktop opener ends with an error.
  launcher.reportLateFailure(QStringLiteral("xdg-open https://x を起動できません（no method available）"));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
  EXPECT_TRUE(messages[0].text.contains(QStringLiteral("no method available")));
}

// The help must not promise a file goes out as it is: a send changes what is on the line even
// with the default profile (the code conversion, the blank that makes a block even, the EOB before
// the program), and the profile can add more. Each addition is named with the setting that
// switches it, and with why the machine needs it.
TEST_F(AboutHelpTest, TheHelpSaysWhatASendAddsToTheFileAndWhy) {
  QFile page(QStringLiteral(":/help/transfer.html"));
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(page.readAll());
  const qsizetype from = html.indexOf(QStringLiteral("<h2>送信</h2>"));
  const qsizetype to = html.indexOf(QStringLiteral("<h2>受信</h2>"));
  ASSERT_GE(from, 0);
  ASSERT_GT(to, from);
  const QString send = html.mid(from, to - from);
  EXPECT_FALSE(send.contains(QStringLiteral("内容がそのまま"))) << "the file is never sent as it is";
  EXPECT_FALSE(send.contains(QStringLiteral("付け足されず")));

  // What is added, each with the words that say why.
  struct Addition {
    const char* what;
    const char* why;
  };
  for (const Addition& a : {Addition{"空白", "TV チェック"}, Addition{"ﾃｰﾌﾟﾌｨｰﾄﾞ付加", "NUL"},
                            Addition{"ファイル中の \"%\" を無視する", "ラベルスキップ"},
                            Addition{"送受信にＤＣコードを送信する", "DC2"}, Addition{"DC4", "パンチ"},
                            Addition{"DC1受信後に送信する", "DC1"}, Addition{"EOB", "LFCr"},
                            Addition{"ISO", "パリティ"}}) {
    EXPECT_TRUE(send.contains(QString::fromUtf8(a.what))) << a.what;
    EXPECT_TRUE(send.contains(QString::fromUtf8(a.why))) << a.why;
  }
  // The blank is added whatever the profile says: the default profile adds it too.
  const PortProfile defaults;
  ASSERT_EQ(defaults.ignorePercent, 0);
  ASSERT_EQ(defaults.feedEnabled, 0);
  ASSERT_EQ(defaults.useDc2Dc4, 0);
  EXPECT_TRUE(send.contains(QStringLiteral("既定"))) << "what the default profile sends";
}

}  // namespace
}  // namespace korvane::test
