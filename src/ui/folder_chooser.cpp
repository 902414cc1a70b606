#include "ui/folder_chooser.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/dialog_message.h"
#include "ui/folder_create_dialog.h"
#include "ui/japanese_fonts.h"

namespace korvane {

namespace {

constexpr int kPathRole = Qt::UserRole;

QString shownPath(const QString& folder) { return QDir::toNativeSeparators(folder); }

}  // namespace

Form2::Form2(const QString& dataFolder, QWidget* parent) : Form2(dataFolder, systemDrives(), parent) {}

Form2::Form2(const QString& dataFolder, QList<DriveEntry> drives, QWidget* parent)
    : QDialog(parent), drives_(std::move(drives)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("フォルダの指定"));
  setFont(QFont(kGothicFamily, 9));
  buildControls();
  open(dataFolder);
}

void Form2::buildControls() {
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setFrameShape(QFrame::Panel);
  Label1->setFrameShadow(QFrame::Sunken);
  // A long path must not widen the dialog; the tooltip carries it whole.
  Label1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  Drive1 = new QComboBox(this);
  Drive1->setObjectName(QStringLiteral("Drive1"));
  for (const DriveEntry& drive : drives_) {
    Drive1->addItem(drive.text, drive.root);
    driveFolders_ << drive.root;
  }

  Dir1 = new QTreeWidget(this);
  Dir1->setObjectName(QStringLiteral("Dir1"));
  Dir1->setHeaderHidden(true);
  Dir1->setRootIsDecorated(false);
  Dir1->setItemsExpandable(false);
  Dir1->setExpandsOnDoubleClick(false);
  Dir1->setIndentation(12);
  // Every level is always open: no expand marks that would promise otherwise.
  Dir1->setStyleSheet(QStringLiteral("QTreeView::branch { image: none; border-image: none; }"));
  Dir1->installEventFilter(this);

  File1 = new QListWidget(this);
  File1->setObjectName(QStringLiteral("File1"));
  File1->setSelectionMode(QAbstractItemView::NoSelection);

  Command1 = new QPushButton(QStringLiteral("Ｏ　Ｋ"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setDefault(true);
  Command2 = new QPushButton(QStringLiteral("Cancel"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command3 = new QPushButton(QStringLiteral("ﾌｫﾙﾀﾞ作成"), this);
  Command3->setObjectName(QStringLiteral("Command3"));

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(Command1);
  buttons->addWidget(Command2);
  buttons->addStretch();
  buttons->addWidget(Command3);
  auto* layout = new QGridLayout(this);
  layout->addWidget(Label1, 0, 0, 1, 3);
  layout->addWidget(Drive1, 1, 0);
  layout->addWidget(Dir1, 2, 0);
  layout->addWidget(File1, 1, 1, 2, 1);
  layout->addLayout(buttons, 1, 2, 2, 1);
  layout->setColumnStretch(0, 1);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(2, 1);
  resize(560, 340);

  connect(Drive1, &QComboBox::currentIndexChanged, this, &Form2::Drive1_Change);
  // The tree is rebuilt on a change of folder: let the view finish with the item first.
  connect(Dir1, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    const QString folder = item->data(0, kPathRole).toString();
    QMetaObject::invokeMethod(this, [this, folder] { openFromTree(folder); }, Qt::QueuedConnection);
  });
  connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form2::reject);
  connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
}

void Form2::open(const QString& dataFolder) {
  const QString start = QDir::cleanPath(QDir::isAbsolutePath(dataFolder) ? dataFolder : QDir::homePath());
  const int index = driveContaining(drives_, start);
  if (index >= 0) {
    driveFolders_[index] = nearestExistingFolder(start, drives_[index].root);
    if (selectDrive(index)) return;
  }
  // The data folder's drive cannot be read: open on the first drive that can.
  for (int other = 0; other < drives_.size(); ++other) {
    if (other != index && folderIsReadable(drives_[other].root) && selectDrive(other)) return;
  }
}

bool Form2::selectDrive(int index) {
  const QString root = drives_[index].root;
  if (!folderIsReadable(root)) {
    showDialogMessage(this, QStringLiteral("ドライブ %1 の準備ができていません。").arg(shownPath(root)));
    setDriveListQuietly(drive_);
    return false;
  }
  // The folder remembered for the drive may have gone since.
  QString folder = nearestExistingFolder(driveFolders_[index], root);
  if (!folderIsReadable(folder)) folder = root;
  setDriveListQuietly(index);
  drive_ = index;
  return showFolder(folder);
}

bool Form2::showFolder(const QString& folder) {
  if (!folderIsReadable(folder)) {
    showDialogMessage(this, QStringLiteral("フォルダ %1 を開けません。").arg(shownPath(folder)));
    return false;
  }
  shownFolder_ = folder;
  receiveFolder_ = folder;
  driveFolders_[drive_] = folder;
  fillFolderTree();
  fillFileList();
  Label1->setText(shownPath(folder));
  Label1->setToolTip(shownPath(folder));
  return true;
}

void Form2::fillFolderTree() {
  const QStyle* look = style();
  const QString root = drives_[drive_].root;
  Dir1->clear();

  // The path from the drive's root down to the shown folder, each level one step further in.
  auto* item = new QTreeWidgetItem(Dir1, {shownPath(root)});
  item->setData(0, kPathRole, root);
  item->setIcon(0, look->standardIcon(QStyle::SP_DirOpenIcon));
  QString path = root;
  const QString below = QDir(root).relativeFilePath(shownFolder_);
  if (shownFolder_ != root) {
    for (const QString& name : below.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
      path = QDir(path).filePath(name);
      item = new QTreeWidgetItem(item, {name});
      item->setData(0, kPathRole, path);
      item->setIcon(0, look->standardIcon(QStyle::SP_DirOpenIcon));
    }
  }
  QTreeWidgetItem* current = item;
  const QDir shown(shownFolder_);
  for (const QString& name : shown.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
    auto* child = new QTreeWidgetItem(current, {name});
    child->setData(0, kPathRole, shown.filePath(name));
    child->setIcon(0, look->standardIcon(QStyle::SP_DirClosedIcon));
  }
  Dir1->expandAll();
  Dir1->setCurrentItem(current);
  Dir1->scrollToItem(current);
}

void Form2::fillFileList() {
  File1->clear();
  File1->addItems(QDir(shownFolder_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void Form2::setDriveListQuietly(int index) {
  const QSignalBlocker quiet(Drive1);
  Drive1->setCurrentIndex(index);
}

void Form2::reject() {
  receiveFolder_.clear();
  QDialog::reject();
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the folder tree opens the highlighted folder; it must not reach the OK button.
  if (watched == Dir1 && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (QTreeWidgetItem* item = Dir1->currentItem()) Dir1_Activate(item);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void Form2::Drive1_Change(int index) {
  if (index >= 0 && index != drive_) selectDrive(index);
}

void Form2::Dir1_Activate(QTreeWidgetItem* item) { openFromTree(item->data(0, kPathRole).toString()); }

void Form2::openFromTree(const QString& folder) {
  if (folder == shownFolder_ || showFolder(folder)) return;
  // The tree is out of date (the folder went, or lost its permissions): read the shown one again.
  fillFolderTree();
  fillFileList();
}

void Form2::Command1_Click() {
  if (shownFolder_.isEmpty()) return;
  accept();
}

void Form2::Command3_Click() {
  if (drive_ < 0) return;
  Form4 creation(shownFolder_, this);
  if (creation.exec() != QDialog::Accepted) return;
  // Stay on the drive in use when it holds the new folder, even if a longer root holds it too.
  const QString created = creation.createdFolder();
  const int index = pathIsWithin(created, drives_[drive_].root) ? drive_ : driveContaining(drives_, created);
  if (index < 0) return;
  setDriveListQuietly(index);
  drive_ = index;
  showFolder(created);
}

QString chooseReceiveFolder(QWidget* parent, const QString& dataFolder) {
  Form2 chooser(dataFolder, parent);
  if (chooser.exec() != QDialog::Accepted) return {};
  return chooser.receiveFolder();
}

}  // namespace korvane
