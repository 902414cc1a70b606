#pragma once
// An advisory lock on a serial device server's address, taken by every korvane on this
// computer whatever its user, as the local ports are locked: a second connection to the same
// server port would take the machine's line from the first, or be refused without a reason.

#include <QString>

#include "platform/serial/port_entry.h"

namespace korvane {

class AddressLock {
 public:
  AddressLock() = default;
  ~AddressLock() { release(); }
  AddressLock(const AddressLock&) = delete;
  AddressLock& operator=(const AddressLock&) = delete;

  // False when another process holds the address; *holder then names it where that can be found.
  // A lock file that cannot be made at all does not stop the connection.
  bool acquire(const NetAddress& address, QString* holder);
  void release();

  // The lock file of an address: in /run/lock, or the temporary folder where that is not writable.
  static QString lockPath(const NetAddress& address);

 private:
  int fd_ = -1;
};

}  // namespace korvane
