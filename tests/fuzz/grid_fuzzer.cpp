// grid_fuzzer.cpp: any calibration grid file must load without harm, and the positions projected through it, the
// pixels taken back and the map pages drawn over it as well.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/settings.h"
#include "map/calibration_grid.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "tactical/tag_database.h"
#include "wire/outbox.h"

#include "fuzz_support.h"

namespace {
constexpr int kNodesProjected = 16;
std::string g_path;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  StartFuzzedCore();
  g_path = WriteScratchFile("fuzz.grid", nullptr, 0);
  WriteSetting(L"FUZZ GRID", std::wstring(g_path.begin(), g_path.end()).c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (WriteScratchFile("fuzz.grid", data, size).empty())
    return 0;
  CalibrationGrid read;
  FuzzCheck(ReadCalibrationGridFile(L"FUZZ GRID", &read), "a readable grid file loads");
  SwapCalibrationGrids(&g_calibration_grid, &read);
  ClearCalibrationGrid(&read);

  ClearTags(g_tag_database);
  Outbox outbox;
  int projected = 0;
  for (const GridNode *node = g_calibration_grid.head.next; node != nullptr && projected < kNodesProjected;
       node = node->next, ++projected) {
    FuzzCheck(FindGridNode(&g_calibration_grid, node->latitude_code, node->longitude_code) != nullptr,
              "the index finds every node");
    // A position inside the node's cell, projected and taken back; the pages then draw a tag there and the ownship
    // at the first, with the view on the node.
    const double latitude = node->latitude_code / 10.0 + 0.2, longitude = node->longitude_code / 10.0 + 0.3;
    int32_t x = 0, y = 0;
    double back_latitude = 0.0, back_longitude = 0.0;
    if (GeoToMapPixel(&g_calibration_grid, latitude, longitude, &x, &y))
      MapPixelToGeo(&g_calibration_grid, x, y, g_map_view, nullptr, &back_latitude, &back_longitude);
    AddTag(g_tag_database, 0, 1, TagSymbol{}, latitude, longitude, outbox);
    if (projected == 0) {
      g_map_view.latitude = latitude;
      g_map_view.longitude = longitude;
      g_map_view.centre_x = static_cast<int32_t>(node->x);
      g_map_view.centre_y = static_cast<int32_t>(node->y);
    }
  }
  SelectNextTag(g_tag_database, g_calibration_grid);
  for (const double zoom : {0.25, 4.0}) {
    g_map_view.zoom = zoom;
    ApplyZoom(g_map_view);
    PaintMapPages();
  }
  return 0;
}
