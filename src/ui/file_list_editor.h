#pragma once
// The four editing operations of the file list: add files, insert a file, delete the selected
// rows, clear. Adding and inserting also remember the folder of the chosen files and learn their
// extension into the file filter, and write both to the settings file at once.

#include <QString>
#include <functional>

#include "settings/settings_store.h"
#include "ui/file_dialogs.h"

class QListWidget;

namespace korvane {

class FileListEditor {
 public:
  using TextHandler = std::function<void(const QString&)>;

  // list: the main window's List1. setCaption sets the main window's caption.
  FileListEditor(QListWidget* list, SettingsStore& store, FileDialogs& dialogs, TextHandler setCaption);

  // Called with the new file filter whenever one was learned, so a filter box can follow.
  void setFilterChangedHandler(TextHandler handler) { filterChanged_ = std::move(handler); }

  // Lets the operator choose files and appends them; true when files were chosen.
  bool addFiles();
  // Lets the operator choose one file and inserts it before the first selected row (at the end
  // when none is selected); true when a file was chosen.
  bool insertFile();
  void deleteSelectedFiles();
  void clearFileList();

 private:
  std::optional<QStringList> choose(bool multiple);
  void learnAndStoreFilter(const QString& chosenPath);
  void storeFolder(const QString& chosenPath);

  QListWidget* list_;
  SettingsStore& store_;
  FileDialogs& dialogs_;
  TextHandler setCaption_;
  TextHandler filterChanged_;
};

}  // namespace korvane
