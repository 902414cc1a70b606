#pragma once
// What a reception asks of the window: the method dialog, the folder chooser, the list.

#include "transfer/receive_engine.h"

class QListWidget;
class QWidget;

namespace korvane {

class FileDialogs;
class FileListEditor;

class WindowReceiveUi final : public ReceiveUi {
 public:
  WindowReceiveUi(QWidget* parent, QListWidget* list, FileListEditor& editor, FileDialogs& dialogs,
                  const SettingsStore& store)
      : parent_(parent), list_(list), editor_(editor), dialogs_(dialogs), store_(store) {}

  std::optional<ReceiveMethod> chooseMethod() override;
  QString chooseFolder() override;
  void clearFileList() override;
  void addFiles() override;
  QStringList fileListRows() const override;
  void appendFileListRow(const QString& row) override;
  void setListTextBlue(bool blue) override;
  void openFolder(const QString& folder) override;

 private:
  QWidget* parent_;
  QListWidget* list_;
  FileListEditor& editor_;
  FileDialogs& dialogs_;
  const SettingsStore& store_;
};

}  // namespace korvane
