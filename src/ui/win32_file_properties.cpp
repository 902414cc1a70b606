// The shell's properties sheet on Windows; our own dialog when the shell shows none.
#include <QTimer>
#include <QWidget>

#include "platform/desktop/win32_properties_sheet.h"
#include "ui/file_properties.h"

namespace korvane {

namespace {

class ShellPropertiesSheet final : public PropertiesSheetService {
 public:
  void showItemProperties(const QString& path, QObject* context, std::function<void()> noAnswer) override {
    auto* widget = qobject_cast<QWidget*>(context);
    void* owner = widget ? reinterpret_cast<void*>(widget->window()->winId()) : nullptr;
    if (!showShellProperties(path, owner)) QTimer::singleShot(0, context, std::move(noAnswer));
  }
};

PropertiesSheetService* injected = nullptr;

}  // namespace

PropertiesSheetService& propertiesSheetService() {
  static ShellPropertiesSheet shell;
  return injected != nullptr ? *injected : shell;
}

void setPropertiesSheetService(PropertiesSheetService* service) { injected = service; }

}  // namespace korvane
