#pragma once
// What "Com n" is: the entry korvane-ports/com<n> beside the settings file. A symbolic link names
// a serial device; a one-line text file names a serial device server on the network, either as
// tcp://HOST:PORT (a raw socket carrying the line's bytes as they are) or as rfc2217://HOST:PORT
// (telnet with COM port control, which also carries the line settings). Without an entry the
// port is /dev/ttyS<n-1>. Anything else is refused, never silently replaced by a default.

#include <QString>
#include <optional>

namespace korvane {

struct NetAddress {
  enum class Protocol { RawTcp, Rfc2217 };
  Protocol protocol = Protocol::RawTcp;
  QString host;  // an IPv6 literal without its brackets
  quint16 port = 0;

  // tcp://HOST:PORT or rfc2217://HOST:PORT, IPv6 literals in brackets.
  QString text() const;
};

// Reads tcp://HOST:PORT or rfc2217://HOST:PORT (IPv6 literal as [::1]). Nothing when the text is
// not such an address; then *problem says why.
std::optional<NetAddress> parseNetAddress(const QString& text, QString* problem = nullptr);

struct PortEntry {
  enum class Kind {
    None,     // no port below 1
    Device,   // a serial device path (from a link, or the default)
    Network,  // a device server address
    Invalid,  // an entry that names nothing usable; problem says why
  };
  Kind kind = Kind::None;
  QString device;
  NetAddress address;
  QString entryPath;  // korvane-ports/com<n>, when the port came from there
  QString problem;

  // The device path or the address, for listings and messages.
  QString target() const;
};

PortEntry resolvePortEntry(int number, const QString& iniPath);

}  // namespace korvane
