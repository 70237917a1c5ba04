// map_routes_test.cpp: the route point list, its colours, the ROUTE_TO target and the bullseye steps.
#include <gtest/gtest.h>

#include "app/settings.h"
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
    // Cells from 43.0 to 44.5 N and 40.0 to 41.5 E.
    BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{}));
  }
  void TearDown() override {
    ClearRouteDatabase();
    ClearCalibrationGrid();
  }
  static const RouteDatabase &Db() { return g_route_database; }
};

TEST_F(RoutesTest, ColoursFromTheSettingOrTheDefaults) {
  EXPECT_EQ(Db().colour1, 0xFF0080u);
  EXPECT_EQ(Db().colour2, 0x8000FFu);
  EXPECT_EQ(Db().colour3, 0xFF8CC8u);
  EXPECT_EQ(Db().font_height, 13);
  EXPECT_EQ(Db().medium_font_height, 19);
  EXPECT_EQ(Db().small_font_height, 8);

  WriteSetting(L"Route Colors", L"ff0000,00ff00,0000FF");
  InitRouteDatabase(425);
  EXPECT_EQ(Db().colour1, 0xFF0000u);
  EXPECT_EQ(Db().colour2, 0x00FF00u);
  EXPECT_EQ(Db().colour3, 0x0000FFu);

  WriteSetting(L"Route Colors", L"1FF0000,12");
  InitRouteDatabase(425);
  EXPECT_EQ(Db().colour1, 0xFF0000u) << "the byte above the colour is dropped";
  EXPECT_EQ(Db().colour2, 0x12u);
  EXPECT_EQ(Db().colour3, 0xFF8CC8u) << "a colour the text does not give keeps its default";
}

TEST_F(RoutesTest, DuplicatesAreRefusedAndCountsFollowTheList) {
  EXPECT_EQ(AddRoutePoint(10, 20, 43.1, 40.1, 1, 1), 1);
  EXPECT_EQ(AddRoutePoint(11, 21, 43.2, 40.2, 2, 1), 2);
  EXPECT_EQ(AddRoutePoint(99, 99, 43.1, 40.1, 7, 2), 0) << "the same position again";
  EXPECT_EQ(AddRoutePoint(11, 21, 43.2, 40.3, 0, 1), 0) << "a point numbered 0 is stored, reported as 0";
  EXPECT_EQ(AddRoutePoint(12, 22, 43.1, 40.2, 3, 1), 3) << "only both coordinates equal make a duplicate";
  EXPECT_EQ(Db().count, 4);
  EXPECT_EQ(CountRoutePoints(), 4);
  EXPECT_EQ(Db().departure, 0);

  const RoutePoint *first = Db().head.next;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->x, 10);
  EXPECT_EQ(first->visible, 1);
  EXPECT_EQ(first->next->next->index, 0) << "arrival order";

  EXPECT_EQ(AddRoutePoint(13, 23, 43.3, 40.3, 4, kRouteTypeDeparture), 4);
  EXPECT_EQ(Db().departure, 1);
}

TEST_F(RoutesTest, ClearKeepsTheBullseyeAndTheTarget) {
  AddRoutePoint(10, 20, 43.1, 40.1, 1, kRouteTypeDeparture);
  SelectNextBullseye();
  SetRouteTarget(5, 6, 43.4, 40.4);
  ClearRouteDatabase();
  EXPECT_EQ(CountRoutePoints(), 0);
  EXPECT_EQ(Db().count, 0);
  EXPECT_EQ(Db().departure, 0);
  EXPECT_EQ(Db().bullseye_index, 1);
  EXPECT_EQ(Db().route_to_active, 1);
  EXPECT_EQ(Db().route_to_x, 5);
  EXPECT_EQ(Db().route_to_latitude, 43.4);
  DropRouteTarget();
  EXPECT_EQ(Db().route_to_active, 0);
  EXPECT_EQ(Db().route_to_x, 5) << "a target out of the map keeps the old position";
  EXPECT_EQ(AddRoutePoint(10, 20, 43.1, 40.1, 1, 1), 1) << "a cleared route accepts the plan again";
}

TEST_F(RoutesTest, SetBullsStepsThroughThePointsThenSwitchesOff) {
  SelectNextBullseye();
  EXPECT_EQ(Db().bullseye_index, 0) << "no points, no bullseye";
  AddRoutePoint(10, 20, 43.1, 40.1, 1, 1);
  AddRoutePoint(30, 40, 43.2, 40.2, 2, 1);
  AddRoutePoint(50, 60, 43.3, 40.3, 3, 1);
  const int expected[] = {1, 2, 3, 0, 1};
  for (int index : expected) {
    SelectNextBullseye();
    EXPECT_EQ(Db().bullseye_index, index);
  }
  EXPECT_EQ(Db().bullseye_x, 10);
  EXPECT_EQ(Db().bullseye_y, 20);
  EXPECT_EQ(Db().bullseye_latitude, 43.1);
  EXPECT_EQ(Db().bullseye_longitude, 40.1);
}

TEST_F(RoutesTest, SetBullsStopsAtAPointOffTheMap) {
  AddRoutePoint(10, 20, 43.1, 40.1, 1, 1);
  AddRoutePoint(30, 40, 47.0, 40.2, 2, 1); // arrived on another map
  AddRoutePoint(50, 60, 43.3, 40.3, 3, 1);
  SelectNextBullseye();
  EXPECT_EQ(Db().bullseye_index, 1);
  SelectNextBullseye();
  EXPECT_EQ(Db().bullseye_index, 0) << "the selection ends rather than skipping the point";
}

} // namespace
