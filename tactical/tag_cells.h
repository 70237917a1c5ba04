// tag_cells.h: under a flood of tags, only the one on top in each small cell of the window is drawn.
//
// At the widest zoom tens of thousands of tags can fall on a window that shows a few hundred apart: every one drawn
// costs the frame hundreds of milliseconds, and all but the last drawn at each spot are hidden under the others.
// When the tags near the window outnumber its cells, each cell keeps only its top tag (the last in drawing order);
// the others would have been drawn in the middle of the mass where the kept ones draw too.
#pragma once

#include <cstdint>
#include <vector>

#include "map/view_transform.h"

struct TagPlace;

// The side of a cell in window pixels.
constexpr int kTagCellSide = 8;

// keys: the tags near the window in drawing order (rising), as DrawTags finds them; places: the tag list's places,
// by rising sequence. Keeps in keys the top tag of each cell of the window (and of the margin around it that tags
// reach in from) among those that shown(squad, q) lets the squad number q see, and always the selected tag; returns at
// once, keeping keys as they are, while there are fewer keys than the window has cells. width x height: the window.
void KeepTopTagOfEachCell(std::vector<uint64_t> &keys, const std::vector<TagPlace> &places,
                          const ViewTransform &transform, int width, int height, bool (*shown)(int32_t squad, int32_t q),
                          int32_t q, uint32_t selected);

// For the benchmarks and the parity test: every tag drawn (false), or the cells as above (true, the default).
void UseTagCells(bool use);
