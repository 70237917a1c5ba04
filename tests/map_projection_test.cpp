// map_projection_test.cpp: degrees to pixels and back through calibration grids; bearing and distance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "support/map_support.h"
#include "support/recording_canvas.h"

namespace {

// A position's pixel and back on the sample theatres: the forward conversion's whole-pixel steps (under
// 3 px) plus the inverse reading a curved cell as the parallelogram at its south-west corner (about 2 px
// toward the far corner). A neighbouring cell's answer misses by a large part of a cell.
constexpr double kTheatreRoundTripPixels = 5.0;

class ProjectionTest : public ::testing::Test {
protected:
  void TearDown() override { ClearCalibrationGrid(&grid); }

  // The cell (430, 400) with its corners axis-aligned: SW (0, 100), SE (100, 100), NW (0, 0), NE (100, 0).
  void BuildSquareCell() {
    BuildIndexedGrid(&grid, {GridNode{435, 400, 0, 0}, GridNode{435, 405, 100, 0}, GridNode{430, 400, 0, 100},
                             GridNode{430, 405, 100, 100}});
  }

  bool ToPixel(double latitude, double longitude, int32_t *x, int32_t *y) {
    return GeoToMapPixel(&grid, latitude, longitude, x, y);
  }

  CalibrationGrid grid;
  MapView view;
};

TEST(CellRule, HalfDegreeLinesBelongToTheLowerCell) {
  int32_t code = -1;
  double t = -1;
  ASSERT_TRUE(CellOfCoordinate(43.0, &code, &t));
  EXPECT_EQ(code, 430);
  EXPECT_DOUBLE_EQ(t, 0.0);
  ASSERT_TRUE(CellOfCoordinate(43.25, &code, &t));
  EXPECT_EQ(code, 430);
  EXPECT_DOUBLE_EQ(t, 0.5);
  ASSERT_TRUE(CellOfCoordinate(43.5, &code, &t));
  EXPECT_EQ(code, 430) << "f = 0.5 is the lower cell's north edge";
  EXPECT_DOUBLE_EQ(t, 1.0);
  ASSERT_TRUE(CellOfCoordinate(43.75, &code, &t));
  EXPECT_EQ(code, 435);
  EXPECT_DOUBLE_EQ(t, 0.5);
  EXPECT_FALSE(CellOfCoordinate(NAN, &code, &t));
  EXPECT_FALSE(CellOfCoordinate(INFINITY, &code, &t));
  EXPECT_FALSE(CellOfCoordinate(1.0e300, &code, &t)) << "a datagram's wild value must not overflow the code";
}

TEST_F(ProjectionTest, AxisAlignedCellResolvesBothWays) {
  BuildSquareCell();
  int32_t x = -1, y = -1;
  ASSERT_TRUE(ToPixel(43.25, 40.25, &x, &y)) << "slopes of 0 and infinity must not stop the intersection";
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 50);

  double latitude = 0, longitude = 0;
  ASSERT_TRUE(MapPixelToGeo(&grid, 50, 50, view, nullptr, &latitude, &longitude));
  EXPECT_DOUBLE_EQ(latitude, 43.25);
  EXPECT_DOUBLE_EQ(longitude, 40.25);
  ASSERT_TRUE(MapPixelToGeoPerpendicular(&grid, 50, 50, view, nullptr, &latitude, &longitude));
  EXPECT_DOUBLE_EQ(latitude, 43.25);
  EXPECT_DOUBLE_EQ(longitude, 40.25);
  ASSERT_TRUE(MapPixelToGeoByAxis(&grid, 50, 50, &latitude, &longitude));
  EXPECT_DOUBLE_EQ(latitude, 43.25);
  EXPECT_DOUBLE_EQ(longitude, 40.25);

  ASSERT_TRUE(MapPixelToGeo(&grid, 20, 90, view, nullptr, &latitude, &longitude));
  EXPECT_DOUBLE_EQ(latitude, 43.05);
  EXPECT_DOUBLE_EQ(longitude, 40.1);
}

TEST_F(ProjectionTest, NodesEdgesAndTheHalfDegreeLine) {
  // Corner pixels with fractions show the truncation of the edge points.
  BuildIndexedGrid(&grid, {GridNode{435, 400, 0.9, 0.9}, GridNode{435, 405, 100.9, 0.9}, GridNode{430, 400, 0.9, 100.9},
                           GridNode{430, 405, 100.9, 100.9}});
  int32_t x = -1, y = -1;
  ASSERT_TRUE(ToPixel(43.0, 40.0, &x, &y));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 100) << "a position on a node gives the node's pixel, truncated";
  ASSERT_TRUE(ToPixel(43.5, 40.25, &x, &y)) << "the north edge of the lower cell, whose upper cell is absent";
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 0);
  EXPECT_FALSE(ToPixel(43.5000001, 40.25, &x, &y)) << "just above the line is the upper cell, not in the grid";
  EXPECT_FALSE(ToPixel(42.99, 40.25, &x, &y));
}

TEST_F(ProjectionTest, FailuresLeaveTheOutputsUntouched) {
  int32_t x = 7, y = 8;
  EXPECT_FALSE(ToPixel(43.25, 40.25, &x, &y)) << "empty grid";
  double latitude = 1, longitude = 2;
  EXPECT_FALSE(MapPixelToGeo(&grid, 50, 50, view, nullptr, &latitude, &longitude));
  EXPECT_FALSE(MapPixelToGeoByAxis(&grid, 50, 50, &latitude, &longitude));

  BuildSquareCell();
  EXPECT_FALSE(ToPixel(43.25, 40.75, &x, &y)) << "the cell east of the grid";
  EXPECT_FALSE(ToPixel(NAN, 40.25, &x, &y));
  EXPECT_FALSE(MapPixelToGeo(&grid, 150, 50, view, nullptr, &latitude, &longitude));
  EXPECT_FALSE(MapPixelToGeo(&grid, 50, 101, view, nullptr, &latitude, &longitude));
  EXPECT_FALSE(MapPixelToGeoPerpendicular(&grid, -1, 50, view, nullptr, &latitude, &longitude));
  EXPECT_EQ(x, 7);
  EXPECT_EQ(y, 8);
  EXPECT_EQ(latitude, 1);
  EXPECT_EQ(longitude, 2);
}

TEST_F(ProjectionTest, DegenerateCellsFailInsteadOfDividingByZero) {
  int32_t x = 7, y = 8;
  // Every corner on one pixel: both iso-lines have zero length.
  BuildIndexedGrid(
      &grid, {GridNode{435, 400, 5, 5}, GridNode{435, 405, 5, 5}, GridNode{430, 400, 5, 5}, GridNode{430, 405, 5, 5}});
  EXPECT_FALSE(ToPixel(43.25, 40.25, &x, &y));
  double latitude = 1, longitude = 2;
  EXPECT_FALSE(MapPixelToGeo(&grid, 5, 5, view, nullptr, &latitude, &longitude));
  EXPECT_FALSE(MapPixelToGeoByAxis(&grid, 5, 5, &latitude, &longitude));

  // All corners on one line: the iso-lines are parallel.
  BuildIndexedGrid(&grid, {GridNode{435, 400, 200, 0}, GridNode{435, 405, 300, 0}, GridNode{430, 400, 0, 0},
                           GridNode{430, 405, 100, 0}});
  EXPECT_FALSE(ToPixel(43.25, 40.25, &x, &y));
  EXPECT_FALSE(MapPixelToGeo(&grid, 150, 0, view, nullptr, &latitude, &longitude));
  EXPECT_EQ(x, 7);
  EXPECT_EQ(latitude, 1);
}

TEST_F(ProjectionTest, DoubledOrMissingCornerMakesTheCellsAroundItUnresolvable) {
  std::vector<GridNode> nodes = LatticeNodes(Lattice{});
  nodes.push_back(GridNode{435, 405, 999, 999}); // a corner line repeated at the end of the file
  BuildIndexedGrid(&grid, nodes);
  int32_t x = 0, y = 0;
  GridCell cell;
  for (int a : {430, 435})
    for (int b : {400, 405})
      EXPECT_FALSE(FindGridCell(&grid, a, b, &cell)) << a << "/" << b << " shares the doubled node";
  EXPECT_FALSE(ToPixel(43.75, 40.75, &x, &y));
  EXPECT_TRUE(FindGridCell(&grid, 440, 410, &cell));
  EXPECT_TRUE(ToPixel(44.25, 41.25, &x, &y));

  // The inverse gives up on the same four cells (x 100..300, y 300..500 here), even on the edges they
  // share, but an edge shared with a usable cell belongs to that cell.
  double latitude = 1, longitude = 2;
  for (const auto &[px, py] : {std::pair{150, 450}, {250, 350}, {200, 400}, {200, 350}})
    EXPECT_FALSE(MapPixelToGeo(&grid, px, py, view, nullptr, &latitude, &longitude)) << px << "," << py;
  EXPECT_FALSE(MapPixelToGeoByAxis(&grid, 150, 450, &latitude, &longitude));
  EXPECT_EQ(latitude, 1);
  ASSERT_TRUE(MapPixelToGeo(&grid, 300, 350, view, nullptr, &latitude, &longitude));
  EXPECT_DOUBLE_EQ(latitude, 43.75);
  EXPECT_DOUBLE_EQ(longitude, 41.0);
  ASSERT_TRUE(MapPixelToGeo(&grid, 350, 250, view, nullptr, &latitude, &longitude));
  EXPECT_DOUBLE_EQ(latitude, 44.25);
  EXPECT_DOUBLE_EQ(longitude, 41.25);

  nodes = LatticeNodes(Lattice{});
  nodes.erase(nodes.begin()); // the north-west corner of the whole lattice
  BuildIndexedGrid(&grid, nodes);
  EXPECT_FALSE(FindGridCell(&grid, 440, 400, &cell));
  EXPECT_TRUE(FindGridCell(&grid, 440, 405, &cell));
  // A notch in the grid's outline: inside its bounding box, outside every complete cell.
  EXPECT_FALSE(MapPixelToGeo(&grid, 150, 250, view, nullptr, &latitude, &longitude));
  EXPECT_TRUE(MapPixelToGeo(&grid, 250, 250, view, nullptr, &latitude, &longitude));
}

// The exact inverse of a lattice, whose cells are all one parallelogram: the fractional row and column
// of a pixel, from (x - x0, y - y0) = column (dx, skew_y) + row (skew_x, -dy).
void LatticeRowColumn(const Lattice &l, double x, double y, double *row, double *column) {
  const double px = x - l.x0, py = y - l.y0;
  const double det = -l.dx * l.dy - l.skew_x * l.skew_y;
  *column = (-px * l.dy - l.skew_x * py) / det;
  *row = (l.dx * py - l.skew_y * px) / det;
}

TEST_F(ProjectionTest, LeaningCellsResolveToTheCellHoldingThePixel) {
  // In leaning cells a pixel's x can lie between a node and its east neighbour in one column while its y
  // lies between a node and its north neighbour in another: only the cell that holds the pixel gives its
  // position. The oblique projection is exact in a parallelogram, and in a square cell the perpendicular
  // feet are the same points.
  struct Case {
    Lattice lattice;
    bool square;
  };
  const double c = 100 * std::cos(0.436), s = 100 * std::sin(0.436); // 25 degrees
  const Case cases[] = {
      {Lattice{430, 400, 4, 5, 100, 500, 100, 100, 60, -40}, false}, // sheared both ways
      {Lattice{430, 400, 4, 4, 400, 600, c, c, -s, -s}, true},       // rotated square cells
  };
  for (const Case &k : cases) {
    const Lattice &l = k.lattice;
    BuildIndexedGrid(&grid, LatticeNodes(l));
    int inside = 0, outside = 0, wrong = 0;
    std::string first_wrong;
    auto miss = [&](int x, int y, const char *what) {
      if (wrong++ == 0)
        first_wrong = std::to_string(x) + "," + std::to_string(y) + ": " + what;
    };
    for (int y = -60; y <= 900; y += 7)
      for (int x = -60; x <= 1000; x += 7) {
        double row = 0, column = 0;
        LatticeRowColumn(l, x, y, &row, &column);
        const double margin = std::min({row, column, l.rows - 1 - row, l.columns - 1 - column});
        if (std::fabs(margin) < 1e-6)
          continue; // on the outline
        double latitude = -1, longitude = -1, lat_axis = -1, long_axis = -1;
        const bool found = MapPixelToGeo(&grid, x, y, view, nullptr, &latitude, &longitude);
        const bool by_axis = MapPixelToGeoByAxis(&grid, x, y, &lat_axis, &long_axis);
        if (margin < 0) {
          ++outside;
          if (found || by_axis)
            miss(x, y, "resolved outside the grid");
          continue;
        }
        ++inside;
        const double exact_latitude = l.latitude_code / 10.0 + 0.5 * row;
        const double exact_longitude = l.longitude_code / 10.0 + 0.5 * column;
        if (!found || !by_axis) {
          miss(x, y, "unresolved inside the grid");
        } else if (std::fabs(latitude - exact_latitude) > 1e-9 || std::fabs(longitude - exact_longitude) > 1e-9) {
          miss(x, y, "oblique projection off");
        } else if (std::fabs(lat_axis - exact_latitude) > 0.5 * std::fabs(l.skew_y / l.dy) + 1e-9 ||
                   std::fabs(long_axis - exact_longitude) > 0.5 * std::fabs(l.skew_x / l.dx) + 1e-9) {
          // Interpolating each axis alone is off by at most the lean across one cell; a neighbouring
          // row's answer is off by more.
          miss(x, y, "per-axis interpolation beyond the lean of its cell");
        }
        if (k.square && found) {
          double lat_perp = -1, long_perp = -1;
          if (!MapPixelToGeoPerpendicular(&grid, x, y, view, nullptr, &lat_perp, &long_perp) ||
              std::fabs(lat_perp - exact_latitude) > 1e-9 || std::fabs(long_perp - exact_longitude) > 1e-9)
            miss(x, y, "perpendicular feet off");
        }
      }
    EXPECT_GT(inside, 400);
    EXPECT_GT(outside, 400);
    EXPECT_EQ(wrong, 0) << "first: " << first_wrong;
  }
}

TEST_F(ProjectionTest, IndexedAndWalkedGridsGiveTheSameInverse) {
  // The index only saves walking: with a doubled node among leaning cells, every pixel resolves (or
  // not) to the same position either way.
  std::vector<GridNode> nodes = LatticeNodes(Lattice{430, 400, 4, 5, 100, 500, 100, 100, 60, -40});
  nodes.push_back(GridNode{440, 410, 330, 290}); // a doubled node near the middle
  BuildIndexedGrid(&grid, nodes);
  CalibrationGrid walked;
  std::vector<GridNode> storage = nodes;
  BuildWalkedGrid(&walked, storage);
  int resolved = 0, unresolved = 0;
  for (int y = 0; y <= 600; y += 9)
    for (int x = 50; x <= 700; x += 9) {
      double a_lat = -1, a_long = -1, b_lat = -1, b_long = -1;
      const bool a = MapPixelToGeo(&grid, x, y, view, nullptr, &a_lat, &a_long);
      const bool b = MapPixelToGeo(&walked, x, y, view, nullptr, &b_lat, &b_long);
      ASSERT_EQ(a, b) << x << "," << y;
      EXPECT_EQ(a_lat, b_lat) << x << "," << y;
      EXPECT_EQ(a_long, b_long) << x << "," << y;
      (a ? resolved : unresolved) += 1;
    }
  EXPECT_GT(resolved, 500);
  EXPECT_GT(unresolved, 500);
}

TEST_F(ProjectionTest, RoundTripsThroughTheSampleTheatres) {
  const std::vector<std::string> grids = SampleTheatreGrids();
  if (grids.empty())
    GTEST_SKIP() << "no build/theatres (tools/theatres/make-theatres.sh build/theatres)";
  std::mt19937 random(2024);
  for (const std::string &path : grids) {
    const std::vector<GridNode> nodes = ReadGridNodes(path);
    ASSERT_FALSE(nodes.empty()) << path;
    BuildIndexedGrid(&grid, nodes);
    // Positions in cells whose eight neighbours are complete too, so that the whole-pixel steps of the
    // forward conversion cannot carry the pixel off the grid.
    std::vector<std::pair<int32_t, int32_t>> cells;
    GridCell cell;
    for (const GridNode &n : nodes) {
      bool surrounded = true;
      for (int da = -5; da <= 5 && surrounded; da += 5)
        for (int db = -5; db <= 5 && surrounded; db += 5)
          surrounded = FindGridCell(&grid, n.latitude_code + da, n.longitude_code + db, &cell);
      if (surrounded)
        cells.emplace_back(n.latitude_code, n.longitude_code);
    }
    ASSERT_GE(cells.size(), 10u) << path;
    std::uniform_int_distribution<size_t> pick(0, cells.size() - 1);
    std::uniform_real_distribution<double> fraction(0.0, 0.5);
    double worst = 0;
    int far = 0;
    std::string worst_at;
    for (int i = 0; i < 1500; ++i) {
      const auto [a, b] = cells[pick(random)];
      const double latitude = a / 10.0 + fraction(random), longitude = b / 10.0 + fraction(random);
      int32_t x = 0, y = 0;
      ASSERT_TRUE(ToPixel(latitude, longitude, &x, &y)) << latitude << " " << longitude;
      double back_latitude = 0, back_longitude = 0;
      ASSERT_TRUE(MapPixelToGeo(&grid, x, y, view, nullptr, &back_latitude, &back_longitude)) << x << "," << y;
      // The miss in pixels, through the cell's edges.
      ASSERT_TRUE(FindGridCell(&grid, a, b, &cell));
      const double east = (back_longitude - longitude) / 0.5, north = (back_latitude - latitude) / 0.5;
      const double miss = std::hypot(east * (cell.se_x - cell.sw_x) + north * (cell.nw_x - cell.sw_x),
                                     east * (cell.se_y - cell.sw_y) + north * (cell.nw_y - cell.sw_y));
      far += miss > kTheatreRoundTripPixels;
      if (miss > worst) {
        worst = miss;
        worst_at = std::to_string(latitude) + " " + std::to_string(longitude) + " at " + std::to_string(x) + "," +
                   std::to_string(y);
      }
    }
    EXPECT_EQ(far, 0) << path << ": worst " << worst << " px, " << worst_at;
  }
}

TEST_F(ProjectionTest, RoundTripsThroughARectangularGrid) {
  // Cells wider than high: both directions are exact up to the whole-pixel steps of the forward
  // conversion.
  BuildIndexedGrid(&grid, LatticeNodes(Lattice{430, 400, 5, 5, 100, 900, 180, 170, 0, 0}));
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> latitudes(43.0, 45.0), longitudes(40.0, 42.0);
  for (int i = 0; i < 2000; ++i) {
    const double latitude = latitudes(random), longitude = longitudes(random);
    int32_t x = 0, y = 0;
    ASSERT_TRUE(ToPixel(latitude, longitude, &x, &y)) << latitude << " " << longitude;
    double back_latitude = 0, back_longitude = 0;
    ASSERT_TRUE(MapPixelToGeo(&grid, x, y, view, nullptr, &back_latitude, &back_longitude)) << x << " " << y;
    // Three pixels of a 170-pixel half degree: the truncations of the edge points and the result.
    EXPECT_NEAR(back_latitude, latitude, 3 * 0.5 / 170) << x << " " << y;
    EXPECT_NEAR(back_longitude, longitude, 3 * 0.5 / 180) << x << " " << y;
  }
}

TEST_F(ProjectionTest, InverseTakesTheRowOfCellsHoldingThePixel) {
  // Two rows of cells; a pixel in the upper row must not be taken for the lower one.
  BuildIndexedGrid(&grid, LatticeNodes(Lattice{430, 400, 3, 2, 0, 200, 100, 100, 0, 0}));
  double latitude = 0, longitude = 0;
  ASSERT_TRUE(MapPixelToGeo(&grid, 25, 25, view, nullptr, &latitude, &longitude));
  EXPECT_DOUBLE_EQ(latitude, 43.875);
  EXPECT_DOUBLE_EQ(longitude, 40.125);
  ASSERT_TRUE(MapPixelToGeoByAxis(&grid, 25, 175, &latitude, &longitude));
  EXPECT_DOUBLE_EQ(latitude, 43.125);
  EXPECT_DOUBLE_EQ(longitude, 40.125);
}

TEST(Bearing, CompassPointsDistancesAndTheOwnPosition) {
  MapView view;
  view.latitude = 41.5;
  view.longitude = 40.0;
  double bearing = 0, distance = 0;
  BearingAndDistance(view, 42.5, 40.0, &bearing, &distance);
  EXPECT_DOUBLE_EQ(bearing, 360.0) << "due north shows as 360";
  EXPECT_NEAR(distance, 112.0 / 1.852, 1e-9) << "112 km is 60.47 nautical miles";
  view.unit_km = 1;
  BearingAndDistance(view, 42.5, 40.0, &bearing, &distance);
  EXPECT_DOUBLE_EQ(distance, 112.0);
  BearingAndDistance(view, 41.5, 41.0, &bearing, &distance);
  EXPECT_NEAR(bearing, 90.0, 1e-6);
  EXPECT_DOUBLE_EQ(distance, 83.0) << "a longitude degree is 83 km at 41.5N";
  BearingAndDistance(view, 41.5, 39.0, &bearing, &distance);
  EXPECT_NEAR(bearing, 270.0, 1e-6);
  BearingAndDistance(view, 40.5, 40.0, &bearing, &distance);
  EXPECT_NEAR(bearing, 180.0, 1e-6);
  BearingAndDistance(view, 42.5, 41.0, &bearing, &distance);
  EXPECT_NEAR(bearing, 45.0, 1e-6) << "the angle is taken in degree space";
  EXPECT_NEAR(distance, std::hypot(112.0, 81.75), 1e-9) << "longitude degree at the target's latitude";

  BearingAndDistance(view, 41.5, 40.0, &bearing, &distance);
  EXPECT_EQ(bearing, 360.0) << "the own position has no direction and must not give NaN";
  EXPECT_EQ(distance, 0.0);
}

std::vector<const CanvasRecord *> LinesInColour(const RecordingCanvas &recorder, Colour colour) {
  std::vector<const CanvasRecord *> lines;
  for (const CanvasRecord *r : FindRecords(recorder, CanvasOp::kLine))
    if (r->state.pen.colour == colour && r->state.pen.width == 2)
      lines.push_back(r);
  return lines;
}

TEST_F(ProjectionTest, DebugDrawingShowsTheConstruction) {
  BuildSquareCell();
  view.base = ViewRect{0, 0, 425, 425};
  view.centre_x = 212; // window pixels are bitmap pixels
  view.centre_y = 212;
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  double latitude = 0, longitude = 0;
  ASSERT_TRUE(MapPixelToGeo(&grid, 50, 50, view, &recorder.canvas, &latitude, &longitude));
  const CanvasRecord *code = FindText(recorder, L"430/400");
  ASSERT_NE(code, nullptr);
  EXPECT_EQ(code->state.text_colour, Rgb(255, 0, 0));
  EXPECT_EQ(LinesInColour(recorder, Rgb(255, 255, 0)).size(), 2u) << "the south and west edges";
  EXPECT_EQ(LinesInColour(recorder, Rgb(64, 255, 64)).size(), 2u) << "the parallels through the pixel";
  bool long_label = false, lat_label = false;
  for (const CanvasRecord *text : FindTexts(recorder)) {
    long_label |= text->text == L"LONG 50.000000/100.000000 = 0.500000 (40.250000)";
    lat_label |= text->text == L"LAT 50.000000/100.000000 = 0.500000 (43.250000)";
  }
  EXPECT_TRUE(long_label);
  EXPECT_TRUE(lat_label);

  recorder.records.clear();
  ASSERT_TRUE(MapPixelToGeoPerpendicular(&grid, 20, 90, view, &recorder.canvas, &latitude, &longitude));
  const auto to_south = LinesInColour(recorder, Rgb(64, 64, 255));
  const auto to_west = LinesInColour(recorder, Rgb(255, 0, 255));
  ASSERT_EQ(to_south.size(), 1u);
  ASSERT_EQ(to_west.size(), 1u);
  EXPECT_EQ(to_south[0]->from, (Point{20, 90}));
  EXPECT_EQ(to_south[0]->to, (Point{20, 100})) << "the foot on the south edge";
  EXPECT_EQ(to_west[0]->to, (Point{0, 90})) << "the foot on the west edge";
}

} // namespace
