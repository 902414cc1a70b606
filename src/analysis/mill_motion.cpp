#include "analysis/mill_motion.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace korvane {

using namespace machining;

void MillMotion::reset() { *this = MillMotion(rapidRate_); }

Point MillMotion::target(const BlockWords& w) const {
  const auto axis = [&](Address a, double now) {
    if (!w.has(a)) return now;
    return absolute_ ? length(w, a) : now + length(w, a);
  };
  return {axis(Address::X, position_.x), axis(Address::Y, position_.y), axis(Address::Z, position_.z)};
}

void MillMotion::rapid(const Point& to, Totals& totals) {
  totals.minutes += lineLength(position_, to) / rapidRate_;
  position_ = to;
}

void MillMotion::feed(const Point& to, Totals& totals) {
  const double length = lineLength(position_, to);
  totals.minutes += length / feedRate();
  totals.cuttingMillimetres += length;
  position_ = to;
}

void MillMotion::dwell(double seconds, Totals& totals) const {
  if (seconds > 0) totals.minutes += seconds / 60;
}

void MillMotion::setModes(const BlockWords& w) {
  // Most blocks set no mode but the motion: the groups from the plane to the return level are
  // looked at together first.
  std::uint64_t codes;
  static_assert(sizeof codes == sizeof w.codes);
  std::memcpy(&codes, w.codes.data(), sizeof codes);
  constexpr std::uint64_t kModes = 0x0000'FFFF'FFFF'FF00ULL;
  static_assert(static_cast<int>(Group::Plane) == 1 && static_cast<int>(Group::Retract) == 5);
  if ((codes & kModes) != kModes) {
    if (const auto units = w.code(Group::Units); units != kNoCode) {
      inch_ = units == 20;
      incrementScale_[0] = inch_ ? 0.0001 : 0.001;
    }
    if (const auto distance = w.code(Group::Distance); distance != kNoCode) absolute_ = distance == 90;
    if (const auto plane = w.code(Group::Plane); plane != kNoCode) {
      plane_ = plane == 17 ? Plane::XY : plane == 18 ? Plane::ZX : Plane::YZ;
    }
    if (const auto feedMode = w.code(Group::FeedMode); feedMode != kNoCode) perRevolution_ = feedMode == 95;
    if (const auto retract = w.code(Group::Retract); retract != kNoCode) returnToR_ = retract == 99;
  }
  // F as written: mm/min (F100 and F100. alike), inch/min under G20, per revolution under G95.
  if (w.has(Address::F)) feed_ = w.number(Address::F) * (inch_ ? kMillimetresPerInch : 1);
  if (w.has(Address::S)) spindle_ = std::fabs(w.number(Address::S));
  if (const int code = w.code(Group::Motion); code != kNoCode) {
    if (code <= 3) {
      motion_ = code;
      cycle_ = 0;
    } else if (code == 80) {
      cycle_ = 0;
    } else {
      if (cycle_ == 0) initialLevel_ = position_.z;  // a series of holes starts here
      cycle_ = code;
    }
  }
}

void MillMotion::oneShot(const BlockWords& w, Totals& totals) {
  switch (w.code(Group::OneShot)) {
    case 4:
      // P in milliseconds; X or U in seconds (without a point, in thousandths).
      if (w.has(Address::P)) {
        dwell(w.number(Address::P) / 1000, totals);
      } else if (w.has(Address::X) || w.has(Address::U)) {
        const Address a = w.has(Address::X) ? Address::X : Address::U;
        dwell(w.hasPoint(a) ? w.number(a) : w.number(a) / 1000, totals);
      }
      return;
    case 92: {
      // The position is renamed, not moved.
      if (w.has(Address::X)) position_.x = length(w, Address::X);
      if (w.has(Address::Y)) position_.y = length(w, Address::Y);
      if (w.has(Address::Z)) position_.z = length(w, Address::Z);
      return;
    }
    case 53: {
      // Machine coordinates: absolute whatever the distance mode, at the rapid rate.
      Point to = position_;
      if (w.has(Address::X)) to.x = length(w, Address::X);
      if (w.has(Address::Y)) to.y = length(w, Address::Y);
      if (w.has(Address::Z)) to.z = length(w, Address::Z);
      rapid(to, totals);
      return;
    }
    case 28:
    case 30: {
      // Through the intermediate point to the reference point, the origin of each axis named.
      rapid(target(w), totals);
      Point home = position_;
      if (w.has(Address::X)) home.x = 0;
      if (w.has(Address::Y)) home.y = 0;
      if (w.has(Address::Z)) home.z = 0;
      rapid(home, totals);
      return;
    }
    default:
      return;
  }
}

void MillMotion::apply(const BlockWords& w, Totals& totals) {
  setModes(w);
  if (w.code(Group::OneShot) != kNoCode) {
    oneShot(w, totals);
    return;
  }
  if (cycle_ != 0) {
    drill(w, totals);
    return;
  }
  const bool arcMotion = motion_ >= 2;
  if (!hasAxisWord(w) && !(arcMotion && (w.has(Address::I) || w.has(Address::J) || w.has(Address::K) ||
                                          w.has(Address::R)))) {
    return;
  }
  const Point to = target(w);
  if (motion_ == 0) {
    rapid(to, totals);
  } else if (motion_ == 1) {
    feed(to, totals);
  } else {
    arc(w, to, totals);
  }
}

void MillMotion::arc(const BlockWords& w, const Point& to, Totals& totals) {
  double arcLength = 0;
  if (w.has(Address::R)) {
    arcLength = arcLengthByRadius(position_, to, plane_, length(w, Address::R));
  } else {
    // I, J and K give the centre along X, Y and Z, from the start point.
    const auto offset = [&](Address a) { return w.has(a) ? length(w, a) : 0.0; };
    const PlanePoint centre = inPlane({offset(Address::I), offset(Address::J), offset(Address::K)}, plane_);
    arcLength = arcLengthByCentre(position_, to, plane_, centre.a, centre.b, motion_ == 2);
  }
  totals.minutes += arcLength / feedRate();
  totals.cuttingMillimetres += arcLength;
  position_ = to;
}

}  // namespace korvane
