// map_drawing_test.cpp: the map pages' drawing through the recording canvas: view, rose, ownship, AGM,
// TAGGING overlay, routes, bullseye and the DATABASES page.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cwchar>
#include <numbers>
#include <string>
#include <vector>

#include "app/shell.h"
#include "map/calibration_grid.h"
#include "map/databases_page.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
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

namespace {

constexpr Colour kGreen = Rgb(0, 255, 0);
// Any address will do: the recorder keeps the pointer and never reads the bitmap.
Bitmap *const kFakeBitmap = reinterpret_cast<Bitmap *>(static_cast<uintptr_t>(0x1000));

std::vector<std::pair<Point, Point>> Lines(const RecordingCanvas &r, Colour colour, int width) {
  std::vector<std::pair<Point, Point>> lines;
  for (const CanvasRecord *rec : FindRecords(r, CanvasOp::kLine))
    if (rec->state.pen.colour == colour && rec->state.pen.width == width && !rec->state.pen.none)
      lines.push_back({rec->from, rec->to});
  return lines;
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
    g_map_view.map_shown = 1;
    g_map_view.centre_x = 150;
    g_map_view.centre_y = 450;
    InitRecordingCanvas(rec, 425, 425);
  }
  void TearDown() override {
    ClearRouteDatabase();
    ClearTags(g_tag_database);
    ClearCalibrationGrid();
    g_map_view.bitmap = nullptr; // not ours to free
    InitMapView(nullptr, 0, 425, 425);
  }
  MapView &view = g_map_view;
  RecordingCanvas rec;
};

TEST_F(MapDrawingTest, TheStretchedAreaFollowsCentreAndZoom) {
  view.current_map = 0;
  view.bitmap = kFakeBitmap;
  view.centre_x = 1000;
  view.centre_y = 800;
  DrawMapBitmap(rec.canvas, view);
  auto stretches = FindRecords(rec, CanvasOp::kStretch);
  ASSERT_EQ(stretches.size(), 1u);
  EXPECT_EQ(stretches[0]->source, (Rect{788, 588, 1213, 1013}));
  EXPECT_EQ(stretches[0]->rect, (Rect{0, 0, 425, 425}));
  EXPECT_EQ(BitmapToWindow(MakeViewTransform(view), 1000, 800), (Point{212, 212}));

  // Five steps out: 2404 x 2404 bitmap pixels about the same centre.
  for (int i = 0; i < 5; ++i) {
    view.zoom *= 1.414213;
    ApplyZoom(view);
  }
  rec.records.clear();
  DrawMapBitmap(rec.canvas, view);
  stretches = FindRecords(rec, CanvasOp::kStretch);
  ASSERT_EQ(stretches.size(), 1u);
  const Rect s = stretches[0]->source;
  EXPECT_EQ(s.right - s.left, 2404);
  EXPECT_EQ(s.bottom - s.top, 2404);
  EXPECT_EQ(s.left, static_cast<int>(1000 - 212 * view.zoom));
  EXPECT_NEAR((s.left + s.right) / 2.0, 1000, 3) << "zoom is about the window centre";
}

TEST_F(MapDrawingTest, CompassRoseReads360AtTheTopAndGrowsClockwise) {
  view.current_map = 0;
  DrawMapBitmap(rec.canvas, view);
  const auto texts = FindTexts(rec);
  ASSERT_EQ(texts.size(), 36u);
  EXPECT_EQ(FindText(rec, L"0"), nullptr);
  const CanvasRecord *north = FindText(rec, L"360");
  ASSERT_NE(north, nullptr);
  // R3 = 172: the top label's box is centred above the window centre.
  EXPECT_EQ(north->rect, (Rect{196, 32, 228, 48}));
  EXPECT_EQ(north->flags & kTextCenter, kTextCenter);
  EXPECT_EQ(north->state.text_colour, Rgb(0, 32, 0));
  EXPECT_FALSE(north->state.opaque);
  EXPECT_EQ(north->state.font_height, 8);
  const CanvasRecord *east = FindText(rec, L"90");
  ASSERT_NE(east, nullptr);
  EXPECT_EQ(east->rect.left, 172 + 212 - 16);
  EXPECT_EQ(east->rect.top, 212 - 8);
  const CanvasRecord *south = FindText(rec, L"180");
  ASSERT_NE(south, nullptr);
  EXPECT_EQ(south->rect.top, 172 + 212 - 8);
  const CanvasRecord *west = FindText(rec, L"270");
  ASSERT_NE(west, nullptr);
  EXPECT_EQ(west->rect.left, -172 + 212 - 16);
  const auto ticks = Lines(rec, Rgb(0, 32, 0), 2);
  ASSERT_EQ(ticks.size(), 36u);
  // R1 = 147, R2 = 162; 57.29577951 degrees a radian lands the north tick a hair west of the centre column.
  EXPECT_EQ(ticks[0].first, (Point{211, 212 - 147}));
  EXPECT_EQ(ticks[0].second, (Point{211, 212 - 162}));
}

TEST_F(MapDrawingTest, NothingOfTheMapWhileItIsNotShown) {
  view.current_map = 0;
  view.bitmap = kFakeBitmap;
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

TEST_F(MapDrawingTest, InformationLinesByOptionBits) {
  wcscpy(view.latitude_text, L"43\u00b015.000");
  wcscpy(view.longitude_text, L"40\u00b015.000");
  view.zoom = 0.5;
  DrawMapInfo(rec.canvas, view, kMonitoringPositionLine | kMonitoringZoomLine);
  const CanvasRecord *position = FindText(rec, L"43\u00b015.000N / 40\u00b015.000E");
  ASSERT_NE(position, nullptr);
  EXPECT_EQ(position->rect, (Rect{12, 52, 412, 65}));
  EXPECT_EQ(position->state.text_colour, kGreen);
  const CanvasRecord *zoom = FindText(rec, L"X2.00");
  ASSERT_NE(zoom, nullptr);
  EXPECT_EQ(zoom->rect, (Rect{12, 39, 412, 52}));

  rec.records.clear();
  DrawMapInfo(rec.canvas, view, kMonitoringZoomLine);
  ASSERT_EQ(FindTexts(rec).size(), 1u);
  EXPECT_NE(FindText(rec, L"X2.00"), nullptr);
}

// The outline nose, left rear, centre, right rear, nose, at the ownship's window point.
std::vector<Point> OwnshipOutline(const RecordingCanvas &rec) {
  std::vector<Point> points;
  for (const auto &[from, to] : Lines(rec, Rgb(255, 255, 0), 3)) {
    if (points.empty())
      points.push_back(from);
    points.push_back(to);
  }
  return points;
}

TEST_F(MapDrawingTest, OwnshipNosePointsAlongTheHeading) {
  view.latitude = 43.25; // bitmap (150, 450), the window centre
  view.longitude = 40.25;
  view.heading = 0.0;
  DrawOwnship(rec.canvas, view, g_calibration_grid);
  std::vector<Point> outline = OwnshipOutline(rec);
  ASSERT_EQ(outline.size(), 5u);
  EXPECT_EQ(outline[0], (Point{212, 212 - 24})) << "north: straight up";
  EXPECT_EQ(outline[2], (Point{212, 212}));
  EXPECT_EQ(outline[4], outline[0]) << "closed";
  EXPECT_NEAR(outline[1].x, 212 - 8, 1);
  EXPECT_NEAR(outline[1].y, 212 + 12, 1);
  EXPECT_NEAR(outline[3].x, 212 + 8, 1);
  EXPECT_NEAR(outline[3].y, 212 + 12, 1);

  rec.records.clear();
  view.heading = std::numbers::pi / 2;
  DrawOwnship(rec.canvas, view, g_calibration_grid);
  outline = OwnshipOutline(rec);
  ASSERT_EQ(outline.size(), 5u);
  EXPECT_EQ(outline[0], (Point{212 + 24, 212})) << "east: to the right";
  EXPECT_NEAR(outline[1].x, 212 - 12, 1);
  EXPECT_NEAR(outline[1].y, 212 - 8, 1) << "the left rear is north of the centre when heading east";

  rec.records.clear();
  view.latitude = 47.0; // off the grid
  DrawOwnship(rec.canvas, view, g_calibration_grid);
  EXPECT_TRUE(rec.records.empty());
}

TEST_F(MapDrawingTest, AgmMarkerOnlyWhileShownAndOnTheMap) {
  DrawAgmMarker(rec.canvas, view, g_calibration_grid, g_tag_database);
  EXPECT_TRUE(rec.records.empty());
  SetAgmMark(g_tag_database, 43.25, 40.25);
  DrawAgmMarker(rec.canvas, view, g_calibration_grid, g_tag_database);
  const auto squares = FindRecords(rec, CanvasOp::kRectangle);
  ASSERT_EQ(squares.size(), 3u);
  EXPECT_EQ(squares[0]->rect, (Rect{204, 204, 221, 221}));
  EXPECT_EQ(squares[2]->rect, (Rect{201, 201, 224, 224}));
  EXPECT_TRUE(squares[0]->state.brush.hollow);
  EXPECT_EQ(Lines(rec, kGreen, 1).size(), 4u);
  const CanvasRecord *name = FindText(rec, L"AGM");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->rect, (Rect{112, 224, 312, 240}));

  rec.records.clear();
  SetAgmMark(g_tag_database, 50.0, 40.25);
  DrawAgmMarker(rec.canvas, view, g_calibration_grid, g_tag_database);
  EXPECT_TRUE(rec.records.empty());
}

TEST_F(MapDrawingTest, TaggingCursorReadoutAndSelector) {
  g_tag_database.new_symbol = TagSymbol{1, 1, 2};
  DrawTaggingOverlay(rec.canvas, view, g_calibration_grid, g_tag_database, 15, false);

  // Selector: the plate, the symbol inside it, the names to its right.
  const auto rectangles = FindRecords(rec, CanvasOp::kRectangle);
  ASSERT_FALSE(rectangles.empty());
  EXPECT_EQ(rectangles[0]->rect, (Rect{24, 17, 158, 47}));
  EXPECT_EQ(rectangles[0]->state.brush.colour, Rgb(0, 64, 0));
  EXPECT_FALSE(rectangles[0]->state.brush.hollow);
  const CanvasRecord *names = FindText(rec, L"EN G ARMOR");
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(names->state.text_colour, kGreen);
  EXPECT_NE(FindText(rec, L"X1.00"), nullptr);

  // Cursor at the centre's position: g = 1, h = 70; the bars inverted inside their outlines.
  const auto bars = FindRecords(rec, CanvasOp::kInvert);
  ASSERT_EQ(bars.size(), 4u);
  EXPECT_EQ(bars[0]->rect, (Rect{142, 211, 187, 213}));
  EXPECT_EQ(bars[1]->rect, (Rect{237, 211, 282, 213}));
  EXPECT_EQ(bars[2]->rect, (Rect{211, 142, 213, 187}));
  EXPECT_EQ(bars[3]->rect, (Rect{211, 237, 213, 282}));
  bool left_outline = false;
  for (const CanvasRecord *r : rectangles)
    left_outline |= r->rect == Rect{141, 210, 188, 214} && r->state.brush.hollow;
  EXPECT_TRUE(left_outline);
  std::vector<const CanvasRecord *> circles;
  for (const CanvasRecord *arc : FindRecords(rec, CanvasOp::kArc))
    if (arc->radius == 25)
      circles.push_back(arc);
  ASSERT_EQ(circles.size(), 1u);
  EXPECT_EQ(circles[0]->centre, (Point{212, 212}));
  EXPECT_EQ(circles[0]->state.pen.colour, kGreen);

  // Readout on the plate: 43.25 N 40.25 E as degrees and decimal minutes.
  const CanvasRecord *readout = FindText(rec, L"43\u00b015.000N / 40\u00b015.000E");
  ASSERT_NE(readout, nullptr);
  EXPECT_TRUE(readout->state.opaque);
  EXPECT_EQ(readout->state.back_colour, Rgb(0, 64, 0));
  EXPECT_EQ(readout->rect, (Rect{12, 52, 412, 65}));

  // Off the grid: both texts say so, and the cursor stays at the window centre.
  rec.records.clear();
  view.centre_x = 5000;
  DrawTaggingOverlay(rec.canvas, view, g_calibration_grid, g_tag_database, kTaggingReadout | kTaggingCursor, false);
  EXPECT_NE(FindText(rec, L"(OUT OF MAP) N / (OUT OF MAP) E"), nullptr);
  EXPECT_EQ(FindRecords(rec, CanvasOp::kArc).at(0)->centre, (Point{212, 212}));
  EXPECT_EQ(FindText(rec, L"X1.00"), nullptr) << "bit 4 off";
  EXPECT_TRUE(FindRecords(rec, CanvasOp::kPolygon).empty() && FindRecords(rec, CanvasOp::kEllipse).empty())
      << "bit 8 off: no symbol";
}

TEST_F(MapDrawingTest, DebugComparisonCirclesInThreeColours) {
  view.centre_x = 130; // inside a cell, off its nodes
  view.centre_y = 470;
  DrawTaggingOverlay(rec.canvas, view, g_calibration_grid, g_tag_database, 0, true);
  std::vector<Colour> colours;
  for (const CanvasRecord *arc : FindRecords(rec, CanvasOp::kArc))
    if (arc->radius == 10) {
      colours.push_back(arc->state.pen.colour);
      EXPECT_EQ(arc->state.pen.width, 2);
      // On an axis-aligned lattice the three inverses agree within a pixel of the centre.
      EXPECT_NEAR(arc->centre.x, 212, 1);
      EXPECT_NEAR(arc->centre.y, 212, 1);
    }
  EXPECT_EQ(colours, (std::vector<Colour>{Rgb(0, 0, 255), kGreen, Rgb(255, 0, 0)}));
  EXPECT_FALSE(FindTexts(rec).empty()) << "the inverses draw their construction too";

  rec.records.clear();
  DrawTaggingOverlay(rec.canvas, view, g_calibration_grid, g_tag_database, 0, false);
  EXPECT_TRUE(rec.records.empty());
}

TEST_F(ShellTest, PanStepIsStepMoveWindowPixelsAtEveryZoom) {
  constexpr int kVkPageDown = 0x22, kVkUp = 0x26;
  g_page_state.current_page = kPageTagging;
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(Press(kVkPageDown));
  ASSERT_NEAR(g_map_view.zoom, 2.828, 0.001);
  EXPECT_EQ(g_map_view.source.width, 1202);
  g_map_view.centre_y = 1000;
  ASSERT_TRUE(Press(kVkUp));
  EXPECT_EQ(g_map_view.centre_y, 930) << "25 x 2.828 = 70.7, truncated";
}

// ---- Routes and bullseye --------------------------------------------------------------------------------

class RouteDrawingTest : public MapDrawingTest {
protected:
  void SetUp() override {
    MapDrawingTest::SetUp();
    view.centre_x = 0;
    view.centre_y = 0;
    page.current_page = kPageMonitoring;
    page.route_display = 1;
  }
  // A point at window (100 k, 50 + 10 k) for index k, at zoom 1 with the view's top-left at bitmap
  // (-212, -212).
  static void Add(int index, int type) {
    AddRoutePoint(100 * index - 212, 50 + 10 * index - 212, 43.0 + index / 100.0, 40.0, index, type);
  }
  static Point At(int index) { return {100 * index, 50 + 10 * index}; }
  std::vector<std::pair<Point, Point>> RouteLines() const {
    return Lines(rec, RouteColourOf(g_route_database.colour1), 2);
  }
  static Colour RouteColourOf(uint32_t v) { return Rgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }
  PageState page;
};

TEST_F(RouteDrawingTest, PlainRouteIsOnePolylineWithNumberedCircles) {
  Add(1, 1);
  Add(2, 1);
  Add(3, 1);
  DrawRoutes(rec.canvas, view, g_route_database, page);
  EXPECT_EQ(RouteLines(), (std::vector<std::pair<Point, Point>>{{At(1), At(2)}, {At(2), At(3)}}));
  const auto circles = FindRecords(rec, CanvasOp::kEllipse);
  ASSERT_EQ(circles.size(), 3u);
  EXPECT_EQ(circles[0]->rect, (Rect{84, 44, 116, 76}));
  EXPECT_EQ(circles[0]->state.brush.colour, Rgb(200, 140, 255));
  EXPECT_FALSE(circles[0]->state.brush.hollow);
  const CanvasRecord *two = FindText(rec, L"2");
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(two->rect, (Rect{185, 60, 215, 90}));
  EXPECT_EQ(two->state.text_colour, Rgb(128, 0, 255));
  EXPECT_EQ(two->state.font_height, 19);
}

TEST_F(RouteDrawingTest, DepartureAndArrivalHideTheirNeighboursAndShiftTheNumbers) {
  Add(1, 3);
  Add(2, 1);
  Add(3, 1);
  Add(4, 1);
  Add(5, 4);
  DrawRoutes(rec.canvas, view, g_route_database, page);
  EXPECT_EQ(RouteLines(), (std::vector<std::pair<Point, Point>>{{At(1), At(3)}, {At(3), At(5)}}));
  // Point 3 alone keeps a numbered circle, labelled from the departure on.
  const auto texts = FindTexts(rec);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->text, L"2");
  ASSERT_EQ(FindRecords(rec, CanvasOp::kEllipse).size(), 1u);
  const auto triangles = FindRecords(rec, CanvasOp::kPolygon);
  ASSERT_EQ(triangles.size(), 2u);
  EXPECT_EQ(triangles[0]->points, (std::vector<Point>{{84, 76}, {116, 76}, {116, 44}}));
  EXPECT_EQ(triangles[1]->points, (std::vector<Point>{{484, 116}, {516, 116}, {484, 84}}));
  for (const RoutePoint *p = g_route_database.head.next; p != nullptr; p = p->next)
    EXPECT_EQ(p->visible, p->index == 2 || p->index == 4 ? 0 : 1) << p->index;
}

TEST_F(RouteDrawingTest, GapsEndTheLineAndOddIndicesDrawNoLine) {
  Add(1, 1);
  Add(2, 1);
  Add(4, 2);
  AddRoutePoint(10, 10, 44.0, 40.0, 0, 7);
  AddRoutePoint(20, 20, 44.1, 40.0, 200, 1);
  DrawRoutes(rec.canvas, view, g_route_database, page);
  EXPECT_EQ(RouteLines(), (std::vector<std::pair<Point, Point>>{{At(1), At(2)}}));
  EXPECT_EQ(FindRecords(rec, CanvasOp::kPolygon).size(), 1u) << "point 4 still gets its triangle";
  EXPECT_EQ(FindRecords(rec, CanvasOp::kRectangle).size(), 1u) << "index 0, unknown type: a square";
  EXPECT_NE(FindText(rec, L"200"), nullptr) << "index 200: a symbol, no line";
}

TEST_F(RouteDrawingTest, SteeringCueOnlyOnMonitoringWithRouteDisplay) {
  Add(1, 1);
  view.latitude = 43.0;
  view.longitude = 40.0;
  SetRouteTarget(88, -12, 44.0, 40.0); // window (300, 200), due north of the ownship, 112 km
  DrawRoutes(rec.canvas, view, g_route_database, page);
  const auto cue = Lines(rec, Rgb(255, 0, 128), 4);
  ASSERT_FALSE(cue.empty());
  EXPECT_EQ(cue[0], (std::pair<Point, Point>{{300, 200}, {212, 212}}));
  const CanvasRecord *label = FindText(rec, L"360.0\u00b0/60.5nm");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->rect, (Rect{12, 252, 412, 272}));
  EXPECT_TRUE(label->state.opaque);
  EXPECT_EQ(label->state.back_colour, Rgb(200, 140, 255));
  EXPECT_EQ(label->state.font_height, 13);

  rec.records.clear();
  view.unit_km = 1;
  DrawRoutes(rec.canvas, view, g_route_database, page);
  EXPECT_NE(FindText(rec, L"360.0\u00b0/112km"), nullptr);

  rec.records.clear();
  page.current_page = kPageTagging;
  DrawRoutes(rec.canvas, view, g_route_database, page);
  EXPECT_TRUE(Lines(rec, Rgb(255, 0, 128), 4).empty());

  // Route display off: hollow symbols, no line, no cue.
  rec.records.clear();
  page.current_page = kPageMonitoring;
  page.route_display = 0;
  Add(2, 1);
  DrawRoutes(rec.canvas, view, g_route_database, page);
  EXPECT_TRUE(RouteLines().empty());
  EXPECT_TRUE(Lines(rec, Rgb(255, 0, 128), 4).empty());
  const auto circles = FindRecords(rec, CanvasOp::kEllipse);
  ASSERT_EQ(circles.size(), 2u);
  EXPECT_TRUE(circles[0]->state.brush.hollow);
}

// A lattice wide enough for 100 nautical miles round 44 N 41 E: 40 to 48 N, 36 to 46 E, 200 pixels a
// degree, 44 N 41 E at bitmap (1100, 900).
class BullseyeTest : public MapDrawingTest {
protected:
  void SetUp() override {
    MapDrawingTest::SetUp();
    ClearCalibrationGrid();
    Lattice wide;
    wide.latitude_code = 400;
    wide.longitude_code = 360;
    wide.rows = 17;
    wide.columns = 21;
    wide.x0 = 100;
    wide.y0 = 1700;
    BuildIndexedGrid(&g_calibration_grid, LatticeNodes(wide));
    RouteDatabase &r = g_route_database;
    r.bullseye_index = 1;
    r.bullseye_x = 1100;
    r.bullseye_y = 900;
    r.bullseye_latitude = 44.0;
    r.bullseye_longitude = 41.0;
    view.centre_x = 1100;
    view.centre_y = 900;
  }
  // The distance labels, in drawing order, and the ring ellipses.
  std::vector<std::wstring> DistanceLabels() const {
    std::vector<std::wstring> labels;
    for (const CanvasRecord *t : FindTexts(rec))
      if (t->state.text_colour == Rgb(255, 255, 0))
        labels.push_back(t->text);
    return labels;
  }
  void CheckRings(int step) const {
    const auto rings = FindRecords(rec, CanvasOp::kEllipse);
    ASSERT_EQ(rings.size(), 10u);
    const std::vector<std::wstring> labels = DistanceLabels();
    ASSERT_EQ(labels.size(), 40u);
    const double k = 83.0 - 1.25 * (44.0 - 41.5);
    for (int n = 1; n <= 10; ++n) {
      const double km = n * step * 1.852;
      EXPECT_EQ(labels[4 * (n - 1)], L"\n" + std::to_wstring(n * step));
      const Rect e = rings[n - 1]->rect;
      // The ellipse is drawn 15 pixels inside the ring's radii.
      EXPECT_NEAR((e.right - e.left) / 2 + 15, km / k * 200 / view.zoom, 2.0 / view.zoom + 1) << n;
      EXPECT_NEAR((e.bottom - e.top) / 2 + 15, km / 112 * 200 / view.zoom, 2.0 / view.zoom + 1) << n;
      EXPECT_EQ((e.left + e.right) / 2, 212);
    }
  }
};

TEST_F(BullseyeTest, RingsEveryTenMilesAtZoomOne) {
  DrawBullseye(rec.canvas, view, g_route_database, g_calibration_grid);
  CheckRings(10);
  EXPECT_EQ(Lines(rec, Rgb(255, 255, 255), 1).size(), 240u) << "24 ticks a ring";
  EXPECT_EQ(FindTexts(rec).size(), 280u) << "24 bearings and 4 distances a ring";
  // Bearing 0 above the centre on the first ring, its box centred on the ring's top.
  const CanvasRecord *north = FindText(rec, L"0");
  ASSERT_NE(north, nullptr);
  EXPECT_EQ(north->rect.left, 212 - 32);
  EXPECT_EQ(north->state.text_colour, Rgb(255, 255, 255));
}

TEST_F(BullseyeTest, RingsEveryMileCloseIn) {
  view.zoom = 0.25;
  DrawBullseye(rec.canvas, view, g_route_database, g_calibration_grid);
  CheckRings(1);
}

TEST_F(BullseyeTest, RingStepsByZoomAndNoBullseyeNoRings) {
  EXPECT_EQ(BullseyeRingStep(0.34), 1);
  EXPECT_EQ(BullseyeRingStep(0.35), 5);
  EXPECT_EQ(BullseyeRingStep(0.99), 5);
  EXPECT_EQ(BullseyeRingStep(1.0), 10);
  EXPECT_EQ(BullseyeRingStep(4.99), 10);
  EXPECT_EQ(BullseyeRingStep(5.657), 20);
  g_route_database.bullseye_index = 0;
  DrawBullseye(rec.canvas, view, g_route_database, g_calibration_grid);
  EXPECT_TRUE(rec.records.empty());
}

TEST_F(BullseyeTest, RingsOffTheGridAreSkipped) {
  // On the small lattice (43.0 to 44.5 N, 40.0 to 41.5 E) round its middle, ring 4 (40 nm, 0.92 degrees of
  // longitude) reaches off the map in every quadrant: only rings 1 to 3 can be sized.
  ClearCalibrationGrid();
  BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{}));
  RouteDatabase &r = g_route_database;
  r.bullseye_latitude = 43.75;
  r.bullseye_longitude = 40.75;
  DrawBullseye(rec.canvas, view, g_route_database, g_calibration_grid);
  EXPECT_EQ(FindRecords(rec, CanvasOp::kEllipse).size(), 3u);
  EXPECT_EQ(DistanceLabels(), (std::vector<std::wstring>{L"\n10", L"\n10", L"\n10", L"\n10", L"\n20", L"\n20", L"\n20",
                                                         L"\n20", L"\n30", L"\n30", L"\n30", L"\n30"}));
}

// ---- DATABASES page -------------------------------------------------------------------------------------

TEST(DatabasesPage, SevenLinesInTwoBlocksCentredOnTheWindow) {
  InitMapView(nullptr, 0, 425, 425);
  RecordingCanvas rec;
  InitRecordingCanvas(rec, 425, 425);
  DrawDatabasesPage(rec.canvas, g_map_view, L"1.03.00(1505)", DatabaseCounts{5, 4, 3, 2, 7});
  const auto texts = FindTexts(rec);
  ASSERT_EQ(texts.size(), 7u);
  const std::vector<std::wstring> expected = {L"CURRENT MAP : /!\\ NOT LOADED /!\\",
                                              L"CURRENT VERSION : 1.03.00(1505)",
                                              L"ROUTES DB (RT)..... : 5",
                                              L"TAGS DB (TG)....... : 4",
                                              L"MESSAGES DB (EM)... : 3",
                                              L"AIRCRAFTS DB (AC).. : 2",
                                              L"HOSTS REACHABLES DB : 7"};
  const int tops[] = {238, 255, 285, 302, 319, 336, 353};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(texts[i]->text, expected[i]);
    const int span = 13 * static_cast<int>(expected[i].size());
    EXPECT_EQ(texts[i]->rect, (Rect{(425 - span) / 2, tops[i], (425 - span) / 2 + span, tops[i] + 13})) << i;
    EXPECT_TRUE(texts[i]->state.opaque);
    EXPECT_EQ(texts[i]->state.back_colour, Rgb(0, 0, 0));
    EXPECT_EQ(texts[i]->state.text_colour, Rgb(102, 204, 102));
  }
}

} // namespace
