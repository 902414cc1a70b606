#pragma once
// The serial line as the engines see it: the operations of the classic comm control, plus
// the blocking waits that let an engine sleep until the line changes instead of spinning.
// Nothing here is POSIX-specific, so a Windows backend can sit behind the same interface.

#include <QByteArray>
#include <QString>
#include <optional>

namespace korvane {

// Error numbers of the classic comm control, kept so that messages read as machinists know them.
inline constexpr int kErrInvalidPort = 8002;     // the port does not exist
inline constexpr int kErrPortBusy = 8005;        // in use or access denied
inline constexpr int kErrBadSettings = 8015;     // the line settings text cannot be applied
inline constexpr int kErrPortNotOpen = 8018;     // operation needs an open port
inline constexpr int kErrDeviceLost = 8020;      // the device failed or vanished while open

struct PortError {
  int number = 0;
  QString description;
};

// Handshaking modes as stored in a profile.
inline constexpr int kHandshakeNone = 0;
inline constexpr int kHandshakeXonXoff = 1;
inline constexpr int kHandshakeRtsCts = 2;
inline constexpr int kHandshakeBoth = 3;

inline bool usesXonXoff(int handshake) { return handshake == kHandshakeXonXoff || handshake == kHandshakeBoth; }
inline bool usesRtsCts(int handshake) { return handshake == kHandshakeRtsCts || handshake == kHandshakeBoth; }

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Selects the port "Com n", n = 1..10, before opening.
  virtual void setCommPort(int number) = 0;
  virtual int commPort() const = 0;
  // speed,parity,data,stop as in 9600,N,8,2. Checked at open: a bad text makes open fail.
  virtual void setSettings(const QString& text) = 0;
  // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both. Takes effect at once when the port is open.
  virtual void setHandshaking(int mode) = 0;
  virtual void setRtsEnable(bool on) = 0;
  virtual void setDtrEnable(bool on) = 0;
  // Received NUL bytes are dropped before they reach input().
  virtual void setNullDiscard(bool on) = 0;
  // Under XON/XOFF, also take 0x93 as DC3 and 0x91 as DC1: a control set to 7 data bits with
  // even parity sends DC3 with its parity bit, which a profile of 8 bits without parity would
  // otherwise read as an ordinary byte while the machine's buffer overflows.
  virtual void setHighBitFlowControl(bool on) = 0;
  // Under XON/XOFF, keep throttling the far end when our input fills, but hand received DC1/DC3
  // bytes to the reader instead of acting on them. A reception in EIA needs this: there 0x13 is
  // the digit 3.
  virtual void setReceiveFlowBytes(bool on) = 0;

  virtual bool open(PortError* error) = 0;
  // Waits (bounded) for queued output to leave, so that nothing written is lost by closing.
  virtual void close() = 0;
  virtual bool isOpen() const = 0;

  // Queues one byte for transmission; never blocks. False when the port is closed or has failed.
  virtual bool output(quint8 byte) = 0;
  // Bytes queued and not yet on the line, including what the driver still holds.
  virtual int outBufferCount() = 0;
  // Bytes a paced sender may give now and still have flow control hold the line within what a
  // reader allows after its DC3. A port that paces in slices takes a slice at a time and sends
  // it when the line needs it; by default the next byte waits until the last has left.
  virtual int outputRoom() { return outBufferCount() == 0 ? 1 : 0; }
  virtual int inBufferCount() = 0;
  // Every waiting received byte, removed from the input.
  virtual QByteArray input() = 0;
  // A driver that cannot report the modem lines (a pseudo-terminal) reports them asserted.
  virtual bool dsrHolding() = 0;
  virtual bool cdHolding() = 0;

  // Block until input is waiting or timeoutMs passes. Returns at once if input is waiting.
  virtual void waitForInput(int timeoutMs) = 0;
  // Block until queued output makes progress (or may have), or timeoutMs passes. A pacing port
  // sleeps until the line needs its next slice.
  virtual void waitForOutput(int timeoutMs) = 0;

  // Set once the device failed while open (unplugged adapter, I/O error); stays until close.
  virtual std::optional<PortError> failure() const = 0;
  // Characters received with a parity (or framing) error since the port was opened; each came
  // to input() as "?", where it stood.
  virtual int parityErrors() const { return 0; }
};

}  // namespace korvane
