#pragma once
// "ﾌｫﾙﾀﾞ作成": makes a new folder inside the folder the chooser shows. A name that cannot be
// made gives a message and the dialog stays open for another try.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace korvane {

// folder + the platform's separator + name; a folder that already ends with the separator (a
// root) gets no second one.
QString joinFolder(const QString& folder, const QString& name);

// Why name cannot be a folder name of its own, or an empty text when it can.
QString folderNameProblem(const QString& name);

class Form4 : public QDialog {
  Q_OBJECT

 public:
  // currentFolder: the folder the chooser shows, the parent of the new folder.
  explicit Form4(const QString& currentFolder, QWidget* parent = nullptr);

  // The full path of the folder made by "ＯＫ"; empty when none was made.
  QString createdFolder() const { return createdFolder_; }

 private:
  void Command1_Click();

  QLabel* Label2 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label3 = nullptr;
  QLineEdit* Text1 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QString currentFolder_;
  QString createdFolder_;
};

}  // namespace korvane
