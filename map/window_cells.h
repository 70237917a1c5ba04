// window_cells.h: under a flood, only the item on top in each small cell of the window is drawn.
//
// At the widest zoom tens of thousands of tags, route points or squad members can fall on a window that shows a few
// hundred apart: every one drawn costs the frame hundreds of milliseconds, and all but the last drawn at each spot lie
// hidden under the others. When the items of one kind in the window outnumber its cells twice over, each cell keeps
// only its top item (the last in drawing order); the others would have been drawn in the middle of the mass, where the
// kept ones draw too. A kind's cells are no wider than half its figure, so that the kept figures still overlap their
// neighbours' and the pile keeps its extent. Kinds are thinned apart, each among its own, so what lies over what
// (route points under tags under squad members) stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/canvas.h"

// The smallest side of a cell in window pixels.
constexpr int kWindowCellSide = 8;

// For the benchmarks and the parity tests: every item drawn (false), or the cells as above (true, the default).
void UseFloodCells(bool use);

// The top item of each cell of a window and of a margin about it (items beyond the window whose figures reach in),
// for one kind of item filed in rising drawing order. Kept from frame to frame: a flood costs no allocation a frame.
class WindowCells {
public:
  // Starts a frame on a window of width x height in cells of side x side pixels, the cells emptied; false (and nothing
  // to file) while the cells are switched off.
  bool Begin(int width, int height, int margin, int side);
  // Files key at at: the highest key filed in a cell is its top (a later key lies over an earlier one), whatever the
  // order they are filed in; false when at lies beyond the margin, where no cell is: the caller keeps the item itself.
  bool File(Point at, uint64_t key);
  // Whether the items filed in the window itself are a flood: more than twice its cells.
  bool Flooded() const;
  // Appends the cells' top keys to keys, in no particular order.
  void AppendTops(std::vector<uint64_t> &keys) const;
  // Ends a frame's filing: under a flood, keys becomes the kept ones (those no cell took) with the cells' tops;
  // otherwise it keeps every key. Either way it is left in rising drawing order.
  void Settle(std::vector<uint64_t> &keys, std::vector<uint64_t> &kept) const;

private:
  int width_ = 0, height_ = 0, columns_ = 0, rows_ = 0, margin_ = 0, side_ = kWindowCellSide;
  size_t in_window_ = 0;      // items filed within the window
  std::vector<uint64_t> top_; // key + 1 of each cell's top item, 0 for none
};
