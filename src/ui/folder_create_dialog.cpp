#include "ui/folder_create_dialog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <system_error>

#include "ui/dialog_message.h"
#include "ui/file_list_logic.h"
#include "ui/japanese_fonts.h"

namespace korvane {

QString joinFolder(const QString& folder, const QString& name) {
  if (folder.endsWith(kRowSeparator)) return folder + name;
  return folder + kRowSeparator + name;
}

QString folderNameProblem(const QString& name) {
  if (name.trimmed().isEmpty()) return QStringLiteral("空白だけの名前は使えません。");
  if (name == QLatin1String(".") || name == QLatin1String("..")) {
    return QStringLiteral("「%1」はフォルダ名に使えません。").arg(name);
  }
  if (name.contains(QLatin1Char('/')) || name.contains(QChar(u'\0'))) {
    return QStringLiteral("フォルダ名に「/」は使えません。");
  }
  return {};
}

Form4::Form4(const QString& currentFolder, QWidget* parent) : QDialog(parent), currentFolder_(currentFolder) {
  setObjectName(QStringLiteral("Form4"));
  setWindowTitle(QStringLiteral("ﾌｫﾙﾀﾞ作成"));
  setFont(QFont(kGothicFamily, 9));

  Label2 = new QLabel(QStringLiteral("現在のﾌｫﾙﾀﾞ"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label1 = new QLabel(QDir::toNativeSeparators(currentFolder), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setFrameShape(QFrame::Panel);
  Label1->setFrameShadow(QFrame::Sunken);
  Label1->setMinimumWidth(280);
  Label3 = new QLabel(QStringLiteral("作成するﾌｫﾙﾀﾞ"), this);
  Label3->setObjectName(QStringLiteral("Label3"));
  Text1 = new QLineEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Label3->setBuddy(Text1);

  // Enter anywhere but on "Cancel" creates; Escape is the dialog's own Cancel.
  Command1 = new QPushButton(QStringLiteral("ＯＫ"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setDefault(true);
  Command2 = new QPushButton(QStringLiteral("Cancel"), this);
  Command2->setObjectName(QStringLiteral("Command2"));

  auto* fields = new QGridLayout;
  fields->addWidget(Label2, 0, 0);
  fields->addWidget(Label1, 0, 1);
  fields->addWidget(Label3, 1, 0);
  fields->addWidget(Text1, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Command1);
  buttons->addWidget(Command2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);

  connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
  Text1->setFocus();
}

void Form4::Command1_Click() {
  const QString name = Text1->text();
  if (name.isEmpty()) return;

  const QString path = joinFolder(currentFolder_, name);
  const QString shown = QDir::toNativeSeparators(path);
  QString problem = folderNameProblem(name);
  if (problem.isEmpty() && QFileInfo::exists(path)) {
    problem = QFileInfo(path).isDir() ? QStringLiteral("同じ名前のフォルダが既にあります。")
                                      : QStringLiteral("同じ名前のファイルが既にあります。");
  }
  if (problem.isEmpty()) {
    std::error_code error;
    std::filesystem::create_directory(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error) problem = QString::fromLocal8Bit(error.message());
  }
  if (!problem.isEmpty()) {
    showDialogMessage(this, QStringLiteral("フォルダ %1 を作成できません。\n%2").arg(shown, problem));
    Text1->setFocus();
    Text1->selectAll();
    return;
  }
  createdFolder_ = path;
  accept();
}

}  // namespace korvane
