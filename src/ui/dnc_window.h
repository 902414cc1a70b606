#pragma once
// The DNC result window: the subprograms a conversion expanded and the calls it could not
// resolve, with buttons that open the output in the editor and measure it. Also the save dialog
// that asks for the conversion's destination, behind an interface tests replace.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QListWidget;
class QPushButton;

namespace korvane {

class MainWindow;

class SaveDialog {
 public:
  virtual ~SaveDialog() = default;
  // Shows a save dialog starting in folder with the given filter (description|patterns text) and
  // a prompt before an existing file is overwritten. Returns the chosen path; nothing on Cancel.
  virtual std::optional<QString> saveFile(const QString& caption, const QString& folder, const QString& filter) = 0;
};

// The platform's save dialog through QFileDialog.
class QtSaveDialog : public SaveDialog {
 public:
  explicit QtSaveDialog(QWidget* parent) : parent_(parent) {}
  std::optional<QString> saveFile(const QString& caption, const QString& folder, const QString& filter) override;

 private:
  QWidget* parent_;
};

// The save dialog the window's "ＤＮＣ変換" asks with; null puts the platform's dialog back.
// Not owned: it must outlive the window or be reset.
void setDncSaveDialog(MainWindow& window, SaveDialog* dialog);
SaveDialog* dncSaveDialog(const MainWindow& window);

class Form6 : public QWidget {
  Q_OBJECT

 public:
  explicit Form6(MainWindow& main);

  // The output of the latest run, used by the edit and machining-time buttons; empty while a
  // run has not chosen one.
  void setDestination(const QString& path) { destination_ = path; }
  const QString& destination() const { return destination_; }

  // A conversion is about to expand calls: the lists are emptied and the window shown.
  void startConversion();
  void addConverted(const QString& entry);
  void addUnconverted(const QString& callLine);

  QLabel* Label1 = nullptr;
  QListWidget* List1 = nullptr;
  QListWidget* List2 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;

 public slots:
  void onEdit();
  void onMachiningTime();

 private:
  MainWindow& main_;
  QString destination_;
};

}  // namespace korvane
