// projection.h: degrees to bitmap pixels and back through the calibration grid; bearings and distances.
#pragma once

#include <cstdint>

struct CalibrationGrid;

// True and the pixel when the position's half-degree cell is complete in the grid; the pixel is
// written only on success.
bool GeoToMapPixel(const CalibrationGrid *grid, double latitude, double longitude, int32_t *x, int32_t *y);
