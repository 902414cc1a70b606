#pragma once
// A toolpath as an SVG drawing that other programs can read: user units are the program's
// millimetres along the view's axes (the first to the right, the second upward, written as y =
// -second since SVG counts y downward), cuts in <path class="feed"> (one colour per tool),
// rapids in <path class="rapid">. Arcs are SVG arcs split where they reach furthest along
// either axis, so the ends of the pieces bound them; helices and spirals become chords within
// 0.001 mm. With a block chosen, the moves after it are drawn faint, as "later-feed" and
// "later-rapid".

#include <QIODevice>
#include <QString>
#include <cstdint>
#include <optional>

#include "analysis/toolpath.h"

namespace korvane::toolpath {

struct SvgOptions {
  View view = View::Top;
  int width = 1200;   // the drawing's size in pixels, for a browser; its units stay millimetres
  int height = 900;
  std::optional<std::int64_t> untilBlock;  // the path up to and including this block drawn
  QString title;
};

// Writes the drawing; false when `out` fails.
bool writeSvg(const Toolpath& path, const SvgOptions& options, QIODevice& out);

}  // namespace korvane::toolpath
