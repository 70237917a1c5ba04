// mfd_buttons_test.cpp: the dispatcher's edge rule, the cursor mover and the actions of the pages' buttons.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <string>

#include "app/bezel_input.h"
#include "app/shell.h"
#include "base/settings.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/routes.h"
#include "mfd/page_state.h"
#include "mfd/page_table.h"
#include "status/event_codes.h"
#include "support/map_support.h"
#include "support/shell_fixture.h"
#include "support/test_env.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_sharing.h"

namespace {

constexpr int kVkF1 = 0x70, kVkUp = 0x26, kVkDown = 0x28, kVkRight = 0x27, kVkLeft = 0x25;
constexpr int kVkPageUp = 0x21, kVkPageDown = 0x22;
constexpr uint32_t kCodeMapLoaded = 0x0202A000;

uint32_t Mask(int button) { return uint32_t{1} << (button - 1); }

std::wstring Stored(const wchar_t *name) {
  wchar_t text[kSettingTextCapacity];
  ReadSetting(name, text);
  return text;
}

TEST_F(ShellTest, ModeCyclesThePagesAndMonitReturns) {
  for (const wchar_t *title :
       {L"[ TAGGING ]", L"[ FAILURES STATUS ]", L"[ SQUAD GROUP ]", L"[ DATABASES ]", L"[ MONITORING ]"}) {
    EXPECT_TRUE(Press('M'));
    EXPECT_STREQ(PageTitle(g_page_state.current_page), title);
  }
  EXPECT_EQ(clicks, 5);
  for (int page : {kPageTagging, kPageFailures, kPageSquad}) {
    g_page_state.current_page = page;
    EXPECT_TRUE(Press('1'));
    EXPECT_EQ(g_page_state.current_page, kPageMonitoring) << page;
  }
}

TEST_F(ShellTest, AButtonActsOncePerChangeOfTheReportedButton) {
  ShellKey(kVkF1 + 7); // F8: MODE, twice without a tick in between
  ShellKey(kVkF1 + 7);
  EXPECT_EQ(g_page_state.current_page, kPageTagging);
  Tick(kButtonTimer);
  ShellKey(kVkF1 + 7);
  EXPECT_EQ(g_page_state.current_page, kPageFailures);

  Tick(kButtonTimer);
  bezel_mask = Mask(13) | Mask(20); // the lowest held button counts, once until released
  for (int tick = 0; tick < 3; ++tick)
    Tick(kButtonTimer);
  EXPECT_EQ(g_page_state.current_page, kPageSquad);
  bezel_mask = 0;
  Tick(kButtonTimer);
  bezel_mask = Mask(13);
  Tick(kButtonTimer);
  EXPECT_EQ(g_page_state.current_page, kPageDatabases);
  ASSERT_FALSE(invalidations.empty());
  EXPECT_TRUE(invalidations[0].whole && invalidations[0].erase);

  bezel_mask = Mask(32);
  EXPECT_EQ(ReadJoystickButton(0), 32);
  EXPECT_EQ(ReadJoystickButton(7), 0);
  devices_connected = false;
  EXPECT_EQ(ReadJoystickButton(0), 0);
  Tick(kButtonTimer);
  EXPECT_TRUE(Press('M')) << "keys still work without a bezel";
}

TEST_F(ShellTest, ZoomStopsOnceBeyondItsLimitsButStillClicks) {
  for (int press = 1; press <= 6; ++press)
    EXPECT_TRUE(Press(kVkPageUp)) << press;
  EXPECT_NEAR(g_map_view.zoom, 0.125, 0.0001);
  EXPECT_TRUE(Press(kVkPageUp));
  EXPECT_NEAR(g_map_view.zoom, 0.125, 0.0001);
  EXPECT_EQ(clicks, 7);
  EXPECT_TRUE(Press('3')); // x1.
  EXPECT_EQ(g_map_view.source.width, 425);

  g_page_state.current_page = kPageTagging;
  for (int press = 1; press <= 5; ++press)
    EXPECT_TRUE(Press(kVkPageDown)) << press;
  EXPECT_NEAR(g_map_view.zoom, 5.657, 0.001);
  EXPECT_TRUE(Press(kVkPageDown));
}

TEST_F(ShellTest, RouteTogglesAndOptnsStoresTheOption) {
  EXPECT_TRUE(Press(kVkF1 + 6)); // F7: ROUTE
  EXPECT_EQ(g_page_state.route_display, 0);
  EXPECT_TRUE(Press(kVkF1 + 6));
  EXPECT_EQ(g_page_state.route_display, 1);

  EXPECT_TRUE(Press('O'));
  EXPECT_EQ(Stored(L"MenuOption#00"), L"00000000"); // from 3, the default, round to 0
  EXPECT_TRUE(Press(kVkF1 + 5));                    // F6, the same button
  EXPECT_EQ(Stored(L"MenuOption#00"), L"00000001");
  EXPECT_EQ(g_page_state.option_values[kPageTagging], 15u) << "only the current page's option";

  g_page_state.current_page = kPageTagging;
  EXPECT_TRUE(Press(kVkF1 + 6));
  EXPECT_EQ(g_page_state.route_display, 0);
}

TEST_F(ShellTest, DirectionsPanOnlyTheTaggingViewOnEveryPressAndEndTheSync) {
  g_map_view.centre_x = g_map_view.centre_y = 1000;
  EXPECT_TRUE(Press(kVkUp));
  EXPECT_EQ(g_map_view.centre_y, 1000);
  EXPECT_EQ(clicks, 0);

  g_page_state.current_page = kPageTagging;
  ToggleSync(g_tag_database);
  ShellKey(kVkUp); // no edge rule: the same key twice without a tick pans twice
  ShellKey(kVkUp);
  EXPECT_EQ(g_map_view.centre_y, 950);
  EXPECT_EQ(g_tag_database.sync, 0);
  EXPECT_STREQ(PageLabel(kPageTagging, 7), L"SYNC ON");
  g_map_view.zoom = 0.5;
  EXPECT_TRUE(Press(kVkRight));
  EXPECT_EQ(g_map_view.centre_x, 1012); // 25 x 0.5 = 12.5, truncated
  EXPECT_TRUE(Press(kVkLeft));
  EXPECT_TRUE(Press(kVkDown));
  EXPECT_EQ(g_map_view.centre_x, 1000);
  EXPECT_EQ(g_map_view.centre_y, 962);

  g_map_view.zoom = 1.0;
  bezel_mask = Mask(11); // a held bezel direction pans on every tick
  for (int tick = 0; tick < 3; ++tick)
    Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_x, 1075);
}

TEST_F(ShellTest, StickDirectionsAreReadOnlyWhileTheBezelIsIdle) {
  g_page_state.current_page = kPageTagging;
  g_shell.settings.stick_up = 5;
  g_shell.settings.stick_down = 9;
  g_map_view.centre_y = 100;
  stick_mask = Mask(5); // UP's button, taken for 9, which is DOWN's button: it pans down
  Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_y, 125);
  bezel_mask = Mask(1);
  Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_y, 125);
  // A stick sharing the bezel's id is not mapped: raw 12 is the bezel's LEFT, the stick's LEFT (14) is nothing.
  g_shell.settings.stick_id = g_shell.settings.mfd_id;
  g_map_view.centre_x = 0;
  bezel_mask = Mask(12);
  Tick(kButtonTimer);
  bezel_mask = Mask(14);
  Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_x, -25);
}

TEST_F(ShellTest, AStickButtonSetTo0NeverMatchesTheStickAtRest) {
  g_page_state.current_page = kPageTagging;
  g_shell.settings.stick_up = 0;
  g_shell.settings.stick_tag = 0;
  g_map_view.centre_x = g_map_view.centre_y = 100;
  for (int tick = 0; tick < 3; ++tick) // bezel and stick idle
    Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_y, 100) << "no pan without a button";
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(CountTags(g_tag_database), 0);
  stick_mask = Mask(12); // the other directions still pan
  Tick(kButtonTimer);
  EXPECT_EQ(g_map_view.centre_x, 125);
}

class TaggingButtonsTest : public ShellTest {
protected:
  void SetUp() override {
    ShellTest::SetUp();
    BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{}));
    g_page_state.current_page = kPageTagging;
  }
};

TEST_F(TaggingButtonsTest, SymbolButtonsSetTheNewTagSymbolAndAffilWrapsThroughFour) {
  struct Expected {
    int key;
    signed char symbol_class;
    int32_t category;
  };
  // AAA, ARMOR, M.INF, UNKN: ground classes; AIR: the air class.
  for (const Expected e : {Expected{kVkF1, 1, 1}, Expected{kVkF1 + 1, 1, 2}, Expected{kVkF1 + 2, 1, 3},
                           Expected{kVkF1 + 3, 1, 0}, Expected{kVkF1 + 4, 2, 4}}) {
    EXPECT_TRUE(Press(e.key));
    EXPECT_EQ(g_tag_database.new_symbol.symbol_class, e.symbol_class) << e.key;
    EXPECT_EQ(g_tag_database.new_symbol.category, e.category) << e.key;
  }
  const int32_t first = g_tag_database.new_symbol.affiliation;
  std::vector<int32_t> seen;
  for (int press = 0; press < 4; ++press) {
    EXPECT_TRUE(Press('6')); // AFFIL
    seen.push_back(g_tag_database.new_symbol.affiliation);
  }
  EXPECT_EQ(seen.back(), first) << "four presses come back to where they started";
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(clicks, 9);
}

TEST_F(TaggingButtonsTest, EveryPressOnEveryPageShowsInTheNextFrame) {
  // Every key of a button, on every page, asks for a frame at once: nothing waits for the once-a-second repaint.
  const int keys[] = {kVkF1, kVkF1 + 1, kVkF1 + 2, kVkF1 + 3, kVkF1 + 4, '1',       '2',
                      '3',   '4',       '5',       kVkF1 + 9, kVkF1 + 8, kVkF1 + 6, kVkF1 + 5,
                      '0',   '9',       '8',       '7',       '6',       kVkPageUp, kVkPageDown};
  for (int page = kPageMonitoring; page <= kPageDatabases; ++page) {
    for (const int key : keys) {
      if (page == kPageDatabases && (key == '1' || key == '2' || key == '3'))
        continue; // the map loads have their own test
      g_page_state.current_page = page;
      EXPECT_TRUE(Press(key)) << "page " << page << ", key " << key;
    }
  }
}

TEST_F(TaggingButtonsTest, SyncTogglesItsLabelAndCentresTheViewOnTheOwnship) {
  g_map_view.latitude = 43.25;
  g_map_view.longitude = 40.25;
  int32_t x = 0, y = 0;
  ASSERT_TRUE(GeoToMapPixel(&g_calibration_grid, 43.25, 40.25, &x, &y));
  g_map_view.centre_x = g_map_view.centre_y = 9999;
  EXPECT_TRUE(Press('2'));
  EXPECT_STREQ(PageLabel(kPageTagging, 7), L"SYNC OFF");
  EXPECT_EQ(g_tag_database.sync, 1);
  EXPECT_EQ(g_map_view.centre_x, x);
  EXPECT_EQ(g_map_view.centre_y, y);
  g_map_view.centre_x = 0;
  EXPECT_TRUE(Press('2'));
  EXPECT_STREQ(PageLabel(kPageTagging, 7), L"SYNC ON");
  EXPECT_EQ(g_map_view.centre_x, x) << "centred whatever the new state";
  g_map_view.latitude = 10.0; // off the grid: the view stays
  g_map_view.centre_x = 7;
  EXPECT_TRUE(Press('2'));
  EXPECT_EQ(g_map_view.centre_x, 7);
}

TEST_F(TaggingButtonsTest, TagCenterAndTheStickTagButton) {
  g_map_view.centre_x = 99999; // off the grid: no tag and not even a click
  EXPECT_TRUE(Press('0'));
  EXPECT_EQ(CountTags(g_tag_database), 0);
  EXPECT_EQ(clicks, 0);
  g_map_view.centre_x = 150;
  g_map_view.centre_y = 450;
  EXPECT_TRUE(Press('0'));
  ASSERT_EQ(CountTags(g_tag_database), 1);
  const TagRecord *tag = g_tag_database.root.next;
  double latitude = 0, longitude = 0;
  ASSERT_TRUE(MapPixelToGeo(&g_calibration_grid, 150, 450, g_map_view, nullptr, &latitude, &longitude));
  EXPECT_TRUE(tag->latitude == latitude && tag->longitude == longitude);

  // The stick's tag button ("Stick Tag" 7) tags the view centre, or the AGM mark; either press shows at once.
  stick_mask = Mask(7);
  Tick(kButtonTimer);
  EXPECT_EQ(CountTags(g_tag_database), 1) << "the same position again";
  EXPECT_FALSE(invalidations.empty());
  stick_mask = 0;
  Tick(kButtonTimer);
  SetAgmMark(g_tag_database, 43.6, 40.7);
  stick_mask = Mask(7);
  Tick(kButtonTimer);
  ASSERT_EQ(CountTags(g_tag_database), 2);
  EXPECT_EQ(g_tag_database.root.next->next->latitude, 43.6);
  EXPECT_FALSE(invalidations.empty());
  stick_mask = 0;
  Tick(kButtonTimer);
  g_page_state.current_page = kPageMonitoring;
  SetAgmMark(g_tag_database, 43.7, 40.7);
  stick_mask = Mask(7);
  Tick(kButtonTimer);
  EXPECT_EQ(CountTags(g_tag_database), 2) << "off the TAGGING page";
}

TEST_F(TaggingButtonsTest, ClearingTheTagsLeavesNoTagSelected) {
  // The numbers restart after a clear: a selection kept would fall on the next tag #1, for the steering line and
  // for ERASE TAG.
  for (const int key : {'0', '6'}) { // CLEAR TAGS, RESET ALL
    for (const double latitude : {43.2, 43.3})
      AddTag(g_tag_database, 0, 1, TagSymbol{}, latitude, 40.2, g_shell.outbox);
    SelectNextTag(g_tag_database, g_calibration_grid);
    ASSERT_EQ(g_tag_database.selected, 1u);
    g_page_state.current_page = kPageDatabases;
    EXPECT_TRUE(Press(key));
    ASSERT_EQ(AddTag(g_tag_database, 1, 7, TagSymbol{}, 43.4, 40.4, g_shell.outbox), 1);
    EXPECT_EQ(g_tag_database.selected, 0u) << static_cast<char>(key);
    g_page_state.current_page = kPageMonitoring;
    EXPECT_TRUE(Press('9')) << "ERASE TAG has nothing to erase, and the press still shows";
    EXPECT_EQ(CountTags(g_tag_database), 1);
    ClearTags(g_tag_database);
  }
}

TEST_F(ShellTest, SquadButtonsJoinAndStepTheIdentity) {
  g_page_state.current_page = kPageSquad;
  EXPECT_TRUE(Press('0'));
  EXPECT_EQ(g_squad_group.joined, 1);
  EXPECT_EQ(g_tag_database.joined, 1);
  EXPECT_STREQ(PageLabel(kPageSquad, 16), L"DISJOIN SQUAD");
  EXPECT_EQ(clicks, 0); // JOIN SQUAD does not click
  EXPECT_TRUE(Press('0'));
  EXPECT_EQ(g_tag_database.joined, 0);
  EXPECT_STREQ(PageLabel(kPageSquad, 16), L"JOIN SQUAD");

  EXPECT_TRUE(Press('9')); // PID - from 1
  EXPECT_EQ(g_squad_group.own_pilot, 99);
  EXPECT_TRUE(Press('7')); // SQID - from 1
  EXPECT_EQ(g_squad_group.squad_number, 99);
}

TEST_F(ShellTest, DatabaseButtonsResetAndReportEachDatabase) {
  g_page_state.current_page = kPageDatabases;
  PostEvent(kCodeVektaDisconnected, L"VEKTA DISCONNECTED", -1);
  EXPECT_TRUE(Press('7')); // CLEAR MSGS leaves only its own message
  ASSERT_EQ(CountEvents(), 1);
  EXPECT_STREQ(g_event_log.root.next->text, L"!!! EM DB RESET DONE !!!");
  EXPECT_EQ(g_event_log.root.next->code, 0x4004F000u);
  EXPECT_EQ(g_event_log.root.next->lifetime, 8);

  g_tag_database.counter = 5;
  EXPECT_TRUE(Press('0')); // CLEAR TAGS restarts the numbers even when empty
  EXPECT_EQ(g_tag_database.counter, 0u);
  EXPECT_EQ(FirstEventWithCode(0x0203F000)->lifetime, 8);

  ClearEvents();
  AddRoutePoint(1, 2, 43.0, 41.0, 1, 0);
  g_route_database.route_to_active = 1;
  EXPECT_TRUE(Press('6')); // RESET ALL
  EXPECT_EQ(CountRoutePoints(), 0);
  EXPECT_EQ(g_route_database.route_to_active, 0);
  ASSERT_EQ(CountEvents(), 3);
  EXPECT_STREQ(g_event_log.root.next->text, L"!!! RT  DB RESET DONE !!!");
  EXPECT_EQ(CountEventsWithCode(0x4005F000) + CountEventsWithCode(0x4003F000), 2) << "AC and TG";
}

TEST_F(ShellTest, MapLoadButtonsAnnounceOnlyACompleteLoad) {
  const std::string folder = MakeScratchFolder();
  ASSERT_TRUE(WriteSolidBmp(folder + "/map.bmp", 64, 48));
  std::string grid;
  for (const GridNode &node : LatticeNodes(Lattice{}))
    grid += "[" + std::to_string(node.latitude_code) + ":" + std::to_string(node.longitude_code) + "]" +
            std::to_string(static_cast<int>(node.x)) + ":" + std::to_string(static_cast<int>(node.y)) + "\n";
  ASSERT_TRUE(WriteTextFile(folder + "/map.grid", grid));
  const std::wstring map = Widen(folder + "/map.bmp"), grid_path = Widen(folder + "/map.grid");
  g_page_state.current_page = kPageDatabases;
  Tick(kLinkTimer); // "NO MAP LOADED"

  WriteSetting(L"CAUCASUS_MOUNTAINS map", L"/nonexistent/map.bmp");
  EXPECT_TRUE(Press('2'));
  EXPECT_EQ(g_map_view.current_map, -1);
  EXPECT_TRUE(HasEvent(kCodeNoMapLoaded));
  EXPECT_EQ(clicks, 1);
  WriteSetting(L"CAUCASUS_MOUNTAINS map", map.c_str()); // the bitmap loads, the grid does not: no "MAP LOADED"
  EXPECT_TRUE(Press('2'));
  EXPECT_EQ(g_map_view.current_map, 1);
  EXPECT_FALSE(HasEvent(kCodeMapLoaded));

  WriteSetting(L"GEORGIA map", map.c_str());
  WriteSetting(L"GEORGIA grid", grid_path.c_str());
  EXPECT_TRUE(Press('3'));
  EXPECT_EQ(g_map_view.current_map, 2);
  EXPECT_FALSE(HasEvent(kCodeNoMapLoaded));
  EXPECT_EQ(FirstEventWithCode(kCodeMapLoaded)->lifetime, 12) << "the third map's message lasts longer";
  ClearEvents();
  WriteSetting(L"KRASNODAR_KRAI MAP", map.c_str());
  WriteSetting(L"KRASNODAR_KRAI GRID", grid_path.c_str());
  EXPECT_TRUE(Press('1'));
  EXPECT_EQ(g_map_view.current_map, 0);
  EXPECT_EQ(FirstEventWithCode(kCodeMapLoaded)->lifetime, 6);
}

} // namespace
