#include "tp_index.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tekpaint {
namespace {

// Level 0 has about one cell per box, at most this many across.
const int kMaxColumns = 1024;
// How many cells a box's long side may reach across on its level.
const double kLongSpan = 16;

bool finite(const Box& b) {
  return std::isfinite(b.lo[0]) && std::isfinite(b.lo[1]) && std::isfinite(b.hi[0]) && std::isfinite(b.hi[1]);
}

int cellsAcross(double extent, double cell) {
  double n = std::ceil(extent / cell);
  return n < 1 ? 1 : static_cast<int>(std::min(n, static_cast<double>(kMaxColumns) * 2));
}

}  // namespace

BoxIndex::BoxIndex(const std::vector<Box>& boxes) : boxes_(boxes), levelOf_(boxes.size(), -1) {
  double lo[2] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
  double hi[2] = {-std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()};
  size_t used = 0;
  for (const Box& b : boxes_) {
    if (!finite(b)) continue;
    ++used;
    for (int c = 0; c < 2; ++c) {
      lo[c] = std::min(lo[c], b.lo[c]);
      hi[c] = std::max(hi[c], b.hi[c]);
    }
  }
  if (used == 0) return;
  origin_[0] = lo[0];
  origin_[1] = lo[1];
  const double width = hi[0] - lo[0], height = hi[1] - lo[1];
  double extent = std::max(width, height);
  if (!(extent > 0) || !std::isfinite(extent)) extent = 1;

  // Levels from about one cell per box up to one cell over everything.
  const int across = std::max(1, std::min(kMaxColumns, static_cast<int>(std::ceil(std::sqrt(double(used))))));
  double cell = extent / across;
  for (;;) {
    Level l;
    l.cell = cell;
    l.perCell = 1 / cell;
    l.columns = cellsAcross(width, cell);
    l.rows = cellsAcross(height, cell);
    levels_.push_back(l);
    if ((l.columns == 1 && l.rows == 1 && cell >= extent) || levels_.size() >= 40) break;
    cell *= 2;
  }

  // Each box on the finest level whose cells are as wide as its short side and over whose
  // cells its long side reaches across at most kLongSpan: a thin box (a cylinder's side seen
  // edge-on) lies in a row of small cells, not in a few large ones full of other boxes.
  for (size_t i = 0; i < boxes_.size(); ++i) {
    const Box& b = boxes_[i];
    if (!finite(b)) continue;
    const double w = b.hi[0] - b.lo[0], h = b.hi[1] - b.lo[1];
    const double shortSide = std::min(w, h), longSide = std::max(w, h);
    int level = 0;
    while (level + 1 < static_cast<int>(levels_.size()) &&
           (levels_[level].cell < shortSide || levels_[level].cell * kLongSpan < longSide))
      ++level;
    levelOf_[i] = level;
  }
  for (int pass = 0; pass < 2; ++pass) {  // count, then fill
    for (Level& l : levels_) {
      if (pass == 0) l.start.assign(static_cast<size_t>(l.columns) * l.rows + 1, 0);
    }
    for (size_t i = 0; i < boxes_.size(); ++i) {
      if (levelOf_[i] < 0) continue;
      Level& l = levels_[levelOf_[i]];
      const Box& b = boxes_[i];
      for (int r = row(l, b.lo[1]); r <= row(l, b.hi[1]); ++r)
        for (int c = column(l, b.lo[0]); c <= column(l, b.hi[0]); ++c) {
          size_t cell = static_cast<size_t>(r) * l.columns + c;
          if (pass == 0) ++l.start[cell + 1];
          else l.entries[l.start[cell]++] = static_cast<uint32_t>(i);
        }
    }
    for (Level& l : levels_) {
      if (pass == 0) {
        for (size_t k = 1; k < l.start.size(); ++k) l.start[k] += l.start[k - 1];
        l.entries.resize(l.start.back());
        l.ranks.assign(l.start.back(), HUGE_VAL);
      } else {
        // Filling moved each start to the next cell's: move them back.
        for (size_t k = l.start.size() - 1; k > 0; --k) l.start[k] = l.start[k - 1];
        l.start[0] = 0;
      }
    }
  }
}

void BoxIndex::sortByRank(const std::vector<double>& rank) {
  for (Level& l : levels_) {
    for (size_t cell = 0; cell + 1 < l.start.size(); ++cell) {
      auto first = l.entries.begin() + l.start[cell], last = l.entries.begin() + l.start[cell + 1];
      std::stable_sort(first, last, [&](uint32_t a, uint32_t b) { return rank[a] > rank[b]; });
    }
    for (size_t k = 0; k < l.entries.size(); ++k) l.ranks[k] = rank[l.entries[k]];
  }
}

}  // namespace tekpaint
