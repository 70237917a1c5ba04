// map_buckets_test.cpp: items filed by bitmap square are found by the bounds about them, on either side of zero.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "map/spatial_buckets.h"
#include "map/view_transform.h"

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

} // namespace
