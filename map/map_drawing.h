// map_drawing.h: the moving map as the two map pages draw it: zoom, the stretched map with its compass rose,
// the information lines, the ownship, the AGM marker and the TAGGING overlay.
//
// Every function reads the view (and the grid, the tags) under the shared-data lock the paint holds, and
// draws nothing while the view's map shown flag is 0, so that no page without a map ever shows map parts.
#pragma once

#include <cstdint>

struct Canvas;
struct CalibrationGrid;
struct MapView;
struct TagDatabase;

// Option bits of the MONITORING page.
constexpr uint32_t kMonitoringPositionLine = 1;
constexpr uint32_t kMonitoringZoomLine = 2;
// Option bits of the TAGGING page.
constexpr uint32_t kTaggingReadout = 1;
constexpr uint32_t kTaggingCursor = 2;
constexpr uint32_t kTaggingZoomLine = 4;
constexpr uint32_t kTaggingSelector = 8;

// The source area follows the zoom: base height x zoom by base width x zoom bitmap pixels, truncated.
void ApplyZoom(MapView &view);

// The bitmap area of the view stretched over the whole window, then the fixed north-up compass rose.
// Nothing at all while no map is loaded.
void DrawMapBitmap(Canvas &canvas, const MapView &view);

// MONITORING: the ownship position line (bit 1) and the magnification line (bit 2).
void DrawMapInfo(Canvas &canvas, const MapView &view, uint32_t options);

// The ownship outline along its heading, nose 24 pixels ahead of its position; nothing when the position is
// off the grid.
void DrawOwnship(Canvas &canvas, const MapView &view, const CalibrationGrid &grid);

// The AGM mark (three squares round a dot, and its name) while it is shown and on the grid.
void DrawAgmMarker(Canvas &canvas, const MapView &view, const CalibrationGrid &grid, const TagDatabase &tags);

// TAGGING: the new-tag selector box (bit 8), the magnification line (bit 4), the cursor (bit 2), the cursor
// position readout (bit 1) and, with debug set, the three inverse projections compared as circles (the
// projections then also draw their construction lines).
void DrawTaggingOverlay(Canvas &canvas, const MapView &view, const CalibrationGrid &grid, const TagDatabase &tags,
                        uint32_t options, bool debug);
