// culling_pixels_test.cpp: a flooded map page painted by the Cairo canvas twice, once as the program paints it (what
// cannot reach the window left out, the frame taken down under the lock and drawn after it) and once straight with
// everything drawn, must come out the same to the pixel.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "app/shell.h"
#include "map/calibration_grid.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/routes.h"
#include "map/window_cells.h"
#include "mfd/page_state.h"
#include "platform/bitmap.h"
#include "platform/portable/bitmap_data.h"
#include "platform/portable/cairo_canvas.h"
#include "status/event_log.h"
#include "support/map_support.h"
#include "support/recording_canvas.h"
#include "support/shell_fixture.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "wire/outbox.h"

namespace {

constexpr int kWindow = 425;
// A canvas that says it is this large culls nothing, whatever surface it draws on.
constexpr int kEverything = 1 << 30;

// A 1200 x 1200 map under a grid of 400 pixels a degree, 43 to 46 N and 40 to 43 E: bitmap (px, py) is
// 43 + (1200 - py) / 400 N, 40 + px / 400 E.
double LatitudeOf(double py) { return 43.0 + (1200.0 - py) / 400.0; }
double LongitudeOf(double px) { return 40.0 + px / 400.0; }

class CullingTest : public ShellTest {
protected:
  void SetUp() override {
    ShellTest::SetUp();
    std::vector<unsigned char> rgb(1200 * 1200 * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
      rgb[i] = static_cast<unsigned char>(i * 7 / 5);
    map = CreateBitmapFromRgb(rgb.data(), 1200, 1200);
    g_map_view.bitmap = map;
    g_map_view.current_map = 0;
    BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{430, 400, 7, 7, 0, 1200, 200, 200, 0, 0}));
    g_map_view.centre_x = g_map_view.centre_y = 600;
    g_map_view.latitude = LatitudeOf(600);
    g_map_view.longitude = LongitudeOf(600);
    g_map_view.heading = 0.4;
    SetJoined(g_squad_group, 1);
    g_squad_group.squad_number = 5;
    g_map_view.position_known = 1;
    // What is culled here is what lies off the window; the thinning of a flood to one item a cell, which depends on the
    // canvas size this test enlarges, has a parity test of its own.
    UseFloodCells(false);
  }
  void TearDown() override {
    UseFloodCells(true);
    g_map_view.bitmap = nullptr;
    g_map_view.current_map = -1;
    g_map_view.zoom = 1.0;
    ApplyZoom(g_map_view);
    ShellTest::TearDown();
    FreeBitmap(map);
  }

  // Tags, route points and squad members spread over the map, and more of each just outside every edge of the window
  // at zoom 1, at every distance up to beyond their reach; messages enough to run off the window's bottom.
  void Flood() {
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> pixel(0, 1200);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<Point> spots;
    for (int i = 0; i < 1500; ++i)
      spots.push_back({static_cast<int>(pixel(random)), static_cast<int>(pixel(random))});
    const int low = 600 - kWindow / 2, high = low + kWindow;
    for (int d = 0; d <= 130; ++d)
      for (int along = low + 20; along < high; along += 140)
        spots.insert(spots.end(), {{low - d, along}, {high + d, along}, {along, low - d}, {along, high + d}});

    Outbox outbox;
    const int32_t squads[] = {0, 5, 6, 99};
    int n = 0;
    for (const Point &p : spots) {
      const double latitude = LatitudeOf(p.y + 0.5), longitude = LongitudeOf(p.x + 0.5);
      const TagSymbol symbol{byte(random) % 6, static_cast<signed char>(byte(random) % 5 - 1), byte(random) % 7};
      AddTag(g_tag_database, squads[n % 4], 2 + n % 40, symbol, latitude, longitude, outbox);
      int32_t x = 0, y = 0;
      if (GeoToMapPixel(&g_calibration_grid, latitude + 0.001, longitude, &x, &y))
        AddRoutePoint(x, y, latitude + 0.001, longitude, n % 140, 1 + n % 5);
      SquadMember member;
      member.pilot = 100 + n;
      member.squad = squads[(n / 4) % 4] == 0 ? 5 : squads[(n / 4) % 4];
      member.heading = n * 0.37;
      member.altitude = n % 400;
      member.latitude = latitude - 0.001;
      member.longitude = longitude;
      member.on_map =
          GeoToMapPixel(&g_calibration_grid, member.latitude, member.longitude, &member.bitmap_x, &member.bitmap_y);
      UpdateSquadMember(g_squad_group, member);
      g_squad_group.tail->age = static_cast<uint32_t>(n % 70);
      ++n;
    }
    for (int i = 0; i < 60; ++i)
      PostEvent(0x08031000u + static_cast<uint32_t>(i) * 0x10203u, L"INCOMING TAG #88 FROM [07]", -1);
    g_event_log.blink = 1;
    // The selected tag and the steering target far off the window: their lines to the centre cross it.
    g_tag_database.selected = 1;
    SetRouteTarget(1150, 40, LatitudeOf(40), LongitudeOf(1150));
    SelectNextBullseye();
    SetAgmMark(g_tag_database, LatitudeOf(820), LongitudeOf(640));
  }

  // The frame painted on a fresh window surface through a canvas of that reported size, as the program paints it
  // (through the display list, ShellPaint) or straight; the pixels, top row first.
  std::vector<uint32_t> Paint(int reported_size, bool straight = true) {
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWindow, kWindow);
    cairo_t *cr = cairo_create(surface);
    Canvas canvas = MakeCairoCanvas(cr, kWindow, kWindow);
    canvas.width = canvas.height = reported_size;
    if (straight)
      PaintDisplay(canvas);
    else
      ShellPaint(canvas);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    std::vector<uint32_t> pixels(kWindow * kWindow);
    for (int y = 0; y < kWindow; ++y) {
      const unsigned char *row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
      std::memcpy(&pixels[y * kWindow], row, kWindow * sizeof(uint32_t));
    }
    cairo_surface_destroy(surface);
    for (uint32_t &p : pixels)
      p &= 0xFFFFFF;
    return pixels;
  }

  Bitmap *map = nullptr;
};

TEST_F(CullingTest, AFloodedPageCulledIsTheSameToThePixelAsOneWithEverythingDrawn) {
  Flood();
  const struct {
    int page;
    double zoom;
    int debug;
    bool most_off; // most of the flood lies off the window (at the widest zoom it all shows)
  } cases[] = {{kPageMonitoring, 1.0, 0, true},
               {kPageTagging, 1.0, 1, true},
               {kPageMonitoring, 0.5, 1, true},
               {kPageTagging, 2.828, 0, false}};
  for (const auto &c : cases) {
    g_page_state.current_page = c.page;
    g_map_view.zoom = c.zoom;
    ApplyZoom(g_map_view);
    g_shell.settings.debug = c.debug;
    const std::vector<uint32_t> culled = Paint(kWindow, false), everything = Paint(kEverything);
    int differing = 0;
    for (size_t i = 0; i < culled.size(); ++i)
      differing += culled[i] != everything[i];
    EXPECT_EQ(differing, 0) << "page " << c.page << ", zoom " << c.zoom;

    // And the culling did leave out what lay off the window.
    RecordingCanvas window, all;
    InitRecordingCanvas(window, kWindow, kWindow);
    InitRecordingCanvas(all, kEverything, kEverything);
    PaintDisplay(window.canvas);
    PaintDisplay(all.canvas);
    EXPECT_EQ(window.records.size() * 2 < all.records.size(), c.most_off) << "page " << c.page << ", zoom " << c.zoom;
  }
}

} // namespace
