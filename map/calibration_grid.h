// calibration_grid.h: the half-degree graticule nodes of the loaded map with their bitmap pixels.
#pragma once

#include <cstdint>

struct GridNode {
  int32_t latitude_code = 0;  // tenths of a degree, a multiple of 5
  int32_t longitude_code = 0; // tenths of a degree, a multiple of 5
  double x = 0.0;             // bitmap pixel
  double y = 0.0;
  GridNode *next = nullptr;
};

// The list behind a head node that holds no point; empty while head.next is null.
struct CalibrationGrid {
  GridNode head;
};

extern CalibrationGrid g_calibration_grid;
