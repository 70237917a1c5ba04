// tagging_overlay.h: what the TAGGING page draws over the map, and the AGM mark; both drawn with the map's own
// helpers (map_drawing.h), and nothing while the view's map shown flag is 0.
#pragma once

#include <cstdint>

struct Canvas;
struct CalibrationGrid;
struct MapView;
struct TagDatabase;

// Option bits of the TAGGING page.
constexpr uint32_t kTaggingReadout = 1;
constexpr uint32_t kTaggingCursor = 2;
constexpr uint32_t kTaggingZoomLine = 4;
constexpr uint32_t kTaggingSelector = 8;

// The AGM mark (three squares round a dot, and its name) while it is shown and on the grid.
void DrawAgmMarker(Canvas &canvas, const MapView &view, const CalibrationGrid &grid, const TagDatabase &tags);

// TAGGING: the new-tag selector box (bit 8), the magnification line (bit 4), the cursor (bit 2), the cursor
// position readout (bit 1) and, with debug set, the three inverse projections compared as circles (the
// projections then also draw their construction lines).
void DrawTaggingOverlay(Canvas &canvas, const MapView &view, const CalibrationGrid &grid, const TagDatabase &tags,
                        uint32_t options, bool debug);
