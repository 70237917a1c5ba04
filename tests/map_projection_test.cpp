// map_projection_test.cpp: degrees to pixels and back through calibration grids; bearing and distance.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "support/map_support.h"
#include "support/recording_canvas.h"

namespace {

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

  nodes = LatticeNodes(Lattice{});
  nodes.erase(nodes.begin()); // the north-west corner of the whole lattice
  BuildIndexedGrid(&grid, nodes);
  EXPECT_FALSE(FindGridCell(&grid, 440, 400, &cell));
  EXPECT_TRUE(FindGridCell(&grid, 440, 405, &cell));
}

TEST_F(ProjectionTest, RoundTripsThroughARectangularGrid) {
  // Cells wider than high: both directions are exact up to the whole-pixel steps of the forward
  // conversion. (The inverse's search tests x and y separately, so on sheared cells it can settle on a
  // neighbour near the corners; the theatre grids are measured by tools/theatres/grid-accuracy.sh.)
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

TEST_F(ProjectionTest, InverseStopsAtTheFirstNodeCompletingBothSpans) {
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
