#include "ui/message_box.h"

#include <QGridLayout>
#include <QSpacerItem>

#include "ui/main_window.h"

namespace korvane {

namespace {
// Window managers put an icon on the left and up to three buttons on the right of a title; the
// common themes take about this much beside the text.
constexpr int kTitleBarChromePx = 140;
}  // namespace

int captionWidthPx(const QWidget& box, const QString& caption) {
  QFont titleFont = box.font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
  return QFontMetrics(titleFont).horizontalAdvance(caption) + kTitleBarChromePx;
}

void fitCaption(QMessageBox& box) {
  // QMessageBox fixes its own size from its layout when shown, so the width goes in as a spacer
  // across the layout's columns rather than as a minimum size.
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  grid->addItem(new QSpacerItem(captionWidthPx(box, box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                grid->rowCount(), 0, 1, grid->columnCount());
}

bool execMessageBox(QWidget* parent, const QString& text, MessageIcon icon, bool yesNo) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::None: boxIcon = QMessageBox::NoIcon; break;
    case MessageIcon::Information: boxIcon = QMessageBox::Information; break;
    case MessageIcon::Warning: boxIcon = QMessageBox::Warning; break;
    case MessageIcon::Critical: boxIcon = QMessageBox::Critical; break;
    case MessageIcon::Question: boxIcon = QMessageBox::Question; break;
  }
  QMessageBox box(boxIcon, kAppTitle, text, yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                  parent);
  if (yesNo) box.setDefaultButton(icon == MessageIcon::Warning ? QMessageBox::No : QMessageBox::Yes);
  fitCaption(box);
  const int answer = box.exec();
  return yesNo ? answer == QMessageBox::Yes : true;
}

}  // namespace korvane
