#pragma once
// The open-file dialog the file list uses, behind an interface so the list editing can be driven
// without a window.

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <optional>

namespace korvane {

// Name filters from qtNameFilters are shown as their descriptions ("すべてのﾌｧｲﾙ (*.*)"), not
// with the patterns Qt matches behind them.
inline constexpr QFileDialog::Options kFilterDialogOptions = QFileDialog::HideNameFilterDetails;

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // Shows an open dialog starting in folder with the given filter (description|patterns|...
  // text of dialogFilterText). Returns the chosen full paths in the dialog's order, one path when
  // multiple is false; nothing on Cancel.
  virtual std::optional<QStringList> openFiles(const QString& caption, const QString& folder, const QString& filter,
                                               bool multiple) = 0;
  // While on, the dialog also takes the name of a file that does not exist yet, as the target of
  // a reception into one file must be; then one file is chosen.
  virtual void setAcceptNewFileName(bool on) { (void)on; }
};

// The platform's open dialog through QFileDialog.
class QtFileDialogs : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
  std::optional<QStringList> openFiles(const QString& caption, const QString& folder, const QString& filter,
                                       bool multiple) override;
  void setAcceptNewFileName(bool on) override { acceptNew_ = on; }

 private:
  QWidget* parent_;
  bool acceptNew_ = false;
};

}  // namespace korvane
