#pragma once
// How many moves of a toolpath there are to draw at a given size. A large program repeats itself
// (the same part programmed many times) and is made of moves far smaller than a pixel; drawing
// it whole at every size would take seconds. Here the moves are
//  - told once: a move that goes exactly where an earlier one went, with the same tool, is drawn
//    by that earlier one (it covers the same pixels);
//  - merged per view, at a ladder of tolerances: runs of moves closer together than the
//    tolerance become one line, which lies within the tolerance of the path.
// Only the drawing uses this; every figure is measured from the moves themselves.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/toolpath.h"

namespace korvane::toolpath {

// The moves of a toolpath that go somewhere no earlier move with the same tool went, in order.
class DistinctMoves {
 public:
  // Null when `stop` was raised.
  static std::shared_ptr<const DistinctMoves> find(const Toolpath& path, const std::atomic<bool>* stop = nullptr);

  std::size_t count() const { return all_ ? total_ : moves_.size(); }
  std::uint32_t operator[](std::size_t k) const { return all_ ? static_cast<std::uint32_t>(k) : moves_[k]; }
  std::size_t bytes() const { return moves_.capacity() * sizeof(std::uint32_t); }

 private:
  bool all_ = true;  // when hardly any move repeats: every move, with no list
  std::size_t total_ = 0;
  std::vector<std::uint32_t> moves_;
};

class Detail {
 public:
  // A point of a merged path, in the view's millimetres, and the move it lies on; kEndOfMove
  // when it is where that move ends.
  struct Vertex {
    float a, b;
    std::uint32_t move;
  };
  static constexpr std::uint32_t kEndOfMove = 1u << 31;
  // A polyline of one kind and tool over moves that follow each other.
  struct Run {
    std::uint32_t first;  // its first vertex: where its first move starts
    std::uint32_t count;  // vertices, at least two
    std::uint16_t tool;
    Toolpath::Kind kind;
  };
  static constexpr std::size_t kPage = 1024;
  struct Level {
    double tolerance = 0;  // mm: the merged path lies within this of the moves
    std::vector<Vertex> vertices;
    std::vector<Run> runs;
    // The extents of each kPage vertices (and of the vertex before them), to pass over what lies
    // outside the picture.
    std::vector<Box2> pages;
  };

  // Null when `stop` was raised.
  static std::unique_ptr<Detail> build(const Toolpath& path, std::shared_ptr<const DistinctMoves> distinct, View view,
                                       const std::atomic<bool>* stop = nullptr);

  View view() const { return view_; }
  const DistinctMoves& distinct() const { return *distinct_; }
  // The extents of each kPage distinct moves, in the view.
  const std::vector<Box2>& movePages() const { return movePages_; }
  // The coarsest level that lies within `tolerance` mm of the path; null: draw the moves.
  const Level* levelFor(double tolerance) const;
  const std::vector<Level>& levels() const { return levels_; }
  std::size_t bytes() const;

 private:
  View view_ = View::Top;
  std::shared_ptr<const DistinctMoves> distinct_;
  std::vector<Box2> movePages_;
  std::vector<Level> levels_;  // finest first
};

}  // namespace korvane::toolpath
