// tag_cells.cpp: the top tag of each cell of the window.
#include "tactical/tag_cells.h"

#include <algorithm>

#include "tactical/tag_database.h"

namespace {
bool g_use_cells = true;

// How far outside the window a tag may lie and still reach in (the widest label's half width, with room).
constexpr int kMargin = 128;
} // namespace

void UseTagCells(bool use) { g_use_cells = use; }

void KeepTopTagOfEachCell(std::vector<uint64_t> &keys, const std::vector<TagPlace> &places,
                          const ViewTransform &transform, int width, int height, bool (*shown)(int32_t squad, int32_t q),
                          int32_t q, uint32_t selected) {
  const int columns = (width + 2 * kMargin + kTagCellSide - 1) / kTagCellSide;
  const int rows = (height + 2 * kMargin + kTagCellSide - 1) / kTagCellSide;
  const size_t window_cells =
      static_cast<size_t>((width + kTagCellSide - 1) / kTagCellSide) * ((height + kTagCellSide - 1) / kTagCellSide);
  if (!g_use_cells || width <= 0 || height <= 0 || keys.size() <= window_cells)
    return;
  // The cells' top keys, 0 for none; kept from frame to frame so that a flood costs no allocation per frame.
  static std::vector<uint64_t> top;
  top.assign(static_cast<size_t>(columns) * rows, 0);
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
    const Point at = BitmapToWindow(transform, place->x, place->y);
    const int column = (at.x + kMargin) / kTagCellSide, row = (at.y + kMargin) / kTagCellSide;
    if (at.x + kMargin < 0 || at.y + kMargin < 0 || column >= columns || row >= rows) {
      kept.push_back(key); // too far out to share a cell; DrawTags finds it does not reach the window
      continue;
    }
    top[static_cast<size_t>(row) * columns + column] = key; // later keys are drawn over earlier ones
  }
  for (const uint64_t key : top)
    if (key != 0)
      kept.push_back(key);
  std::sort(kept.begin(), kept.end());
  keys.swap(kept);
}
