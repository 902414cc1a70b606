#include "ui/help_viewer.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/desktop/data_locations.h"
#include "ui/main_window.h"

// The help pages live in a static library; without this call the linker may drop them.
static void initHelpResources() { Q_INIT_RESOURCE(help); }

namespace korvane {

// The program asks only for the start topic; any other context lands there too rather than on
// an empty page. Installed pages come first, so a shop's own help (or a newer copy) is shown;
// the copy built into the program serves a build tree or a missing installation.
QUrl HelpViewer::pageForContext(int) {
  const QString start = QStringLiteral("index.html");
  const QString installed = findDataDirectory(QStringLiteral("help"), start);
  if (!installed.isEmpty()) return QUrl::fromLocalFile(installed + QLatin1Char('/') + start);
  return QUrl(QStringLiteral("qrc:/help/") + start);
}

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  initHelpResources();
  setObjectName(QStringLiteral("HelpViewer"));
  setWindowTitle(kAppTitle + QStringLiteral(" ヘルプ"));
  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("helpBrowser"));
  browser_->setOpenExternalLinks(true);
  auto* back = new QPushButton(QStringLiteral("戻る"), this);
  auto* forward = new QPushButton(QStringLiteral("進む"), this);
  auto* contents = new QPushButton(QStringLiteral("目次"), this);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(contents, &QPushButton::clicked, this, [this] { showContext(kHelpStartContext); });
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {contents, back, forward}) buttons->addWidget(b);
  buttons->addStretch(1);
  auto* top = new QVBoxLayout(this);
  top->addLayout(buttons);
  top->addWidget(browser_, 1);
  resize(640, 560);
}

void HelpViewer::showContext(int context) { browser_->setSource(pageForContext(context)); }

}  // namespace korvane
