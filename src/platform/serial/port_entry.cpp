#include "platform/serial/port_entry.h"

#include <QFile>
#include <QFileInfo>
#include <arpa/inet.h>

namespace korvane {

namespace {

// An address file holds one short line; anything much longer is not one.
constexpr qint64 kAddressFileLimit = 1024;

std::optional<NetAddress> refuse(QString* problem, const QString& why) {
  if (problem) *problem = why;
  return std::nullopt;
}

bool plausibleHostName(const QString& host) {
  for (const QChar c : host) {
    if (!(c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char('_'))) return false;
  }
  return !host.isEmpty();
}

}  // namespace

QString NetAddress::text() const {
  const QString scheme = protocol == Protocol::Rfc2217 ? QStringLiteral("rfc2217://") : QStringLiteral("tcp://");
  const QString shownHost = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
  return scheme + shownHost + QLatin1Char(':') + QString::number(port);
}

std::optional<NetAddress> parseNetAddress(const QString& input, QString* problem) {
  const QString text = input.trimmed();
  NetAddress address;
  QString rest;
  if (text.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive)) {
    address.protocol = NetAddress::Protocol::RawTcp;
    rest = text.mid(6);
  } else if (text.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive)) {
    address.protocol = NetAddress::Protocol::Rfc2217;
    rest = text.mid(10);
  } else {
    return refuse(problem, QStringLiteral("tcp://HOST:PORT か rfc2217://HOST:PORT ではありません / not tcp://HOST:PORT or rfc2217://HOST:PORT"));
  }
  if (rest.endsWith(QLatin1Char('/'))) rest.chop(1);
  QString portText;
  if (rest.startsWith(QLatin1Char('['))) {
    const qsizetype close = rest.indexOf(QLatin1Char(']'));
    if (close < 0 || rest.mid(close + 1, 1) != QLatin1String(":"))
      return refuse(problem, QStringLiteral("IPv6 アドレスは [::1]:PORT の形で書きます / write IPv6 as [::1]:PORT"));
    address.host = rest.mid(1, close - 1);
    portText = rest.mid(close + 2);
    in6_addr literal{};
    if (::inet_pton(AF_INET6, address.host.toLatin1().constData(), &literal) != 1)
      return refuse(problem, QStringLiteral("IPv6 アドレスが正しくありません / not an IPv6 address: %1").arg(address.host));
  } else {
    const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) return refuse(problem, QStringLiteral("ポート番号がありません / no port number"));
    address.host = rest.left(colon);
    portText = rest.mid(colon + 1);
    if (address.host.contains(QLatin1Char(':')))
      return refuse(problem, QStringLiteral("IPv6 アドレスは [::1]:PORT の形で書きます / write IPv6 as [::1]:PORT"));
    if (!plausibleHostName(address.host))
      return refuse(problem, QStringLiteral("ホスト名が正しくありません / not a host name: \"%1\"").arg(address.host));
  }
  bool ok = false;
  const uint port = portText.toUInt(&ok);
  if (!ok || port < 1 || port > 65535)
    return refuse(problem, QStringLiteral("ポート番号が正しくありません / not a port number: \"%1\"").arg(portText));
  address.port = static_cast<quint16>(port);
  return address;
}

QString PortEntry::target() const {
  switch (kind) {
    case Kind::Device: return device;
    case Kind::Network: return address.text();
    case Kind::Invalid: return entryPath;
    case Kind::None: break;
  }
  return {};
}

PortEntry resolvePortEntry(int number, const QString& iniPath) {
  PortEntry entry;
  if (number < 1) return entry;
  const QString path = QFileInfo(iniPath).absolutePath() + QStringLiteral("/korvane-ports/com") + QString::number(number);
  const QFileInfo info(path);
  if (info.isSymLink()) {
    // The link's own target, not the end of a chain of links: a stable name such as
    // /dev/serial/by-id/... is what the operator chose and what an error message should show.
    // A link whose device is absent (an adapter unplugged) still names that device: opening it
    // reports the port missing, naming it.
    entry.kind = PortEntry::Kind::Device;
    entry.device = info.symLinkTarget();
    entry.entryPath = path;
    return entry;
  }
  if (!info.exists()) {
    entry.kind = PortEntry::Kind::Device;
    entry.device = QStringLiteral("/dev/ttyS") + QString::number(number - 1);
    return entry;
  }
  entry.entryPath = path;
  entry.kind = PortEntry::Kind::Invalid;
  if (info.isDir()) {
    entry.problem = QStringLiteral("フォルダです。デバイスへのリンクかアドレスを書いたファイルにしてください"
                                   " / a folder, not a link to a device nor a file holding an address");
    return entry;
  }
  QFile file(path);
  if (!info.isFile() || info.size() > kAddressFileLimit || !file.open(QIODevice::ReadOnly)) {
    entry.problem = QStringLiteral("読めないか、アドレスを書いたファイルではありません / cannot be read as a file holding an address");
    return entry;
  }
  const QString text = QString::fromUtf8(file.readAll()).trimmed();
  if (text.contains(QLatin1Char('\n'))) {
    entry.problem = QStringLiteral("アドレスは1行だけ書きます / the file must hold one line, an address");
    return entry;
  }
  QString problem;
  if (const auto address = parseNetAddress(text, &problem)) {
    entry.kind = PortEntry::Kind::Network;
    entry.address = *address;
    return entry;
  }
  entry.problem = QStringLiteral("\"%1\": %2").arg(text.left(80), problem);
  return entry;
}

}  // namespace korvane
