// tag_cells.h: under a flood of tags, only the one on top in each small cell of the window is drawn.
//
// The window cells of map/window_cells.h, for the tags; UseFloodCells switches them off.
#pragma once

#include <cstdint>
#include <vector>

#include "map/view_transform.h"
#include "map/window_cells.h"

struct TagPlace;

// keys: the tags near the window in any order, as DrawTags finds them, left in drawing order (rising); places: the tag
// list's places, by rising sequence. Keeps in keys the top tag of each cell of the window (and of the margin around it
// that tags reach in from) among those that shown(squad, q) lets the squad number q see, and always the selected tag;
// keeps every key unless the tags in the window are a flood (WindowCells::Flooded). width x height: the window; side:
// a cell's.
void KeepTopTagOfEachCell(std::vector<uint64_t> &keys, const std::vector<TagPlace> &places,
                          const ViewTransform &transform, int width, int height, int side,
                          bool (*shown)(int32_t squad, int32_t q), int32_t q, uint32_t selected);
