// Guards the screen index behind the preview's hidden lines and face order: it must find
// every face over a point and every pair of overlapping faces that looking at all of them
// finds, or lines show through faces and faces are painted over what stands in front.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "tp_index.h"

using tekpaint::Box;
using tekpaint::BoxIndex;

namespace {

// Many small boxes, some large ones, a few spanning everything, degenerate and broken ones.
std::vector<Box> scene(unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> at(-500, 500), small(0, 8), large(50, 400);
  std::vector<Box> boxes;
  for (int i = 0; i < 3000; ++i) {
    double x = at(random), y = at(random);
    double w = i % 10 == 0 ? large(random) : small(random), h = i % 7 == 0 ? large(random) : small(random);
    if (i % 500 == 0) w = h = 2000;
    if (i % 333 == 0) w = 0;
    boxes.push_back(Box{{x, y}, {x + w, y + h}});
  }
  boxes.push_back(Box{{NAN, 0}, {1, 1}});
  boxes.push_back(Box{{0, 0}, {INFINITY, 1}});
  return boxes;
}

bool contains(const Box& b, double x, double y) {
  return x >= b.lo[0] && x <= b.hi[0] && y >= b.lo[1] && y <= b.hi[1];
}

bool overlap(const Box& a, const Box& b) {
  return a.lo[0] < b.hi[0] && b.lo[0] < a.hi[0] && a.lo[1] < b.hi[1] && b.lo[1] < a.hi[1];
}

// The preview asks for the faces over a point nearest first and stops at the first face
// behind the point: every face in front of it must still be seen.
TEST(BoxIndex, FindsEveryBoxOverAPointAboveARank) {
  const std::vector<Box> boxes = scene(7);
  const size_t finite = boxes.size() - 2;
  std::vector<double> rank(boxes.size());
  for (size_t i = 0; i < boxes.size(); ++i) rank[i] = std::sin(double(i)) * 100;
  BoxIndex index(boxes);
  index.sortByRank(rank);
  std::mt19937 random(11);
  std::uniform_real_distribution<double> at(-600, 1600), level(-120, 120);
  for (int q = 0; q < 3000; ++q) {
    const double x = at(random), y = at(random) - 1000, threshold = q % 2 ? level(random) : -HUGE_VAL;
    std::set<size_t> expected, found;
    for (size_t i = 0; i < finite; ++i)
      if (contains(boxes[i], x, y) && rank[i] > threshold) expected.insert(i);
    index.anyAt(x, y, threshold, [&](size_t i) {
      EXPECT_GT(rank[i], threshold) << i;
      if (contains(boxes[i], x, y)) found.insert(i);
      return false;
    });
    ASSERT_EQ(found, expected) << "at " << x << ", " << y << " above " << threshold;
  }
  // A hit ends the query; nothing ranks above infinity.
  EXPECT_TRUE(index.anyAt(boxes[1].lo[0], boxes[1].lo[1], -HUGE_VAL, [](size_t i) { return i == 1; }));
  EXPECT_FALSE(index.anyAt(boxes[1].lo[0], boxes[1].lo[1], HUGE_VAL, [](size_t) { return true; }));
}

TEST(BoxIndex, FindsEveryOverlappingPairOnce) {
  const std::vector<Box> boxes = scene(3);
  std::set<std::pair<size_t, size_t>> expected, found;
  const size_t finite = boxes.size() - 2;  // the broken ones are left out of the index
  for (size_t i = 0; i < finite; ++i)
    for (size_t j = i + 1; j < finite; ++j)
      if (overlap(boxes[i], boxes[j])) expected.insert({i, j});
  size_t calls = 0;
  BoxIndex(boxes).forEachNeighbour(SIZE_MAX, [&](size_t a, size_t b) {
    ++calls;
    ASSERT_NE(a, b);
    if (overlap(boxes[a], boxes[b])) {
      ASSERT_TRUE(found.insert({std::min(a, b), std::max(a, b)}).second) << "twice";
    }
  });
  EXPECT_EQ(found, expected);
  EXPECT_LT(calls, boxes.size() * boxes.size() / 20) << "candidates come from the cells, not from every box";

  // With a limit, no box is looked at for more than that many candidates.
  std::vector<size_t> perBox(boxes.size(), 0);
  BoxIndex(boxes).forEachNeighbour(5, [&](size_t a, size_t) { ++perBox[a]; });
  for (size_t n : perBox) EXPECT_LE(n, 5u);
}

}  // namespace
