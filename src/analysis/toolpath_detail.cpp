#include "analysis/toolpath_detail.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>

namespace korvane::toolpath {

namespace {

// A level is kept only when it draws at most this share of what the finer one draws.
constexpr double kWorthKeeping = 0.7;
// The tolerances tried, as fractions of the view's largest extent, finest first, each twice the
// one before: a whole program at the window's usual size is drawn from the coarser ones, a part
// zoomed in from the finer ones. Those far finer than the program's moves merge nothing and are
// not built.
constexpr double kFinest = 1.0 / 65536;
constexpr double kCoarsest = 1.0 / 256;
// Fewer distinct moves than this are drawn one by one at any size, fast enough.
constexpr std::size_t kFewMoves = 100000;
// Moves are looked at this many at a time between checks of `stop`.
constexpr std::size_t kBetweenChecks = 1 << 16;

bool stopped(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(std::memory_order_relaxed); }

std::uint64_t mix(std::uint64_t h, std::uint64_t word) {
  h ^= word + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 29);
}

std::uint64_t bitsOf(float a, float b) {
  return (static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(a)) << 32) | std::bit_cast<std::uint32_t>(b);
}

// What makes two moves draw the same line: where they start and end, their kind and tool, and
// an arc's centre and direction.
struct MoveKey {
  float start[3];
  float end[3];
  float centre[3];
  std::uint16_t tool;
  Toolpath::Kind kind;
  std::uint8_t flags;

  std::uint64_t hash() const {
    std::uint64_t h = mix(0, bitsOf(start[0], start[1]));
    h = mix(h, bitsOf(start[2], end[0]));
    h = mix(h, bitsOf(end[1], end[2]));
    h = mix(h, bitsOf(centre[0], centre[1]));
    h = mix(h, bitsOf(centre[2], 0));
    return mix(h, (static_cast<std::uint64_t>(tool) << 16) | (static_cast<std::uint64_t>(kind) << 8) | flags);
  }
};

MoveKey keyOf(const Toolpath& path, std::size_t i) {
  const Toolpath::Move& m = path.move(i);
  const Toolpath::Move& before = path.move(i == 0 ? 0 : i - 1);
  MoveKey key{{before.x, before.y, before.z}, {m.x, m.y, m.z}, {0, 0, 0}, m.tool, m.kind, m.flags};
  if (m.flags & Toolpath::kArc) {
    const Point c = path.arcCentre(i);
    key.centre[0] = static_cast<float>(c.x);
    key.centre[1] = static_cast<float>(c.y);
    key.centre[2] = static_cast<float>(c.z);
  }
  return key;
}

ViewPoint seen(const Point& p, const ViewAxes& axes) { return project(p, axes); }

// Merges one run of points at a time: a point is kept once it lies `tolerance` or more from the
// last one kept; a run's last point always is.
class RunMerger {
 public:
  RunMerger(Detail::Level& level, double tolerance) : level_(level), tolerance_(tolerance) {}

  void begin(ViewPoint p, std::uint32_t move, std::uint16_t tool, Toolpath::Kind kind) {
    level_.runs.push_back({static_cast<std::uint32_t>(level_.vertices.size()), 1, tool, kind});
    push(p, move);
  }
  void add(ViewPoint p, std::uint32_t move) {
    const double da = p.a - last_.a;
    const double db = p.b - last_.b;
    if (da * da + db * db >= tolerance_ * tolerance_) {
      push(p, move);
      pending_ = false;
    } else {
      pending_ = true;
      held_ = {static_cast<float>(p.a), static_cast<float>(p.b), move};
    }
  }
  void end() {
    if (level_.runs.empty()) return;
    if (pending_ || level_.runs.back().count < 2) {
      if (!pending_) held_ = level_.vertices.back();
      level_.vertices.push_back(held_);
      ++level_.runs.back().count;
    }
    pending_ = false;
  }

 private:
  void push(ViewPoint p, std::uint32_t move) {
    level_.vertices.push_back({static_cast<float>(p.a), static_cast<float>(p.b), move});
    if (level_.vertices.size() - 1 > level_.runs.back().first) ++level_.runs.back().count;
    last_ = p;
  }

  Detail::Level& level_;
  double tolerance_;
  ViewPoint last_;
  bool pending_ = false;
  Detail::Vertex held_{};
};

bool mergeMoves(const Toolpath& path, const DistinctMoves& distinct, const ViewAxes& axes, Detail::Level& level,
                const std::atomic<bool>* stop) {
  RunMerger merger(level, level.tolerance);
  std::vector<double> angles;
  std::size_t previous = 0;
  bool inRun = false;
  for (std::size_t k = 0; k < distinct.count(); ++k) {
    if (k % kBetweenChecks == 0 && stopped(stop)) return false;
    const std::size_t i = distinct[k];
    const Toolpath::Move& m = path.move(i);
    const bool follows = inRun && i == previous + 1 && m.kind == path.move(previous).kind &&
                         m.tool == path.move(previous).tool;
    if (!follows) {
      if (inRun) merger.end();
      merger.begin(seen(path.start(i), axes), static_cast<std::uint32_t>(i), m.tool, m.kind);
      inRun = true;
    }
    if (m.flags & Toolpath::kArc) {
      const Arc arc = path.arc(i);
      const int chords = chordCount(arc.maxRadius(), arc.sweep, level.tolerance / 2);
      for (int c = 1; c < chords; ++c) merger.add(seen(arc.at(arc.sweep * c / chords), axes), static_cast<std::uint32_t>(i));
    }
    merger.add(seen(path.end(i), axes), static_cast<std::uint32_t>(i) | Detail::kEndOfMove);
    previous = i;
  }
  if (inRun) merger.end();
  return true;
}

bool mergeLevel(const Detail::Level& finer, Detail::Level& level, const std::atomic<bool>* stop) {
  RunMerger merger(level, level.tolerance);
  std::size_t looked = 0;
  for (const Detail::Run& run : finer.runs) {
    const Detail::Vertex* v = finer.vertices.data() + run.first;
    merger.begin({v[0].a, v[0].b}, v[0].move, run.tool, run.kind);
    for (std::uint32_t j = 1; j < run.count; ++j) merger.add({v[j].a, v[j].b}, v[j].move);
    merger.end();
    looked += run.count;
    if (looked > kBetweenChecks) {
      looked = 0;
      if (stopped(stop)) return false;
    }
  }
  return true;
}

void pagesOf(Detail::Level& level) {
  const std::size_t count = level.vertices.size();
  level.pages.assign((count + Detail::kPage - 1) / Detail::kPage, Box2{});
  for (std::size_t j = 0; j < count; ++j) {
    const Detail::Vertex& v = level.vertices[j];
    level.pages[j / Detail::kPage].add(v.a, v.b);
    // A line from the last vertex of a page to the first of the next is in both.
    if (j % Detail::kPage == Detail::kPage - 1 && j + 1 < count) level.pages[(j + 1) / Detail::kPage].add(v.a, v.b);
  }
}

}  // namespace

std::shared_ptr<const DistinctMoves> DistinctMoves::find(const Toolpath& path, const std::atomic<bool>* stop) {
  auto result = std::make_shared<DistinctMoves>();
  const std::size_t total = path.moveCount();
  result->total_ = total;
  // Open addressing on the key's 64-bit hash; a move is taken for one seen before when the
  // hashes and the ends agree (a false match would only leave one move undrawn, never change a
  // figure).
  struct Slot {
    std::uint64_t hash;
    std::uint32_t move;  // + 1; 0 for a free slot
  };
  std::vector<Slot> table(1 << 12, Slot{0, 0});
  std::size_t used = 0;
  std::vector<std::uint32_t> kept;
  const auto insert = [&table](std::uint32_t move, std::uint64_t h) {
    const std::size_t mask = table.size() - 1;
    std::size_t slot = h & mask;
    while (table[slot].move != 0) slot = (slot + 1) & mask;
    table[slot] = {h, move + 1};
  };
  for (std::size_t i = 0; i < total; ++i) {
    if (i % kBetweenChecks == 0) {
      if (stopped(stop)) return nullptr;
      // A program that hardly repeats itself is drawn move by move; the table would only cost.
      if (i >= (std::size_t{1} << 18) && static_cast<double>(kept.size()) > kWorthKeeping * static_cast<double>(i)) {
        return result;
      }
    }
    if (path.kind(i) == Toolpath::Kind::Jump) continue;
    const MoveKey key = keyOf(path, i);
    const std::uint64_t h = key.hash();
    const Toolpath::Move& m = path.move(i);
    const std::size_t mask = table.size() - 1;
    bool seenBefore = false;
    for (std::size_t slot = h & mask; table[slot].move != 0; slot = (slot + 1) & mask) {
      if (table[slot].hash != h) continue;
      const Toolpath::Move& other = path.move(table[slot].move - 1);
      if (other.x == m.x && other.y == m.y && other.z == m.z && other.tool == m.tool) {
        seenBefore = true;
        break;
      }
    }
    if (seenBefore) continue;
    kept.push_back(static_cast<std::uint32_t>(i));
    insert(static_cast<std::uint32_t>(i), h);
    if (++used * 2 > table.size()) {
      std::vector<Slot> old(table.size() * 2, Slot{0, 0});
      old.swap(table);
      for (const Slot& s : old) {
        if (s.move != 0) insert(s.move - 1, s.hash);
      }
    }
  }
  if (static_cast<double>(kept.size()) <= kWorthKeeping * static_cast<double>(total)) {
    result->all_ = false;
    result->moves_ = std::move(kept);
    result->moves_.shrink_to_fit();
  }
  return result;
}

std::unique_ptr<Detail> Detail::build(const Toolpath& path, std::shared_ptr<const DistinctMoves> distinct, View view,
                                      const std::atomic<bool>* stop) {
  auto detail = std::make_unique<Detail>();
  detail->view_ = view;
  detail->distinct_ = std::move(distinct);
  const DistinctMoves& moves = *detail->distinct_;
  const ViewAxes axes = axesOf(view);

  detail->movePages_.assign((moves.count() + kPage - 1) / kPage, Box2{});
  for (std::size_t k = 0; k < moves.count(); ++k) {
    if (k % kBetweenChecks == 0 && stopped(stop)) return nullptr;
    const std::size_t i = moves[k];
    Box2& page = detail->movePages_[k / kPage];
    const ViewPoint s = seen(path.start(i), axes);
    const ViewPoint e = seen(path.end(i), axes);
    page.add(s.a, s.b);
    page.add(e.a, e.b);
    if (path.isArc(i)) {
      // Wherever the arc runs, it stays within its largest radius of its centre.
      const Arc arc = path.arc(i);
      const ViewPoint c = seen(path.arcCentre(i), axes);
      const double r = arc.maxRadius() + std::fabs(arc.endN - arc.startN);
      page.add(c.a - r, c.b - r);
      page.add(c.a + r, c.b + r);
    }
  }

  if (moves.count() < kFewMoves) return detail;
  const Box2 extents = path.viewExtents(view, false);
  const double size = std::max({extents.width(), extents.height(), 1.0});
  // How long the moves are as the view shows them, from a sample: a tolerance under half of that
  // would keep nearly every point.
  double seenLength = 0;
  std::size_t sampled = 0;
  for (std::size_t k = 0; k < moves.count(); k += std::max<std::size_t>(1, moves.count() / 10000)) {
    const std::size_t i = moves[k];
    const ViewPoint s = seen(path.start(i), axes);
    const ViewPoint e = seen(path.end(i), axes);
    seenLength += std::sqrt((e.a - s.a) * (e.a - s.a) + (e.b - s.b) * (e.b - s.b));
    ++sampled;
  }
  const double typical = sampled > 0 ? seenLength / static_cast<double>(sampled) : 0;
  // Each level is merged from the one before; a level is kept when it draws markedly less than
  // the finer way of drawing kept before it.
  double reference = static_cast<double>(moves.count());
  std::optional<Level> finer;
  for (double share = kFinest; share <= kCoarsest; share *= 2) {
    if (size * share * 2 < typical && share * 2 <= kCoarsest) continue;
    Level level;
    level.tolerance = size * share;
    const bool done = finer ? mergeLevel(*finer, level, stop) : mergeMoves(path, moves, axes, level, stop);
    if (!done) return nullptr;
    if (finer && static_cast<double>(finer->vertices.size()) <= kWorthKeeping * reference) {
      reference = static_cast<double>(finer->vertices.size());
      pagesOf(*finer);
      finer->vertices.shrink_to_fit();
      finer->runs.shrink_to_fit();
      detail->levels_.push_back(std::move(*finer));
    }
    finer = std::move(level);
  }
  if (finer && static_cast<double>(finer->vertices.size()) <= kWorthKeeping * reference) {
    pagesOf(*finer);
    finer->vertices.shrink_to_fit();
    finer->runs.shrink_to_fit();
    detail->levels_.push_back(std::move(*finer));
  }
  return detail;
}

const Detail::Level* Detail::levelFor(double tolerance) const {
  for (auto level = levels_.rbegin(); level != levels_.rend(); ++level) {
    if (level->tolerance <= tolerance) return &*level;
  }
  return nullptr;
}

std::size_t Detail::bytes() const {
  std::size_t total = movePages_.capacity() * sizeof(Box2);
  for (const Level& level : levels_) {
    total += level.vertices.capacity() * sizeof(Vertex) + level.runs.capacity() * sizeof(Run) +
             level.pages.capacity() * sizeof(Box2);
  }
  return total;
}

}  // namespace korvane::toolpath
