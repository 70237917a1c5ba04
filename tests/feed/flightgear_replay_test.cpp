// flightgear_replay_test.cpp: a flight recorded from FlightGear with the KESTREL add-on (tests/flightgear/flight.rec,
// made with kestrel-feed record), handed datagram by datagram to the display's dispatcher over a calibration grid
// covering GEORGIA; and the feed doctor's verdict on the same recording.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "base/settings.h"
#include "link/listener.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/routes.h"
#include "mfd/page_state.h"
#include "status/failure_status.h"
#include "support/listener_fixture.h"
#include "support/test_env.h"
#include "tools/feed/check.h"
#include "tools/feed/recording.h"
#include "wire/protocol.h"

namespace {

std::vector<RecordedDatagram> Flight() {
  const std::string path = std::string(KESTREL_SOURCE_DIR) + "/tests/flightgear/flight.rec";
  std::vector<RecordedDatagram> datagrams;
  std::string error;
  EXPECT_TRUE(ParseRecording(ReadTextFile(path), path, datagrams, error)) << error;
  return datagrams;
}

class FlightGearReplay : public ::testing::Test {
protected:
  void SetUp() override {
    UseFreshSettingsStore();
    InitSharedRecordsForTest(context);
    InitRouteDatabase(425);
    context.route_database = &g_route_database;
    g_page_state.current_page = kPageMonitoring;
    // Half-degree nodes over 40.5-43.5 N, 39.5-47 E, 200 pixels a degree: the GEORGIA theatre with a margin.
    ClearCalibrationGrid();
    for (int lat = 405; lat <= 435; lat += 5)
      for (int lon = 395; lon <= 470; lon += 5)
        AppendGridNode(&g_calibration_grid, lat, lon, (lon - 395) * 20.0, (435 - lat) * 20.0);
    work = MakeListenerWork(&context);
  }
  void TearDown() override {
    FreeListenerWork(work);
    ClearRouteDatabase();
    ClearCalibrationGrid();
  }
  ListenerContext context;
  ListenerWork *work = nullptr;
};

TEST_F(FlightGearReplay, OwnshipMovesAlongItsHeadingAndRouteTargetAndFailuresArrive) {
  const std::vector<RecordedDatagram> flight = Flight();
  ASSERT_GT(flight.size(), 300u);
  double first_latitude = NAN, first_longitude = NAN;
  int32_t first_x = 0, first_y = 0;
  std::set<std::string> keywords;
  for (const RecordedDatagram &datagram : flight) {
    DispatchDatagram(datagram.bytes.c_str(), work);
    if (std::isnan(first_latitude) && ClassifyDatagram(datagram.bytes.c_str()) == kMonitor) {
      first_latitude = g_map_view.latitude;
      first_longitude = g_map_view.longitude;
      first_x = g_map_view.centre_x;
      first_y = g_map_view.centre_y;
    }
    char keyword[64] = {};
    int state = 0;
    if (std::sscanf(datagram.bytes.c_str(), kFailFormat, keyword, &state) == 2)
      keywords.insert(keyword);
  }
  // The view followed the ownship across the map, the way its heading points (radians clockwise from north).
  const double north = g_map_view.latitude - first_latitude;
  const double east = (g_map_view.longitude - first_longitude) * std::cos(first_latitude * M_PI / 180);
  ASSERT_GT(std::hypot(north, east), 0.05) << "the ownship hardly moved";
  const double track = std::atan2(east, north);
  EXPECT_LT(std::fabs(std::remainder(track - g_map_view.heading, 2 * M_PI)), 5 * M_PI / 180)
      << "track " << track << " heading " << g_map_view.heading;
  EXPECT_GT(std::hypot(g_map_view.centre_x - first_x, g_map_view.centre_y - first_y), 10);

  // Every point of the three-point plan, numbered from 1, and the steering target on the map.
  std::set<int> indices;
  for (const RoutePoint *p = g_route_database.head.next; p != nullptr; p = p->next)
    indices.insert(p->index);
  EXPECT_EQ(indices, (std::set<int>{1, 2, 3}));
  EXPECT_EQ(g_route_database.route_to_active, 1);

  // All 28 keywords came, every one known to the display; the gear failure of the flight is shown failed, an engine
  // working.
  EXPECT_EQ(keywords.size(), static_cast<size_t>(kFailureCount));
  for (const std::string &keyword : keywords)
    EXPECT_NE(FindFailure(keyword.c_str()), nullptr) << keyword;
  EXPECT_NE(FindFailure("GearFailure")->state, 0);
  EXPECT_EQ(FindFailure("LeftEngineFailure")->state, 0);
}

TEST_F(FlightGearReplay, DoctorFindsNothingWrong) {
  FeedDoctor doctor;
  for (const RecordedDatagram &datagram : Flight())
    doctor.Add(datagram.seconds, datagram.bytes);
  const CheckReport report = doctor.Finish("flight.rec");
  EXPECT_TRUE(report.findings.empty()) << FormatCheckText(report);
  EXPECT_GT(report.track_samples, 30);
}

} // namespace
