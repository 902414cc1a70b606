#include "platform/serial/received_frames.h"

#include <optional>

#include "platform/serial/line_settings.h"

namespace korvane {

void ReceivedFrames::take(const char* bytes, qsizetype count, QByteArray& out) {
  for (qsizetype i = 0; i < count; ++i) {
    const auto byte = static_cast<quint8>(bytes[i]);
    switch (mode_) {
      case Mode::Plain:
        out.append(static_cast<char>(byte));
        break;
      case Mode::SevenBitPty:
        if (const std::optional<quint8> data = checkParityBit(byte, parity_)) {
          out.append(static_cast<char>(*data));
        } else {
          ++parityErrors_;
          out.append(static_cast<char>(kParityReplacement));
        }
        break;
      case Mode::Marked:
        if (markState_ == 0) {
          if (byte == 0xFF) {
            markState_ = 1;
          } else {
            out.append(static_cast<char>(byte));
          }
        } else if (markState_ == 1) {
          if (byte == 0x00) {
            markState_ = 2;
          } else {
            // 0xFF 0xFF is a received 0xFF; anything else cannot follow a mark, keep both.
            out.append(static_cast<char>(0xFF));
            if (byte != 0xFF) out.append(static_cast<char>(byte));
            markState_ = 0;
          }
        } else {
          ++parityErrors_;
          out.append(static_cast<char>(kParityReplacement));
          markState_ = 0;
        }
        break;
    }
  }
}

}  // namespace korvane
