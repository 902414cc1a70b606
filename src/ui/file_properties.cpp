#include "ui/file_properties.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace korvane {

bool isOrdinaryVisibleFile(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  return info.exists() && info.isFile() && !info.isHidden();
}

bool showFileProperties(const QStringList& paths, QWidget* owner, PropertiesSheetService& service,
                        const std::function<void(const QString&)>& missing) {
  for (const QString& path : paths) {
    if (!isOrdinaryVisibleFile(path)) {
      if (missing) missing(kNoFileMessage);
      return false;
    }
    service.showItemProperties(path, owner, [path, owner] {
      auto* dialog = new FilePropertiesDialog(path, owner);
      dialog->setAttribute(Qt::WA_DeleteOnClose);
      dialog->show();
    });
  }
  return true;
}

namespace {

QString timeText(const QDateTime& time) {
  return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) : QString();
}

QString permissionText(QFile::Permissions p) {
  const auto bit = [p](QFile::Permission flag, QChar on) { return (p & flag) ? on : QLatin1Char('-'); };
  QString text;
  text += bit(QFile::ReadOwner, u'r');
  text += bit(QFile::WriteOwner, u'w');
  text += bit(QFile::ExeOwner, u'x');
  text += bit(QFile::ReadGroup, u'r');
  text += bit(QFile::WriteGroup, u'w');
  text += bit(QFile::ExeGroup, u'x');
  text += bit(QFile::ReadOther, u'r');
  text += bit(QFile::WriteOther, u'w');
  text += bit(QFile::ExeOther, u'x');
  return text;
}

}  // namespace

FilePropertiesDialog::FilePropertiesDialog(const QString& path, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FilePropertiesDialog"));
  const QFileInfo info(path);
  setWindowTitle(info.fileName() + QStringLiteral("のプロパティ"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  addField(QStringLiteral("path"), QStringLiteral("場所"), info.absoluteFilePath());
  addField(QStringLiteral("size"), QStringLiteral("サイズ"),
           QLocale(QLocale::English).toString(info.size()) + QStringLiteral(" バイト"));
  addField(QStringLiteral("created"), QStringLiteral("作成日時"), timeText(info.birthTime()));
  addField(QStringLiteral("modified"), QStringLiteral("更新日時"), timeText(info.lastModified()));
  addField(QStringLiteral("accessed"), QStringLiteral("アクセス日時"), timeText(info.lastRead()));
  addField(QStringLiteral("permissions"), QStringLiteral("アクセス権"), permissionText(info.permissions()));
  addField(QStringLiteral("owner"), QStringLiteral("所有者"), info.owner() + QLatin1Char(':') + info.group());
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

void FilePropertiesDialog::addField(const QString& field, const QString& caption, const QString& value) {
  auto* label = new QLabel(value, this);
  label->setObjectName(field);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  static_cast<QFormLayout*>(layout()->itemAt(0)->layout())->addRow(caption, label);
}

QString FilePropertiesDialog::fieldText(const QString& field) const {
  const auto* label = findChild<QLabel*>(field, Qt::FindDirectChildrenOnly);
  return label != nullptr ? label->text() : QString();
}

}  // namespace korvane
