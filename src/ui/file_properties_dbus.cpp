// The freedesktop file manager's properties sheet, asked for over the session bus.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QUrl>

#include "ui/file_properties.h"

namespace korvane {

namespace {

// A file manager that has to be started first answers within this time; when none is installed
// the bus answers at once, so the wait only lasts as long as a stuck one would hold the window.
constexpr int kCallTimeoutMs = 3000;

class DBusFileManager final : public PropertiesSheetService {
 public:
  bool showItemProperties(const QString& path) override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItemProperties"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
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
