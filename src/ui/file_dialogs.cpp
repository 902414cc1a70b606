#include "ui/file_dialogs.h"

#include <QDir>
#include <QFileDialog>

#include "ui/file_list_logic.h"

namespace korvane {

std::optional<QStringList> QtFileDialogs::openFiles(const QString& caption, const QString& folder,
                                                    const QString& filter, bool multiple) {
  const QString filters = qtNameFilters(filter).join(QStringLiteral(";;"));
  QStringList chosen;
  if (acceptNew_) {
    QFileDialog dialog(parent_, caption, folder, filters);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(kFilterDialogOptions);
    if (dialog.exec() == QDialog::Accepted) chosen = dialog.selectedFiles().mid(0, 1);
  } else if (multiple) {
    chosen = QFileDialog::getOpenFileNames(parent_, caption, folder, filters, nullptr, kFilterDialogOptions);
  } else {
    const QString one = QFileDialog::getOpenFileName(parent_, caption, folder, filters, nullptr, kFilterDialogOptions);
    if (!one.isEmpty()) chosen << one;
  }
  if (chosen.isEmpty()) return std::nullopt;
  for (QString& path : chosen) path = QDir::toNativeSeparators(path);
  return chosen;
}

}  // namespace korvane
