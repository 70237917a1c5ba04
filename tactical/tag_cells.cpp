// tag_cells.cpp: the top tag of each cell of the window.
#include "tactical/tag_cells.h"

#include <algorithm>

#include "tactical/tag_database.h"

namespace {
// How far outside the window a tag may lie and still reach in (the widest label's half width, with room).
constexpr int kMargin = 128;
} // namespace

void KeepTopTagOfEachCell(std::vector<uint64_t> &keys, const std::vector<TagPlace> &places,
                          const ViewTransform &transform, int width, int height, int side,
                          bool (*shown)(int32_t squad, int32_t q), int32_t q, uint32_t selected) {
  static WindowCells cells;
  if (!cells.Begin(width, height, kMargin, side)) {
    std::sort(keys.begin(), keys.end());
    return;
  }
  std::vector<uint64_t> kept;
  for (const uint64_t key : keys) {
    const auto place = std::lower_bound(places.begin(), places.end(), key,
                                        [](const TagPlace &p, uint64_t k) { return p.sequence < k; });
    if (place == places.end() || place->sequence != key || !shown(place->squad, q))
      continue; // drawn by no one: it must not hide a tag that is
    if (place->number == selected) {
      kept.push_back(key); // drawn with its steering line, wherever it lies
      continue;
    }
    if (!cells.File(BitmapToWindow(transform, place->x, place->y), key))
      kept.push_back(key); // too far out to share a cell; DrawTags finds it does not reach the window
  }
  cells.Settle(keys, kept);
}
