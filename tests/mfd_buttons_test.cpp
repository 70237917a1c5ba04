// mfd_buttons_test.cpp: the dispatcher's edge rule, the cursor mover and the action of every page's buttons.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/settings.h"
#include "app/shell.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/routes.h"
#include "mfd/bezel_input.h"
#include "mfd/button_actions.h"
#include "mfd/page_state.h"
#include "mfd/page_table.h"
#include "status/event_log.h"
#include "support/map_support.h"
#include "support/shell_fixture.h"
#include "support/test_env.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"

namespace {

constexpr int kVkF1 = 0x70, kVkUp = 0x26, kVkDown = 0x28, kVkRight = 0x27, kVkLeft = 0x25;
constexpr int kVkPageUp = 0x21, kVkPageDown = 0x22;

uint32_t Mask(int button) { return uint32_t{1} << (button - 1); }

std::wstring Stored(const wchar_t *name) {
  wchar_t text[kSettingTextCapacity];
  ReadSetting(name, text);
  return text;
}

TEST_F(ShellTest, ModeCyclesThePagesInOrderAndBack) {
  const wchar_t *titles[] = {L"[ TAGGING ]", L"[ FAILURES STATUS ]", L"[ SQUAD GROUP ]", L"[ DATABASES ]",
                             L"[ MONITORING ]"};
  EXPECT_EQ(Title(), L"[ MONITORING ]");
  for (const wchar_t *title : titles) {
    EXPECT_TRUE(Press('M'));
    EXPECT_EQ(Title(), title);
  }
  EXPECT_EQ(clicks, 5);
}

TEST_F(ShellTest, ARepeatedKeyActsAgainOnlyAfterATick) {
  ShellKey(kVkF1 + 7); // F8: MODE
  ShellKey(kVkF1 + 7);
  EXPECT_EQ(g_page_state.current_page, kPageTagging);
  Tick(kButtonTimer);
  ShellKey(kVkF1 + 7);
  EXPECT_EQ(g_page_state.current_page, kPageFailures);
}

TEST_F(ShellTest, AHeldBezelButtonActsOnceUntilReleased) {
  bezel_mask = Mask(13);
  for (int tick = 0; tick < 3; ++tick)
    Tick(kButtonTimer);
  EXPECT_EQ(g_page_state.current_page, kPageTagging);
  bezel_mask = 0;
  Tick(kButtonTimer);
  bezel_mask = Mask(13);
  Tick(kButtonTimer);
  EXPECT_EQ(g_page_state.current_page, kPageFailures);
  ASSERT_FALSE(invalidations.empty());
  EXPECT_TRUE(invalidations[0].whole && invalidations[0].erase);
}

TEST_F(ShellTest, TheLowestHeldBezelButtonCountsAndAMissingDeviceReadsNothing) {
  bezel_mask = Mask(10) | Mask(9) | Mask(30);
  EXPECT_EQ(ReadJoystickButton(0), 9);
  bezel_mask = Mask(32);
  EXPECT_EQ(ReadJoystickButton(0), 32);
  EXPECT_EQ(ReadJoystickButton(7), 0);
  devices_connected = false;
  EXPECT_EQ(ReadJoystickButton(0), 0);
  // Keys still work without a bezel.
  EXPECT_TRUE(Press('M'));
}

TEST_F(ShellTest, ZoomInStopsOnceBelowTheLimitAndStillClicks) {
  for (int press = 1; press <= 6; ++press)
    EXPECT_TRUE(Press(kVkPageUp)) << press;
  EXPECT_NEAR(g_map_view.zoom, 1.0 / std::pow(1.414213, 6), 1e-12);
  EXPECT_NEAR(g_map_view.zoom, 0.125, 0.0001);
  EXPECT_EQ(g_map_view.source.width, static_cast<int>(425 * g_map_view.zoom));
  const double zoom = g_map_view.zoom;
  EXPECT_FALSE(Press(kVkPageUp));
  EXPECT_EQ(g_map_view.zoom, zoom);
  EXPECT_EQ(clicks, 7);
  EXPECT_TRUE(Press('3')); // x1.
  EXPECT_EQ(g_map_view.zoom, 1.0);
  EXPECT_EQ(g_map_view.source.width, 425);
}

TEST_F(ShellTest, ZoomOutStopsOnceAboveTheLimit) {
  g_page_state.current_page = kPageTagging;
  for (int press = 1; press <= 5; ++press)
    EXPECT_TRUE(Press(kVkPageDown)) << press;
  EXPECT_NEAR(g_map_view.zoom, std::pow(1.414213, 5), 1e-12);
  EXPECT_NEAR(g_map_view.zoom, 5.657, 0.001);
  EXPECT_FALSE(Press(kVkPageDown));
  EXPECT_NEAR(g_map_view.zoom, std::pow(1.414213, 5), 1e-12);
  EXPECT_EQ(clicks, 6);
}

TEST_F(ShellTest, RouteTogglesWithARepaintOnlyOnTheTaggingPage) {
  EXPECT_FALSE(Press(kVkF1 + 6)); // F7: ROUTE
  EXPECT_EQ(g_page_state.route_display, 0);
  EXPECT_FALSE(Press(kVkF1 + 6));
  EXPECT_EQ(g_page_state.route_display, 1);
  g_page_state.current_page = kPageTagging;
  EXPECT_TRUE(Press(kVkF1 + 6));
  EXPECT_EQ(g_page_state.route_display, 0);
  EXPECT_EQ(clicks, 3);
}

TEST_F(ShellTest, OptnsCyclesTheCurrentPagesOptionAndStoresIt) {
  EXPECT_TRUE(Press('O'));
  EXPECT_EQ(g_page_state.option_values[kPageMonitoring], 0u);
  EXPECT_EQ(Stored(L"MenuOption#00"), L"00000000");
  EXPECT_TRUE(Press(kVkF1 + 5)); // F6, the same button
  EXPECT_EQ(Stored(L"MenuOption#00"), L"00000001");
  EXPECT_EQ(g_page_state.option_values[kPageTagging], 15u);
}

TEST_F(ShellTest, DirectionButtonsPanTheTaggingViewEveryTimeAndEndTheSync) {
  g_page_state.current_page = kPageTagging;
  g_map_view.centre_x = 1000;
  g_map_view.centre_y = 1000;
  g_tag_database.sync = 1;
  SetPageLabel(kPageTagging, 7, L"SYNC OFF");
  // No edge rule: the same key twice without a tick pans twice.
  ShellKey(kVkUp);
  ShellKey(kVkUp);
  EXPECT_EQ(g_map_view.centre_y, 950);
  EXPECT_EQ(g_tag_database.sync, 0);
  EXPECT_EQ(Label(kPageTagging, 7), L"SYNC ON");
  EXPECT_EQ(clicks, 2);
  g_map_view.zoom = 0.5;
  EXPECT_TRUE(Press(kVkRight));
  EXPECT_EQ(g_map_view.centre_x, 1012); // 25 x 0.5 = 12.5, truncated
  EXPECT_TRUE(Press(kVkLeft));
  EXPECT_TRUE(Press(kVkDown));
  EXPECT_EQ(g_map_view.centre_x, 1000);
  EXPECT_EQ(g_map_view.centre_y, 962);
}

TEST_F(ShellTest, DirectionButtonsDoNothingOffTheTaggingPage) {
  g_map_view.centre_y = 500;
  EXPECT_FALSE(Press(kVkUp));
  g_page_state.current_page = kPageSquad;
  EXPECT_FALSE(Press(kVkDown));
  EXPECT_EQ(g_map_view.centre_y, 500);
  EXPECT_EQ(clicks, 0);
}

TEST_F(ShellTest, AHeldBezelDirectionPansOnEveryTick) {
  g_page_state.current_page = kPageTagging;
  g_map_view.centre_x = 300;
  bezel_mask = Mask(11);
  for (int tick = 0; tick < 3; ++tick)
    Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_x, 375);
}

TEST_F(ShellTest, StickDirectionsReplaceOneAnotherInTheirOrder) {
  g_page_state.current_page = kPageTagging;
  g_shell.settings.stick_up = 5;
  g_shell.settings.stick_down = 9;
  g_map_view.centre_y = 100;
  stick_mask = Mask(5); // UP's button, taken for 9, which is DOWN's button: it pans down
  Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_y, 125);
  // The stick is read only while the bezel reports nothing.
  bezel_mask = Mask(1);
  Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_y, 125);
  // Off the TAGGING page the stick's directions count for nothing.
  bezel_mask = 0;
  g_page_state.current_page = kPageMonitoring;
  Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_y, 125);
}

TEST_F(ShellTest, AStickSharingTheBezelsIdIsNotMapped) {
  g_page_state.current_page = kPageTagging;
  g_shell.settings.stick_id = g_shell.settings.mfd_id;
  g_map_view.centre_x = 0;
  bezel_mask = Mask(12); // the stick's LEFT number is 14, but its raw 12 is the bezel's LEFT
  Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_x, -25);
  bezel_mask = Mask(14);
  Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_x, -25);
}

TEST_F(ShellTest, SymbolAndAffiliationButtonsSetTheNewTagSymbol) {
  g_page_state.current_page = kPageTagging;
  const struct {
    int key;
    int symbol_class, category;
  } buttons[] = {{kVkF1, 1, 1}, {kVkF1 + 1, 1, 2}, {kVkF1 + 2, 1, 3}, {kVkF1 + 3, 1, 0}, {kVkF1 + 4, 2, 4}};
  for (const auto &b : buttons) {
    EXPECT_TRUE(Press(b.key));
    EXPECT_EQ(g_tag_database.new_symbol.symbol_class, b.symbol_class);
    EXPECT_EQ(g_tag_database.new_symbol.category, b.category);
  }
  const int32_t start = g_tag_database.new_symbol.affiliation;
  for (int press = 1; press <= 4; ++press) {
    EXPECT_TRUE(Press('6'));
    EXPECT_EQ(g_tag_database.new_symbol.affiliation, (start + press) % 4);
  }
  EXPECT_EQ(g_tag_database.new_symbol.affiliation, start);
}

TEST_F(ShellTest, MonitReturnsToTheFirstPage) {
  for (int page : {kPageTagging, kPageFailures, kPageSquad}) {
    g_page_state.current_page = page;
    EXPECT_TRUE(Press('1'));
    EXPECT_EQ(g_page_state.current_page, kPageMonitoring) << page;
  }
}

class TaggingButtonsTest : public ShellTest {
protected:
  void SetUp() override {
    ShellTest::SetUp();
    BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{}));
    g_page_state.current_page = kPageTagging;
  }
};

TEST_F(TaggingButtonsTest, SyncTogglesItsLabelAndCentresTheViewOnTheOwnship) {
  g_map_view.latitude = 43.25;
  g_map_view.longitude = 40.25;
  int32_t x = 0, y = 0;
  ASSERT_TRUE(GeoToMapPixel(&g_calibration_grid, 43.25, 40.25, &x, &y));
  g_map_view.centre_x = 9999;
  g_map_view.centre_y = 9999;
  EXPECT_TRUE(Press('2'));
  EXPECT_EQ(Label(kPageTagging, 7), L"SYNC OFF");
  EXPECT_EQ(g_tag_database.sync, 1);
  EXPECT_EQ(g_map_view.centre_x, x);
  EXPECT_EQ(g_map_view.centre_y, y);
  g_map_view.centre_x = 0;
  EXPECT_TRUE(Press('2'));
  EXPECT_EQ(Label(kPageTagging, 7), L"SYNC ON");
  EXPECT_EQ(g_map_view.centre_x, x); // centred whatever the new state
  // An ownship off the grid leaves the view where it is.
  g_map_view.latitude = 10.0;
  g_map_view.centre_x = 7;
  EXPECT_TRUE(Press('2'));
  EXPECT_EQ(g_map_view.centre_x, 7);
}

TEST_F(TaggingButtonsTest, TagCenterTagsTheViewCentreOnlyOnTheGrid) {
  g_map_view.centre_x = 99999; // off the grid: no tag and not even a click
  EXPECT_FALSE(Press('0'));
  EXPECT_EQ(CountTags(g_tag_database), 0);
  EXPECT_EQ(clicks, 0);
  g_map_view.centre_x = 150;
  g_map_view.centre_y = 450;
  EXPECT_TRUE(Press('0'));
  ASSERT_EQ(CountTags(g_tag_database), 1);
  const TagRecord *tag = g_tag_database.root.next;
  EXPECT_EQ(tag->squad, 0);
  EXPECT_EQ(tag->pilot, g_squad_group.own_pilot);
  double latitude = 0, longitude = 0;
  ASSERT_TRUE(MapPixelToGeo(&g_calibration_grid, 150, 450, g_map_view, nullptr, &latitude, &longitude));
  EXPECT_EQ(tag->latitude, latitude);
  EXPECT_EQ(tag->longitude, longitude);
  EXPECT_EQ(clicks, 1);
}

TEST_F(TaggingButtonsTest, TheStickTagButtonTagsTheAgmMarkOrElseTheViewCentre) {
  g_map_view.centre_x = 150;
  g_map_view.centre_y = 450;
  stick_mask = Mask(7); // "Stick Tag"
  Tick(kButtonTimer);
  ASSERT_EQ(CountTags(g_tag_database), 1);
  EXPECT_TRUE(invalidations.empty()); // the view-centre path waits for the next second
  stick_mask = 0;
  Tick(kButtonTimer);
  SetAgmMark(g_tag_database, 43.6, 40.7);
  stick_mask = Mask(7);
  Tick(kButtonTimer);
  ASSERT_EQ(CountTags(g_tag_database), 2);
  EXPECT_EQ(g_tag_database.root.next->next->latitude, 43.6);
  EXPECT_EQ(g_tag_database.root.next->next->longitude, 40.7);
  EXPECT_FALSE(invalidations.empty());
  // Off the TAGGING page the stick's tag button is nothing.
  stick_mask = 0;
  Tick(kButtonTimer);
  g_page_state.current_page = kPageMonitoring;
  stick_mask = Mask(7);
  Tick(kButtonTimer);
  EXPECT_EQ(CountTags(g_tag_database), 2);
}

TEST_F(ShellTest, SquadButtonsStepTheIdentityAndJoin) {
  g_page_state.current_page = kPageSquad;
  EXPECT_TRUE(Press('0'));
  EXPECT_EQ(g_squad_group.joined, 1);
  EXPECT_EQ(g_tag_database.joined, 1);
  EXPECT_EQ(Label(kPageSquad, 16), L"DISJOIN SQUAD");
  EXPECT_EQ(clicks, 0); // JOIN SQUAD does not click
  EXPECT_TRUE(Press('0'));
  EXPECT_EQ(g_tag_database.joined, 0);
  EXPECT_EQ(Label(kPageSquad, 16), L"JOIN SQUAD");

  ASSERT_EQ(g_squad_group.own_pilot, 1);
  EXPECT_TRUE(Press('9')); // PID -
  EXPECT_EQ(g_squad_group.own_pilot, 99);
  EXPECT_EQ(g_tag_database.own_pilot, 99);
  EXPECT_EQ(Stored(L"Pilot ID"), L"99");
  EXPECT_TRUE(Press('8')); // PID +
  EXPECT_EQ(g_tag_database.own_pilot, 1);

  ASSERT_EQ(g_squad_group.squad_number, 1);
  EXPECT_TRUE(Press('7')); // SQID -
  EXPECT_EQ(g_squad_group.squad_number, 99);
  EXPECT_TRUE(Press('6')); // SQID +
  EXPECT_EQ(g_squad_group.squad_number, 1);
}

TEST_F(ShellTest, ClearMsgsLeavesOnlyItsOwnMessage) {
  g_page_state.current_page = kPageDatabases;
  PostEvent(0x80010001, L"VEKTA DISCONNECTED", -1);
  PostEvent(0x0202A000, L"MAP LOADED", 6);
  EXPECT_FALSE(Press('7'));
  ASSERT_EQ(CountEvents(), 1);
  EXPECT_EQ(std::wstring(g_event_log.root.next->text), L"!!! EM DB RESET DONE !!!");
  EXPECT_EQ(g_event_log.root.next->code, 0x4004F000u);
  EXPECT_EQ(g_event_log.root.next->lifetime, 8);
}

TEST_F(ShellTest, ClearTagsRestartsTheNumbersEvenWhenEmpty) {
  g_page_state.current_page = kPageDatabases;
  g_tag_database.counter = 5;
  EXPECT_TRUE(Press('0'));
  EXPECT_EQ(g_tag_database.counter, 0u);
  EXPECT_EQ(EventLifetime(0x0203F000), 8);
}

TEST_F(ShellTest, ResetAllEmptiesTheDatabasesAndReportsEach) {
  g_page_state.current_page = kPageDatabases;
  AddRoutePoint(1, 2, 43.0, 41.0, 1, 0);
  g_route_database.route_to_active = 1;
  PostEvent(0x80010001, L"VEKTA DISCONNECTED", -1);
  EXPECT_TRUE(Press('6'));
  EXPECT_EQ(CountRoutePoints(), 0);
  EXPECT_EQ(g_route_database.route_to_active, 0);
  ASSERT_EQ(CountEvents(), 3);
  const EventMessage *m = g_event_log.root.next;
  EXPECT_EQ(std::wstring(m->text), L"!!! RT  DB RESET DONE !!!");
  EXPECT_EQ(m->code, 0x4004F000u);
  EXPECT_EQ(std::wstring(m->next->text), L"!!! TG DB RESET DONE !!!");
  EXPECT_EQ(m->next->code, 0x4003F000u);
  EXPECT_EQ(std::wstring(m->next->next->text), L"!!! AC DB RESET DONE !!!");
  EXPECT_EQ(m->next->next->code, 0x4005F000u);
}

class MapLoadButtonsTest : public ShellTest {
protected:
  void SetUp() override {
    ShellTest::SetUp();
    const std::string folder = MakeScratchFolder();
    ASSERT_TRUE(WriteSolidBmp(folder + "/map.bmp", 64, 48));
    std::string grid;
    for (const GridNode &node : LatticeNodes(Lattice{}))
      grid += "[" + std::to_string(node.latitude_code) + ":" + std::to_string(node.longitude_code) + "]" +
              std::to_string(static_cast<int>(node.x)) + ":" + std::to_string(static_cast<int>(node.y)) + "\n";
    ASSERT_TRUE(WriteTextFile(folder + "/map.grid", grid));
    map_path = Widen(folder + "/map.bmp");
    grid_path = Widen(folder + "/map.grid");
    g_page_state.current_page = kPageDatabases;
    Tick(kLinkTimer); // "NO MAP LOADED"
  }
  std::wstring map_path, grid_path;
};

TEST_F(MapLoadButtonsTest, LoadingTheThirdMapShowsMapLoadedForTwelveSeconds) {
  WriteSetting(L"GEORGIA map", map_path.c_str());
  WriteSetting(L"GEORGIA grid", grid_path.c_str());
  EXPECT_TRUE(Press('3'));
  EXPECT_EQ(g_map_view.current_map, 2);
  EXPECT_FALSE(HasEvent(kMapNotLoadedCode));
  EXPECT_EQ(EventLifetime(0x0202A000), 12);
  EXPECT_EQ(clicks, 1);
}

TEST_F(MapLoadButtonsTest, TheOtherMapsShowItForSixSeconds) {
  WriteSetting(L"KRASNODAR_KRAI MAP", map_path.c_str());
  WriteSetting(L"KRASNODAR_KRAI GRID", grid_path.c_str());
  EXPECT_TRUE(Press('1'));
  EXPECT_EQ(g_map_view.current_map, 0);
  EXPECT_EQ(EventLifetime(0x0202A000), 6);
}

TEST_F(MapLoadButtonsTest, AFailedLoadIsSilentAndNoMapLoadedStays) {
  WriteSetting(L"CAUCASUS_MOUNTAINS map", L"/nonexistent/map.bmp");
  EXPECT_FALSE(Press('2'));
  EXPECT_EQ(g_map_view.current_map, -1);
  EXPECT_TRUE(HasEvent(kMapNotLoadedCode));
  EXPECT_FALSE(HasEvent(0x0202A000));
  EXPECT_EQ(clicks, 1);
  // The bitmap loads but the grid does not: the map is shown, without "MAP LOADED".
  WriteSetting(L"CAUCASUS_MOUNTAINS map", map_path.c_str());
  EXPECT_FALSE(Press('2'));
  EXPECT_EQ(g_map_view.current_map, 1);
  EXPECT_FALSE(HasEvent(0x0202A000));
}

} // namespace
