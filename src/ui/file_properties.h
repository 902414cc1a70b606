#pragma once
// "ﾌｧｲﾙ情報": the desktop's properties sheet for each selected file, or a read-only dialog of our
// own when no file manager answers.

#include <QDialog>
#include <QStringList>
#include <functional>

class QLabel;

namespace korvane {

// Asks the desktop to show a file's properties; neither the request nor the sheet holds the
// window.
class PropertiesSheetService {
 public:
  virtual ~PropertiesSheetService() = default;
  // Hands the request on and returns at once. When no file manager takes it, `noAnswer` runs
  // later from the event loop, unless `context` is gone by then.
  virtual void showItemProperties(const QString& path, QObject* context, std::function<void()> noAnswer) = 0;
};

// The process-wide service used by the main window; the freedesktop file manager over the session
// bus unless a test has put another one in. Passing null restores the default. Not owned.
PropertiesSheetService& propertiesSheetService();
void setPropertiesSheetService(PropertiesSheetService* service);

// True for an existing ordinary file that is not hidden: folders, devices, hidden files and
// dangling links all count as missing.
bool isOrdinaryVisibleFile(const QString& path);

inline const QString kNoFileMessage = QStringLiteral("ファイルがありません");

// Shows the properties of each path in order. Stops at the first path that is not an ordinary
// visible file, calls `missing` with the message and returns false. A path no file manager took
// gets a FilePropertiesDialog owned by `owner`.
bool showFileProperties(const QStringList& paths, QWidget* owner, PropertiesSheetService& service,
                        const std::function<void(const QString&)>& missing);

// Path, size, times, permissions and owner of one file, read once when the dialog is built.
class FilePropertiesDialog : public QDialog {
  Q_OBJECT

 public:
  explicit FilePropertiesDialog(const QString& path, QWidget* parent = nullptr);

  // The shown value of a field: "path", "size", "created", "modified", "accessed",
  // "permissions", "owner"; empty for an unknown field.
  QString fieldText(const QString& field) const;

 private:
  void addField(const QString& field, const QString& caption, const QString& value);
};

}  // namespace korvane
