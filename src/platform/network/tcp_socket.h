#pragma once
// The socket calls the network port needs, kept apart from its logic: a connect that gives up
// after a time, and the two counts of a TCP send queue.

#include <QString>

namespace korvane {

struct ConnectResult {
  int fd = -1;     // connected, non-blocking; -1 on failure
  int error = 0;   // errno of the failure (ETIMEDOUT when the time ran out)
  QString reason;  // what failed, for the operator
};

// Connects to host:port (a name, an IPv4 or an IPv6 literal), trying each address the name has,
// within timeoutMs in all. The socket sends small writes at once and notices a dead peer.
ConnectResult connectTcp(const QString& host, quint16 port, int timeoutMs);

// Bytes written that the kernel has not sent yet (the peer's window is closed, or they are about
// to go). Delayed acknowledgements of the peer do not count, so pacing byte by byte stays fast.
int tcpUnsent(int fd);
// Bytes written that the peer has not acknowledged yet, sent or not.
int tcpUnacknowledged(int fd);

}  // namespace korvane
