#pragma once
// The tape reader's control codes on the line, and DC1/DC3 as a control set to 7 data bits with
// even parity sends them (the parity bit in bit 7).

#include <QtGlobal>

namespace korvane {

inline constexpr quint8 kNul = 0x00;
inline constexpr quint8 kDc1 = 0x11;
inline constexpr quint8 kDc2 = 0x12;
inline constexpr quint8 kDc3 = 0x13;
inline constexpr quint8 kDc4 = 0x14;
inline constexpr quint8 kDc1HighBit = 0x91;
inline constexpr quint8 kDc3HighBit = 0x93;

}  // namespace korvane
