// projection.h: degrees to bitmap pixels and back through the calibration grid; bearings and distances.
//
// The program never models the map's projection: it interpolates inside one half-degree cell of the
// calibration grid. All of these only read the grid and the view; the caller holds the shared-data lock.
#pragma once

#include <cstdint>

struct Canvas;
struct CalibrationGrid;
struct MapView;

// The bitmap pixels of the four corners of one half-degree cell.
struct GridCell {
  double sw_x = 0, sw_y = 0; // (A, B)
  double se_x = 0, se_y = 0; // (A, B + 5)
  double nw_x = 0, nw_y = 0; // (A + 5, B)
  double ne_x = 0, ne_y = 0; // (A + 5, B + 5)
};

// The cell of one coordinate: code 10 i or 10 i + 5 (i = trunc(v)) and the fraction t across the cell,
// 0 on its south or west side and 1 on its north or east side. A coordinate on a half-degree line
// belongs to the lower cell with t = 1. False for values that are not finite or lie beyond any code.
bool CellOfCoordinate(double value, int32_t *code, double *fraction);

// The cell whose south-west corner has codes (A, B): true only when each of its four corners occurs
// exactly once in the grid.
bool FindGridCell(const CalibrationGrid *grid, int32_t latitude_code, int32_t longitude_code, GridCell *cell);

// True and the pixel when the position's cell is complete in the grid and its iso-lines meet; the pixel
// is written only on success.
bool GeoToMapPixel(const CalibrationGrid *grid, double latitude, double longitude, int32_t *x, int32_t *y);

// Pixel to position by oblique projection onto the edges of the cell that holds the pixel (the first in
// file order of its south-west corner when the pixel is on an edge two cells share; cells with a corner
// missing or given twice are not used). With a canvas (callers pass one only while the "Debug" setting
// is on), also draws the construction over the map. The position is written only on success.
bool MapPixelToGeo(const CalibrationGrid *grid, int32_t x, int32_t y, const MapView &view, Canvas *canvas,
                   double *latitude, double *longitude);
// The same, with perpendicular feet instead of oblique projections; for the debug comparison only.
bool MapPixelToGeoPerpendicular(const CalibrationGrid *grid, int32_t x, int32_t y, const MapView &view, Canvas *canvas,
                                double *latitude, double *longitude);
// A simpler inverse that interpolates each axis separately; for the debug comparison only.
bool MapPixelToGeoByAxis(const CalibrationGrid *grid, int32_t x, int32_t y, double *latitude, double *longitude);

// Flat-earth bearing (degrees clockwise from north, due north 360) and distance (km when the view's unit
// flag is set, nautical miles otherwise) from the ownship to the position. The ownship's own position
// has no direction: it gives bearing 360 and distance 0, so that a label never shows "nan".
void BearingAndDistance(const MapView &view, double latitude, double longitude, double *bearing, double *distance);
