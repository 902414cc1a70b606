#pragma once
// Mouse, tooltip and drop handling on the main window's file list, and the hand-over of rows to
// the external editor, viewer and file manager.

#include <QObject>
#include <QString>

namespace korvane {

class MainWindow;
class ProcessLauncher;

inline const QString kEditorNotSetMessage = QStringLiteral("エディターが設定されていません");

// Replaces the launcher the main window uses for the editor, viewer and file manager; null puts
// the real one back. Not owned.
void setProcessLauncherForTests(ProcessLauncher* launcher);
// The launcher in use: the one set for tests, else the platform's.
ProcessLauncher& processLauncher();

// Starts the editor once per selected row, in list order; "エディターが設定されていません" when unset.
void openInEditor(MainWindow& window);
// Starts the viewer once with every selected row as an argument; "ビューワが設定されていません" when unset.
void openInViewer(MainWindow& window);

// Watches the list's viewport: the row under a press (the right button opens a context menu),
// the tooltip of the row under the pointer, double-click and drops of files.
class ListInteractions final : public QObject {
  Q_OBJECT

 public:
  explicit ListInteractions(MainWindow& window);
  // The row under the pointer at the last press; 0 when the list was empty then.
  int clickedRow() const { return clickedRow_; }
  // While an item of the context menu runs: the row the menu was opened on, -1 when it was on no
  // row (the items then act on the selected rows).
  int menuRow() const { return menuRow_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The row at a point of the viewport, the nearest one when the point is on no row; outside
  // tells that it was on no row. -1 with an empty list.
  int rowAt(const QPoint& pos, bool* outside) const;
  bool onPress(QEvent* event);
  void onMove(QEvent* event);
  void onDoubleClick(QEvent* event);
  bool onDrag(QEvent* event);
  bool onDrop(QEvent* event);

  MainWindow& window_;
  QObject* viewport_ = nullptr;
  int clickedRow_ = 0;
  int menuRow_ = -1;
};

}  // namespace korvane
