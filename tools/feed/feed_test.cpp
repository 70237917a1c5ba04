// feed_test.cpp: tests of kestrel-feed: the flight model, the datagrams of a flight, the recording format
// and the command line, with one record-and-replay run over the loopback interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <set>
#include <thread>

#include "platform/udp.h"
#include "tools/feed/flight.h"
#include "tools/feed/options.h"
#include "tools/feed/recording.h"
#include "tools/feed/scenario.h"
#include "wire/protocol.h"

namespace {
constexpr double kPi = std::numbers::pi;

double AngleBetween(double a, double b) {
  const double d = std::fabs(std::fmod(a - b, 2 * kPi));
  return std::min(d, 2 * kPi - d);
}

ScenarioConfig TheatreConfig(const Theatre &theatre, int peers = 0) {
  ScenarioConfig config;
  config.route = theatre.route;
  config.peers = peers;
  config.bounded = true;
  config.south = theatre.south, config.north = theatre.north, config.west = theatre.west, config.east = theatre.east;
  return config;
}

// Runs the flight for the given number of seconds and returns every text sent.
std::vector<std::string> Fly(Scenario &scenario, double seconds) {
  std::vector<std::string> texts;
  for (long i = std::lround(seconds * scenario.config.rate_hz); i > 0; --i)
    ScenarioTick(scenario, texts);
  return texts;
}

} // namespace

TEST(FeedFlight, FlatEarthOfTheDisplayAndSampleRoutesInsideTheirTheatres) {
  EXPECT_DOUBLE_EQ(DistanceKm(43.0, 40.0, 44.0, 40.0), 112.0);
  EXPECT_DOUBLE_EQ(DistanceKm(41.5, 40.0, 41.5, 41.0), 83.0);
  EXPECT_NEAR(BearingRadians(43, 40, 43, 39), 3 * kPi / 2, 1e-12);
  for (const Theatre &theatre : SampleTheatres()) {
    EXPECT_EQ(FindTheatre(theatre.name), &theatre);
    for (const Waypoint &point : theatre.route)
      EXPECT_TRUE(InsideTheatre(theatre, point.latitude, point.longitude)) << theatre.name << " " << point.name;
  }
}

TEST(FeedFlight, HeadingFollowsTheTrackAndTurnsAtTheTurnRate) {
  for (const Theatre &theatre : SampleTheatres()) {
    Scenario scenario;
    StartScenario(scenario, TheatreConfig(theatre));
    std::vector<std::array<double, 4>> track; // latitude, longitude, compass, altitude of each MONITOR
    for (const std::string &text : Fly(scenario, 1800)) {
      std::array<double, 4> p;
      if (std::sscanf(text.c_str(), kMonitorFormat, &p[0], &p[1], &p[2], &p[3]) == 4)
        track.push_back(p);
    }
    ASSERT_EQ(track.size(), 18000u) << theatre.name;
    const double dt = 1.0 / scenario.config.rate_hz;
    double sharpest = 0;
    for (size_t i = 1; i < track.size(); ++i) {
      const auto &a = track[i - 1], &b = track[i];
      ASSERT_TRUE(b[2] >= 0 && b[2] < 2 * kPi) << b[2];
      const double moved = BearingRadians(a[0], a[1], b[0], b[1]);
      ASSERT_LT(AngleBetween(moved, b[2]), 0.02) << theatre.name << " tick " << i;
      // Compass travels with six decimals, so each of the two headings may be off by 5e-7.
      const double turned = AngleBetween(a[2], b[2]);
      ASSERT_LE(turned, kTurnRate * dt + 2e-6) << theatre.name << " tick " << i;
      sharpest = std::max(sharpest, turned);
      ASSERT_NEAR(DistanceKm(a[0], a[1], b[0], b[1]), 450 * 1.852 * dt / 3600, 0.002); // 450 knots
    }
    EXPECT_GT(sharpest, 0.9 * kTurnRate * dt) << theatre.name << ": the route has turns to make";
  }
}

TEST(FeedFlight, ReachesEveryWaypointInOrderOnEachCircuit) {
  for (const double knots : {450.0, 1000.0})
    for (const Theatre &theatre : SampleTheatres()) {
      const std::vector<Waypoint> &route = theatre.route;
      Aircraft aircraft = StartFlight(route, 0, knots * kKmhPerKnot, 3000);
      std::vector<size_t> order; // two circuits of the longest route take under three hours at 450 knots
      for (double t = 0; t < 4 * 3600 && order.size() < 2 * route.size(); t += 0.1) {
        const size_t target = aircraft.target;
        StepFlight(aircraft, route, 0.1);
        if (aircraft.target != target) {
          const Waypoint &point = route[target];
          EXPECT_LE(DistanceKm(aircraft.latitude, aircraft.longitude, point.latitude, point.longitude),
                    CaptureRadiusKm(aircraft) + 0.1);
          order.push_back(target);
        }
      }
      ASSERT_EQ(order.size(), 2 * route.size()) << theatre.name << ": a waypoint was never reached";
      for (size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], (i + 1) % route.size()) << theatre.name;
    }
}

TEST(FeedFlight, RouteFilesAreReadWithTypesNamesAndComments) {
  std::vector<Waypoint> route;
  std::string error;
  ASSERT_TRUE(ParseRouteText("# sample\n\n 44.5 38.0\n45.0\t39.5 2 Target Area\r\n43.9 39.1 4\n", "r", route, error))
      << error;
  ASSERT_EQ(route.size(), 3u);
  EXPECT_DOUBLE_EQ(route[1].longitude, 39.5);
  EXPECT_EQ((std::vector<int>{route[0].type, route[1].type, route[2].type}), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(route[1].name + route[2].name, "Target AreaWP3");
  for (const char *bad : {"44.5 38.0\n", "44.5 38.0\n# note\n45.0 39.0 two\n", "95.0 38.0\n45.0 39.0\n"})
    EXPECT_FALSE(ParseRouteText(bad, "r", route, error)) << bad;
  EXPECT_EQ(error, "r:1: latitude or longitude out of range");
}

TEST(FeedScenario, OpensWithEveryFailureTheRouteAndThePositionThenRepeatsThem) {
  const Theatre &krasnodar = *FindTheatre("krasnodar");
  const int points = static_cast<int>(krasnodar.route.size());
  Scenario scenario;
  StartScenario(scenario, TheatreConfig(krasnodar));
  const auto count = [](const std::vector<std::string> &texts) {
    std::map<MessageKind, int> kinds;
    for (const std::string &text : texts)
      ++kinds[ClassifyDatagram(text.c_str())];
    return kinds;
  };
  const std::vector<std::string> first = Fly(scenario, 0.1);
  EXPECT_EQ(count(first), (std::map<MessageKind, int>{{kFail, 28}, {kRoute, points}, {kRouteTo, 1}, {kMonitor, 1}}));
  EXPECT_EQ(std::set<std::string>(first.begin(), first.begin() + 28).size(), 28u) << "28 different failures";
  EXPECT_EQ(first[28].rfind("KESTREL ROUTE:1,", 0), 0u) << "the display drops a point numbered 0";

  // Then over two minutes: a MONITOR each tick, the route every 5 s, every failure every 10 s and single
  // changes between, and GearFailure reported working, then failed, then working again.
  const std::vector<std::string> texts = Fly(scenario, 119.9);
  std::map<MessageKind, int> kinds = count(texts);
  EXPECT_EQ(kinds[kMonitor], 1199);
  EXPECT_EQ(kinds[kRoute], 23 * points);
  EXPECT_GT(kinds[kFail], 11 * 28);
  EXPECT_GT(kinds[kAgmTag], 10);
  std::string gear;
  for (const std::string &text : texts)
    if (text.find("GearFailure") != std::string::npos)
      gear += text.back();
  EXPECT_EQ(gear.find('0'), 0u) << gear;
  EXPECT_NE(gear.find('0', gear.find('1')), std::string::npos) << gear;
}

TEST(FeedScenario, PeersUseOtherPilotNumbersAndEveryPositionStaysOnTheMap) {
  EXPECT_EQ(PeerPilotNumber(98, 1), 1); // counting up from the own number, within 1 to 99
  for (const Theatre &theatre : SampleTheatres()) {
    ScenarioConfig config = TheatreConfig(theatre, 4);
    config.own_pilot = 3;
    config.squad = 7;
    config.speed_kmh = 1000 * kKmhPerKnot;
    Scenario scenario;
    StartScenario(scenario, config);
    std::map<std::pair<int, int>, int> squads, tags; // by squad and pilot number
    std::set<MessageKind> kinds;
    for (const std::string &text : Fly(scenario, 2500)) { // over a circuit and a third of the longest route
      const MessageKind kind = ClassifyDatagram(text.c_str());
      double lat = 0, lon = 0, compass = 0, alt = 0;
      int symb = 0, squad = 0, pilot = 0;
      if (kind == kFail)
        continue;
      kinds.insert(kind);
      const size_t at = text.find("Lat="); // every kind but FAIL carries a position
      ASSERT_TRUE(at != std::string::npos && std::sscanf(text.c_str() + at, "Lat=%lf,Long=%lf", &lat, &lon) == 2);
      ASSERT_TRUE(InsideTheatre(theatre, lat, lon)) << theatre.name << ": " << text;
      if (std::sscanf(text.c_str(), kSquadFormat, &lat, &lon, &compass, &alt, &squad, &pilot) == 6 ||
          std::sscanf(text.c_str(), kTagFormat, &lat, &lon, &symb, &squad, &pilot) == 5)
        ++(kind == kSquad ? squads : tags)[{squad, pilot}];
    }
    EXPECT_EQ(kinds, (std::set<MessageKind>{kMonitor, kSquad, kRoute, kRouteTo, kAgmTag, kTag})) << theatre.name;
    EXPECT_EQ(squads.size(), 4u);
    for (const auto &[peer, count] : squads) {
      EXPECT_EQ(peer.first, 7);
      EXPECT_NE(peer.second, 3) << "no peer takes the display's own number";
      EXPECT_GE(tags[peer], 2) << "pilot " << peer.second;
    }
  }
}

// Each tag's message stays on the display until the tag is selected: peers tag at a pilot's pace, not faster.
TEST(FeedScenario, PeersTagEveryMinuteOrTwo) {
  Scenario scenario;
  StartScenario(scenario, TheatreConfig(SampleTheatres()[2], 3));
  std::map<int, std::vector<double>> times; // of each peer's tags, by pilot number
  std::vector<std::string> texts;
  for (int tick = 0; tick < 6000; ++tick) { // ten minutes
    texts.clear();
    ScenarioTick(scenario, texts);
    for (const std::string &text : texts) {
      double lat = 0, lon = 0;
      int symb = 0, squad = 0, pilot = 0;
      if (std::sscanf(text.c_str(), kTagFormat, &lat, &lon, &symb, &squad, &pilot) == 5)
        times[pilot].push_back(scenario.time);
    }
  }
  ASSERT_EQ(times.size(), 3u);
  for (const auto &[pilot, at] : times) {
    ASSERT_GE(at.size(), 5u) << "pilot " << pilot;
    EXPECT_GE(at[0], 20) << "pilot " << pilot;
    EXPECT_LE(at[0], 60) << "pilot " << pilot;
    for (size_t i = 1; i < at.size(); ++i) {
      EXPECT_GE(at[i] - at[i - 1], 60) << "pilot " << pilot << ", tag " << i;
      EXPECT_LE(at[i] - at[i - 1], 120) << "pilot " << pilot << ", tag " << i;
    }
  }
}

TEST(FeedRecording, EveryByteRoundTripsThroughOnePrintableLine) {
  std::string all;
  for (int b = 0; b < 256; ++b)
    all += static_cast<char>(b);
  const std::string line = FormatRecordLine(12.5, all);
  EXPECT_EQ(line.substr(0, 7), "12.500\t");
  EXPECT_TRUE(std::all_of(line.begin() + 7, line.end(), [](char c) { return c >= 0x20 && c < 0x7F; }));
  EXPECT_EQ(EscapeDatagram(std::string("a\\b\tc\n\r\0\x7f\xff", 10)), "a\\\\b\\tc\\n\\r\\x00\\x7F\\xFF");
  double seconds = -1;
  std::string back;
  ASSERT_TRUE(ParseRecordLine(line + "\r", seconds, back));
  EXPECT_DOUBLE_EQ(seconds, 12.5);
  EXPECT_EQ(back, all);
  for (const char *bad : {"no tab here", "-1.000\tx", "nan\tx", "1.0\tdangling\\", "1.0\t\\q", "1.0\t\\xZ1"})
    EXPECT_FALSE(ParseRecordLine(bad, seconds, back)) << bad;
  std::vector<RecordedDatagram> datagrams;
  std::string error;
  EXPECT_FALSE(ParseRecording("0.000\ta\n\n0.100 b\n", "rec", datagrams, error));
  EXPECT_EQ(error, "rec:3: not a recording line (SECONDS<tab>TEXT)");
}

TEST(FeedOptions, ModesValuesAndAFewRefusals) {
  FeedOptions options;
  std::string error;
  ASSERT_EQ(ParseFeedCommandLine({"--knots", "500"}, options, error), ParseResult::kRun) << error;
  EXPECT_EQ(options.host, "127.0.0.1");
  EXPECT_DOUBLE_EQ(options.speed_kmh, 926);
  const std::pair<std::vector<std::string>, const char *> refused[] = {
      {{"--port", "70000"}, "--port wants a whole number from 1 to 65535, not '70000'"},
      {{"--port", "0"}, "--port wants a whole number from 1 to 65535, not '0'"}, // only a recorder may pick any
      {{"--knots", "400", "--kmh", "700"}, "give the speed once, with --knots or --kmh"},
      {{"record", "--peers", "2", "x"}, "--peers is not an option of record (see --help)"},
      {{"replay", "a", "b"}, "replay wants exactly one FILE argument"},
  };
  for (const auto &[args, reason] : refused) {
    EXPECT_EQ(ParseFeedCommandLine(args, options, error), ParseResult::kError) << reason;
    EXPECT_EQ(error, reason);
  }
}

TEST(FeedLoopback, RecordThenReplayKeepsEveryByte) {
  // The recorder listens on a free loopback port bound before anything is sent, and stops after three datagrams;
  // the replay goes to another one.
  const UdpHandle listener = UdpOpenListener(0, true), target = UdpOpenListener(0, true);
  ASSERT_TRUE(listener != kUdpInvalid && target != kUdpInvalid);
  const int port = UdpLocalPort(listener);
  const std::string path = ::testing::TempDir() + "feed_loopback.rec";
  FeedOptions record, replay;
  std::string error;
  ASSERT_EQ(ParseFeedCommandLine({"record", "--port", std::to_string(port), "--count=3", "--seconds=60", path}, record,
                                 error),
            ParseResult::kRun)
      << error;
  int record_status = -1;
  std::thread recorder([&] { record_status = RecordFrom(listener, record); });
  const std::string sent[] = {"KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200",
                              std::string("KESTREL FAIL:\tGearFailure 1\n\0x", 30), "\\ and \xc3\xa9"};
  for (const std::string &text : sent)
    EXPECT_EQ(UdpSendOnce("127.0.0.1", port, text.data(), text.size()), static_cast<int>(text.size()));
  recorder.join();
  ASSERT_EQ(record_status, 0);

  ASSERT_EQ(ParseFeedCommandLine({"replay", "--speed", "max", "--port", std::to_string(UdpLocalPort(target)), path},
                                 replay, error),
            ParseResult::kRun)
      << error;
  ASSERT_EQ(RunReplay(replay), 0);
  for (const std::string &text : sent) {
    char buffer[128];
    const int n = UdpReceive(target, buffer, sizeof buffer, 2000);
    ASSERT_GE(n, 0);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)), text);
  }
  UdpClose(target);
  std::remove(path.c_str());
}
