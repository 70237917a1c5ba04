// map_scene_test.cpp: one MONITORING map scene painted by the Cairo canvas and checked pixel by pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "map/calibration_grid.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "platform/bitmap.h"
#include "platform/portable/bitmap_data.h"
#include "platform/portable/cairo_canvas.h"
#include "support/map_support.h"

namespace {

constexpr Colour kRed = Rgb(200, 0, 0), kBlue = Rgb(0, 0, 200), kWhite = Rgb(255, 255, 255);

TEST(MapScene, MapRoseAndOwnshipAtZoomOneAndMagnified) {
  // A 1000 x 1000 map: red west of x = 500, blue from it, with a white band over rows 500 to 509.
  std::vector<unsigned char> rgb(1000 * 1000 * 3);
  for (int i = 0; i < 1000 * 1000; ++i) {
    const Colour c = i / 1000 >= 500 && i / 1000 < 510 ? kWhite : i % 1000 < 500 ? kRed : kBlue;
    rgb[3 * i] = c.r, rgb[3 * i + 1] = c.g, rgb[3 * i + 2] = c.b;
  }
  Bitmap *map = CreateBitmapFromRgb(rgb.data(), 1000, 1000);
  InitMapView(nullptr, 0, 425, 425);
  g_map_view.bitmap = map;
  g_map_view.current_map = 0;
  g_map_view.map_shown = 1;
  g_map_view.centre_x = g_map_view.centre_y = 500;
  // 43.25 N 40.25 E at bitmap (500, 500), 100 pixels a half degree.
  BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{430, 400, 4, 4, 450, 550, 100, 100, 0, 0}));
  g_map_view.latitude = 43.25;
  g_map_view.longitude = 40.25;

  for (const double zoom : {1.0, 0.5}) {
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 425, 425);
    cairo_t *cr = cairo_create(surface);
    Canvas canvas = MakeCairoCanvas(cr, 425, 425);
    g_map_view.zoom = zoom;
    ApplyZoom(g_map_view);
    DrawMapBitmap(canvas, g_map_view);
    DrawOwnship(canvas, g_map_view, g_calibration_grid);
    cairo_surface_flush(surface);
    const auto at = [&](int x, int y) {
      const unsigned char *row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
      const uint32_t pixel = reinterpret_cast<const uint32_t *>(row)[x];
      return Rgb((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    };
    const auto count = [&](Rect area, bool yellow) {
      int n = 0;
      for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
          const Colour c = at(x, y);
          n += yellow ? c == Rgb(255, 255, 0) : !(c == kRed || c == kBlue || c == kWhite);
        }
      return n;
    };
    // Bitmap column 500 lands on window column 212 and row 500 on row 212; magnified twice, the ten white
    // rows become twenty: red above, the first and last white rows, red below.
    const int rows[2][4] = {{211, 212, 221, 222}, {209, 213, 230, 234}};
    const int *r = rows[zoom == 1.0 ? 0 : 1];
    EXPECT_TRUE(at(210, 100) == kRed && at(214, 100) == kBlue) << zoom;
    EXPECT_TRUE(at(30, r[0]) == kRed && at(30, r[1]) == kWhite && at(30, r[2]) == kWhite && at(30, r[3]) == kRed)
        << zoom;
    // The rose's "360" sits in its box above the centre; inside the ticks the map shows through.
    EXPECT_GT(count(Rect{196, 32, 228, 48}, false), 10) << zoom;
    EXPECT_EQ(count(Rect{120, 130, 170, 170}, false), 0) << zoom;
    // The ownship in yellow about the centre, its nose reaching 24 pixels up and no further.
    EXPECT_GT(count(Rect{195, 185, 230, 228}, true), 60) << zoom;
    EXPECT_GT(count(Rect{209, 187, 216, 192}, true), 3) << zoom;
    EXPECT_EQ(count(Rect{195, 150, 230, 184}, true), 0) << zoom;
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  g_map_view.bitmap = nullptr;
  InitMapView(nullptr, 0, 425, 425);
  ClearCalibrationGrid();
  FreeBitmap(map);
}

} // namespace
