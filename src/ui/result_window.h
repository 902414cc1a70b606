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

  // Adds one row below the rows already shown; texts beyond the five columns are ignored.
  void appendRow(const QStringList& texts);
  int rowCount() const;
  QStringList rowTexts(int row) const;

  QTreeWidget* ListView1 = nullptr;
  QPushButton* Command1 = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The window's outer size (frame included) in twips.
  QSize outerTwips() const;
  void layoutControls();
  void resizeOuterTwips(int widthTwips, int heightTwips);
};

}  // namespace korvane
