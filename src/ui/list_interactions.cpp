#include "ui/list_interactions.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QToolTip>
#include <QUrl>

#include "platform/desktop/process_launcher.h"
#include "ui/main_window.h"

namespace korvane {

namespace {

const QString kViewerNotSet = QStringLiteral("ビューワが設定されていません");

QStringList selectedRows(const QListWidget& list) {
  QStringList rows;
  for (int i = 0; i < list.count(); ++i) {
    if (list.item(i)->isSelected()) rows << list.item(i)->text();
  }
  return rows;
}

// Local files and folders carried by a drop from the file manager; other addresses are ignored.
QStringList droppedPaths(const QMimeData* data) {
  QStringList paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  return paths;
}

}  // namespace

void openInEditor(MainWindow& window) {
  const QString editor = window.store().app().editorPath;
  if (editor.isEmpty()) {
    window.showMessage(kEditorNotSetMessage, MessageIcon::Critical);
    return;
  }
  for (const QString& row : selectedRows(*window.List1)) {
    // The same command would fail again for the next rows; one message is enough.
    if (auto error = startStoredCommand(processLauncher(), editor, {row})) {
      window.showMessage(*error, MessageIcon::Critical);
      return;
    }
  }
}

void openInViewer(MainWindow& window) {
  const QString viewer = window.store().app().viewerPath;
  if (viewer.isEmpty()) {
    window.showMessage(kViewerNotSet, MessageIcon::Critical);
    return;
  }
  const QStringList rows = selectedRows(*window.List1);
  if (rows.isEmpty()) return;
  if (auto error = startStoredCommand(processLauncher(), viewer, rows)) {
    window.showMessage(*error, MessageIcon::Critical);
  }
}

ListInteractions::ListInteractions(MainWindow& window) : QObject(&window), window_(window) {
  QListWidget* list = window_.List1;
  list->setMouseTracking(true);
  list->setAcceptDrops(true);
  list->viewport()->setAcceptDrops(true);
  viewport_ = list->viewport();
  viewport_->installEventFilter(this);
}

int ListInteractions::rowAt(const QPoint& pos, bool* outside) const {
  const QListWidget* list = window_.List1;
  *outside = true;
  if (list->count() == 0) return -1;
  if (QListWidgetItem* item = list->itemAt(pos)) {
    *outside = false;
    return list->row(item);
  }
  // Off every row: the nearest one, as a list box answers.
  const int last = list->count() - 1;
  return pos.y() >= list->visualItemRect(list->item(last)).top() ? last : 0;
}

bool ListInteractions::eventFilter(QObject* watched, QEvent* event) {
  if (watched != viewport_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      return onPress(event);
    case QEvent::MouseMove:
      onMove(event);
      return false;
    case QEvent::MouseButtonDblClick:
      onDoubleClick(event);
      return false;
    case QEvent::ToolTip: {
      auto* help = static_cast<QHelpEvent*>(event);
      const QString text = window_.List1->toolTip();
      if (text.isEmpty()) {
        QToolTip::hideText();
      } else {
        QToolTip::showText(help->globalPos(), text, window_.List1);
      }
      return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
      return onDrag(event);
    case QEvent::Drop:
      return onDrop(event);
    default:
      return false;
  }
}

bool ListInteractions::onPress(QEvent* event) {
  auto* mouse = static_cast<QMouseEvent*>(event);
  QListWidget* list = window_.List1;
  bool outside = true;
  const int row = rowAt(mouse->position().toPoint(), &outside);
  const bool right = mouse->button() == Qt::RightButton;
  if (right) {
    QMenu* menu = list->count() > 0 ? window_.flistmnu : window_.flistmnu2;
    menuRow_ = outside ? -1 : row;
    menu->exec(mouse->globalPosition().toPoint());
    menuRow_ = -1;
  }
  clickedRow_ = row < 0 ? 0 : row;
  // A right press opens the menu only; the view would otherwise toggle the row's selection.
  return right;
}

void ListInteractions::onMove(QEvent* event) {
  QListWidget* list = window_.List1;
  if (list->count() == 0) return;
  bool outside = true;
  const int row = rowAt(static_cast<QMouseEvent*>(event)->position().toPoint(), &outside);
  list->setToolTip(outside ? QString() : list->item(row)->text());
}

// A double-click leaves the row under it toggled once, and only when an editor is set. The view
// has toggled a row that was hit on the first press of the two (it ignores the second); off the
// rows it toggled nothing, and the nearest row is meant.
void ListInteractions::onDoubleClick(QEvent* event) {
  QListWidget* list = window_.List1;
  bool outside = true;
  const int row = rowAt(static_cast<QMouseEvent*>(event)->position().toPoint(), &outside);
  if (row >= 0) clickedRow_ = row;
  const QString editor = window_.store().app().editorPath;
  const auto toggle = [list](int r) { list->item(r)->setSelected(!list->item(r)->isSelected()); };
  if (editor.isEmpty()) {
    if (row >= 0 && !outside) toggle(row);  // undo the view's toggle
    window_.showMessage(kEditorNotSetMessage, MessageIcon::Critical);
    return;
  }
  if (row < 0) return;
  if (outside) toggle(row);
  const QString text = list->item(clickedRow_)->text();
  const auto error = QFileInfo(text).isDir() ? processLauncher().openPath(text)
                                             : startStoredCommand(processLauncher(), editor, {text});
  if (error) window_.showMessage(*error, MessageIcon::Critical);
}

bool ListInteractions::onDrag(QEvent* event) {
  auto* drag = static_cast<QDragMoveEvent*>(event);
  if (!window_.sendRunning() && !droppedPaths(drag->mimeData()).isEmpty()) {
    drag->acceptProposedAction();
  } else {
    drag->ignore();
  }
  return true;
}

bool ListInteractions::onDrop(QEvent* event) {
  auto* drop = static_cast<QDropEvent*>(event);
  const QStringList paths = droppedPaths(drop->mimeData());
  // The send engine reads the list row by row; rows must not appear under it. A reception
  // only appends rows, so drops go on then.
  if (window_.sendRunning() || paths.isEmpty()) {
    drop->ignore();
    return true;
  }
  for (const QString& path : paths) window_.List1->addItem(path);
  drop->acceptProposedAction();
  return true;
}

}  // namespace korvane
