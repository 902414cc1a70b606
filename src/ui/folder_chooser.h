#pragma once
// "フォルダの指定": picks the folder that a reception stores one file per program in, with a
// drive list, a folder tree that shows the path down to the current folder and its subfolders,
// the files of that folder, and a way to create a new folder on the spot.

#include <QDialog>
#include <QList>
#include <QString>

#include "ui/drive_list.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace korvane {

class Form2 : public QDialog {
  Q_OBJECT

 public:
  // Opens on the drive holding dataFolder, in dataFolder when it exists (else its nearest existing
  // folder on that drive); an empty or relative dataFolder opens the user's home.
  explicit Form2(const QString& dataFolder, QWidget* parent = nullptr);
  // The same over a given drive list; the system's drives are used by the other constructor.
  Form2(const QString& dataFolder, QList<DriveEntry> drives, QWidget* parent = nullptr);

  // The folder shown while the dialog is open and after "Ｏ　Ｋ"; empty after Cancel.
  QString receiveFolder() const { return receiveFolder_; }
  // Cancel, whichever way it comes (button, Escape, close box): no folder.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void open(const QString& dataFolder);
  bool selectDrive(int index);
  bool showFolder(const QString& folder);
  void openFromTree(const QString& folder);
  void fillFolderTree();
  void fillFileList();
  void setDriveListQuietly(int index);

  void Drive1_Change(int index);
  void Dir1_Activate(QTreeWidgetItem* item);
  void Command1_Click();
  void Command3_Click();

  QComboBox* Drive1 = nullptr;
  QTreeWidget* Dir1 = nullptr;
  QListWidget* File1 = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;

  QList<DriveEntry> drives_;
  QStringList driveFolders_;  // the current folder of every drive, as the drive list remembers it
  int drive_ = -1;
  QString shownFolder_;
  QString receiveFolder_;
};

// Shows a new Form2 modally over parent; the chosen folder, or an empty text on Cancel.
QString chooseReceiveFolder(QWidget* parent, const QString& dataFolder);

}  // namespace korvane
