#pragma once
// Window geometry is kept in twips (1/1440 inch), the unit the layout was designed in; the
// screen's logical resolution turns it into pixels and back.

#include <QtGlobal>
#include <cmath>

namespace korvane {

inline constexpr int kTwipsPerInch = 1440;

inline int twipsToPx(double twips, qreal logicalDpi) {
  return static_cast<int>(std::lround(twips * logicalDpi / kTwipsPerInch));
}

inline int pxToTwips(int px, qreal logicalDpi) {
  if (logicalDpi <= 0) return 0;
  return static_cast<int>(std::lround(px * kTwipsPerInch / logicalDpi));
}

}  // namespace korvane
