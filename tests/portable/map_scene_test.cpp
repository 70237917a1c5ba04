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

constexpr int kWindow = 425;
constexpr Colour kRed = Rgb(200, 0, 0);
constexpr Colour kBlue = Rgb(0, 0, 200);
constexpr Colour kWhite = Rgb(255, 255, 255);
constexpr Colour kYellow = Rgb(255, 255, 0);

// A 1000 x 1000 map: red west of x = 500, blue from it, with a white band over rows 500 to 509.
Bitmap *SyntheticMap() {
  std::vector<unsigned char> rgb(1000 * 1000 * 3);
  for (int y = 0; y < 1000; ++y)
    for (int x = 0; x < 1000; ++x) {
      const Colour c = y >= 500 && y < 510 ? kWhite : x < 500 ? kRed : kBlue;
      unsigned char *p = &rgb[(y * 1000 + x) * 3];
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  return CreateBitmapFromRgb(rgb.data(), 1000, 1000);
}

class MapScene : public ::testing::Test {
protected:
  void SetUp() override {
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWindow, kWindow);
    cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    canvas = MakeCairoCanvas(cr, kWindow, kWindow);
    InitMapView(nullptr, 0, kWindow, kWindow);
    g_map_view.bitmap = map;
    g_map_view.current_map = 0;
    g_map_view.map_shown = 1;
    g_map_view.centre_x = 500;
    g_map_view.centre_y = 500;
    // 43.25 N 40.25 E at bitmap (500, 500), 100 pixels a half degree.
    Lattice lattice;
    lattice.x0 = 450;
    lattice.y0 = 550;
    BuildIndexedGrid(&g_calibration_grid, LatticeNodes(lattice));
    g_map_view.latitude = 43.25;
    g_map_view.longitude = 40.25;
  }
  void TearDown() override {
    g_map_view.bitmap = nullptr;
    InitMapView(nullptr, 0, kWindow, kWindow);
    ClearCalibrationGrid();
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    FreeBitmap(map);
  }
  Colour At(int x, int y) const {
    cairo_surface_flush(surface);
    const unsigned char *row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const uint32_t pixel = reinterpret_cast<const uint32_t *>(row)[x];
    return Rgb((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
  }
  int Count(Rect area, bool (*test)(Colour)) const {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        n += test(At(x, y));
    return n;
  }

  Bitmap *map = SyntheticMap();
  cairo_surface_t *surface = nullptr;
  cairo_t *cr = nullptr;
  Canvas canvas;
};

bool IsMapColour(Colour c) { return c == kRed || c == kBlue || c == kWhite; }
bool IsNotMapColour(Colour c) { return !IsMapColour(c); }
bool IsYellow(Colour c) { return c == kYellow; }

TEST_F(MapScene, MapRoseAndOwnshipAtZoomOne) {
  DrawMapBitmap(canvas, g_map_view);
  DrawOwnship(canvas, g_map_view, g_calibration_grid);
  // Bitmap column 500 lands on window column 212, row 500 on row 212.
  EXPECT_EQ(At(100, 100), kRed);
  EXPECT_EQ(At(211, 100), kRed);
  EXPECT_EQ(At(213, 100), kBlue);
  EXPECT_EQ(At(400, 400), kBlue);
  EXPECT_EQ(At(30, 212), kWhite);
  EXPECT_EQ(At(30, 221), kWhite);
  EXPECT_EQ(At(30, 222), kRed);
  EXPECT_EQ(At(30, 211), kRed);
  // The rose's "360" sits in its box above the centre; inside the ticks the map shows through.
  EXPECT_GT(Count(Rect{196, 32, 228, 48}, IsNotMapColour), 10);
  EXPECT_EQ(Count(Rect{120, 130, 170, 170}, IsNotMapColour), 0);
  // The ownship in yellow about the centre, its nose reaching 24 pixels up.
  EXPECT_GT(Count(Rect{195, 185, 230, 228}, IsYellow), 60);
  EXPECT_GT(Count(Rect{209, 187, 216, 192}, IsYellow), 3);
  EXPECT_EQ(Count(Rect{195, 150, 230, 184}, IsYellow), 0) << "nothing beyond the nose";
}

TEST_F(MapScene, MagnifiedMapStretchesAboutTheCentre) {
  g_map_view.zoom = 0.5;
  ApplyZoom(g_map_view);
  DrawMapBitmap(canvas, g_map_view);
  // Ten bitmap rows become twenty window rows from row 212; the red and blue border stays at column 212.
  EXPECT_EQ(At(30, 213), kWhite);
  EXPECT_EQ(At(30, 230), kWhite);
  EXPECT_EQ(At(30, 234), kRed);
  EXPECT_EQ(At(30, 209), kRed);
  EXPECT_EQ(At(210, 100), kRed);
  EXPECT_EQ(At(214, 100), kBlue);
}

TEST_F(MapScene, NoMapLeavesTheBackground) {
  g_map_view.current_map = -1;
  DrawMapBitmap(canvas, g_map_view);
  EXPECT_EQ(Count(Rect{0, 0, kWindow, kWindow}, [](Colour c) { return !(c == Rgb(0, 0, 0)); }), 0);
}

} // namespace
