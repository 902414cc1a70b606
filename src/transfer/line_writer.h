#pragma once
// Byte writers shared by the send and receive engines: the paced write that data goes through,
// the unpaced write for control codes and tape feed, and the elapsed-time display.

#include <QString>
#include <atomic>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/serial/serial_port.h"
#include "settings/settings_types.h"
#include "transfer/transfer_view.h"

namespace korvane {

// Everything a transfer needs from its surroundings. The profile is read afresh at every use, so
// a value changed in the settings dialog during a job takes effect at its next use.
struct TransferContext {
  SerialPort& port;
  TransferView& view;
  EventPump& pump;
  Clock& clock;
  std::atomic<bool>& cancel;  // the window's gblnCancelFlag
};

class LineWriter {
 public:
  LineWriter(TransferContext& context, const PortProfile& profile) : c_(context), profile_(profile) {}

  // Paced write: the optional delay, the modem-line check, then the byte once the port has room
  // for it: a port that cannot pace itself has sent everything before it, so flow control from
  // the machine holds the line within one byte; a pacing port holds it within a slice.
  void sendDataByte(quint8 byte);
  // Unpaced write: the modem-line check, then the byte.
  void sendControlByte(quint8 byte);

  // Set when the port failed under a write (adapter pulled); nothing more is written then.
  bool portLost() const { return lost_; }
  // Waits until everything written has left, as sendDataByte waits before each byte (an abort
  // gives up once the output stays held); false when it did not.
  bool waitUntilSent() { return !lost_ && waitForEmptyOutput(); }

 private:
  bool waitForModemLines();
  bool waitForEmptyOutput();
  bool waitForRoom();
  void write(quint8 byte);

  TransferContext& c_;
  const PortProfile& profile_;
  bool lost_ = false;
  // An aborted job whose output the machine holds for good gives up waiting, and from then on
  // paced writes are dropped instead of stalling the closing sequence byte after byte.
  bool stalled_ = false;
};

// The line settings text of a profile, speed,parity,data,stop, as in 9600,N,8,2.
QString serialSettingsText(const PortProfile& profile);

// "hh : mm : ss" of the time since startMs, at least two digits each.
QString elapsedText(qint64 elapsedMs);
void showElapsedTime(TransferContext& context, qint64 startMs);

}  // namespace korvane
