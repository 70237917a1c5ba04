// map_projection_test.cpp: degrees to pixels and back through calibration grids; bearing and distance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "support/map_support.h"

namespace {

// The cell (430, 400) with its corners axis-aligned: SW (0, 100), SE (100, 100), NW (0, 0), NE (100, 0).
const std::vector<GridNode> kSquareCell = {GridNode{435, 400, 0, 0}, GridNode{435, 405, 100, 0},
                                           GridNode{430, 400, 0, 100}, GridNode{430, 405, 100, 100}};

class ProjectionTest : public ::testing::Test {
protected:
  void TearDown() override { ClearCalibrationGrid(&grid); }
  bool ToPixel(double latitude, double longitude, int32_t *x, int32_t *y) {
    return GeoToMapPixel(&grid, latitude, longitude, x, y);
  }
  bool ToGeo(int32_t x, int32_t y, double *latitude, double *longitude) {
    return MapPixelToGeo(&grid, x, y, view, nullptr, latitude, longitude);
  }
  CalibrationGrid grid;
  MapView view;
};

TEST_F(ProjectionTest, AxisAlignedCellResolvesBothWays) {
  BuildIndexedGrid(&grid, kSquareCell);
  int32_t x = -1, y = -1;
  ASSERT_TRUE(ToPixel(43.25, 40.25, &x, &y)) << "slopes of 0 and infinity must not stop the intersection";
  EXPECT_TRUE(x == 50 && y == 50);
  for (const auto &[px, py, latitude, longitude] : {std::tuple{50, 50, 43.25, 40.25}, {20, 90, 43.05, 40.1}}) {
    double lat = 0, lon = 0;
    ASSERT_TRUE(ToGeo(px, py, &lat, &lon));
    EXPECT_NEAR(lat, latitude, 1e-12);
    EXPECT_NEAR(lon, longitude, 1e-12);
  }
}

TEST_F(ProjectionTest, NodesAndTheHalfDegreeLine) {
  // Corner pixels with fractions show the truncation of the edge points.
  BuildIndexedGrid(&grid, {GridNode{435, 400, 0.9, 0.9}, GridNode{435, 405, 100.9, 0.9}, GridNode{430, 400, 0.9, 100.9},
                           GridNode{430, 405, 100.9, 100.9}});
  int32_t x = -1, y = -1;
  ASSERT_TRUE(ToPixel(43.0, 40.0, &x, &y));
  EXPECT_TRUE(x == 0 && y == 100) << "a position on a node gives the node's pixel, truncated";
  ASSERT_TRUE(ToPixel(43.5, 40.25, &x, &y)) << "the north edge of the lower cell, whose upper cell is absent";
  EXPECT_TRUE(x == 50 && y == 0);
  EXPECT_FALSE(ToPixel(43.5000001, 40.25, &x, &y)) << "just above the line is the upper cell, not in the grid";
}

TEST_F(ProjectionTest, UnresolvableConversionsFailAndWriteNothing) {
  const struct {
    std::vector<GridNode> nodes;
    double latitude, longitude;
    int32_t x, y;
  } cases[] = {
      {{}, 43.25, 40.25, 50, 50},            // empty grid
      {kSquareCell, 43.25, 40.75, 150, 50},  // east of the grid
      {kSquareCell, 42.99, 40.25, 50, 101},  // south of it
      {kSquareCell, NAN, 40.25, -1, 50},     // west of it
      {kSquareCell, 1.0e300, 40.25, 50, -1}, // a datagram's wild value must not overflow the cell code
      // Degenerate cells must fail rather than divide by zero: every corner on one pixel (iso-lines of
      // zero length), and every corner on one line (parallel iso-lines).
      {{GridNode{435, 400, 5, 5}, GridNode{435, 405, 5, 5}, GridNode{430, 400, 5, 5}, GridNode{430, 405, 5, 5}},
       43.25,
       40.25,
       5,
       5},
      {{GridNode{435, 400, 200, 0}, GridNode{435, 405, 300, 0}, GridNode{430, 400, 0, 0}, GridNode{430, 405, 100, 0}},
       43.25,
       40.25,
       150,
       0},
  };
  for (const auto &c : cases) {
    BuildIndexedGrid(&grid, c.nodes);
    int32_t x = 7, y = 8;
    double lat = 1, lon = 2;
    EXPECT_FALSE(ToPixel(c.latitude, c.longitude, &x, &y)) << c.latitude << " " << c.longitude;
    EXPECT_FALSE(ToGeo(c.x, c.y, &lat, &lon)) << c.x << "," << c.y;
    EXPECT_TRUE(x == 7 && y == 8 && lat == 1 && lon == 2);
  }
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
  EXPECT_TRUE(ToPixel(44.25, 41.25, &x, &y));
  // The inverse gives up on the same four cells (x 100..300, y 300..500 here), even on the edges they
  // share, but an edge shared with a usable cell belongs to that cell.
  double lat = 1, lon = 2;
  for (const auto &[px, py] : {std::pair{150, 450}, {250, 350}, {200, 400}, {200, 350}})
    EXPECT_FALSE(ToGeo(px, py, &lat, &lon)) << px << "," << py;
  ASSERT_TRUE(ToGeo(300, 350, &lat, &lon));
  EXPECT_TRUE(lat == 43.75 && lon == 41.0);

  nodes = LatticeNodes(Lattice{});
  nodes.erase(nodes.begin()); // the north-west corner of the whole lattice
  BuildIndexedGrid(&grid, nodes);
  EXPECT_FALSE(FindGridCell(&grid, 440, 400, &cell));
  EXPECT_TRUE(FindGridCell(&grid, 440, 405, &cell));
  // A notch in the grid's outline: inside its bounding box, outside every complete cell.
  EXPECT_FALSE(ToGeo(150, 250, &lat, &lon));
  EXPECT_TRUE(ToGeo(250, 250, &lat, &lon));
}

TEST_F(ProjectionTest, LeaningCellsResolveToTheCellHoldingThePixel) {
  // In leaning cells a pixel's x can lie between a node and its east neighbour in one column while its y
  // lies between a node and its north neighbour in another: only the cell that holds the pixel gives its
  // position, which the oblique projection finds exactly in a parallelogram.
  const double c = 100 * std::cos(0.436), s = 100 * std::sin(0.436); // cells turned 25 degrees
  for (const Lattice &l :
       {Lattice{430, 400, 4, 5, 100, 500, 100, 100, 60, -40}, {430, 400, 4, 4, 400, 600, c, c, -s, -s}}) {
    BuildIndexedGrid(&grid, LatticeNodes(l));
    int inside = 0, outside = 0, wrong = 0;
    for (int y = -60; y <= 900; y += 7)
      for (int x = -60; x <= 1000; x += 7) {
        // The exact fractional row and column: (x - x0, y - y0) = column (dx, skew_y) + row (skew_x, -dy).
        const double px = x - l.x0, py = y - l.y0, det = -l.dx * l.dy - l.skew_x * l.skew_y;
        const double column = (-px * l.dy - l.skew_x * py) / det, row = (l.dx * py - l.skew_y * px) / det;
        const double margin = std::min({row, column, l.rows - 1 - row, l.columns - 1 - column});
        if (std::fabs(margin) < 1e-6)
          continue; // on the outline
        double lat = -1, lon = -1;
        const bool found = ToGeo(x, y, &lat, &lon);
        (margin < 0 ? outside : inside) += 1;
        wrong += margin < 0 ? found
                            : !found || std::fabs(lat - (l.latitude_code / 10.0 + 0.5 * row)) > 1e-9 ||
                                  std::fabs(lon - (l.longitude_code / 10.0 + 0.5 * column)) > 1e-9;
      }
    EXPECT_GT(inside, 400);
    EXPECT_GT(outside, 400);
    EXPECT_EQ(wrong, 0) << "lattice leaning " << l.skew_x << ", " << l.skew_y;
  }
}

TEST_F(ProjectionTest, RoundTripsThroughTheSampleTheatres) {
  const std::vector<std::string> grids = SampleTheatreGrids();
  if (grids.empty())
    GTEST_SKIP() << "no build/theatres (tools/theatres/make-theatres.sh build/theatres)";
  std::mt19937 random(2024);
  for (const std::string &path : grids) {
    const std::vector<GridNode> nodes = ReadGridNodes(path);
    BuildIndexedGrid(&grid, nodes);
    // Cells whose eight neighbours are complete too, so that the whole-pixel steps of the forward
    // conversion cannot carry the pixel off the grid.
    std::vector<const GridNode *> cells;
    GridCell c;
    for (const GridNode &n : nodes) {
      bool surrounded = true;
      for (int da = -5; da <= 5 && surrounded; da += 5)
        for (int db = -5; db <= 5 && surrounded; db += 5)
          surrounded = FindGridCell(&grid, n.latitude_code + da, n.longitude_code + db, &c);
      if (surrounded)
        cells.push_back(&n);
    }
    ASSERT_GE(cells.size(), 10u) << path;
    std::uniform_int_distribution<size_t> pick(0, cells.size() - 1);
    std::uniform_real_distribution<double> fraction(0.0, 0.5);
    int far = 0;
    for (int i = 0; i < 1500; ++i) {
      const GridNode &n = *cells[pick(random)];
      const double lat = n.latitude_code / 10.0 + fraction(random), lon = n.longitude_code / 10.0 + fraction(random);
      int32_t x = 0, y = 0;
      double back_lat = 0, back_lon = 0;
      ASSERT_TRUE(ToPixel(lat, lon, &x, &y) && ToGeo(x, y, &back_lat, &back_lon)) << lat << " " << lon;
      ASSERT_TRUE(FindGridCell(&grid, n.latitude_code, n.longitude_code, &c));
      // The miss in pixels through the cell's edges: the forward conversion's whole-pixel steps (under 3 px)
      // plus the inverse reading a curved cell as the parallelogram at its south-west corner (about 2 px
      // toward the far corner). A neighbouring cell's answer would miss by a large part of a cell.
      const double east = (back_lon - lon) / 0.5, north = (back_lat - lat) / 0.5;
      const double miss = std::hypot(east * (c.se_x - c.sw_x) + north * (c.nw_x - c.sw_x),
                                     east * (c.se_y - c.sw_y) + north * (c.nw_y - c.sw_y));
      if (miss > 5.0 && far++ == 0)
        ADD_FAILURE() << path << ": " << lat << " " << lon << " misses by " << miss << " px";
    }
  }
}

TEST(Bearing, CompassPointsDistancesAndTheOwnPosition) {
  const struct {
    int unit_km;
    double latitude, longitude, bearing, distance;
  } cases[] = {
      {0, 42.5, 40.0, 360.0, 112.0 / 1.852}, // due north shows as 360; 112 km is 60.47 nm
      {1, 42.5, 40.0, 360.0, 112.0},
      {1, 41.5, 41.0, 90.0, 83.0}, // a longitude degree is 83 km at 41.5N
      {1, 41.5, 39.0, 270.0, 83.0},
      {1, 40.5, 40.0, 180.0, 112.0},
      {1, 42.5, 41.0, 45.0, std::hypot(112.0, 81.75)}, // angle in degree space, longitude at the target's latitude
      {1, 41.5, 40.0, 360.0, 0.0},                     // the own position has no direction and must not give NaN
  };
  MapView view;
  view.latitude = 41.5;
  view.longitude = 40.0;
  for (const auto &c : cases) {
    view.unit_km = c.unit_km;
    double bearing = 0, distance = 0;
    BearingAndDistance(view, c.latitude, c.longitude, &bearing, &distance);
    EXPECT_NEAR(bearing, c.bearing, 1e-6) << c.latitude << " " << c.longitude;
    EXPECT_NEAR(distance, c.distance, 1e-9) << c.latitude << " " << c.longitude;
  }
}

} // namespace
