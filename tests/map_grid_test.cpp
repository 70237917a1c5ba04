// map_grid_test.cpp: reading calibration grid files, and the code index against the plain list walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/settings.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "support/map_support.h"
#include "support/test_env.h"

namespace {

// The grid as "[a:b]x:y" lines, to compare with what a file should give.
std::string Dump(const CalibrationGrid &grid) {
  std::string text;
  for (const GridNode *n = grid.head.next; n != nullptr; n = n->next)
    text += "[" + std::to_string(n->latitude_code) + ":" + std::to_string(n->longitude_code) + "]" +
            std::to_string(static_cast<int>(n->x)) + ":" + std::to_string(static_cast<int>(n->y)) + "\n";
  return text;
}

class GridFileTest : public ::testing::Test {
protected:
  void SetUp() override { folder = UseFreshSettingsStore(); }
  void TearDown() override { ClearCalibrationGrid(); }
  // Writes the grid file, points the "TEST GRID" setting at it and loads it over a grid of one node.
  bool Load(const std::string &bytes) {
    BuildIndexedGrid(&g_calibration_grid, {GridNode{400, 400, 1, 1}});
    EXPECT_TRUE(WriteTextFile(folder + "/test.grid", bytes));
    WriteSetting(L"TEST GRID", Widen(folder + "/test.grid").c_str());
    return LoadCalibrationGrid(L"TEST GRID");
  }
  std::string folder;
};

TEST_F(GridFileTest, OneNodePerWellFormedLineInFileOrder) {
  const std::string padded = "[435:380]1520:2210" + std::string(30, ' ') + "\n";
  const struct {
    std::string file, nodes;
  } cases[] = {
      // A final newline adds no node; neither does a missing one lose the last line; CRLF reads the same.
      {"[435:380]1520:2210\n[435:385]1700:2212\n[440:380]1522:2000\n",
       "[435:380]1520:2210\n[435:385]1700:2212\n[440:380]1522:2000\n"},
      {"[435:380]1520:2210\r\n[435:385]1700:2212", "[435:380]1520:2210\n[435:385]1700:2212\n"},
      {"", ""}, // an empty file is a valid, empty grid
      {"garbage\n\n[435:380]1520\n435:380]1:2\n[435:385]1700:2212\n[x:380]1:2\n", "[435:385]1700:2212\n"},
      // A number beyond int is no pixel (sscanf would leave its value undefined).
      {"[435:380]2147483648:1\n[435:380]1:-2147483649\n[435:380]-2147483648:2147483647\n",
       "[435:380]-2147483648:2147483647\n"},
      // Lines are read 31 characters at a time: padding past the limit keeps the node, and a piece that
      // happens to hold a node line adds that node.
      {padded + std::string(31, '#') + "[440:380]1:2\n", "[435:380]1520:2210\n[440:380]1:2\n"},
  };
  for (const auto &c : cases) {
    EXPECT_TRUE(Load(c.file)) << c.file;
    EXPECT_EQ(Dump(g_calibration_grid), c.nodes) << c.file;
  }
}

TEST_F(GridFileTest, AFailedLoadStillDropsTheOldGrid) {
  ASSERT_TRUE(Load("[435:380]1520:2210\n"));
  WriteSetting(L"TEST GRID", Widen(folder + "/absent.grid").c_str());
  EXPECT_FALSE(LoadCalibrationGrid(L"TEST GRID"));
  EXPECT_EQ(g_calibration_grid.head.next, nullptr);
  ASSERT_TRUE(Load("[435:380]1520:2210\n"));
  EXPECT_FALSE(LoadCalibrationGrid(L"NO SUCH VALUE")) << "no setting is an empty path";
  EXPECT_EQ(g_calibration_grid.head.next, nullptr);
}

// The index must answer exactly as the walk of the list does: the same cells, the same first node in
// file order for repeated codes, hence the same pixels and positions.
void ExpectIndexMatchesWalk(const std::vector<GridNode> &nodes, int samples) {
  ASSERT_FALSE(nodes.empty());
  CalibrationGrid indexed, walked;
  BuildIndexedGrid(&indexed, nodes);
  std::vector<GridNode> storage = nodes;
  BuildWalkedGrid(&walked, storage);
  ASSERT_TRUE(indexed.indexed && !walked.indexed);
  int min_a = 9999, max_a = 0, min_b = 9999, max_b = 0, cells = 0;
  for (const GridNode &n : nodes) {
    min_a = std::min(min_a, n.latitude_code), max_a = std::max(max_a, n.latitude_code);
    min_b = std::min(min_b, n.longitude_code), max_b = std::max(max_b, n.longitude_code);
  }
  for (int a = min_a - 5; a <= max_a + 5; a += 5)
    for (int b = min_b - 5; b <= max_b + 5; b += 5) {
      GridCell ci, cw;
      const bool fi = FindGridCell(&indexed, a, b, &ci);
      ASSERT_EQ(fi, FindGridCell(&walked, a, b, &cw)) << a << "/" << b;
      EXPECT_TRUE(!fi || std::memcmp(&ci, &cw, sizeof ci) == 0) << a << "/" << b;
      cells += fi;
    }
  EXPECT_GT(cells, 0) << "a grid without a complete cell proves nothing";

  std::mt19937 random(2024);
  std::uniform_real_distribution<double> latitude(min_a / 10.0 - 0.2, max_a / 10.0 + 0.2);
  std::uniform_real_distribution<double> longitude(min_b / 10.0 - 0.2, max_b / 10.0 + 0.2);
  MapView view;
  int resolved = 0;
  for (int i = 0; i < samples; ++i) {
    const double lat = latitude(random), lon = longitude(random);
    int32_t xi = -1, yi = -1, xw = -1, yw = -1;
    ASSERT_EQ(GeoToMapPixel(&indexed, lat, lon, &xi, &yi), GeoToMapPixel(&walked, lat, lon, &xw, &yw));
    EXPECT_TRUE(xi == xw && yi == yw) << lat << " " << lon;
    // The same pixel a little off, so that the inverse meets edges, corners and pixels outside too.
    const int32_t x = xi + static_cast<int32_t>(random() % 61) - 30, y = yi + static_cast<int32_t>(random() % 61) - 30;
    double ai = -1, oi = -1, aw = -1, ow = -1;
    const bool ii = MapPixelToGeo(&indexed, x, y, view, nullptr, &ai, &oi);
    ASSERT_EQ(ii, MapPixelToGeo(&walked, x, y, view, nullptr, &aw, &ow)) << x << " " << y;
    EXPECT_TRUE(ai == aw && oi == ow) << x << " " << y;
    resolved += ii;
  }
  EXPECT_GT(resolved, samples / 4);
  ClearCalibrationGrid(&indexed);
}

TEST(GridIndex, MatchesTheListWalkOnDoubledAndMissingCornersOfLeaningCells) {
  std::vector<GridNode> nodes = LatticeNodes(Lattice{430, 380, 6, 7, 50, 1500, 310, 280, 60, -40});
  // A corner repeated with another pixel, before and after its first line, and one dropped.
  nodes.push_back(GridNode{440, 390, 9999, 9999});
  nodes.insert(nodes.begin() + 5, GridNode{450, 395, -500, -500});
  nodes.erase(nodes.begin() + 20);
  ExpectIndexMatchesWalk(nodes, 3000);

  CalibrationGrid grid;
  BuildIndexedGrid(&grid, nodes);
  int32_t count = 0;
  const GridNode *first = FindGridNode(&grid, 450, 395, &count);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(first->x, -500) << "the first in file order";
  ClearCalibrationGrid(&grid);
}

TEST(GridIndex, MatchesTheListWalkOnTheSampleTheatres) {
  const std::vector<std::string> grids = SampleTheatreGrids();
  if (grids.empty())
    GTEST_SKIP() << "no sample theatre grids in build/theatres: run tools/theatres/make-theatres.sh build/theatres";
  for (const std::string &path : grids) {
    SCOPED_TRACE(path);
    ExpectIndexMatchesWalk(ReadGridNodes(path), 2000);
  }
}

} // namespace
