// map_grid_test.cpp: reading calibration grid files, the code index against the plain list walk, and
// the grid's debug overlay.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "app/settings.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "support/map_support.h"
#include "support/recording_canvas.h"
#include "support/test_env.h"

namespace {

std::vector<GridNode> Nodes(const CalibrationGrid &grid) {
  std::vector<GridNode> nodes;
  for (const GridNode *n = grid.head.next; n != nullptr; n = n->next)
    nodes.push_back(GridNode{n->latitude_code, n->longitude_code, n->x, n->y});
  return nodes;
}

bool Same(const GridNode &a, const GridNode &b) {
  return a.latitude_code == b.latitude_code && a.longitude_code == b.longitude_code && a.x == b.x && a.y == b.y;
}

class GridFileTest : public ::testing::Test {
protected:
  void SetUp() override { folder = UseFreshSettingsStore(); }
  void TearDown() override { ClearCalibrationGrid(); }

  // Writes the grid file and points the "TEST GRID" setting at it.
  void GridFile(const std::string &bytes) {
    const std::string path = folder + "/test.grid";
    ASSERT_TRUE(WriteTextFile(path, bytes));
    WriteSetting(L"TEST GRID", Widen(path).c_str());
  }

  std::string folder;
};

TEST_F(GridFileTest, OneNodePerLineInFileOrderWithOrWithoutFinalNewline) {
  GridFile("[435:380]1520:2210\n[435:385]1700:2212\n[440:380]1522:2000\n");
  ASSERT_TRUE(LoadCalibrationGrid(L"TEST GRID"));
  std::vector<GridNode> nodes = Nodes(g_calibration_grid);
  ASSERT_EQ(nodes.size(), 3u) << "the final newline adds no node";
  EXPECT_TRUE(Same(nodes[0], GridNode{435, 380, 1520, 2210}));
  EXPECT_TRUE(Same(nodes[1], GridNode{435, 385, 1700, 2212}));
  EXPECT_TRUE(Same(nodes[2], GridNode{440, 380, 1522, 2000}));

  GridFile("[435:380]1520:2210\r\n[435:385]1700:2212");
  ASSERT_TRUE(LoadCalibrationGrid(L"TEST GRID"));
  nodes = Nodes(g_calibration_grid);
  ASSERT_EQ(nodes.size(), 2u) << "a last line without newline and CRLF line ends both count";
  EXPECT_TRUE(Same(nodes[1], GridNode{435, 385, 1700, 2212}));
}

TEST_F(GridFileTest, EmptyMissingAndUnnamedFiles) {
  GridFile("[435:380]1520:2210\n");
  ASSERT_TRUE(LoadCalibrationGrid(L"TEST GRID"));
  GridFile("");
  EXPECT_TRUE(LoadCalibrationGrid(L"TEST GRID")) << "an empty file is a valid, empty grid";
  EXPECT_EQ(g_calibration_grid.head.next, nullptr);

  GridFile("[435:380]1520:2210\n");
  ASSERT_TRUE(LoadCalibrationGrid(L"TEST GRID"));
  WriteSetting(L"TEST GRID", Widen(folder + "/absent.grid").c_str());
  EXPECT_FALSE(LoadCalibrationGrid(L"TEST GRID"));
  EXPECT_EQ(g_calibration_grid.head.next, nullptr) << "the old grid is gone even when the new one fails";

  GridFile("[435:380]1520:2210\n");
  ASSERT_TRUE(LoadCalibrationGrid(L"TEST GRID"));
  EXPECT_FALSE(LoadCalibrationGrid(L"NO SUCH VALUE")) << "no setting is an empty path";
  EXPECT_EQ(g_calibration_grid.head.next, nullptr);
}

TEST_F(GridFileTest, LinesWithoutFourIntegersAddNothing) {
  GridFile("garbage\n\n[435:380]1520\n435:380]1:2\n[435:385]1700:2212\n[x:380]1:2\n");
  ASSERT_TRUE(LoadCalibrationGrid(L"TEST GRID"));
  const std::vector<GridNode> nodes = Nodes(g_calibration_grid);
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_TRUE(Same(nodes[0], GridNode{435, 385, 1700, 2212}));
}

TEST_F(GridFileTest, LinesAreReadThirtyOneCharactersAtATime) {
  // A node line padded past the limit keeps its node, and the rest of the line is a piece of its own;
  // a piece that happens to hold a node line adds that node.
  const std::string padded = "[435:380]1520:2210" + std::string(30, ' ') + "\n";
  const std::string split = std::string(31, '#') + "[440:380]1:2\n";
  GridFile(padded + split);
  ASSERT_TRUE(LoadCalibrationGrid(L"TEST GRID"));
  const std::vector<GridNode> nodes = Nodes(g_calibration_grid);
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_TRUE(Same(nodes[0], GridNode{435, 380, 1520, 2210}));
  EXPECT_TRUE(Same(nodes[1], GridNode{440, 380, 1, 2}));
}

TEST(GridOverlay, CirclesOnEveryNodeThroughTheViewTransform) {
  CalibrationGrid grid;
  BuildIndexedGrid(&grid, {GridNode{435, 380, 700, 500}, GridNode{435, 385, 1000, 800}, GridNode{440, 380, 576, 377}});
  MapView view;
  view.base = ViewRect{0, 0, 425, 425};
  view.centre_x = 1000;
  view.centre_y = 800;
  view.zoom = 2.0; // left 576, top 376
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  DrawCalibrationGrid(recorder.canvas, view, grid);
  ClearCalibrationGrid(&grid);

  const auto arcs = FindRecords(recorder, CanvasOp::kArc);
  ASSERT_EQ(arcs.size(), 3u);
  const Point centres[] = {{62, 62}, {212, 212}, {0, 0}};
  for (size_t i = 0; i < arcs.size(); ++i) {
    EXPECT_EQ(arcs[i]->centre, centres[i]) << i;
    EXPECT_EQ(arcs[i]->radius, 3);
    EXPECT_EQ(arcs[i]->start_degrees, 0.0);
    EXPECT_EQ(arcs[i]->sweep_degrees, 360.0);
    EXPECT_EQ(arcs[i]->state.pen.colour, Rgb(255, 0, 0));
    EXPECT_EQ(arcs[i]->state.pen.width, 4);
  }
  for (const CanvasRecord *line : FindRecords(recorder, CanvasOp::kLine))
    EXPECT_EQ(line->from, line->to) << "no stroke may join one node's circle to the next";
}

// The index must answer exactly as the walk of the list does: the same cells, the same first node in
// file order for repeated codes, hence the same pixels and positions.
void ExpectIndexMatchesWalk(const std::vector<GridNode> &nodes, int samples) {
  ASSERT_FALSE(nodes.empty());
  CalibrationGrid indexed;
  BuildIndexedGrid(&indexed, nodes);
  std::vector<GridNode> storage = nodes;
  CalibrationGrid walked;
  BuildWalkedGrid(&walked, storage);
  ASSERT_TRUE(indexed.indexed);
  ASSERT_FALSE(walked.indexed);

  int min_a = nodes[0].latitude_code, max_a = min_a, min_b = nodes[0].longitude_code, max_b = min_b;
  double min_x = nodes[0].x, max_x = min_x, min_y = nodes[0].y, max_y = min_y;
  for (const GridNode &n : nodes) {
    min_a = std::min(min_a, n.latitude_code), max_a = std::max(max_a, n.latitude_code);
    min_b = std::min(min_b, n.longitude_code), max_b = std::max(max_b, n.longitude_code);
    min_x = std::min(min_x, n.x), max_x = std::max(max_x, n.x);
    min_y = std::min(min_y, n.y), max_y = std::max(max_y, n.y);
  }
  int cells = 0;
  for (int a = min_a - 5; a <= max_a + 5; a += 5)
    for (int b = min_b - 5; b <= max_b + 5; b += 5) {
      GridCell ci, cw;
      const bool fi = FindGridCell(&indexed, a, b, &ci), fw = FindGridCell(&walked, a, b, &cw);
      ASSERT_EQ(fi, fw) << a << "/" << b;
      cells += fi;
      if (fi) {
        const double pi[] = {ci.sw_x, ci.sw_y, ci.se_x, ci.se_y, ci.nw_x, ci.nw_y, ci.ne_x, ci.ne_y};
        const double pw[] = {cw.sw_x, cw.sw_y, cw.se_x, cw.se_y, cw.nw_x, cw.nw_y, cw.ne_x, cw.ne_y};
        EXPECT_TRUE(std::equal(std::begin(pi), std::end(pi), std::begin(pw))) << a << "/" << b;
      }
    }
  EXPECT_GT(cells, 0) << "a grid without a complete cell proves nothing";

  std::mt19937 random(2024);
  std::uniform_real_distribution<double> latitude(min_a / 10.0 - 0.2, max_a / 10.0 + 0.2);
  std::uniform_real_distribution<double> longitude(min_b / 10.0 - 0.2, max_b / 10.0 + 0.2);
  std::uniform_int_distribution<int> px(static_cast<int>(min_x) - 50, static_cast<int>(max_x) + 50);
  std::uniform_int_distribution<int> py(static_cast<int>(min_y) - 50, static_cast<int>(max_y) + 50);
  MapView view;
  int resolved = 0;
  for (int i = 0; i < samples; ++i) {
    const double lat = latitude(random), lon = longitude(random);
    int32_t xi = -1, yi = -1, xw = -1, yw = -1;
    const bool gi = GeoToMapPixel(&indexed, lat, lon, &xi, &yi), gw = GeoToMapPixel(&walked, lat, lon, &xw, &yw);
    ASSERT_EQ(gi, gw) << lat << " " << lon;
    EXPECT_TRUE(xi == xw && yi == yw) << lat << " " << lon;

    const int32_t x = px(random), y = py(random);
    double ai = -1, oi = -1, aw = -1, ow = -1;
    const bool ii = MapPixelToGeo(&indexed, x, y, view, nullptr, &ai, &oi);
    ASSERT_EQ(ii, MapPixelToGeo(&walked, x, y, view, nullptr, &aw, &ow)) << x << " " << y;
    EXPECT_TRUE(ai == aw && oi == ow) << x << " " << y;
    resolved += ii;
    ASSERT_EQ(MapPixelToGeoPerpendicular(&indexed, x, y, view, nullptr, &ai, &oi),
              MapPixelToGeoPerpendicular(&walked, x, y, view, nullptr, &aw, &ow));
    EXPECT_TRUE(ai == aw && oi == ow) << x << " " << y;
    ASSERT_EQ(MapPixelToGeoByAxis(&indexed, x, y, &ai, &oi), MapPixelToGeoByAxis(&walked, x, y, &aw, &ow));
    EXPECT_TRUE(ai == aw && oi == ow) << x << " " << y;
  }
  EXPECT_GT(resolved, 0);
  ClearCalibrationGrid(&indexed);
}

TEST(GridIndex, MatchesTheListWalkOnDoubledAndMissingCorners) {
  const Lattice lattice{430, 380, 6, 7, 50, 1500, 310, 280, 7, -4};
  std::vector<GridNode> nodes = LatticeNodes(lattice);
  {
    SCOPED_TRACE("regular");
    ExpectIndexMatchesWalk(nodes, 3000);
  }
  // A corner repeated with another pixel, before and after its first line, and one dropped.
  nodes.push_back(GridNode{440, 390, 9999, 9999});
  nodes.insert(nodes.begin() + 5, GridNode{450, 395, -500, -500});
  nodes.erase(nodes.begin() + 20);
  {
    SCOPED_TRACE("doubled and missing");
    ExpectIndexMatchesWalk(nodes, 3000);
  }
  CalibrationGrid grid;
  BuildIndexedGrid(&grid, nodes);
  int32_t count = 0;
  const GridNode *first = FindGridNode(&grid, 450, 395, &count);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(first->x, -500) << "the first in file order";
  ClearCalibrationGrid(&grid);
}

TEST(GridIndex, ListChangedByHandIsWalkedAgain) {
  CalibrationGrid grid;
  BuildIndexedGrid(&grid, LatticeNodes(Lattice{}));
  GridCell cell;
  ASSERT_TRUE(FindGridCell(&grid, 430, 400, &cell));
  // A node linked behind the indexed tail by hand doubles a corner: the lookups must see it.
  grid.tail->next = new GridNode{430, 400, 1, 1};
  EXPECT_FALSE(FindGridCell(&grid, 430, 400, &cell));
  // Appending through the grid again indexes what is there, the hand-linked node included.
  AppendGridNode(&grid, 445, 400, 2, 2);
  int32_t count = 0;
  FindGridNode(&grid, 430, 400, &count);
  EXPECT_EQ(count, 2);
  EXPECT_FALSE(FindGridCell(&grid, 430, 400, &cell));
  EXPECT_FALSE(FindGridCell(&grid, 440, 400, &cell));
  EXPECT_TRUE(FindGridCell(&grid, 435, 405, &cell));
  ClearCalibrationGrid(&grid);
}

TEST(GridIndex, MatchesTheListWalkOnTheSampleTheatres) {
  const std::vector<std::string> grids = SampleTheatreGrids();
  if (grids.empty())
    GTEST_SKIP() << "no sample theatre grids in build/theatres: run tools/theatres/make-theatres.sh build/theatres";
  for (const std::string &path : grids) {
    SCOPED_TRACE(path);
    ExpectIndexMatchesWalk(ReadGridNodes(path), 5000);
  }
}

} // namespace
