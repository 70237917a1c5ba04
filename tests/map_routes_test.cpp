// map_routes_test.cpp: the route point list, its colours, the ROUTE_TO target and the bullseye steps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/settings.h"
#include "map/calibration_grid.h"
#include "map/routes.h"
#include "support/map_support.h"
#include "support/test_env.h"

namespace {

class RoutesTest : public ::testing::Test {
protected:
  void SetUp() override {
    UseFreshSettingsStore();
    InitRouteDatabase(425);
    BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{})); // 43.0 to 44.5 N, 40.0 to 41.5 E
  }
  void TearDown() override {
    ClearRouteDatabase();
    ClearCalibrationGrid();
  }
  const RouteDatabase &db = g_route_database;
};

TEST_F(RoutesTest, ColoursFromTheSettingOrTheDefaults) {
  // No setting; all three given; the byte above a colour dropped and a colour not given left at its default.
  for (const auto &[setting, colours] : {std::pair{L"", std::vector<uint32_t>{0xFF0080, 0x8000FF, 0xFF8CC8}},
                                         {L"ff0000,00ff00,0000FF", {0xFF0000, 0x00FF00, 0x0000FF}},
                                         {L"1FF0000,12", {0xFF0000, 0x12, 0xFF8CC8}}}) {
    if (*setting != L'\0')
      WriteSetting(L"Route Colors", setting);
    InitRouteDatabase(425);
    EXPECT_EQ((std::vector<uint32_t>{db.colour1, db.colour2, db.colour3}), colours) << setting;
  }
}

TEST_F(RoutesTest, DuplicatesAreRefusedAndClearKeepsTheBullseyeAndTarget) {
  EXPECT_EQ(AddRoutePoint(10, 20, 43.1, 40.1, 1, 1), 1);
  EXPECT_EQ(AddRoutePoint(99, 99, 43.1, 40.1, 7, 2), 0) << "the same position again";
  EXPECT_EQ(AddRoutePoint(11, 21, 43.2, 40.3, 0, 1), 0) << "a point numbered 0 is stored, reported as 0";
  EXPECT_EQ(AddRoutePoint(12, 22, 43.1, 40.3, 3, 1), 3) << "only both coordinates equal make a duplicate";
  EXPECT_EQ(AddRoutePoint(12, 22, 43.1, -0.0, 8, 1), 8);
  EXPECT_EQ(AddRoutePoint(12, 22, 43.1, 0.0, 9, 1), 0) << "-0.0 and 0.0 are one position";
  EXPECT_EQ(AddRoutePoint(12, 22, std::nan(""), 40.3, 5, 1), 5);
  EXPECT_EQ(AddRoutePoint(12, 22, std::nan(""), 40.3, 6, 1), 6) << "a NaN equals nothing";
  EXPECT_EQ(db.departure, 0);
  EXPECT_EQ(AddRoutePoint(13, 23, 43.3, 40.3, 4, kRouteTypeDeparture), 4);
  EXPECT_EQ(db.departure, 1);
  EXPECT_EQ(db.count, 7);
  EXPECT_EQ(CountRoutePoints(), 7);

  SelectNextBullseye();
  SetRouteTarget(5, 6, 43.4, 40.4);
  ClearRouteDatabase();
  EXPECT_TRUE(CountRoutePoints() == 0 && db.count == 0 && db.departure == 0);
  EXPECT_TRUE(db.bullseye_index == 1 && db.route_to_active == 1);
  DropRouteTarget();
  EXPECT_TRUE(db.route_to_active == 0 && db.route_to_x == 5) << "a target out of the map keeps the old position";
  EXPECT_EQ(AddRoutePoint(10, 20, 43.1, 40.1, 1, 1), 1) << "a cleared route accepts the plan again";
}

TEST_F(RoutesTest, SetBullsStepsThroughThePointsThenSwitchesOffOrStopsOffTheMap) {
  SelectNextBullseye();
  EXPECT_EQ(db.bullseye_index, 0) << "no points, no bullseye";
  AddRoutePoint(10, 20, 43.1, 40.1, 1, 1);
  AddRoutePoint(30, 40, 43.2, 40.2, 2, 1);
  AddRoutePoint(50, 60, 43.3, 40.3, 3, 1);
  for (int index : {1, 2, 3, 0, 1}) {
    SelectNextBullseye();
    EXPECT_EQ(db.bullseye_index, index);
  }
  EXPECT_TRUE(db.bullseye_x == 10 && db.bullseye_y == 20 && db.bullseye_latitude == 43.1);
  ClearRouteDatabase();
  g_route_database.bullseye_index = 0;
  AddRoutePoint(10, 20, 43.1, 40.1, 1, 1);
  AddRoutePoint(30, 40, 47.0, 40.2, 2, 1); // arrived on another map
  AddRoutePoint(50, 60, 43.3, 40.3, 3, 1);
  SelectNextBullseye();
  SelectNextBullseye();
  EXPECT_EQ(db.bullseye_index, 0) << "the selection ends rather than skipping the point";
}

} // namespace
