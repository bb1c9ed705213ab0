// Inside tekpaint: a spatial index over boxes on the screen plane, so that the faces
// covering a point, or the faces overlapping a face, are found without looking at every
// face of the scene.
//
// A hierarchy of square grids over the boxes' bounds: level 0 has about one cell per box,
// each further level cells twice as wide. A box lives on the finest level whose cells are
// at least as wide as its short side and that its long side crosses in at most a few cells,
// in the cells it overlaps there, so finding the boxes at a point costs one cell per level
// and a thin box shares its cells with few others.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tekpaint {

struct Box {
  double lo[2], hi[2];
};

class BoxIndex {
 public:
  // Indexes the boxes (the index keeps no reference to them). A box with a coordinate
  // that is not finite is left out.
  explicit BoxIndex(const std::vector<Box>& boxes);

  // Calls hit(i) for the boxes i whose cell holds the point, level by level, highest rank
  // first within each cell (sortByRank), as long as their rank is above `above` (the rest of
  // that cell ranks lower). Stops the whole query and returns true as soon as hit(i)
  // returns true. Boxes are visited only when the point is inside their cell, not
  // necessarily inside the box itself.
  template <class Hit>
  bool anyAt(double x, double y, double above, Hit hit) const;

  // Gives each box its rank (by box number; before, every box ranks above everything) and
  // orders each cell's boxes by it, highest first, for anyAt's early stop.
  void sortByRank(const std::vector<double>& rank);

  // Calls pair(i, j) once for every two boxes that overlap (touching edges do not count)
  // among the candidates whose cells meet; at most `limit` candidates are looked at for any
  // one box.
  template <class Pair>
  void forEachNeighbour(size_t limit, Pair pair) const;

 private:
  struct Level {
    double cell = 0;     // width of a cell
    double perCell = 0;  // 1 / cell: a cell is found by multiplying, the same way always
    int columns = 0, rows = 0;
    std::vector<uint32_t> start;  // per cell, into entries; one more at the end
    std::vector<uint32_t> entries;
    std::vector<double> ranks;    // the rank of each entry's box (sortByRank), read in a row
  };

  int column(const Level& l, double x) const;
  int row(const Level& l, double y) const;

  std::vector<Level> levels_;
  std::vector<Box> boxes_;
  std::vector<int> levelOf_;  // -1 for a box left out
  double origin_[2] = {0, 0};
};

inline int BoxIndex::column(const Level& l, double x) const {
  double c = (x - origin_[0]) * l.perCell;
  if (!(c > 0)) return 0;
  return c >= l.columns ? l.columns - 1 : static_cast<int>(c);
}

inline int BoxIndex::row(const Level& l, double y) const {
  double r = (y - origin_[1]) * l.perCell;
  if (!(r > 0)) return 0;
  return r >= l.rows ? l.rows - 1 : static_cast<int>(r);
}

template <class Hit>
bool BoxIndex::anyAt(double x, double y, double above, Hit hit) const {
  for (const Level& l : levels_) {
    if (l.entries.empty()) continue;
    size_t cell = static_cast<size_t>(row(l, y)) * l.columns + column(l, x);
    for (uint32_t k = l.start[cell]; k < l.start[cell + 1]; ++k) {
      if (!(l.ranks[k] > above)) break;
      if (hit(static_cast<size_t>(l.entries[k]))) return true;
    }
  }
  return false;
}

template <class Pair>
void BoxIndex::forEachNeighbour(size_t limit, Pair pair) const {
  // A pair is found from the box on the finer level (or, on one level, the lower number),
  // in the cells the box overlaps on its own level and every coarser one. Every box in a
  // level's cells belongs to that level.
  std::vector<uint32_t> seen(boxes_.size(), UINT32_MAX);
  for (size_t i = 0; i < boxes_.size(); ++i) {
    const int own = levelOf_[i];
    if (own < 0) continue;
    const Box& b = boxes_[i];
    size_t looked = 0;
    for (size_t li = static_cast<size_t>(own); li < levels_.size() && looked < limit; ++li) {
      const Level& l = levels_[li];
      const int r0 = row(l, b.lo[1]), r1 = row(l, b.hi[1]);
      const int c0 = column(l, b.lo[0]), c1 = column(l, b.hi[0]);
      for (int r = r0; r <= r1 && looked < limit; ++r)
        for (int c = c0; c <= c1 && looked < limit; ++c) {
          size_t cell = static_cast<size_t>(r) * l.columns + c;
          for (uint32_t k = l.start[cell]; k < l.start[cell + 1] && looked < limit; ++k) {
            uint32_t j = l.entries[k];
            if (j == i || seen[j] == i) continue;
            if (static_cast<int>(li) == own && j < i) continue;  // found from j
            seen[j] = static_cast<uint32_t>(i);
            ++looked;
            const Box& o = boxes_[j];
            if (b.lo[0] < o.hi[0] && o.lo[0] < b.hi[0] && b.lo[1] < o.hi[1] && o.lo[1] < b.hi[1])
              pair(i, static_cast<size_t>(j));
          }
        }
    }
  }
}

}  // namespace tekpaint
