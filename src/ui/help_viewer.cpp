#include "ui/help_viewer.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/main_window.h"

// The help pages live in a static library; without this call the linker may drop them.
static void initHelpResources() { Q_INIT_RESOURCE(help); }

namespace korvane {

// The program asks only for the start topic; any other context lands there too rather than on
// an empty page.
QUrl HelpViewer::pageForContext(int) { return QUrl(QStringLiteral("qrc:/help/index.html")); }

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
