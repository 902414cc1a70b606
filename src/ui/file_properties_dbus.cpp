// The freedesktop file manager's properties sheet, asked for over the session bus.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <QUrl>

#include "ui/file_properties.h"

namespace korvane {

namespace {

// A file manager that has to be started first answers within this time; when none is installed
// the bus answers at once. The window goes on meanwhile.
constexpr int kCallTimeoutMs = 10000;

class DBusFileManager final : public PropertiesSheetService {
 public:
  void showItemProperties(const QString& path, QObject* context, std::function<void()> noAnswer) override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
      QTimer::singleShot(0, context, std::move(noAnswer));
      return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItemProperties"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [noAnswer = std::move(noAnswer)](QDBusPendingCallWatcher* finished) {
                       if (finished->isError()) noAnswer();
                       finished->deleteLater();
                     });
  }
};

PropertiesSheetService* injected = nullptr;

}  // namespace

PropertiesSheetService& propertiesSheetService() {
  static DBusFileManager fileManager;
  return injected != nullptr ? *injected : fileManager;
}

void setPropertiesSheetService(PropertiesSheetService* service) { injected = service; }

}  // namespace korvane
