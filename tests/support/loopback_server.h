#pragma once
// A device server stand-in for tests: listens on a loopback port and runs a handler on each
// connection in a thread of its own, one connection after the other.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace korvane::test {

class LoopbackServer {
 public:
  // The handler gets the connected socket; the server closes it when the handler returns.
  using Handler = std::function<void(int fd)>;

  // ipv6: listen on ::1 instead of 127.0.0.1.
  explicit LoopbackServer(Handler handler, bool ipv6 = false);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool ok() const { return listener_ >= 0; }
  quint16 port() const { return port_; }
  int connections() const { return connections_.load(); }
  bool stopping() const { return stop_.load(); }

  // What handlers saw, handed to the test thread: record() appends, recorded() waits up to
  // timeoutMs until at least `expected` bytes are there and gives them.
  void record(const QByteArray& bytes);
  QByteArray recorded(int timeoutMs, int expected);

  // Helpers for handlers: every byte that arrives within timeoutMs of the last one, until
  // `expected` bytes are there (expected > 0) or the peer closes; and a blocking write.
  static QByteArray read(int fd, int timeoutMs, int expected = -1);
  static bool write(int fd, const QByteArray& bytes);

 private:
  void run();

  Handler handler_;
  int listener_ = -1;
  quint16 port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  QByteArray recorded_;
  std::thread thread_;
};

// A loopback port with nothing listening: connecting to it is refused.
quint16 closedLoopbackPort();

}  // namespace korvane::test
