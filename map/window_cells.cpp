// window_cells.cpp: the top item of each cell of the window.
#include "map/window_cells.h"

#include <algorithm>

namespace {
bool g_use_cells = true;
} // namespace

void UseFloodCells(bool use) { g_use_cells = use; }

bool WindowCells::Begin(int width, int height, int margin, int side) {
  if (!g_use_cells || width <= 0 || height <= 0)
    return false;
  width_ = width;
  height_ = height;
  margin_ = std::max(margin, 0);
  side_ = std::max(side, kWindowCellSide);
  columns_ = (width + 2 * margin_ + side_ - 1) / side_;
  rows_ = (height + 2 * margin_ + side_ - 1) / side_;
  in_window_ = 0;
  top_.assign(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), 0);
  return true;
}

bool WindowCells::File(Point at, uint64_t key) {
  // Window points are held to +-2^22, so the sums below stay within int.
  const int x = at.x + margin_, y = at.y + margin_;
  if (x < 0 || y < 0 || x / side_ >= columns_ || y / side_ >= rows_)
    return false;
  uint64_t &top = top_[static_cast<size_t>(y / side_) * static_cast<size_t>(columns_) + x / side_];
  top = std::max(top, key + 1);
  in_window_ += at.x >= 0 && at.y >= 0 && at.x < width_ && at.y < height_;
  return true;
}

bool WindowCells::Flooded() const {
  const size_t cells =
      static_cast<size_t>((width_ + side_ - 1) / side_) * static_cast<size_t>((height_ + side_ - 1) / side_);
  return in_window_ > 2 * cells;
}

void WindowCells::AppendTops(std::vector<uint64_t> &keys) const {
  for (const uint64_t top : top_)
    if (top != 0)
      keys.push_back(top - 1);
}

void WindowCells::Settle(std::vector<uint64_t> &keys, std::vector<uint64_t> &kept) const {
  if (!Flooded()) {
    std::sort(keys.begin(), keys.end());
    return;
  }
  AppendTops(kept);
  std::sort(kept.begin(), kept.end());
  keys.swap(kept);
}
