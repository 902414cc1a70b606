#pragma once
// The window that lists machining time, cutting length and tape length, one row per program end.
// It is not modal; runs append their rows while it stays open, and closing it drops the rows.

#include <QStringList>
#include <QWidget>

class QPushButton;
class QTreeWidget;

namespace korvane {

class Form5 : public QWidget {
  Q_OBJECT

 public:
  // Headers and initial widths (twips) of the five columns, in column order.
  static const QStringList& columnHeaders();
  static const QList<int>& columnWidthsTwips();
  static constexpr int kMinWidthTwips = 2000;
  static constexpr int kMinHeightTwips = 1100;

  explicit Form5(QWidget* parent = nullptr);

  // Adds one row below the rows already shown; texts beyond the five columns are ignored. The
  // file the row was measured from, when given, is what "ツールパス表示" opens for it.
  void appendRow(const QStringList& texts, const QString& path = QString());
  QString rowPath(int row) const;
  int rowCount() const;
  QStringList rowTexts(int row) const;

  QTreeWidget* ListView1 = nullptr;
  QPushButton* Command1 = nullptr;
  // Opens the toolpath of the current row's file (also a double-click on a row).
  QPushButton* cmdtoolpath = nullptr;

 signals:
  void toolpathRequested(const QString& path);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void requestToolpath();
  // The window's outer size (frame included) in twips.
  QSize outerTwips() const;
  void layoutControls();
  void resizeOuterTwips(int widthTwips, int heightTwips);
};

}  // namespace korvane
