#include "ui/file_list_editor.h"

#include <QListWidget>

#include "ui/file_list_logic.h"

namespace korvane {

namespace {

// The classic open dialog had no title of its own; this is what it showed.
const QString kOpenCaption = QStringLiteral("開く");

QList<bool> selectionOf(const QListWidget* list) {
  QList<bool> selected;
  selected.reserve(list->count());
  for (int i = 0; i < list->count(); ++i) selected << list->item(i)->isSelected();
  return selected;
}

}  // namespace

FileListEditor::FileListEditor(QListWidget* list, SettingsStore& store, FileDialogs& dialogs, TextHandler setCaption)
    : list_(list), store_(store), dialogs_(dialogs), setCaption_(std::move(setCaption)) {}

std::optional<QStringList> FileListEditor::choose(bool multiple) {
  auto chosen = dialogs_.openFiles(kOpenCaption, store_.app().dataFolder, dialogFilterText(store_.app().fileFilter),
                                   multiple);
  if (!chosen || chosen->isEmpty()) return std::nullopt;
  return chosen;
}

// The settings-file writes report nothing to the operator: the values stay in memory either way.
void FileListEditor::storeFolder(const QString& chosenPath) {
  store_.app().dataFolder = folderOfPath(chosenPath);
  store_.writeSetting(kAppSection, kKeyFolder, store_.app().dataFolder);
}

void FileListEditor::learnAndStoreFilter(const QString& chosenPath) {
  QString filter = store_.app().fileFilter;
  if (!learnExtension(fileTitleOf(chosenPath), filter)) return;
  store_.app().fileFilter = filter;
  if (filterChanged_) filterChanged_(filter);
  store_.writeSetting(kAppSection, kKeyFilter, filter);
}

bool FileListEditor::addFiles() {
  if (setCaption_) setCaption_(QStringLiteral("ＮＣデータ転送"));
  const auto chosen = choose(true);
  if (!chosen) return false;
  list_->addItems(rowsFromChosenPaths(*chosen));
  // With several files the first chosen one names the extension to learn.
  const QString first = chosen->first();
  store_.app().dataFolder = folderOfPath(first);
  learnAndStoreFilter(first);
  store_.writeSetting(kAppSection, kKeyFolder, store_.app().dataFolder);
  return true;
}

bool FileListEditor::insertFile() {
  const auto chosen = choose(false);
  if (!chosen) return false;
  const QString path = chosen->first();
  storeFolder(path);
  list_->insertItem(insertPosition(selectionOf(list_)), path);
  learnAndStoreFilter(path);
  return true;
}

void FileListEditor::deleteSelectedFiles() {
  for (int row : rowsToDelete(selectionOf(list_))) delete list_->takeItem(row);
}

void FileListEditor::clearFileList() { list_->clear(); }

}  // namespace korvane
