#include "ui/result_window.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>

#include "ui/japanese_fonts.h"
#include "ui/twips.h"

namespace korvane {

namespace {
constexpr int kInitialWidthTwips = 11500;
constexpr int kInitialHeightTwips = 4000;
constexpr int kButtonWidthTwips = 1460;
constexpr int kButtonHeightTwips = 375;
constexpr int kToolpathButtonWidthTwips = 1800;
}  // namespace

const QStringList& Form5::columnHeaders() {
  static const QStringList headers = {QStringLiteral("ﾌｧｲﾙ名"), QStringLiteral("ﾌﾟﾛｸﾞﾗﾑNo"),
                                      QStringLiteral("加工時間(分)"), QStringLiteral("加工長(mm)"),
                                      QStringLiteral("ﾃｰﾌﾟ長(m)")};
  return headers;
}

const QList<int>& Form5::columnWidthsTwips() {
  static const QList<int> widths = {2822, 1940, 2293, 2117, 1940};
  return widths;
}

Form5::Form5(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("Form5"));
  setWindowTitle(QStringLiteral("加工長、時間"));

  ListView1 = new QTreeWidget(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setFont(QFont(kPGothicFamily));
  ListView1->setRootIsDecorated(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setColumnCount(static_cast<int>(columnHeaders().size()));
  ListView1->setHeaderLabels(columnHeaders());
  ListView1->header()->setStretchLastSection(false);
  const qreal dpi = logicalDpiX();
  for (int i = 0; i < columnWidthsTwips().size(); ++i) ListView1->setColumnWidth(i, twipsToPx(columnWidthsTwips()[i], dpi));

  Command1 = new QPushButton(QStringLiteral("O  K"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->resize(twipsToPx(kButtonWidthTwips, dpi), twipsToPx(kButtonHeightTwips, logicalDpiY()));
  connect(Command1, &QPushButton::clicked, this, &QWidget::close);

  cmdtoolpath = new QPushButton(QStringLiteral("ツールパス表示"), this);
  cmdtoolpath->setObjectName(QStringLiteral("cmdtoolpath"));
  cmdtoolpath->resize(twipsToPx(kToolpathButtonWidthTwips, dpi), twipsToPx(kButtonHeightTwips, logicalDpiY()));
  cmdtoolpath->setEnabled(false);
  connect(cmdtoolpath, &QPushButton::clicked, this, &Form5::requestToolpath);
  connect(ListView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
    cmdtoolpath->setEnabled(current != nullptr && !current->data(0, Qt::UserRole).toString().isEmpty());
  });
  connect(ListView1, &QTreeWidget::itemDoubleClicked, this, &Form5::requestToolpath);

  resizeOuterTwips(kInitialWidthTwips, kInitialHeightTwips);
  layoutControls();
}

void Form5::appendRow(const QStringList& texts, const QString& path) {
  auto* item = new QTreeWidgetItem(ListView1);
  for (int i = 0; i < texts.size() && i < ListView1->columnCount(); ++i) item->setText(i, texts[i]);
  item->setData(0, Qt::UserRole, path);
}

QString Form5::rowPath(int row) const {
  const QTreeWidgetItem* item = ListView1->topLevelItem(row);
  return item ? item->data(0, Qt::UserRole).toString() : QString();
}

void Form5::requestToolpath() {
  const QTreeWidgetItem* item = ListView1->currentItem();
  const QString path = item ? item->data(0, Qt::UserRole).toString() : QString();
  if (!path.isEmpty()) emit toolpathRequested(path);
}

int Form5::rowCount() const { return ListView1->topLevelItemCount(); }

QStringList Form5::rowTexts(int row) const {
  QStringList texts;
  const QTreeWidgetItem* item = ListView1->topLevelItem(row);
  if (item == nullptr) return texts;
  for (int i = 0; i < ListView1->columnCount(); ++i) texts << item->text(i);
  return texts;
}

QSize Form5::outerTwips() const {
  const QSize frame = frameGeometry().size() - size();
  return {pxToTwips(width() + frame.width(), logicalDpiX()), pxToTwips(height() + frame.height(), logicalDpiY())};
}

void Form5::resizeOuterTwips(int widthTwips, int heightTwips) {
  const QSize frame = frameGeometry().size() - size();
  resize(twipsToPx(widthTwips, logicalDpiX()) - frame.width(), twipsToPx(heightTwips, logicalDpiY()) - frame.height());
}

void Form5::layoutControls() {
  QSize outer = outerTwips();
  // A window dragged smaller than the list and button need snaps back to the smallest usable size.
  if (outer.width() < kMinWidthTwips || outer.height() < kMinHeightTwips) {
    outer = outer.expandedTo(QSize(kMinWidthTwips, kMinHeightTwips));
    resizeOuterTwips(outer.width(), outer.height());
  }
  const qreal dx = logicalDpiX();
  const qreal dy = logicalDpiY();
  ListView1->setGeometry(0, 0, twipsToPx(outer.width() - 120, dx), twipsToPx(outer.height() - 1080, dy));
  Command1->move(twipsToPx(outer.width() / 2 - 730, dx), twipsToPx(outer.height() - 870, dy));
  // Beside "O  K" at the left, where there is room for it.
  cmdtoolpath->move(twipsToPx(120, dx), twipsToPx(outer.height() - 870, dy));
  cmdtoolpath->setVisible(120 + kToolpathButtonWidthTwips + 120 <= outer.width() / 2 - 730);
}

void Form5::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutControls();
}

void Form5::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  event->ignore();
}

void Form5::closeEvent(QCloseEvent* event) {
  // Closing unloads the window: the next run starts with an empty list at the initial size.
  ListView1->clear();
  resizeOuterTwips(kInitialWidthTwips, kInitialHeightTwips);
  QWidget::closeEvent(event);
}

}  // namespace korvane
