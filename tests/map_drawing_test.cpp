// map_drawing_test.cpp: the map pages' drawing through the recording canvas: view, rose, ownship, TAGGING
// overlay, routes, bullseye and the DATABASES page.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <numbers>
#include <string>
#include <vector>

#include "app/shell.h"
#include "map/calibration_grid.h"
#include "map/databases_page.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/route_drawing.h"
#include "map/routes.h"
#include "map/view_transform.h"
#include "mfd/page_state.h"
#include "support/map_support.h"
#include "support/recording_canvas.h"
#include "support/shell_fixture.h"
#include "support/test_env.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tagging_overlay.h"

namespace {

using Segments = std::vector<std::pair<Point, Point>>;

Segments Lines(const RecordingCanvas &r, Colour colour, int width) {
  Segments lines;
  for (const CanvasRecord *rec : FindRecords(r, CanvasOp::kLine))
    if (rec->state.pen.colour == colour && rec->state.pen.width == width && !rec->state.pen.none)
      lines.push_back({rec->from, rec->to});
  return lines;
}

std::vector<std::wstring> Texts(const RecordingCanvas &r) {
  std::vector<std::wstring> texts;
  for (const CanvasRecord *t : FindTexts(r))
    texts.push_back(t->text);
  return texts;
}

// The view of a 425 x 425 window over the default lattice (43.0 to 44.5 N, 40.0 to 41.5 E, 100 pixels a
// half degree, 43.0 N 40.0 E at bitmap (100, 500)), centred on bitmap (150, 450) = 43.25 N 40.25 E.
class MapDrawingTest : public ::testing::Test {
protected:
  void SetUp() override {
    UseFreshSettingsStore();
    InitMapView(nullptr, 0, 425, 425);
    InitSquadGroup(g_squad_group, 425);
    InitTagDatabase(g_tag_database, 425, g_squad_group);
    InitRouteDatabase(425);
    BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{}));
    view.map_shown = 1;
    view.centre_x = 150;
    view.centre_y = 450;
    InitRecordingCanvas(rec, 425, 425);
  }
  void TearDown() override {
    ClearRouteDatabase();
    ClearTags(g_tag_database);
    ClearCalibrationGrid();
    view.bitmap = nullptr; // not ours to free
    InitMapView(nullptr, 0, 425, 425);
  }
  MapView &view = g_map_view;
  RecordingCanvas rec;
};

TEST_F(MapDrawingTest, TheStretchedAreaAndTheRoseFollowTheView) {
  view.current_map = 0;
  view.bitmap = reinterpret_cast<Bitmap *>(uintptr_t{0x1000}); // the recorder keeps it and never reads it
  view.centre_x = 1000;
  view.centre_y = 800;
  DrawMapBitmap(rec.canvas, view);
  EXPECT_EQ(FindRecords(rec, CanvasOp::kStretch).at(0)->source, (Rect{788, 588, 1213, 1013}));
  // The rose reads 360 at the top, not 0, and grows clockwise: R3 = 172 about the centre, boxes 32 x 16.
  EXPECT_EQ(FindTexts(rec).size(), 36u);
  EXPECT_EQ(FindText(rec, L"0"), nullptr);
  ASSERT_TRUE(FindText(rec, L"360") != nullptr && FindText(rec, L"90") != nullptr);
  EXPECT_EQ(FindText(rec, L"360")->rect, (Rect{196, 32, 228, 48}));
  EXPECT_EQ(FindText(rec, L"90")->rect, (Rect{368, 204, 400, 220}));
  // Five steps out: 2404 x 2404 bitmap pixels about the same centre.
  for (int i = 0; i < 5; ++i) {
    view.zoom *= 1.414213;
    ApplyZoom(view);
  }
  rec.records.clear();
  DrawMapBitmap(rec.canvas, view);
  EXPECT_EQ(FindRecords(rec, CanvasOp::kStretch).at(0)->source, (Rect{-199, -399, 2205, 2005}));
}

TEST_F(MapDrawingTest, NothingOfTheMapWhileItIsNotShown) {
  view.current_map = 0;
  view.latitude = 43.25;
  view.longitude = 40.25;
  SetAgmMark(g_tag_database, 43.25, 40.25);
  AddRoutePoint(150, 450, 43.25, 40.25, 1, 1);
  g_route_database.bullseye_index = 1;
  view.map_shown = 0;
  DrawMapBitmap(rec.canvas, view);
  DrawMapInfo(rec.canvas, view, 3);
  DrawOwnship(rec.canvas, view, g_calibration_grid);
  DrawAgmMarker(rec.canvas, view, g_calibration_grid, g_tag_database);
  DrawTaggingOverlay(rec.canvas, view, g_calibration_grid, g_tag_database, 15, true);
  DrawRoutes(rec.canvas, view, g_route_database, g_page_state);
  DrawBullseye(rec.canvas, view, g_route_database, g_calibration_grid);
  EXPECT_TRUE(rec.records.empty());
  // Shown, but no map loaded: the page background shows, the overlays still draw.
  view.map_shown = 1;
  view.current_map = -1;
  DrawMapBitmap(rec.canvas, view);
  EXPECT_TRUE(rec.records.empty());
  DrawOwnship(rec.canvas, view, g_calibration_grid);
  EXPECT_FALSE(rec.records.empty());
}

TEST_F(MapDrawingTest, OwnshipNosePointsAlongTheHeading) {
  view.latitude = 43.25; // bitmap (150, 450), the window centre
  view.longitude = 40.25;
  // The outline nose, left rear, centre, right rear, nose: the nose 24 ahead, the rear 12 behind and 8 aside
  // (a pixel either way, as the trigonometry falls).
  const struct {
    double heading;
    Point nose, left, right;
  } cases[] = {{0.0, {212, 188}, {204, 224}, {220, 224}}, {std::numbers::pi / 2, {236, 212}, {200, 204}, {200, 220}}};
  for (const auto &c : cases) {
    rec.records.clear();
    view.heading = c.heading;
    DrawOwnship(rec.canvas, view, g_calibration_grid);
    const Segments lines = Lines(rec, Rgb(255, 255, 0), 3);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[0].first == c.nose && lines[1].second == (Point{212, 212}) && lines[3].second == c.nose);
    for (const auto &[got, want] : {std::pair{lines[1].first, c.left}, {lines[3].first, c.right}})
      EXPECT_TRUE(std::abs(got.x - want.x) <= 1 && std::abs(got.y - want.y) <= 1) << c.heading;
  }
  rec.records.clear();
  view.latitude = 47.0; // off the grid
  DrawOwnship(rec.canvas, view, g_calibration_grid);
  EXPECT_TRUE(rec.records.empty());
}

// The centre of the cursor's circle, radius 25.
Point Cursor(const RecordingCanvas &rec) {
  for (const CanvasRecord *arc : FindRecords(rec, CanvasOp::kArc))
    if (arc->radius == 25)
      return arc->centre;
  return {-1, -1};
}

TEST_F(MapDrawingTest, TaggingCursorAndReadoutAtTheCentresPosition) {
  // Bitmap (150, 449) is 43.255 N 40.25 E, whose pixel truncates to (150, 448): the cursor marks where the
  // centre's position is drawn, a pixel above the window centre.
  view.centre_y = 449;
  DrawTaggingOverlay(rec.canvas, view, g_calibration_grid, g_tag_database, kTaggingReadout | kTaggingCursor, false);
  EXPECT_EQ(Cursor(rec), (Point{212, 211}));
  EXPECT_EQ(Texts(rec), (std::vector<std::wstring>{L"43\u00b015.300N / 40\u00b015.000E"}));
  // Off the grid: both texts say so, and the cursor stays at the window centre.
  rec.records.clear();
  view.centre_x = 5000;
  DrawTaggingOverlay(rec.canvas, view, g_calibration_grid, g_tag_database, kTaggingReadout | kTaggingCursor, false);
  EXPECT_EQ(Texts(rec), (std::vector<std::wstring>{L"(OUT OF MAP) N / (OUT OF MAP) E"}));
  EXPECT_EQ(Cursor(rec), (Point{212, 212}));
}

TEST_F(ShellTest, PanStepIsStepMoveWindowPixelsAtEveryZoom) {
  constexpr int kVkPageDown = 0x22, kVkUp = 0x26;
  g_page_state.current_page = kPageTagging;
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(Press(kVkPageDown));
  ASSERT_NEAR(g_map_view.zoom, 2.828, 0.001);
  g_map_view.centre_y = 1000;
  ASSERT_TRUE(Press(kVkUp));
  EXPECT_EQ(g_map_view.centre_y, 930) << "25 x 2.828 = 70.7, truncated";
}

// ---- Routes and bullseye --------------------------------------------------------------------------------

// Route point k at window (40 + 70 (k mod 5), 50 + 60 (k mod 7)), always on the 425-pixel window: the view's
// top-left is bitmap (-212, -212) at zoom 1.
Point At(int index) { return {40 + 70 * (index % 5), 50 + 60 * (index % 7)}; }
void AddAt(int index, int type) {
  AddRoutePoint(At(index).x - 212, At(index).y - 212, 43.0 + index / 100.0, 40.0, index, type);
}

TEST_F(MapDrawingTest, RoutePolylineSymbolsAndNumbers) {
  view.centre_x = view.centre_y = 0;
  PageState page;
  page.route_display = 1;
  const struct {
    std::vector<std::pair<int, int>> points; // index, type
    Segments lines;
    std::vector<std::wstring> numbers;
    size_t circles, triangles, squares;
  } cases[] = {
      {{{1, 1}, {2, 1}, {3, 1}}, {{At(1), At(2)}, {At(2), At(3)}}, {L"1", L"2", L"3"}, 3, 0, 0},
      // A gap ends the line; index 0 (of an unknown type: a square) and index 200 get a symbol but no line.
      {{{1, 1}, {2, 1}, {4, 2}, {0, 7}, {200, 1}}, {{At(1), At(2)}}, {L"1", L"2", L"4", L"200"}, 3, 1, 1},
      // The departure hides point 2 and the arrival point 4; point 3 is numbered from the departure on.
      {{{1, 3}, {2, 1}, {3, 1}, {4, 1}, {5, 4}}, {{At(1), At(3)}, {At(3), At(5)}}, {L"2"}, 1, 2, 0},
  };
  for (const auto &c : cases) {
    ClearRouteDatabase();
    rec.records.clear();
    for (const auto &[index, type] : c.points)
      AddAt(index, type);
    DrawRoutes(rec.canvas, view, g_route_database, page);
    EXPECT_EQ(Lines(rec, Rgb(128, 0, 255), 2), c.lines);
    EXPECT_EQ(Texts(rec), c.numbers);
    EXPECT_EQ(FindRecords(rec, CanvasOp::kEllipse).size(), c.circles);
    EXPECT_EQ(FindRecords(rec, CanvasOp::kPolygon).size(), c.triangles);
    EXPECT_EQ(FindRecords(rec, CanvasOp::kRectangle).size(), c.squares);
  }
}

// A departure hides the first point numbered one above it and an arrival the first one below, at the ends of the
// table too; the line runs through the last point of each number. Hiding is the work of a paint with the route shown,
// and lasts.
TEST_F(MapDrawingTest, NeighboursHiddenAreTheFirstOfTheirNumberOnceTheRouteIsShown) {
  view.centre_x = view.centre_y = 0;
  const auto add = [](int index, int type, Point at) {
    AddRoutePoint(at.x - 212, at.y - 212, 43.0 + at.x / 1000.0, 40.0 + at.y / 1000.0, index, type);
  };
  add(1, kRouteTypeDeparture, {50, 50});
  add(2, 1, {100, 100}); // hidden
  add(2, 1, {150, 100});
  add(3, 1, {200, 100});
  add(127, kRouteTypeDeparture, {250, 100});
  add(128, 1, {300, 100}); // hidden
  add(0, kRouteTypeArrival, {350, 100});
  add(-1, 1, {400, 100}); // hidden
  PageState page;
  const struct {
    int route_display;
    size_t circles;
    Segments lines;
  } paints[] = {{0, 5, {}}, {1, 2, {{{50, 50}, {200, 100}}}}, {0, 2, {}}};
  for (const auto &p : paints) {
    rec.records.clear();
    page.route_display = p.route_display;
    DrawRoutes(rec.canvas, view, g_route_database, page);
    EXPECT_EQ(FindRecords(rec, CanvasOp::kEllipse).size(), p.circles) << p.route_display;
    EXPECT_EQ(Lines(rec, Rgb(128, 0, 255), 2), p.lines) << p.route_display;
  }
  EXPECT_EQ(FindRecords(rec, CanvasOp::kEllipse).at(0)->rect, (Rect{134, 84, 166, 116}));
  EXPECT_EQ(Texts(rec), (std::vector<std::wstring>{L"1", L"2"})) << "numbered from the departure on";
}

TEST_F(MapDrawingTest, SteeringCueOnlyOnMonitoringWithRouteDisplay) {
  view.centre_x = view.centre_y = 0;
  view.latitude = 43.0;
  view.longitude = 40.0;
  AddAt(1, 1);
  SetRouteTarget(88, -12, 44.0, 40.0); // window (300, 200), due north of the ownship, 112 km
  const struct {
    int page, route_display, unit_km;
    const wchar_t *label; // null: no cue
  } cases[] = {{kPageMonitoring, 1, 0, L"360.0\u00b0/60.5nm"},
               {kPageMonitoring, 1, 1, L"360.0\u00b0/112km"},
               {kPageTagging, 1, 0, nullptr},
               {kPageMonitoring, 0, 0, nullptr}};
  // Before the first MONITOR the ownship's 0 N 0 E is no position: the target circle stays, the line and the
  // bearing and distance from it do not.
  PageState monitoring;
  DrawRoutes(rec.canvas, view, g_route_database, monitoring);
  for (const auto &segment : Lines(rec, Rgb(255, 0, 128), 4))
    EXPECT_NE(segment.second, (Point{212, 212})) << "no steering line to the ownship at the centre";
  EXPECT_EQ(Texts(rec), (std::vector<std::wstring>{L"1"}));
  EXPECT_EQ(FindRecords(rec, CanvasOp::kArc).size(), 1u) << "the target circle";
  view.position_known = 1;
  for (const auto &c : cases) {
    rec.records.clear();
    PageState page;
    page.current_page = c.page;
    page.route_display = c.route_display;
    view.unit_km = c.unit_km;
    DrawRoutes(rec.canvas, view, g_route_database, page);
    const Segments cue = Lines(rec, Rgb(255, 0, 128), 4);
    const std::pair<Point, Point> to_centre{{300, 200}, {212, 212}};
    EXPECT_EQ(!cue.empty() && cue[0] == to_centre, c.label != nullptr);
    std::vector<std::wstring> texts{L"1"};
    if (c.label != nullptr)
      texts.push_back(c.label);
    EXPECT_EQ(Texts(rec), texts);
    // With the route display off the symbols are hollow.
    EXPECT_EQ(FindRecords(rec, CanvasOp::kEllipse).at(0)->state.brush.hollow, c.route_display == 0);
  }
}

TEST_F(MapDrawingTest, BullseyeRingsByZoomAndOnlyWhereTheGridReaches) {
  // 40 to 48 N, 36 to 46 E, 200 pixels a degree: 44 N 41 E at bitmap (1100, 900), wide enough for 100 nm.
  BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{400, 360, 17, 21, 100, 1700, 100, 100, 0, 0}));
  RouteDatabase &r = g_route_database;
  r.bullseye_index = 1;
  r.bullseye_x = view.centre_x = 1100;
  r.bullseye_y = view.centre_y = 900;
  r.bullseye_latitude = 44.0;
  r.bullseye_longitude = 41.0;
  for (const auto &[zoom, step] : {std::pair{1.0, 10}, {0.25, 1}}) {
    rec.records.clear();
    view.zoom = zoom;
    DrawBullseye(rec.canvas, view, g_route_database, g_calibration_grid);
    const auto rings = FindRecords(rec, CanvasOp::kEllipse);
    ASSERT_EQ(rings.size(), 10u);
    for (int n = 1; n <= 10; ++n) {
      // Up to 70 nm a label box of the ring lies on the 425-pixel window; those of the larger rings lie wholly off
      // it, and are not drawn.
      EXPECT_EQ(FindText(rec, L"\n" + std::to_wstring(n * step)) != nullptr, n * step <= 70) << n * step;
      // The ellipse is drawn 15 pixels inside the ring's radii, n x step nautical miles each way.
      const Rect e = rings[n - 1]->rect;
      const double km = n * step * 1.852, slack = 2.0 / zoom + 1;
      EXPECT_NEAR((e.right - e.left) / 2 + 15, km / (83.0 - 1.25 * 2.5) * 200 / zoom, slack) << n * step;
      EXPECT_NEAR((e.bottom - e.top) / 2 + 15, km / 112 * 200 / zoom, slack) << n * step;
      EXPECT_EQ((e.left + e.right) / 2, 212);
    }
  }

  // Round the middle of the small lattice, ring 4 (40 nm, 0.92 degrees of longitude) reaches off the map in
  // every quadrant: only rings 1 to 3 have a size.
  BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{}));
  r.bullseye_latitude = 43.75;
  r.bullseye_longitude = 40.75;
  view.zoom = 1.0;
  rec.records.clear();
  DrawBullseye(rec.canvas, view, g_route_database, g_calibration_grid);
  EXPECT_EQ(FindRecords(rec, CanvasOp::kEllipse).size(), 3u);
  EXPECT_EQ(FindText(rec, L"\n40"), nullptr);
  rec.records.clear();
  r.bullseye_index = 0;
  DrawBullseye(rec.canvas, view, g_route_database, g_calibration_grid);
  EXPECT_TRUE(rec.records.empty());
}

// Every point and box a frame hands the canvas, stretched bitmaps' window rectangles included.
std::vector<int> Coordinates(const RecordingCanvas &r) {
  std::vector<int> values;
  for (const CanvasRecord &rec : r.records) {
    for (const Point p : {rec.from, rec.to, rec.centre, rec.state.current})
      values.insert(values.end(), {p.x, p.y});
    values.insert(values.end(), {rec.rect.left, rec.rect.top, rec.rect.right, rec.rect.bottom, rec.radius});
    for (const Point p : rec.points)
      values.insert(values.end(), {p.x, p.y});
  }
  return values;
}

TEST_F(ShellTest, AGridWithPixelsNearTheEndsOfIntDrawsWithoutOverflow) {
  // Pixels near 2^31 in a grid file are valid integers; projected and seen at a small zoom they lie far beyond
  // int in the window, and the drawing adds its offsets to them.
  Lattice far;
  far.x0 = 2147483000.0;
  far.y0 = -2147483000.0;
  BuildIndexedGrid(&g_calibration_grid, LatticeNodes(far));
  g_shell.settings.debug = 1; // the grid's circles and the inverse projection's construction too
  g_map_view.current_map = 0;
  g_squad_group.joined = 1;
  g_map_view.latitude = 43.25;
  g_map_view.longitude = 40.25;
  int32_t x = 0, y = 0;
  ASSERT_TRUE(GeoToMapPixel(&g_calibration_grid, 43.3, 40.3, &x, &y));
  for (int i = 1; i <= 3; ++i)
    AddRoutePoint(x + i, y - i, 43.3 + i / 100.0, 40.3, i, 1);
  SetRouteTarget(x, y, 43.3, 40.3);
  SelectNextBullseye();
  ASSERT_NE(g_route_database.bullseye_index, 0);
  AddTag(g_tag_database, 0, 1, TagSymbol{1, 2, 4}, 43.4, 40.4, g_shell.outbox);
  SelectNextTag(g_tag_database, g_calibration_grid);
  SetAgmMark(g_tag_database, 43.2, 40.2);
  SquadMember mate;
  mate.pilot = 7;
  mate.squad = g_squad_group.squad_number;
  mate.on_map = 1;
  mate.bitmap_x = x;
  mate.bitmap_y = y;
  UpdateSquadMember(g_squad_group, mate);

  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  const struct { int32_t centre_x, centre_y; } views[] = {{0, 0}, {x, y}, {INT32_MIN, INT32_MAX}};
  for (const double zoom : {0.25, 1.0, 4.0})
    for (const auto &v : views)
      for (const int page : {kPageMonitoring, kPageTagging}) {
        g_map_view.zoom = zoom;
        ApplyZoom(g_map_view);
        g_map_view.centre_x = v.centre_x;
        g_map_view.centre_y = v.centre_y;
        g_page_state.current_page = page;
        recorder.records.clear();
        PaintDisplay(recorder.canvas);
        for (const int value : Coordinates(recorder))
          ASSERT_LE(std::abs(static_cast<int64_t>(value)), kWindowCoordinateLimit + 1000)
              << "zoom " << zoom << ", centre " << v.centre_x << ", page " << page;
      }
  // Panning stops at the end of int.
  g_map_view.centre_x = INT32_MAX;
  ShellKey(0x27); // RIGHT
  EXPECT_EQ(g_map_view.centre_x, INT32_MAX);
}

TEST(DatabasesPage, SevenLinesInTwoBlocksCentredOnTheWindow) {
  InitMapView(nullptr, 0, 425, 425);
  RecordingCanvas rec;
  InitRecordingCanvas(rec, 425, 425);
  DrawDatabasesPage(rec.canvas, g_map_view, L"1.03.00(1505)", DatabaseCounts{5, 4, 3, 2, 7});
  const std::vector<std::wstring> expected = {L"CURRENT MAP : /!\\ NOT LOADED /!\\",
                                              L"CURRENT VERSION : 1.03.00(1505)",
                                              L"ROUTES DB (RT)..... : 5",
                                              L"TAGS DB (TG)....... : 4",
                                              L"MESSAGES DB (EM)... : 3",
                                              L"AIRCRAFTS DB (AC).. : 2",
                                              L"HOSTS REACHABLES DB : 7"};
  ASSERT_EQ(Texts(rec), expected);
  // F = 13 high, 4 apart, an empty line after the second; a cell per character wide, centred.
  const int tops[] = {238, 255, 285, 302, 319, 336, 353};
  for (size_t i = 0; i < expected.size(); ++i) {
    const Rect r = FindTexts(rec)[i]->rect;
    EXPECT_TRUE(r.top == tops[i] && r.bottom == tops[i] + 13 && r.right - r.left == 13 * int(expected[i].size()) &&
                std::abs(r.left + r.right - 425) <= 1)
        << i;
  }
}

} // namespace
