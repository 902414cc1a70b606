#include "transfer/tape_code.h"

#include <array>
#include <bit>

namespace korvane {

namespace {

// The characters a program may carry to the reader, with their ISO and EIA bytes. Characters
// without an RS-244 hole pattern of their own go out as a blank frame (0x00) under EIA.
struct SendEntry {
  char character;
  quint8 iso;
  int eia;  // -1: no entry
};

constexpr SendEntry kSendTable[] = {
    {'0', 0x30, 0x20}, {'1', 0xB1, 0x01}, {'2', 0xB2, 0x02}, {'3', 0x33, 0x13}, {'4', 0xB4, 0x04},
    {'5', 0x35, 0x15}, {'6', 0x36, 0x16}, {'7', 0xB7, 0x07}, {'8', 0xB8, 0x08}, {'9', 0x39, 0x19},
    {'A', 0x41, 0x61}, {'B', 0x42, 0x62}, {'C', 0xC3, 0x73}, {'D', 0x44, 0x64}, {'E', 0xC5, 0x75},
    {'F', 0xC6, 0x76}, {'G', 0x47, 0x67}, {'H', 0x48, 0x68}, {'I', 0xC9, 0x79}, {'J', 0xCA, 0x51},
    {'K', 0x4B, 0x52}, {'L', 0xCC, 0x43}, {'M', 0x4D, 0x54}, {'N', 0x4E, 0x45}, {'O', 0xCF, 0x46},
    {'P', 0x50, 0x57}, {'Q', 0xD1, 0x58}, {'R', 0xD2, 0x49}, {'S', 0x53, 0x32}, {'T', 0xD4, 0x23},
    {'U', 0x55, 0x34}, {'V', 0x56, 0x25}, {'W', 0xD7, 0x26}, {'X', 0xD8, 0x37}, {'Y', 0x59, 0x38},
    {'Z', 0x5A, 0x29}, {'+', 0x2B, 0x70}, {'-', 0x2D, 0x40}, {'.', 0x2E, 0x6B}, {',', 0xAC, 0x3B},
    {'/', 0xAF, 0x31}, {';', 0xBB, 0x80}, {'(', 0x28, 0x1A}, {')', 0xA9, 0x4A}, {':', 0x3A, 0x46},
    {'#', 0xA3, 0x00}, {'*', 0xAA, 0x00}, {'$', 0x24, 0x00}, {' ', 0xA0, 0x10}, {'%', 0xA5, 0x0B},
    {'&', 0xA6, 0x0E}, {'\'', 0x27, 0x00}, {'<', 0x3C, 0x00}, {'>', 0xBE, 0x00}, {'?', 0x3F, 0x00},
    {'@', 0xC0, 0x00}, {'[', 0xDB, 0x00}, {']', 0xDD, 0x00}, {'=', 0xBD, 0x00}, {'"', 0x22, 0x00},
    {'\n', 0x0A, 0x80}, {'\r', 0x8D, -1},
};

// Characters the EIA receive direction gives back; the blank frame reads as a space and the
// end-of-block code as LF, and nothing gives ":", ";" or CR.
constexpr char kEiaReceivable[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ+-.,/()%& ";

struct Tables {
  std::array<int, 128> isoSend{};
  std::array<int, 128> eiaSend{};
  std::array<int, 256> isoReceive{};
  std::array<int, 256> eiaReceive{};

  Tables() {
    isoSend.fill(-1);
    eiaSend.fill(-1);
    isoReceive.fill(-1);
    eiaReceive.fill(-1);
    for (const SendEntry& e : kSendTable) {
      const auto c = static_cast<unsigned char>(e.character);
      isoSend[c] = e.iso;
      eiaSend[c] = e.eia;
      isoReceive[e.iso] = c;
    }
    // The receive side reads ":" as the program-number address "O", and CR in its plain form.
    isoReceive[0x3A] = 'O';
    isoReceive[0x8D] = -1;
    isoReceive[0x0D] = '\r';
    for (const char* p = kEiaReceivable; *p; ++p) {
      const auto c = static_cast<unsigned char>(*p);
      eiaReceive[eiaSend[c]] = c;
    }
    eiaReceive[0x80] = '\n';
    eiaReceive[0x00] = ' ';
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

}  // namespace

TapeCode tapeCodeOf(const PortProfile& profile) { return profile.tapeCode == 1 ? TapeCode::Eia : TapeCode::Iso; }

std::optional<quint8> convertSendCharacter(QChar character, TapeCode code) {
  const char16_t u = character.unicode();
  if (u >= 128) return std::nullopt;
  const int byte = (code == TapeCode::Eia ? tables().eiaSend : tables().isoSend)[u];
  if (byte < 0) return std::nullopt;
  return static_cast<quint8>(byte);
}

std::optional<QChar> convertReceivedByte(quint8 byte, TapeCode code, bool sevenDataBits) {
  if (code == TapeCode::Iso && sevenDataBits) return QChar(byte);
  const int c = (code == TapeCode::Eia ? tables().eiaReceive : tables().isoReceive)[byte];
  if (c < 0) return std::nullopt;
  return QChar(static_cast<char16_t>(c));
}

bool hasWrongParity(quint8 byte, TapeCode code, bool sevenDataBits) {
  if (code != TapeCode::Iso || sevenDataBits || byte == '\r') return false;
  // DC1 to DC4 are the control's codes, not the tape's: a control sends them with or without
  // the parity bit as it is set up.
  if ((byte & 0x7F) >= 0x11 && (byte & 0x7F) <= 0x14) return false;
  return std::popcount(unsigned(byte)) % 2 == 1;
}

}  // namespace korvane
