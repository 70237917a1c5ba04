// spatial_buckets.h: items filed by the square of the map bitmap they lie in, so that a paint finds the few near the
// window without looking at every one of a flood.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

struct BitmapBounds;

// Each item is known by a key that rises in the order the items are drawn; a square holds the keys of its items.
struct SpatialBuckets {
  std::unordered_map<uint64_t, std::vector<uint64_t>> squares;
};

constexpr int kBucketShift = 8; // squares of 256 x 256 bitmap pixels

void FileItem(SpatialBuckets &buckets, int32_t x, int32_t y, uint64_t key);
void UnfileItem(SpatialBuckets &buckets, int32_t x, int32_t y, uint64_t key);
void ClearBuckets(SpatialBuckets &buckets);
// The keys of the items in the squares the bounds touch (so every item within them, and some near them), into keys
// (emptied first): in rising order, or in no particular order when not sorted (a caller that keeps a few of a flood
// sorts those few).
void FindItems(const SpatialBuckets &buckets, const BitmapBounds &bounds, std::vector<uint64_t> &keys,
               bool sorted = true);
