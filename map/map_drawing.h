// map_drawing.h: the moving map as the two map pages draw it: zoom, the stretched map with its compass rose,
// the information lines, the ownship and the calibration grid overlay; and what every drawing over the map
// shares (the tags' and the squad's drawings, the TAGGING overlay).
//
// Every function reads the view (and the grid) under the shared-data lock the paint holds, and draws nothing
// while the view's map shown flag is 0, so that no page without a map ever shows map parts.
#pragma once

#include <cstdint>

struct Canvas;
struct CalibrationGrid;
struct MapView;
struct Point;

// Option bits of the MONITORING page.
constexpr uint32_t kMonitoringPositionLine = 1;
constexpr uint32_t kMonitoringZoomLine = 2;

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

// Debug overlay: a red circle of radius 3 on every node of the grid, through the view transform.
void DrawCalibrationGrid(Canvas &canvas, const MapView &view, const CalibrationGrid &grid);

// Whether the page on show draws the map at all (the view's map shown flag).
bool MapShown(const MapView &view);
// A circle alone: the arc would otherwise start with a line from wherever the pen stood.
void DrawCircle(Canvas &canvas, int x, int y, int r);
// The window point of a position, through the grid and the view transform; false off the grid.
bool GeoToWindow(const MapView &view, const CalibrationGrid &grid, double latitude, double longitude, Point *out);
// "X%0.2f": the magnification, between 3F and 4F in the band 400 pixels wide about the window centre.
void DrawZoomLine(Canvas &canvas, const MapView &view);
