// tag_drawing.h: every visible tag on the map pages, with its label and, on MONITORING, the selected
// tag's steering line and bearing/distance readout.
#pragma once

#include <cstdint>

#include "platform/canvas.h"

struct PageState;

// The label under a tag, as the squad number q sees it: "#%02d[%02d/%02d]" (number, squad, pilot) on
// the broadcast squad, overridden by "#%02d" for a tag made here, overridden by "#%02d[%02d]" (number,
// pilot) for a tag of the own squad. out holds capacity characters with the terminator.
void FormatTagLabel(wchar_t *out, int capacity, uint32_t number, int32_t squad, int32_t pilot, int32_t q);

// True when the squad number q shows a tag of squad: its own squad's tags, the tags made here, and every
// tag on the broadcast squad.
bool TagVisible(int32_t squad, int32_t q);

// Draws the tags of g_tag_database over the map of g_map_view, through the view transform and the
// calibration grid; only the current page of pages is read. Nothing is drawn while the map is not
// shown. The caller holds the shared-data lock.
//
// The selected tag's steering line and readout take the fill colour of its affiliation; an affiliation
// outside 0 to 3, which only a peer can send, takes the unknown colour, as its frame does.
void DrawTags(Canvas &canvas, const PageState &pages);
