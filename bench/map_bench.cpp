// map_bench.cpp: one whole MONITORING and TAGGING page body on the Cairo canvas, from a theatre-sized map,
// at the closest, the default and the widest zoom.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_support.h"
#include "bench_window.h"
#include "map/calibration_grid.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/route_drawing.h"
#include "map/routes.h"
#include "mfd/page_state.h"
#include "platform/bitmap.h"
#include "platform/portable/bitmap_data.h"
#include "platform/portable/cairo_canvas.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tagging_overlay.h"

namespace {

constexpr int kMapWidth = 6000, kMapHeight = 4000;

// A theatre: 6000 x 4000 pixels, a grid of 200 pixels a half degree from 40 N 36 E, a twenty-point route
// with its bullseye, and the ownship in the middle.
struct Theatre {
  Bitmap *map = nullptr;
  Theatre() {
    map = PatternedMap(kMapWidth, kMapHeight);
    InitMapView(nullptr, 0, kBenchWindow, kBenchWindow);
    g_map_view.bitmap = map;
    g_map_view.current_map = 0;
    g_map_view.map_shown = 1;
    for (int row = 0; row <= 19; ++row)
      for (int column = 0; column <= 29; ++column)
        AppendGridNode(&g_calibration_grid, 400 + 5 * row, 360 + 5 * column, 100.0 + 200 * column, 3900.0 - 200 * row);
    InitSquadGroup(g_squad_group, kBenchWindow);
    InitTagDatabase(g_tag_database, kBenchWindow, g_squad_group);
    InitRouteDatabase(kBenchWindow);
    for (int i = 1; i <= 20; ++i) {
      const double latitude = 43.0 + 0.05 * i, longitude = 41.0 + 0.07 * i;
      int32_t x = 0, y = 0;
      GeoToMapPixel(&g_calibration_grid, latitude, longitude, &x, &y);
      AddRoutePoint(x, y, latitude, longitude, i, i == 1 ? 3 : i == 20 ? 4 : 1);
    }
    SelectNextBullseye();
    g_map_view.latitude = 43.5;
    g_map_view.longitude = 41.5;
    g_map_view.heading = 0.7;
    GeoToMapPixel(&g_calibration_grid, 43.5, 41.5, &g_map_view.centre_x, &g_map_view.centre_y);
  }
  ~Theatre() {
    g_map_view.bitmap = nullptr;
    ClearRouteDatabase();
    ClearCalibrationGrid();
    FreeBitmap(map);
  }
};

// Zoom from the argument in thousandths: 125 (closest), 1000, 5657 (widest: a 2404-pixel source area).
void SetZoom(int thousandths) {
  g_map_view.zoom = thousandths / 1000.0;
  ApplyZoom(g_map_view);
}

void BM_MonitoringPage(benchmark::State &state) {
  Theatre theatre;
  BenchWindow window;
  SetZoom(static_cast<int>(state.range(0)));
  PageState page;
  page.current_page = kPageMonitoring;
  for (auto _ : state) {
    DrawMapBitmap(window.canvas, g_map_view);
    DrawBullseye(window.canvas, g_map_view, g_route_database, g_calibration_grid);
    DrawRoutes(window.canvas, g_map_view, g_route_database, page);
    DrawMapInfo(window.canvas, g_map_view, kMonitoringPositionLine | kMonitoringZoomLine);
    DrawOwnship(window.canvas, g_map_view, g_calibration_grid);
    cairo_surface_flush(window.surface);
  }
}
BENCHMARK(BM_MonitoringPage)->Arg(125)->Arg(1000)->Arg(5657)->Unit(benchmark::kMicrosecond);

void BM_TaggingPage(benchmark::State &state) {
  Theatre theatre;
  BenchWindow window;
  SetZoom(static_cast<int>(state.range(0)));
  PageState page;
  page.current_page = kPageTagging;
  for (auto _ : state) {
    DrawMapBitmap(window.canvas, g_map_view);
    DrawBullseye(window.canvas, g_map_view, g_route_database, g_calibration_grid);
    DrawRoutes(window.canvas, g_map_view, g_route_database, page);
    DrawTaggingOverlay(window.canvas, g_map_view, g_calibration_grid, g_tag_database, 15, false);
    DrawOwnship(window.canvas, g_map_view, g_calibration_grid);
    cairo_surface_flush(window.surface);
  }
}
BENCHMARK(BM_TaggingPage)->Arg(125)->Arg(1000)->Arg(5657)->Unit(benchmark::kMicrosecond);

} // namespace
