// link_handlers_test.cpp: what each received datagram does to the shared records, over a small
// synthetic calibration grid covering 43-44 N, 41-42 E.
#include <gtest/gtest.h>

#include <string>

#include "base/settings.h"
#include "link/handlers.h"
#include "link/listener.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/routes.h"
#include "mfd/page_state.h"
#include "status/event_log.h"
#include "support/listener_fixture.h"
#include "support/shell_fixture.h"
#include "support/test_env.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_sharing.h"
#include "wire/protocol.h"

namespace {
class HandlersTest : public ::testing::Test {
protected:
  void SetUp() override {
    RestorePageLabels(); // a sync toggled here changes the TAGGING label
    UseFreshSettingsStore();
    WriteSetting(L"Pilot ID", L"12");
    InitSharedRecordsForTest(context);
    InitRouteDatabase(425);
    context.route_database = &g_route_database;
    g_page_state.current_page = kPageMonitoring;
    g_squad_group.squad_number = 3;
    // Slightly skewed, as scanned maps are, so that no iso-line is exactly vertical or horizontal.
    ClearCalibrationGrid();
    for (int row = 0; row < 3; ++row)
      for (int column = 0; column < 3; ++column)
        AppendGridNode(&g_calibration_grid, 430 + 5 * row, 410 + 5 * column, 100.0 + 200 * column + 10 * row,
                       900.0 - 200 * row + 10 * column);
    work = MakeListenerWork(&context);
  }
  void TearDown() override {
    FreeListenerWork(work);
    ClearTags(g_tag_database);
    ClearSquadGroup(g_squad_group);
    ClearRouteDatabase();
    ClearCalibrationGrid();
    ClearEvents();
    g_page_state.current_page = kPageMonitoring;
    RestorePageLabels();
  }
  // Handles one text as the listener does, without sending anything that gets queued.
  void Handle(const char *text) {
    std::snprintf(work->text, kWorkTextCapacity, "%s", text);
    RunHandler(ClassifyDatagram(work->text), work);
  }

  ListenerContext context;
  ListenerWork *work = nullptr;
};

TEST(ProtocolTest, PrefixesDoNotShadowEachOtherAndMustMatchExactly) {
  EXPECT_EQ(ClassifyDatagram("KESTREL ROUTE_TO:Lat=43.5,Long=41.25"), kRouteTo);
  EXPECT_EQ(ClassifyDatagram("KESTREL ROUTE:1,Lat=43.5,Long=41.25,Type=1"), kRoute);
  EXPECT_EQ(ClassifyDatagram("KESTREL TAG:Lat=43.5,Long=41.25,Symb=1,Squad=1,Pilot=2,Type=0"), kTag);
  EXPECT_EQ(ClassifyDatagram("kestrel monitor:Lat=1,Long=2,Compass=3,Alt=4"), kUnknown);
  EXPECT_EQ(ClassifyDatagram("KESTREL MONITOR Lat=1,Long=2,Compass=3,Alt=4"), kUnknown);
  EXPECT_EQ(ClassifyDatagram("KESTREL MONITOR"), kUnknown);
}

TEST(ProtocolTest, SentTextsAreExactlyWhatPeersExpect) {
  char text[kSquadTextCapacity];
  ASSERT_TRUE(FormatSquadText(text, sizeof text, "KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200", 3, 12));
  EXPECT_STREQ(text, "KESTREL SQUAD:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200,Squad=3,Pilot=12,Type=0");
  // The run is taken as %s takes it: blanks before it are skipped, not forwarded as an empty run.
  ASSERT_TRUE(FormatSquadText(text, sizeof text, "KESTREL MONITOR: \tLat=43.5,Long=41.25,Compass=1.5,Alt=1200", 3, 12));
  EXPECT_STREQ(text, "KESTREL SQUAD:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200,Squad=3,Pilot=12,Type=0");
  ASSERT_TRUE(FormatTagText(text, kTagTextCapacity, 43.5, 41.25, PackSymbol(2, 'H', 5), 3, 12));
  EXPECT_STREQ(text, "KESTREL TAG:Lat=43.500000,Long=41.250000,Symb=149509,Squad=3,Pilot=12,Type=0");
}

TEST_F(HandlersTest, MonitorKeepsWhatItCannotReadAndFollowsOnlyWhenAsked) {
  g_map_view.heading = 0.25;
  Handle("KESTREL MONITOR:Lat=43.5,Long=41.0125,Compass=north,Alt=1200");
  EXPECT_EQ(g_map_view.latitude, 43.5);
  EXPECT_EQ(g_map_view.heading, 0.25) << "Compass is not a number: the heading stays";
  EXPECT_STREQ(g_map_view.latitude_text, L"43\u00b030.000");
  EXPECT_STREQ(g_map_view.longitude_text, L"41\u00b00.750");
  int32_t x = 0, y = 0;
  ASSERT_TRUE(GeoToMapPixel(&g_calibration_grid, 43.5, 41.0125, &x, &y));
  EXPECT_EQ(g_map_view.centre_x, x);
  EXPECT_EQ(g_map_view.centre_y, y);

  // On the TAGGING page the view stays where it was panned, unless sync is on.
  g_page_state.current_page = kPageTagging;
  Handle("KESTREL MONITOR:Lat=43.75,Long=41.5,Compass=1.0,Alt=1200");
  EXPECT_EQ(g_map_view.latitude, 43.75);
  EXPECT_EQ(g_map_view.heading, 1.0);
  EXPECT_EQ(g_map_view.centre_x, x);
  EXPECT_STREQ(g_map_view.latitude_text, L"43\u00b030.000");
  ToggleSync(g_tag_database);
  Handle("KESTREL MONITOR:Lat=43.75,Long=41.5,Compass=1.0,Alt=1200");
  EXPECT_NE(g_map_view.centre_x, x);
  EXPECT_STREQ(g_map_view.latitude_text, L"43\u00b045.000");

  Handle(" KESTREL MONITOR:Lat=10,Long=10,Compass=0,Alt=0"); // not a MONITOR
  EXPECT_EQ(g_map_view.latitude, 43.75);
}

TEST_F(HandlersTest, MonitorStopsReadingAtAValueThatIsNoNumber) {
  // Each field before the first one that is not a finite number takes its new value; that one and those
  // after it keep theirs, exactly as when a field does not match.
  const struct {
    const char *text;
    double latitude, longitude, heading;
  } cases[] = {
      {"KESTREL MONITOR:Lat=nan,Long=41.5,Compass=1,Alt=1200", 43.25, 41.25, 0.5},
      {"KESTREL MONITOR:Lat=43.75,Long=inf,Compass=1,Alt=1200", 43.75, 41.25, 0.5},
      {"KESTREL MONITOR:Lat=43.75,Long=41.5,Compass=-INFINITY,Alt=1200", 43.75, 41.5, 0.5},
      {"KESTREL MONITOR:Lat=43.75,Long=41.5,Compass=1,Alt=nan", 43.75, 41.5, 1.0},
  };
  for (const auto &c : cases) {
    g_map_view.latitude = 43.25;
    g_map_view.longitude = 41.25;
    g_map_view.heading = 0.5;
    Handle(c.text);
    EXPECT_EQ(g_map_view.latitude, c.latitude) << c.text;
    EXPECT_EQ(g_map_view.longitude, c.longitude) << c.text;
    EXPECT_EQ(g_map_view.heading, c.heading) << c.text;
    EXPECT_EQ(std::wstring(g_map_view.latitude_text).find(L"nan"), std::wstring::npos) << c.text;
    EXPECT_EQ(std::wstring(g_map_view.longitude_text).find(L"inf"), std::wstring::npos) << c.text;
  }
}

TEST_F(HandlersTest, MonitorOutsideTheMapWarnsOnceUntilBackInside) {
  PostEventOnce(0x80010001, L"VEKTA DISCONNECTED");
  context.link_age = 7000;
  for (int i = 0; i < 3; ++i)
    Handle("KESTREL MONITOR:Lat=50.0,Long=50.0,Compass=0,Alt=0");
  EXPECT_EQ(context.link_age, 0);
  EXPECT_EQ(CountEventsWithCode(0x80010001), 0);
  ASSERT_EQ(CountEventsWithCode(0x40020002), 1);
  EXPECT_STREQ(FirstEventWithCode(0x40020002)->text, L"OUT OF MAP");
  Handle("KESTREL MONITOR:Lat=43.2,Long=41.2,Compass=0,Alt=0");
  EXPECT_EQ(CountEventsWithCode(0x40020002), 0);
}

TEST_F(HandlersTest, MonitorQueuesTheSquadTextOnlyWhileJoined) {
  g_page_state.current_page = kPageFailures; // forwarding does not depend on the page
  Handle("KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200");
  EXPECT_TRUE(work->outbox.empty());
  SetJoined(g_squad_group, 1);
  Handle("KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200 trailing words");
  ASSERT_EQ(work->outbox.squad_texts.size(), 1u);
  EXPECT_EQ(work->outbox.squad_texts[0],
            "KESTREL SQUAD:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200,Squad=3,Pilot=12,Type=0");
}

TEST_F(HandlersTest, RoutesAreStoredOnceAndOnlyOnTheMap) {
  Handle("KESTREL ROUTE:1,Lat=43.2,Long=41.2,Type=1");
  Handle("KESTREL ROUTE:1,Lat=43.2,Long=41.2,Type=1");
  EXPECT_EQ(CountRoutePoints(), 1);
  EXPECT_EQ(CountEventsWithCode(0x04040001), 1) << "a repeated point is not announced again";
  EXPECT_EQ(FirstEventWithCode(0x04040001)->lifetime, 10);
  Handle("KESTREL ROUTE:0,Lat=43.3,Long=41.3,Type=1");
  EXPECT_EQ(CountRoutePoints(), 2);
  EXPECT_EQ(CountEventsWithCode(0x04040001), 1) << "point 0 is stored silently";
  Handle("KESTREL ROUTE:2,Lat=50.0,Long=41.3,Type=1");
  EXPECT_EQ(CountRoutePoints(), 2);
  EXPECT_EQ(CountEventsWithCode(0x20040002), 1);
  Handle("KESTREL ROUTE:3,Lat=43.4,Long=41.4"); // Type missing: dropped
  EXPECT_EQ(CountRoutePoints(), 2);

  Handle("KESTREL ROUTE_TO:Lat=43.6,Long=41.6");
  EXPECT_EQ(g_route_database.route_to_active, 1);
  EXPECT_EQ(g_route_database.route_to_latitude, 43.6);
  Handle("KESTREL ROUTE_TO:Lat=60.0,Long=41.6");
  EXPECT_EQ(g_route_database.route_to_active, 0);
  EXPECT_EQ(g_route_database.route_to_latitude, 43.6) << "the old target position stays";
  EXPECT_EQ(FirstEventWithCode(0x20040003)->lifetime, 2);
}

TEST_F(HandlersTest, TagsAreAnnouncedByWhoSentThem) {
  Handle("KESTREL TAG:Lat=43.2,Long=41.2,Symb=149509,Squad=3,Pilot=12,Type=0");
  Handle("KESTREL TAG:Lat=43.2,Long=41.3,Symb=149509,Squad=3,Pilot=0,Type=0");
  EXPECT_EQ(CountTags(g_tag_database), 0) << "own pilot and pilot 0 are ignored";
  EXPECT_EQ(CountEvents(), 0);

  Handle("KESTREL TAG:Lat=43.2,Long=41.2,Symb=149509,Squad=5,Pilot=7,Type=5");
  ASSERT_EQ(CountTags(g_tag_database), 1) << "another squad's tag is stored, whatever Type says";
  EXPECT_STREQ(FirstEventWithCode(0x02030002)->text, L"INCOMING TAG FROM [05/07]");
  EXPECT_EQ(FirstEventWithCode(0x02030002)->lifetime, 20);
  EXPECT_EQ(FindTag(g_tag_database, 1)->symbol.symbol_class, 'H') << "Symb=149509 unpacks to 2/'H'/5";

  Handle("KESTREL TAG:Lat=43.4,Long=41.4,Symb=1,Squad=3,Pilot=7,Type=0");
  ASSERT_NE(FirstEventWithCode(0x08031002), nullptr);
  EXPECT_STREQ(FirstEventWithCode(0x08031002)->text, L"INCOMING TAG #2 FROM [07]");
  EXPECT_EQ(FirstEventWithCode(0x08031002)->lifetime, -1);
  EXPECT_EQ(CountEventsWithCode(0x20030002), 0) << "on the map";
  Handle("KESTREL TAG:Lat=43.4,Long=41.4,Symb=1,Squad=3,Pilot=7,Type=0");
  EXPECT_EQ(CountTags(g_tag_database), 2) << "the same tag again is stored once";
  EXPECT_EQ(CountEventsWithCode(0x08031002), 1);

  Handle("KESTREL TAG:Lat=55.0,Long=41.4,Symb=1,Squad=3,Pilot=8,Type=0");
  ASSERT_EQ(CountEventsWithCode(0x20030002), 2);
  EXPECT_STREQ(FirstEventWithCode(0x20030002)->text, L"INCOMING TAG FROM [08]");
  EXPECT_STREQ(FirstEventWithCode(0x20030002)->next->text, L"OUT OF MAP");

  Handle("KESTREL TAG:Lat=43.1,Long=41.1,Symb=1,Squad=3"); // Pilot missing: dropped
  EXPECT_EQ(CountTags(g_tag_database), 3);
}

TEST_F(HandlersTest, ATagWithSquadZeroIsSentOnAsOneMadeHere) {
  g_tag_database.joined = 1;
  Handle("KESTREL TAG:Lat=43.2,Long=41.2,Symb=149509,Squad=0,Pilot=7,Type=0");
  ASSERT_EQ(work->outbox.tags.size(), 1u);
  EXPECT_EQ(work->outbox.tags[0].text, "KESTREL TAG:Lat=43.200000,Long=41.200000,Symb=149509,Squad=3,Pilot=12,Type=0");
  EXPECT_STREQ(FirstEventWithCode(0x02030002)->text, L"INCOMING TAG FROM [00/07]");
}

TEST_F(HandlersTest, AgmMarkShowsWhileDesignationsKeepComing) {
  Handle("KESTREL AGMTAG:Lat=43.5"); // Long missing: dropped
  EXPECT_FALSE(AgmMarkShown(g_tag_database));
  context.agm_age = 9;
  Handle("KESTREL AGMTAG:Lat=70.5,Long=10.25"); // no map check
  EXPECT_TRUE(AgmMarkShown(g_tag_database));
  EXPECT_EQ(context.agm_age, 0);
  for (int tick = 1; tick <= 3; ++tick) {
    AgeAgmMark(g_tag_database, context.agm_age);
    EXPECT_TRUE(AgmMarkShown(g_tag_database)) << "tick " << tick;
  }
  AgeAgmMark(g_tag_database, context.agm_age);
  EXPECT_FALSE(AgmMarkShown(g_tag_database)) << "gone at the fourth tick";
}

TEST_F(HandlersTest, SquadReportsAreKeptWhileJoinedInTheChosenUnit) {
  Handle("KESTREL SQUAD:Lat=43.2,Long=41.2,Compass=1.5,Alt=1200,Squad=3,Pilot=7,Type=0");
  EXPECT_EQ(CountSquadMembers(g_squad_group), 0) << "not joined";
  SetJoined(g_squad_group, 1);
  Handle("KESTREL SQUAD:Lat=43.2,Long=41.2,Compass=1.5,Alt=1200,Squad=3,Pilot=7,Type=0");
  const SquadMember *member = FindSquadMember(g_squad_group, 7);
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(member->altitude, 39.0) << "1200 m is 3937 ft, flight level 39";
  EXPECT_EQ(member->heading, 1.5);
  EXPECT_EQ(member->on_map, 1);

  g_map_view.unit_km = 1;
  const struct {
    const char *alt;
    double kept;
  } kCases[] = {{"1260", 1250.0}, {"1240", 1200.0}, {"1250", 1200.0}, {"1200", 1200.0}};
  for (const auto &c : kCases) {
    Handle(
        ("KESTREL SQUAD:Lat=43.2,Long=41.2,Compass=1.5,Alt=" + std::string(c.alt) + ",Squad=3,Pilot=7,Type=0").c_str());
    EXPECT_EQ(member->altitude, c.kept) << c.alt;
  }

  g_squad_group.root.next->age = 30;
  Handle("KESTREL SQUAD:Lat=55.0,Long=41.2,Compass=0.5,Alt=1000,Squad=4,Pilot=7,Type=0");
  EXPECT_EQ(CountSquadMembers(g_squad_group), 1) << "refreshed, not added";
  EXPECT_EQ(member->age, 0u);
  EXPECT_EQ(member->squad, 4);
  EXPECT_EQ(member->on_map, 0);
  EXPECT_EQ(member->bitmap_x, 0);

  Handle("KESTREL SQUAD:Lat=43.2,Long=41.2,Compass=0.5,Alt=1000,Squad=3,Pilot=12,Type=0");
  Handle("KESTREL SQUAD:Lat=43.2,Long=41.2,Compass=0.5,Alt=1000,Squad=3"); // Pilot missing: dropped
  Handle("KESTREL SQUAD:Lat=43.2,Long=41.2,Compass=nan,Alt=1000,Squad=3,Pilot=9,Type=0");
  EXPECT_EQ(CountSquadMembers(g_squad_group), 1) << "own pilot, partial and unreadable reports are not kept";
}
} // namespace

namespace {
int g_frames_asked = 0;
void CountFrameRequest() { ++g_frames_asked; }

// A datagram asks for a new frame exactly when it changed something the page on show draws. Each row is
// dispatched in order on its page, so a repeated datagram that changes nothing asks for nothing.
TEST_F(HandlersTest, ADatagramAsksForAFrameOnlyWhenThePageOnShowDrawsWhatItChanged) {
  const struct {
    int page;
    const char *text;
    bool asks;
  } rows[] = {
      {kPageMonitoring, "KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200", true},
      {kPageMonitoring, "KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.5,Alt=900", false}, // altitude: not drawn
      {kPageMonitoring, "KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.6,Alt=900", true},  // heading
      {kPageFailures, "KESTREL MONITOR:Lat=43.6,Long=41.25,Compass=1.6,Alt=900", false},
      {kPageTagging, "KESTREL MONITOR:Lat=43.7,Long=41.25,Compass=1.6,Alt=900", true}, // the ownship moves on it
      {kPageFailures, "KESTREL FAIL: GearFailure 0", true},
      {kPageFailures, "KESTREL FAIL: GearFailure 0", false},
      {kPageFailures, "KESTREL FAIL: NoSuchSystem 0", false},
      {kPageMonitoring, "KESTREL FAIL: GearFailure 1", false},
      {kPageMonitoring, "KESTREL ROUTE:1,Lat=43.2,Long=41.2,Type=1", true},
      {kPageMonitoring, "KESTREL ROUTE:1,Lat=43.2,Long=41.2,Type=1", false}, // the same point again
      {kPageDatabases, "KESTREL ROUTE:2,Lat=43.3,Long=41.3,Type=1", true},   // its count, and INCOMING ROUTE
      {kPageMonitoring, "KESTREL ROUTE_TO:Lat=43.4,Long=41.4", true},
      {kPageMonitoring, "KESTREL ROUTE_TO:Lat=43.4,Long=41.4", false},
      {kPageSquad, "KESTREL AGMTAG:Lat=43.4,Long=41.4", false},
      {kPageMonitoring, "KESTREL AGMTAG:Lat=43.4,Long=41.4", true},
      {kPageSquad, "KESTREL TAG:Lat=43.3,Long=41.3,Symb=0,Squad=3,Pilot=7,Type=0", true}, // its INCOMING TAG line
      {kPageMonitoring, "KESTREL TAG:Lat=43.3,Long=41.3,Symb=0,Squad=3,Pilot=7,Type=0", false},
      {kPageMonitoring, "KESTREL SQUAD:Lat=43.5,Long=41.5,Compass=0,Alt=3000,Squad=3,Pilot=7,Type=0", false},
      {kPageMonitoring, "KESTREL HELLO:nothing", false},
  };
  context.request_repaint = CountFrameRequest;
  for (const auto &row : rows) {
    g_page_state.current_page = row.page;
    g_frames_asked = 0;
    DispatchDatagram(row.text, work);
    EXPECT_EQ(g_frames_asked, row.asks ? 1 : 0) << row.text << " on page " << row.page;
  }
  // A squad mate's report is drawn on the map pages once the squad is joined, and counted on DATABASES.
  SetJoined(g_squad_group, 1);
  for (const int page : {kPageMonitoring, kPageDatabases, kPageSquad}) {
    g_page_state.current_page = page;
    g_frames_asked = 0;
    DispatchDatagram("KESTREL SQUAD:Lat=43.5,Long=41.5,Compass=0,Alt=3000,Squad=3,Pilot=7,Type=0", work);
    EXPECT_EQ(g_frames_asked, page == kPageSquad ? 0 : 1) << "page " << page;
  }
}
} // namespace
