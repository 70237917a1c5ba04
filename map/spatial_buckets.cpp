// spatial_buckets.cpp: filing items by bitmap square and finding those within bounds.
#include "map/spatial_buckets.h"

#include <algorithm>
#include <cmath>

#include "map/view_transform.h"

namespace {

uint64_t SquareKey(int64_t column, int64_t row) {
  return static_cast<uint64_t>(static_cast<uint32_t>(column)) << 32 | static_cast<uint32_t>(row);
}

int64_t SquareOf(int32_t pixel) { return pixel >> kBucketShift; } // rounds down, negative pixels too

// The squares a coordinate range touches, held to those any int32 pixel can lie in.
void SquareRange(double low, double high, int64_t &first, int64_t &last) {
  constexpr double kLowest = INT32_MIN, kHighest = INT32_MAX;
  first = SquareOf(static_cast<int32_t>(std::clamp(std::floor(low), kLowest, kHighest)));
  last = SquareOf(static_cast<int32_t>(std::clamp(std::floor(high), kLowest, kHighest)));
}

} // namespace

void FileItem(SpatialBuckets &buckets, int32_t x, int32_t y, uint64_t key) {
  std::vector<uint64_t> &square = buckets.squares[SquareKey(SquareOf(x), SquareOf(y))];
  // Items are filed mostly in rising order; keep each square sorted all the same.
  square.insert(std::upper_bound(square.begin(), square.end(), key), key);
}

void UnfileItem(SpatialBuckets &buckets, int32_t x, int32_t y, uint64_t key) {
  const auto found = buckets.squares.find(SquareKey(SquareOf(x), SquareOf(y)));
  if (found == buckets.squares.end())
    return;
  std::vector<uint64_t> &square = found->second;
  const auto at = std::lower_bound(square.begin(), square.end(), key);
  if (at != square.end() && *at == key)
    square.erase(at);
  if (square.empty())
    buckets.squares.erase(found);
}

void ClearBuckets(SpatialBuckets &buckets) { buckets.squares.clear(); }

void FindItems(const SpatialBuckets &buckets, const BitmapBounds &bounds, std::vector<uint64_t> &keys, bool sorted) {
  keys.clear();
  if (!(bounds.left <= bounds.right && bounds.top <= bounds.bottom))
    return;
  int64_t first_column = 0, last_column = 0, first_row = 0, last_row = 0;
  SquareRange(bounds.left, bounds.right, first_column, last_column);
  SquareRange(bounds.top, bounds.bottom, first_row, last_row);
  const auto take = [&](const std::vector<uint64_t> &square) { keys.insert(keys.end(), square.begin(), square.end()); };
  const uint64_t squares_in_range =
      static_cast<uint64_t>(last_column - first_column + 1) * static_cast<uint64_t>(last_row - first_row + 1);
  if (squares_in_range <= buckets.squares.size()) {
    for (int64_t row = first_row; row <= last_row; ++row)
      for (int64_t column = first_column; column <= last_column; ++column)
        if (const auto found = buckets.squares.find(SquareKey(column, row)); found != buckets.squares.end())
          take(found->second);
  } else {
    // Bounds wider than the filed squares (a wide zoom): look at each filed square instead.
    for (const auto &[square_key, square] : buckets.squares) {
      const auto column = static_cast<int32_t>(square_key >> 32), row = static_cast<int32_t>(square_key & 0xFFFFFFFFu);
      if (column >= first_column && column <= last_column && row >= first_row && row <= last_row)
        take(square);
    }
  }
  if (sorted)
    std::sort(keys.begin(), keys.end());
}
