#include "analysis/toolpath.h"

#include <QFile>
#include <algorithm>
#include <bit>
#include <unordered_map>
#include <cmath>
#include <numbers>

namespace korvane {

using machining::Point;
using toolpath::Box2;
using toolpath::Box3;
using toolpath::View;

namespace {

// The state word of a block: whether it was passed over (a lathe cycle's shape) and carried
// out, the bytes of its line end (0-3), and the index of what it left in force.
constexpr std::uint32_t kPassedOver = 1u << 31;
constexpr std::uint32_t kCarriedOut = 1u << 30;
constexpr int kEndingShift = 28;
constexpr std::uint32_t kEndingMask = 3u << kEndingShift;
constexpr std::uint32_t kStateMask = (1u << kEndingShift) - 1;

enum StateFlag : std::uint16_t { kFeedWritten = 1, kPerRevolution = 2, kSurfaceSpeed = 4, kInch = 8 };

// Positions are kept in tenths of a micrometre: every coordinate a program writes (0.001 mm,
// 0.0001 inch, half of either for a lathe's radius) comes back as it was written.
constexpr double kPositionUnits = 1e4;

std::int32_t fixedPoint(double mm) {
  const double units = std::round(mm * kPositionUnits);
  return static_cast<std::int32_t>(std::clamp(units, -2147483647.0, 2147483647.0));
}

std::uint32_t clampToU32(std::int64_t value) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, 0xFFFFFFFFll));
}

bool samePoint(const Point& a, const Point& b) {
  constexpr double kSame = 1e-9;
  return std::fabs(a.x - b.x) <= kSame && std::fabs(a.y - b.y) <= kSame && std::fabs(a.z - b.z) <= kSame;
}

}  // namespace

// Collects what the reading tells into a Toolpath. Blocks are told in file order as they are
// read; each is carried out later or at once, and what it leaves in force is what the next
// block carried out finds.
class ToolpathBuilder final : public ReadingObserver {
 public:
  ToolpathBuilder(Toolpath& path, const MachineModel& machine, const QString& file,
                  const std::optional<BlockSelector>& selector)
      : path_(path), selector_(selector) {
    path_.lathe_ = machine.lathe();
    path_.path_ = file;
    const toolpath::ViewAxes iso = toolpath::axesOf(View::Iso);
    directions_ = {Point{1, 0, 0}, Point{0, 1, 0}, Point{0, 0, 1}, iso.right, iso.up};
  }

  void blockRead(std::int64_t ordinal, const BlockPlace& place, const BlockWords& words) override {
    if (ordinal > 0) {
      // The block before ends where this one's line begins, less its line end; when that does
      // not tell its length, it is kept.
      const std::int64_t ending = place.offset - (lastPlace_.offset + lastPlace_.bytes);
      if (ending >= 0 && ending <= 3 && place.offset > lastPlace_.offset) {
        path_.blocks_[static_cast<std::size_t>(ordinal - 1)].state |= static_cast<std::uint32_t>(ending) << kEndingShift;
      } else {
        path_.lengths_.emplace_back(ordinal - 1, lastPlace_.bytes);
      }
    }
    const std::int64_t delta = place.line - ordinal;
    if (path_.lineDeltas_.empty() || path_.lineDeltas_.back().second != delta) path_.lineDeltas_.emplace_back(ordinal, delta);
    lastPlace_ = place;
    path_.blocks_.push_back({place.offset, 0, {0, 0, 0}, 0});
    if (selector_ && !path_.selected_ && selector_->kind() != BlockSelector::Kind::Text &&
        selector_->matchesRead(words, place, {})) {
      path_.selected_ = ordinal;
    }
  }

  void block(std::int64_t ordinal, const ModalState& state, double minutes) override {
    auto& entry = path_.blocks_[static_cast<std::size_t>(ordinal)];
    if (state.shapeBlock) {
      entry.state |= kPassedOver;
      return;
    }
    if (state.macroSeen) path_.macroSeen_ = true;
    if (selector_ && !path_.selected_ && selector_->matchesState(state)) path_.selected_ = ordinal;
    if (current_ >= 0) settle(current_, state, minutes);
    current_ = ordinal;
    currentState_ = state;
    currentStartMinutes_ = minutes;
    rowEndedSince_ = false;
    movedInCurrent_ = false;
  }

  void move(const korvane::Move& m) override {
    if (m.kind == MoveKind::Dwell) return;
    std::uint32_t block = clampToU32(m.block);
    block = std::max(block, lastBlock_);  // a move never belongs to a block before the last one's
    lastBlock_ = block;
    const auto tool = static_cast<std::uint16_t>(std::clamp(m.tool, 0, 0xFFFF));
    if (!haveEnd_ || !samePoint(m.start, lastEnd_)) {
      path_.moves_.push_back(packed(m.start, block, tool, Toolpath::Kind::Jump, 0));
    }
    const bool arc = m.kind == MoveKind::Arc;
    const Toolpath::Kind kind = m.kind == MoveKind::Rapid ? Toolpath::Kind::Rapid : Toolpath::Kind::Cut;
    std::uint8_t flags = static_cast<std::uint8_t>(static_cast<int>(m.plane) << Toolpath::kPlaneShift);
    if (arc) flags |= Toolpath::kArc;
    if (arc && m.clockwise) flags |= Toolpath::kClockwise;
    if (m.cycle) flags |= Toolpath::kCycle;
    std::optional<toolpath::Arc> curve;
    if (arc) {
      curve = toolpath::arcOf(m.start, m.end, m.centre, m.plane, m.clockwise);
      const double sweep = std::fabs(curve->sweep);
      if (sweep >= 2 * std::numbers::pi) flags |= Toolpath::kFullTurn;
      if (sweep > std::numbers::pi) flags |= Toolpath::kLongArc;
      path_.arcs_.push_back({static_cast<std::uint32_t>(path_.moves_.size()), static_cast<float>(m.centre.x),
                             static_cast<float>(m.centre.y), static_cast<float>(m.centre.z)});
    }
    path_.moves_.push_back(packed(m.end, block, tool, kind, flags));
    addExtents(m, curve ? &*curve : nullptr, kind == Toolpath::Kind::Cut);
    haveEnd_ = true;
    lastEnd_ = m.end;
    lastMoveMinutes_ = m.minutes;
    movedInCurrent_ = static_cast<std::int64_t>(block) == current_;
  }

  void rowEnded(const MachiningRow& row) override {
    path_.rows_.push_back(row);
    if (current_ >= 0) path_.blocks_[static_cast<std::size_t>(current_)].minutes = row.minutes;
    rowEndedSince_ = true;
    lastMoveMinutes_ = 0;
  }

  // A block named by a text it holds is looked for in the bytes as they stand, read through
  // `read` (offset, length).
  template <typename Read>
  void findText(Read read) {
    if (selector_ && selector_->kind() == BlockSelector::Kind::Text) path_.selected_ = firstBlockWithText(read);
  }

  void finish() {
    if (!path_.blocks_.empty()) path_.lengths_.emplace_back(path_.blockCount() - 1, lastPlace_.bytes);
    states_.clear();
    if (current_ >= 0) {
      // Nothing follows the last block: it leaves its own state, where its last move ended.
      ModalState after = currentState_;
      if (movedInCurrent_) after.position = {path_.lathe_ ? 2 * lastEnd_.x : lastEnd_.x, lastEnd_.y, lastEnd_.z};
      settle(current_, after, std::max(currentStartMinutes_, lastMoveMinutes_));
    }
    // Blocks passed over, or never carried out, show what the block before them left.
    for (std::size_t i = 0; i < path_.blocks_.size(); ++i) {
      auto& entry = path_.blocks_[i];
      if (entry.state & kCarriedOut) continue;
      if (path_.states_.empty()) path_.states_.push_back({0, 0, 0, 0});
      const std::uint32_t kept = entry.state & (kPassedOver | kEndingMask);
      if (i == 0) {
        entry.state = kept;
        continue;
      }
      const auto& before = path_.blocks_[i - 1];
      entry.minutes = before.minutes;
      std::copy(std::begin(before.position), std::end(before.position), std::begin(entry.position));
      entry.state = (before.state & kStateMask) | kept;
    }
  }

 private:
  template <typename Read>
  std::optional<std::int64_t> firstBlockWithText(Read read) const {
    constexpr std::int64_t kWindow = 1 << 20;
    QByteArray window;
    std::int64_t windowStart = 0;
    for (std::int64_t i = 0; i < path_.blockCount(); ++i) {
      const BlockPlace place = path_.block(i).place;
      if (place.offset < windowStart || place.offset + place.bytes > windowStart + window.size()) {
        windowStart = place.offset;
        window = read(windowStart, std::max(kWindow, place.bytes));
        if (window.isEmpty() && place.bytes > 0) return std::nullopt;
      }
      const QByteArrayView text(window.constData() + (place.offset - windowStart),
                                static_cast<qsizetype>(std::min<std::int64_t>(place.bytes, window.size())));
      if (selector_->matchesRead(BlockWords{}, place, text)) return i;
    }
    return std::nullopt;
  }

  static Toolpath::Move packed(const Point& p, std::uint32_t block, std::uint16_t tool, Toolpath::Kind kind,
                               std::uint8_t flags) {
    return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z), block, tool, kind, flags};
  }

  void settle(std::int64_t ordinal, const ModalState& after, double minutes) {
    auto& entry = path_.blocks_[static_cast<std::size_t>(ordinal)];
    if (!rowEndedSince_) entry.minutes = minutes;
    entry.position[0] = fixedPoint(after.position.x);
    entry.position[1] = fixedPoint(after.position.y);
    entry.position[2] = fixedPoint(after.position.z);
    entry.state = stateIndex(after) | kCarriedOut | (entry.state & (kPassedOver | kEndingMask));
  }

  std::uint32_t stateIndex(const ModalState& s) {
    std::uint16_t flags = 0;
    if (s.feedWritten) flags |= kFeedWritten;
    if (s.perRevolution) flags |= kPerRevolution;
    if (s.constantSurfaceSpeed) flags |= kSurfaceSpeed;
    if (s.inch) flags |= kInch;
    const Toolpath::BlockState state{static_cast<float>(s.feed), static_cast<float>(s.spindleWord), s.tool, flags};
    auto& states = path_.states_;
    if (!states.empty() && states[lastState_] == state) return lastState_;
    // A program goes back and forth between a few feeds and speeds: each is kept once.
    const std::uint64_t key = (static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(state.feed)) << 32) ^
                              std::bit_cast<std::uint32_t>(state.spindle) ^
                              (static_cast<std::uint64_t>(static_cast<std::uint32_t>(state.tool)) << 13) ^
                              (static_cast<std::uint64_t>(flags) << 45);
    auto [found, added] = states_.try_emplace(key, static_cast<std::uint32_t>(states.size()));
    if (!added && !(states[found->second] == state)) {
      states.push_back(state);  // another state with the same key: kept on its own
      return lastState_ = static_cast<std::uint32_t>(states.size() - 1);
    }
    if (added) states.push_back(state);
    return lastState_ = found->second;
  }

  void addExtents(const korvane::Move& m, const toolpath::Arc* arc, bool cut) {
    const auto add = [&](const Point& p) {
      path_.allExtents_.add(p);
      const double a = toolpath::dot(p, directions_[3]);
      const double b = toolpath::dot(p, directions_[4]);
      path_.isoAll_.add(a, b);
      if (cut) {
        path_.cutExtents_.add(p);
        path_.isoCut_.add(a, b);
      }
    };
    add(m.start);
    add(m.end);
    if (arc == nullptr) return;
    // Most arcs lie well inside what the program has reached so far: their circle's box tells.
    const double reach = std::max(machining::lineLength(m.start, m.centre), machining::lineLength(m.end, m.centre));
    const auto inside = [&](const Box3& box, const Box2& iso) {
      const Point& c = m.centre;
      const double ca = toolpath::dot(c, directions_[3]);
      const double cb = toolpath::dot(c, directions_[4]);
      return c.x - reach >= box.min.x && c.x + reach <= box.max.x && c.y - reach >= box.min.y &&
             c.y + reach <= box.max.y && c.z - reach >= box.min.z && c.z + reach <= box.max.z &&
             ca - reach >= iso.minA && ca + reach <= iso.maxA && cb - reach >= iso.minB && cb + reach <= iso.maxB;
    };
    if (inside(path_.allExtents_, path_.isoAll_) && (!cut || inside(path_.cutExtents_, path_.isoCut_))) return;
    // Along a direction where the arc's circle stays within the extents so far, its turning
    // points change nothing.
    const auto within = [&](int d, double low, double high) {
      const double c = toolpath::dot(m.centre, directions_[static_cast<std::size_t>(d)]);
      return c - reach >= low && c + reach <= high;
    };
    const auto rangeOf = [](const Box3& box, const Box2& iso, int d, double* low, double* high) {
      const double lows[5] = {box.min.x, box.min.y, box.min.z, iso.minA, iso.minB};
      const double highs[5] = {box.max.x, box.max.y, box.max.z, iso.maxA, iso.maxB};
      *low = lows[d];
      *high = highs[d];
    };
    turning_.clear();
    for (int d = 0; d < 5; ++d) {
      double low = 0;
      double high = 0;
      rangeOf(path_.allExtents_, path_.isoAll_, d, &low, &high);
      bool inner = within(d, low, high);
      if (cut) {
        rangeOf(path_.cutExtents_, path_.isoCut_, d, &low, &high);
        inner = inner && within(d, low, high);
      }
      if (!inner) toolpath::appendTurningAngles(*arc, directions_[static_cast<std::size_t>(d)], turning_);
    }
    for (const double angle : turning_) add(arc->at(angle));
  }

  Toolpath& path_;
  std::optional<BlockSelector> selector_;
  BlockPlace lastPlace_;
  std::unordered_map<std::uint64_t, std::uint32_t> states_;
  std::uint32_t lastState_ = 0;
  std::vector<Point> directions_;
  std::vector<double> turning_;
  std::int64_t current_ = -1;  // the block carried out last
  ModalState currentState_;
  double currentStartMinutes_ = 0;
  bool rowEndedSince_ = false;
  bool movedInCurrent_ = false;
  bool haveEnd_ = false;
  Point lastEnd_;
  double lastMoveMinutes_ = 0;
  std::uint32_t lastBlock_ = 0;
};

Point Toolpath::arcCentre(std::size_t i) const {
  std::size_t low = 0;
  std::size_t high = arcs_.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (arcs_[mid].move < i) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  if (low < arcs_.size() && arcs_[low].move == i) return {arcs_[low].x, arcs_[low].y, arcs_[low].z};
  return end(i);
}

toolpath::Arc Toolpath::arc(std::size_t i) const {
  const Move& m = moves_[i];
  const auto plane = static_cast<machining::Plane>((m.flags >> kPlaneShift) & 3);
  toolpath::Arc arc = toolpath::arcOf(start(i), end(i), arcCentre(i), plane, (m.flags & kClockwise) != 0);
  const double size = std::fabs(arc.sweep);
  const double fullTurn = 2 * std::numbers::pi;
  const double sign = arc.sweep < 0 ? -1 : 1;
  if (m.flags & kFullTurn) {
    arc.sweep = sign * fullTurn;
  } else if ((m.flags & kLongArc) != 0 && size <= std::numbers::pi) {
    arc.sweep = sign * (fullTurn - size);
  } else if ((m.flags & kLongArc) == 0 && size > std::numbers::pi) {
    arc.sweep = sign * (fullTurn - size);
  }
  return arc;
}

std::size_t Toolpath::movesThrough(std::int64_t ordinal) const {
  if (ordinal < 0) return 0;
  std::size_t low = 0;
  std::size_t high = moves_.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (static_cast<std::int64_t>(moves_[mid].block) <= ordinal) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

Toolpath::BlockInfo Toolpath::block(std::int64_t ordinal) const {
  BlockInfo info;
  if (ordinal < 0 || ordinal >= blockCount()) return info;
  const BlockEntry& e = blocks_[static_cast<std::size_t>(ordinal)];
  info.ordinal = ordinal;
  info.place = {lineOf(ordinal), e.offset, bytesOf(ordinal)};
  info.minutes = e.minutes;
  info.position = {e.position[0] / kPositionUnits, e.position[1] / kPositionUnits, e.position[2] / kPositionUnits};
  info.passedOver = (e.state & kPassedOver) != 0;
  const std::uint32_t index = e.state & kStateMask;
  if (index < states_.size()) {
    const BlockState& s = states_[index];
    info.feed = s.feed;
    info.spindle = s.spindle;
    info.tool = s.tool;
    info.feedWritten = (s.flags & kFeedWritten) != 0;
    info.perRevolution = (s.flags & kPerRevolution) != 0;
    info.constantSurfaceSpeed = (s.flags & kSurfaceSpeed) != 0;
    info.inch = (s.flags & kInch) != 0;
  }
  return info;
}

std::int64_t Toolpath::lineOf(std::int64_t ordinal) const {
  const auto after = std::upper_bound(lineDeltas_.begin(), lineDeltas_.end(), ordinal,
                                      [](std::int64_t o, const auto& entry) { return o < entry.first; });
  return after == lineDeltas_.begin() ? ordinal : ordinal + std::prev(after)->second;
}

std::int64_t Toolpath::bytesOf(std::int64_t ordinal) const {
  const auto kept = std::lower_bound(lengths_.begin(), lengths_.end(), ordinal,
                                     [](const auto& entry, std::int64_t o) { return entry.first < o; });
  if (kept != lengths_.end() && kept->first == ordinal) return kept->second;
  const BlockEntry& e = blocks_[static_cast<std::size_t>(ordinal)];
  const std::int64_t ending = (e.state & kEndingMask) >> kEndingShift;
  return blocks_[static_cast<std::size_t>(ordinal + 1)].offset - e.offset - ending;
}

std::int64_t Toolpath::blockAtLine(std::int64_t line) const {
  std::size_t low = 0;
  std::size_t high = blocks_.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (lineOf(static_cast<std::int64_t>(mid)) < line) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return static_cast<std::int64_t>(low);
}

Box2 Toolpath::viewExtents(View view, bool cutsOnly) const {
  if (view == View::Iso) return cutsOnly ? isoCut_ : isoAll_;
  const Box3& box = cutsOnly ? cutExtents_ : allExtents_;
  Box2 seen;
  if (box.empty()) return seen;
  const toolpath::ViewAxes axes = toolpath::axesOf(view);
  // The other views look along an axis: their extents are two of the three.
  seen.add(toolpath::dot(box.min, axes.right), toolpath::dot(box.min, axes.up));
  seen.add(toolpath::dot(box.max, axes.right), toolpath::dot(box.max, axes.up));
  return seen;
}

std::size_t Toolpath::bytes() const {
  return moves_.bytes() + blocks_.bytes() + arcs_.bytes() + states_.capacity() * sizeof(BlockState) +
         (lineDeltas_.capacity() + lengths_.capacity()) * sizeof(std::pair<std::int64_t, std::int64_t>);
}


std::unique_ptr<Toolpath> readToolpath(const QString& path, const MachineModel& machine, QString* error,
                                       const ToolpathProgress& progress,
                                       const std::optional<BlockSelector>& selector) {
  auto result = std::make_unique<Toolpath>();
  ToolpathBuilder builder(*result, machine, path, selector);
  if (!readProgram(path, machine, builder, error, progress)) return nullptr;
  builder.finish();
  if (selector && selector->kind() == BlockSelector::Kind::Text) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      if (error) *error = file.errorString();
      return nullptr;
    }
    builder.findText([&file](std::int64_t offset, std::int64_t length) {
      return file.seek(offset) ? file.read(length) : QByteArray();
    });
  }
  return result;
}

std::unique_ptr<Toolpath> readToolpathBytes(QByteArrayView bytes, const MachineModel& machine,
                                            const std::optional<BlockSelector>& selector) {
  auto result = std::make_unique<Toolpath>();
  ToolpathBuilder builder(*result, machine, QString(), selector);
  readProgramBytes(bytes, QStringLiteral("program.nc"), machine, builder);
  builder.finish();
  builder.findText([&bytes](std::int64_t offset, std::int64_t length) {
    const qsizetype from = std::min<qsizetype>(offset, bytes.size());
    return bytes.sliced(from).first(std::min<qsizetype>(length, bytes.size() - from)).toByteArray();
  });
  return result;
}

}  // namespace korvane
