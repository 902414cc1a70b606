#pragma once
// A pseudo-terminal pair that stands in for a serial line: the code under test opens the slave
// device by its path as it would open /dev/ttyS0, the test plays the machine tool on the master.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace korvane::test {

class PtyPair {
 public:
  // Opens the pair with the slave in raw mode. ok() tells whether that worked.
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  int masterFd() const { return master_; }
  const QString& slavePath() const { return slavePath_; }

  // What the machine sends: writes every byte to the master. False if not all could be written.
  bool write(const QByteArray& bytes);
  // What the machine received. Waits up to timeoutMs for bytes to arrive at the master; once
  // some came, keeps reading until `expected` bytes are there (when expected > 0) or the line
  // stays quiet for a moment. Gives what arrived, possibly nothing.
  QByteArray read(int timeoutMs, int expected = -1);
  // The machine end vanishes, as when a USB adapter is pulled: the slave is hung up.
  void closeMaster();

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so the slave stays usable between opens by the code under test
  QString slavePath_;
};

// A temporary folder that stands in for the settings folder: sets the environment variable
// windir to it for the lifetime of the object (restoring the old value), so
// SettingsStore::defaultIniPath() is iniPath() and "Com n" maps through korvane-ports/com<n>.
class TempWindir {
 public:
  TempWindir();
  ~TempWindir();
  TempWindir(const TempWindir&) = delete;
  TempWindir& operator=(const TempWindir&) = delete;

  bool ok() const { return dir_.isValid(); }
  QString path() const { return dir_.path(); }
  QString iniPath() const { return dir_.path() + QStringLiteral("/korvane.ini"); }
  // Makes "Com number" the device at target (which need not exist).
  bool linkComPort(int number, const QString& target);

 private:
  QTemporaryDir dir_;
  bool hadWindir_ = false;
  QByteArray oldWindir_;
};

}  // namespace korvane::test
