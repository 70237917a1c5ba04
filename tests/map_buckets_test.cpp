// map_buckets_test.cpp: items filed by bitmap square are found by the bounds about them, on either side of zero; the
// window cells keep each cell's top item under a flood.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "map/spatial_buckets.h"
#include "map/view_transform.h"
#include "map/window_cells.h"

namespace {

TEST(SpatialBuckets, ItemsAreFoundInRisingOrderByTheSquaresTheBoundsTouch) {
  SpatialBuckets buckets;
  // Key, x, y: squares are 256 pixels, and -1 lies in the square left of 0.
  const struct {
    uint64_t key;
    int32_t x, y;
  } items[] = {{7, -1, -1}, {3, 0, 0}, {9, 255, 255}, {4, 256, 0}, {5, -257, 10}, {8, 2000000000, -2000000000}};
  for (const auto &i : items)
    FileItem(buckets, i.x, i.y, i.key);
  const struct {
    BitmapBounds bounds;
    std::vector<uint64_t> keys;
  } finds[] = {{{-0.5, -0.5, 0.5, 0.5}, {3, 7, 9}}, // a square gives all it holds      {{0, 0, 255, 255}, {3, 9}},
               {{-300, 0, -2, 20}, {5}},
               {{-1e300, -1e300, 1e300, 1e300}, {3, 4, 5, 7, 8, 9}},
               {{1.9e9, -2.1e9, 2.1e9, -1.9e9}, {8}},
               {{10, 10, 5, 5}, {}}};
  std::vector<uint64_t> keys;
  for (const auto &f : finds) {
    FindItems(buckets, f.bounds, keys);
    EXPECT_EQ(keys, f.keys) << f.bounds.left << " " << f.bounds.top;
  }
  UnfileItem(buckets, 0, 0, 3);
  UnfileItem(buckets, 0, 0, 99); // not filed: nothing happens
  FindItems(buckets, BitmapBounds{0, 0, 255, 255}, keys);
  EXPECT_EQ(keys, std::vector<uint64_t>{9});
}

// A 32 x 16 window in 8-pixel cells (8 of them) with a margin of 8: the highest key of a cell is its top, in whatever
// order the keys come; a point beyond the margin has no cell; a flood is more than twice the window's cells.
TEST(WindowCells, TheHighestKeyOfEachCellWhateverTheOrder) {
  WindowCells cells;
  ASSERT_TRUE(cells.Begin(32, 16, 8, 8));
  std::vector<uint64_t> filed;
  for (uint64_t key = 0; key < 16; ++key) // 16 in the window's first cell, keys 15 down to 0
    EXPECT_TRUE(cells.File(Point{static_cast<int>(key % 8), 7 - static_cast<int>(key % 8)}, 15 - key));
  EXPECT_FALSE(cells.Flooded()) << "16 items are not more than twice 8 cells";
  EXPECT_TRUE(cells.File(Point{-8, 23}, 40)); // the margin's corner cell
  EXPECT_TRUE(cells.File(Point{31, 15}, 30)); // the window's last cell
  EXPECT_FALSE(cells.File(Point{-9, 0}, 50)); // beyond the margin
  EXPECT_FALSE(cells.File(Point{40, 0}, 51));
  EXPECT_TRUE(cells.Flooded());
  cells.AppendTops(filed);
  std::sort(filed.begin(), filed.end());
  EXPECT_EQ(filed, (std::vector<uint64_t>{15, 30, 40}));

  UseFloodCells(false);
  EXPECT_FALSE(cells.Begin(32, 16, 8, 8)) << "switched off, every item is drawn";
  UseFloodCells(true);
  ASSERT_TRUE(cells.Begin(32, 16, 8, 8));
  filed.clear();
  cells.AppendTops(filed);
  EXPECT_TRUE(filed.empty()) << "a new frame starts with empty cells";
}

} // namespace
