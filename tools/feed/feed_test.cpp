// feed_test.cpp: tests of kestrel-feed: the flight model, the datagrams of a flight, the recording format
// and the command line, with one record-and-replay run over the loopback interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <numbers>
#include <set>
#include <sstream>
#include <thread>

#include "link/protocol.h"
#include "platform/udp.h"
#include "tools/feed/flight.h"
#include "tools/feed/options.h"
#include "tools/feed/recording.h"
#include "tools/feed/scenario.h"

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
  config.south = theatre.south;
  config.north = theatre.north;
  config.west = theatre.west;
  config.east = theatre.east;
  return config;
}

double RouteLengthKm(const std::vector<Waypoint> &route) {
  double length = 0;
  for (size_t i = 0; i < route.size(); ++i) {
    const Waypoint &a = route[i];
    const Waypoint &b = route[(i + 1) % route.size()];
    length += DistanceKm(a.latitude, a.longitude, b.latitude, b.longitude);
  }
  return length;
}

// Runs the flight for the given number of seconds and returns every text sent.
std::vector<std::string> Fly(Scenario &scenario, double seconds) {
  std::vector<std::string> texts;
  const long ticks = std::lround(seconds * scenario.config.rate_hz);
  for (long i = 0; i < ticks; ++i)
    ScenarioTick(scenario, texts);
  return texts;
}

struct Position {
  double latitude = 0, longitude = 0, compass = 0, altitude = 0;
  int squad = 0, pilot = 0;
};

bool ReadMonitor(const std::string &text, Position &p) {
  return std::sscanf(text.c_str(), kMonitorFormat, &p.latitude, &p.longitude, &p.compass, &p.altitude) == 4;
}

bool ReadSquad(const std::string &text, Position &p) {
  return std::sscanf(text.c_str(), kSquadFormat, &p.latitude, &p.longitude, &p.compass, &p.altitude, &p.squad,
                     &p.pilot) == 6;
}

// Latitude and longitude of any kind that carries a position.
bool ReadPoint(const std::string &text, double &latitude, double &longitude) {
  Position p;
  int index = 0, type = 0, symb = 0;
  switch (ClassifyDatagram(text.c_str())) {
  case kMonitor:
    if (!ReadMonitor(text, p))
      return false;
    break;
  case kSquad:
    if (!ReadSquad(text, p))
      return false;
    break;
  case kRoute:
    if (std::sscanf(text.c_str(), kRouteFormat, &index, &p.latitude, &p.longitude, &type) != 4)
      return false;
    break;
  case kRouteTo:
    if (std::sscanf(text.c_str(), kRouteToFormat, &p.latitude, &p.longitude) != 2)
      return false;
    break;
  case kAgmTag:
    if (std::sscanf(text.c_str(), kAgmTagFormat, &p.latitude, &p.longitude) != 2)
      return false;
    break;
  case kTag:
    if (std::sscanf(text.c_str(), kTagFormat, &p.latitude, &p.longitude, &symb, &p.squad, &p.pilot) != 5)
      return false;
    break;
  default:
    return false;
  }
  latitude = p.latitude;
  longitude = p.longitude;
  return true;
}

ParseResult Parse(const std::vector<std::string> &args, FeedOptions &options, std::string &error) {
  return ParseFeedCommandLine(args, options, error);
}
} // namespace

TEST(FeedGeometry, FlatEarthFactorsAndBearings) {
  EXPECT_DOUBLE_EQ(DistanceKm(43.0, 40.0, 44.0, 40.0), 112.0);
  EXPECT_DOUBLE_EQ(DistanceKm(41.5, 40.0, 41.5, 41.0), 83.0);
  EXPECT_DOUBLE_EQ(KmPerDegreeLongitude(45.5), 78.0);
  EXPECT_NEAR(BearingRadians(43, 40, 44, 40), 0.0, 1e-12);
  EXPECT_NEAR(BearingRadians(43, 40, 43, 41), kPi / 2, 1e-12);
  EXPECT_NEAR(BearingRadians(43, 40, 42, 40), kPi, 1e-12);
  EXPECT_NEAR(BearingRadians(43, 40, 43, 39), 3 * kPi / 2, 1e-12);
  EXPECT_NEAR(NormalizeHeading(-kPi / 2), 3 * kPi / 2, 1e-12);
  EXPECT_NEAR(NormalizeHeading(5 * kPi), kPi, 1e-12);

  // Projecting along a bearing and measuring back gives the same bearing and distance.
  double lat = 0, lon = 0;
  ProjectPosition(44.0, 39.0, 2.0, 50.0, lat, lon);
  EXPECT_NEAR(BearingRadians(44.0, 39.0, lat, lon), 2.0, 1e-9);
  EXPECT_NEAR(DistanceKm(44.0, 39.0, lat, lon), 50.0, 1e-9);
}

TEST(FeedTheatres, SampleRoutesLieInsideTheirTheatres) {
  ASSERT_EQ(SampleTheatres().size(), 3u);
  EXPECT_NE(FindTheatre("krasnodar"), nullptr);
  EXPECT_NE(FindTheatre("caucasus"), nullptr);
  EXPECT_NE(FindTheatre("georgia"), nullptr);
  EXPECT_EQ(FindTheatre("Georgia"), nullptr);
  for (const Theatre &theatre : SampleTheatres()) {
    EXPECT_GE(theatre.route.size(), 5u) << theatre.name;
    for (const Waypoint &point : theatre.route)
      EXPECT_TRUE(InsideTheatre(theatre, point.latitude, point.longitude)) << theatre.name << " " << point.name;
  }
}

TEST(FeedFlight, HeadingFollowsTheTrackAndTurnsAtTheTurnRate) {
  // The Compass of each MONITOR is the direction of the move since the one before, and it never
  // changes faster than the turn rate allows.
  for (const Theatre &theatre : SampleTheatres()) {
    Scenario scenario;
    StartScenario(scenario, TheatreConfig(theatre));
    const std::vector<std::string> texts = Fly(scenario, 1800);
    std::vector<Position> track;
    for (const std::string &text : texts) {
      Position p;
      if (ClassifyDatagram(text.c_str()) == kMonitor && ReadMonitor(text, p))
        track.push_back(p);
    }
    ASSERT_EQ(track.size(), 18000u) << theatre.name;
    const double dt = 1.0 / scenario.config.rate_hz;
    double sharpest = 0;
    for (size_t i = 1; i < track.size(); ++i) {
      const Position &a = track[i - 1];
      const Position &b = track[i];
      ASSERT_GE(b.compass, 0.0);
      ASSERT_LT(b.compass, 2 * kPi);
      const double moved = BearingRadians(a.latitude, a.longitude, b.latitude, b.longitude);
      ASSERT_LT(AngleBetween(moved, b.compass), 0.02) << theatre.name << " tick " << i;
      const double turned = AngleBetween(a.compass, b.compass);
      // Compass travels with six decimals, so each of the two headings may be off by 5e-7.
      ASSERT_LE(turned, kTurnRate * dt + 2e-6) << theatre.name << " tick " << i;
      sharpest = std::max(sharpest, turned);
      // Ground speed as configured: 450 knots.
      ASSERT_NEAR(DistanceKm(a.latitude, a.longitude, b.latitude, b.longitude), 450 * 1.852 * dt / 3600, 0.002);
    }
    EXPECT_GT(sharpest, 0.9 * kTurnRate * dt) << theatre.name << ": the route has turns to make";
  }
}

TEST(FeedFlight, ReachesEveryWaypointInOrderOnEachCircuit) {
  for (const double knots : {450.0, 1000.0})
    for (const Theatre &theatre : SampleTheatres()) {
      const std::vector<Waypoint> &route = theatre.route;
      Aircraft aircraft = StartFlight(route, 0, knots * kKmhPerKnot, 3000);
      const double capture = CaptureRadiusKm(aircraft);
      // Two circuits take a little longer than twice the straight-line length at this speed.
      const double limit = 2 * RouteLengthKm(route) / aircraft.speed_kmh * 3600 * 1.2;
      std::vector<size_t> order;
      for (double t = 0; t < limit && order.size() < 2 * route.size(); t += 0.1) {
        const size_t target = aircraft.target;
        StepFlight(aircraft, route, 0.1);
        if (aircraft.target != target) {
          const Waypoint &point = route[target];
          EXPECT_LE(DistanceKm(aircraft.latitude, aircraft.longitude, point.latitude, point.longitude), capture + 0.1);
          order.push_back(target);
        }
      }
      ASSERT_EQ(order.size(), 2 * route.size()) << theatre.name << ": a waypoint was never reached";
      for (size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(order[i], (i + 1) % route.size()) << theatre.name;
      EXPECT_EQ(aircraft.waypoints_reached, static_cast<long>(order.size()));
    }
}

TEST(FeedFlight, EveryPositionSentStaysInsideTheTheatre) {
  // Own aircraft, formation wingmen, peers on their own circuits, designations and tags, over more than a
  // whole circuit of each theatre.
  for (const double knots : {450.0, 1000.0})
    for (const Theatre &theatre : SampleTheatres()) {
      Scenario scenario;
      ScenarioConfig config = TheatreConfig(theatre, 4);
      config.speed_kmh = knots * kKmhPerKnot;
      StartScenario(scenario, config);
      const double circuit = RouteLengthKm(theatre.route) / scenario.config.speed_kmh * 3600;
      std::map<MessageKind, int> seen;
      for (const std::string &text : Fly(scenario, 1.3 * circuit)) {
        double latitude = 0, longitude = 0;
        const MessageKind kind = ClassifyDatagram(text.c_str());
        if (kind == kFail)
          continue;
        ASSERT_TRUE(ReadPoint(text, latitude, longitude)) << text;
        ASSERT_TRUE(InsideTheatre(theatre, latitude, longitude)) << theatre.name << ": " << text;
        ++seen[kind];
      }
      for (MessageKind kind : {kMonitor, kSquad, kRoute, kRouteTo, kAgmTag, kTag})
        EXPECT_GT(seen[kind], 0) << theatre.name << " kind " << kind;
    }
}

TEST(FeedFlight, RouteFilesAreReadWithTypesNamesAndComments) {
  std::vector<Waypoint> route;
  std::string error;
  ASSERT_TRUE(ParseRouteText("# sample\n\n 44.5 38.0\n45.0\t39.5 2 Target Area\r\n43.9 39.1 4\n", "r", route, error))
      << error;
  ASSERT_EQ(route.size(), 3u);
  EXPECT_DOUBLE_EQ(route[0].latitude, 44.5);
  EXPECT_DOUBLE_EQ(route[0].longitude, 38.0);
  EXPECT_EQ(route[0].type, 1);
  EXPECT_EQ(route[1].type, 2);
  EXPECT_EQ(route[1].name, "Target Area");
  EXPECT_EQ(route[2].type, 4);
  EXPECT_EQ(route[2].name, "WP3");

  const struct {
    const char *text;
    const char *message;
  } kBad[] = {
      {"44.5 38.0\n", "r: a route needs at least two waypoints"},
      {"44.5 38.0\n45.0\n", "r:2: expected LAT LONG [TYPE [NAME]]"},
      {"44.5 38.0\nabc 39.0\n", "r:2: expected LAT LONG [TYPE [NAME]]"},
      {"44.5 38.0\n# note\n45.0 39.0 two\n", "r:3: TYPE must be an integer"},
      {"95.0 38.0\n45.0 39.0\n", "r:1: latitude or longitude out of range"},
  };
  for (const auto &bad : kBad) {
    EXPECT_FALSE(ParseRouteText(bad.text, "r", route, error)) << bad.text;
    EXPECT_EQ(error, bad.message);
  }
  std::string long_route;
  for (int i = 0; i < 128; ++i)
    long_route += "44.0 " + std::to_string(38.0 + i * 0.01) + "\n";
  EXPECT_FALSE(ParseRouteText(long_route, "r", route, error));
  EXPECT_EQ(error, "r: a route holds at most 127 waypoints");
  EXPECT_FALSE(LoadRouteFile("/nonexistent/route.txt", route, error));
}

TEST(FeedScenario, OpensWithEveryFailureTheRouteAndThePosition) {
  Scenario scenario;
  const Theatre &georgia = *FindTheatre("georgia");
  StartScenario(scenario, TheatreConfig(georgia));
  std::vector<std::string> texts;
  ScenarioTick(scenario, texts);

  std::set<std::string> keywords;
  int failed = 0;
  size_t i = 0;
  for (; i < texts.size() && ClassifyDatagram(texts[i].c_str()) == kFail; ++i) {
    char keyword[64] = {};
    int state = -1;
    ASSERT_EQ(std::sscanf(texts[i].c_str(), kFailFormat, keyword, &state), 2) << texts[i];
    keywords.insert(keyword);
    failed += state != 0;
  }
  EXPECT_EQ(keywords.size(), 28u);
  EXPECT_EQ(keywords.count("GearFailure"), 1u);
  EXPECT_EQ(keywords.count("FuelTankDamage"), 1u);
  EXPECT_LE(failed, 3) << "most systems start working";

  // Then the route numbered from 1, the first steering point and the position.
  for (size_t n = 0; n < georgia.route.size(); ++n, ++i) {
    int index = 0, type = 0;
    double lat = 0, lon = 0;
    ASSERT_LT(i, texts.size());
    ASSERT_EQ(std::sscanf(texts[i].c_str(), kRouteFormat, &index, &lat, &lon, &type), 4) << texts[i];
    EXPECT_EQ(index, static_cast<int>(n + 1));
    EXPECT_NEAR(lat, georgia.route[n].latitude, 1e-6);
    EXPECT_NEAR(lon, georgia.route[n].longitude, 1e-6);
    EXPECT_EQ(type, georgia.route[n].type);
  }
  ASSERT_EQ(texts.size(), i + 2);
  double lat = 0, lon = 0;
  ASSERT_EQ(std::sscanf(texts[i].c_str(), kRouteToFormat, &lat, &lon), 2);
  EXPECT_NEAR(lat, georgia.route[1].latitude, 1e-6);
  Position p;
  ASSERT_TRUE(ReadMonitor(texts[i + 1], p));
  EXPECT_NEAR(p.latitude, georgia.route[0].latitude, 1e-6);
  EXPECT_NEAR(p.altitude, 3000, 1e-6);
}

TEST(FeedScenario, PeriodicMessagesFailuresAndDesignations) {
  Scenario scenario;
  StartScenario(scenario, TheatreConfig(*FindTheatre("krasnodar")));
  std::vector<std::string> texts;
  std::vector<double> agm_times, fail_gear_times;
  std::vector<int> gear_states;
  int monitors = 0, routes = 0, full_fail_sets = 0, fail_texts = 0;
  for (int tick = 0; tick < 1200; ++tick) { // two minutes
    texts.clear();
    ScenarioTick(scenario, texts);
    int fails_now = 0;
    for (const std::string &text : texts) {
      char keyword[64] = {};
      int state = 0;
      switch (ClassifyDatagram(text.c_str())) {
      case kMonitor:
        ++monitors;
        break;
      case kRoute:
        ++routes;
        break;
      case kAgmTag:
        agm_times.push_back(scenario.time);
        break;
      case kFail:
        ASSERT_EQ(std::sscanf(text.c_str(), kFailFormat, keyword, &state), 2);
        ++fails_now;
        if (std::string(keyword) == "GearFailure")
          gear_states.push_back(state);
        break;
      default:
        break;
      }
    }
    fail_texts += fails_now;
    full_fail_sets += fails_now >= 28;
  }
  EXPECT_EQ(monitors, 1200);
  EXPECT_EQ(routes, 24 * 7); // every 5 s, seven points
  EXPECT_EQ(full_fail_sets, 12);
  EXPECT_GT(fail_texts, 12 * 28) << "single changes are sent as they happen";

  // GearFailure is reported working, then failed, then working again.
  ASSERT_FALSE(gear_states.empty());
  EXPECT_EQ(gear_states.front(), 0);
  auto first_failed = std::find(gear_states.begin(), gear_states.end(), 1);
  ASSERT_NE(first_failed, gear_states.end());
  EXPECT_NE(std::find(first_failed, gear_states.end(), 0), gear_states.end());

  // Designations: bursts of at most ten, a second apart, with a pause of at least 20 s between bursts.
  ASSERT_GE(agm_times.size(), 10u);
  EXPECT_NEAR(agm_times.front(), kFirstAgm, 1e-9);
  int burst = 1;
  int bursts = 1;
  for (size_t i = 1; i < agm_times.size(); ++i) {
    const double gap = agm_times[i] - agm_times[i - 1];
    if (gap < 1.5) {
      EXPECT_NEAR(gap, 1.0, 1e-6);
      EXPECT_LE(++burst, 10);
    } else {
      EXPECT_GE(gap, 20.0);
      burst = 1;
      ++bursts;
    }
  }
  EXPECT_GE(bursts, 2);
}

TEST(FeedScenario, PeersUseTheirOwnPilotNumbersAndSendTags) {
  ScenarioConfig config = TheatreConfig(*FindTheatre("caucasus"), 3);
  config.own_pilot = 3;
  config.squad = 7;
  Scenario scenario;
  StartScenario(scenario, config);
  std::map<int, int> squad_by_pilot, tags_by_pilot;
  for (const std::string &text : Fly(scenario, 120)) {
    const MessageKind kind = ClassifyDatagram(text.c_str());
    Position p;
    if (kind == kSquad) {
      ASSERT_TRUE(ReadSquad(text, p)) << text;
      EXPECT_EQ(p.squad, 7);
      ++squad_by_pilot[p.pilot];
    } else if (kind == kTag) {
      int symb = -1, squad = 0, pilot = 0;
      ASSERT_EQ(std::sscanf(text.c_str(), kTagFormat, &p.latitude, &p.longitude, &symb, &squad, &pilot), 5) << text;
      EXPECT_EQ(squad, 7);
      int affiliation = 0, category = 0;
      signed char symbol_class = 0;
      UnpackSymbol(symb, affiliation, symbol_class, category);
      EXPECT_LE(affiliation, 3);
      EXPECT_TRUE(symbol_class == 1 || symbol_class == 2) << text;
      EXPECT_LE(category, 4);
      EXPECT_EQ(symbol_class == 2, category == 4) << text;
      ++tags_by_pilot[pilot];
    }
  }
  ASSERT_EQ(squad_by_pilot.size(), 3u);
  EXPECT_EQ(squad_by_pilot.count(3), 0u) << "no peer takes the display's own number";
  for (const auto &[pilot, count] : squad_by_pilot) {
    EXPECT_EQ(count, 1200) << "pilot " << pilot;
    EXPECT_GE(tags_by_pilot[pilot], 2) << "pilot " << pilot;
  }
  EXPECT_EQ(tags_by_pilot.size(), 3u);

  // The first peer holds its formation slot beside the own aircraft.
  const Peer &wingman = scenario.peers[0];
  EXPECT_NEAR(
      DistanceKm(scenario.own.latitude, scenario.own.longitude, wingman.aircraft.latitude, wingman.aircraft.longitude),
      std::hypot(kFormationStep, kFormationStep), 1e-6);
}

TEST(FeedScenario, PeerPilotNumbersSkipTheOwnAndWrapWithin1To99) {
  EXPECT_EQ(PeerPilotNumber(1, 0), 2);
  EXPECT_EQ(PeerPilotNumber(98, 0), 99);
  EXPECT_EQ(PeerPilotNumber(98, 1), 1);
  EXPECT_EQ(PeerPilotNumber(99, 0), 1);
  for (int own : {1, 50, 99}) {
    std::set<int> pilots;
    for (int k = 0; k < 20; ++k) {
      const int pilot = PeerPilotNumber(own, k);
      EXPECT_NE(pilot, own);
      EXPECT_GE(pilot, 1);
      EXPECT_LE(pilot, 99);
      pilots.insert(pilot);
    }
    EXPECT_EQ(pilots.size(), 20u);
  }
}

TEST(FeedScenario, TheSeedDecidesTheFlight) {
  const auto run = [](uint32_t seed) {
    ScenarioConfig config = TheatreConfig(*FindTheatre("georgia"), 2);
    config.seed = seed;
    Scenario scenario;
    StartScenario(scenario, config);
    return Fly(scenario, 90);
  };
  EXPECT_EQ(run(5), run(5));
  EXPECT_NE(run(5), run(6));
}

TEST(FeedRecording, EscapingRoundTripsEveryByteOnOneLine) {
  std::string all;
  for (int b = 0; b < 256; ++b)
    all += static_cast<char>(b);
  const std::string escaped = EscapeDatagram(all);
  for (const char c : escaped)
    ASSERT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << static_cast<int>(static_cast<unsigned char>(c));
  std::string back;
  ASSERT_TRUE(UnescapeDatagram(escaped, back));
  EXPECT_EQ(back, all);

  EXPECT_EQ(EscapeDatagram(std::string("a\\b\tc\n\r\0\x7f\xff", 10)), "a\\\\b\\tc\\n\\r\\x00\\x7F\\xFF");
  EXPECT_EQ(EscapeDatagram("KESTREL FAIL: GearFailure 1"), "KESTREL FAIL: GearFailure 1");
  ASSERT_TRUE(UnescapeDatagram("\\x4b\\x4B", back));
  EXPECT_EQ(back, "KK");

  for (const char *bad : {"abc\\", "\\q", "\\x4", "\\xZ1", "\\x1", "a\\x"})
    EXPECT_FALSE(UnescapeDatagram(bad, back)) << bad;
}

TEST(FeedRecording, LinesCarryTheArrivalTimeAndTheText) {
  const std::string datagram("KESTREL MONITOR:Lat=43.5\tx\n\x01", 28);
  const std::string line = FormatRecordLine(12.5, datagram);
  EXPECT_EQ(line, "12.500\tKESTREL MONITOR:Lat=43.5\\tx\\n\\x01");
  double seconds = -1;
  std::string back;
  ASSERT_TRUE(ParseRecordLine(line, seconds, back));
  EXPECT_DOUBLE_EQ(seconds, 12.5);
  EXPECT_EQ(back, datagram);
  EXPECT_EQ(FormatRecordLine(0.0004, ""), "0.000\t");

  ASSERT_TRUE(ParseRecordLine("0.250\tKESTREL FAIL: X 1\r", seconds, back));
  EXPECT_EQ(back, "KESTREL FAIL: X 1");
  ASSERT_TRUE(ParseRecordLine("1.000\t", seconds, back));
  EXPECT_EQ(back, "");
  for (const char *bad : {"no tab here", "\tKESTREL", "-1.000\tx", "1.5s\tx", "nan\tx", "1.0\tbad\\"})
    EXPECT_FALSE(ParseRecordLine(bad, seconds, back)) << bad;

  std::vector<RecordedDatagram> datagrams;
  std::string error;
  ASSERT_TRUE(ParseRecording("0.000\ta\n\n0.100\tb\\tc\n", "rec", datagrams, error)) << error;
  ASSERT_EQ(datagrams.size(), 2u);
  EXPECT_EQ(datagrams[1].bytes, "b\tc");
  EXPECT_DOUBLE_EQ(datagrams[1].seconds, 0.1);
  EXPECT_FALSE(ParseRecording("0.000\ta\n0.100 b\n", "rec", datagrams, error));
  EXPECT_EQ(error, "rec:2: not a recording line (SECONDS<tab>TEXT)");
}

TEST(FeedOptions, DefaultsModesAndValues) {
  FeedOptions options;
  std::string error;
  ASSERT_EQ(Parse({}, options, error), ParseResult::kRun);
  EXPECT_EQ(options.mode, FeedMode::kFly);
  EXPECT_EQ(options.host, "127.0.0.1");
  EXPECT_EQ(options.port, 10320);
  EXPECT_DOUBLE_EQ(options.rate_hz, 10);
  EXPECT_EQ(options.theatre, "krasnodar");

  ASSERT_EQ(
      Parse({"--theatre", "georgia", "--kmh=900", "--peers", "3", "--seconds", "2.5", "--port=10400"}, options, error),
      ParseResult::kRun)
      << error;
  EXPECT_EQ(options.theatre, "georgia");
  EXPECT_DOUBLE_EQ(options.speed_kmh, 900);
  EXPECT_EQ(options.peers, 3);
  EXPECT_DOUBLE_EQ(options.seconds, 2.5);
  EXPECT_EQ(options.port, 10400);
  ASSERT_EQ(Parse({"fly", "--knots", "500"}, options, error), ParseResult::kRun);
  EXPECT_DOUBLE_EQ(options.speed_kmh, 926);

  ASSERT_EQ(Parse({"record", "--any", "--count", "5", "out.rec"}, options, error), ParseResult::kRun) << error;
  EXPECT_EQ(options.mode, FeedMode::kRecord);
  EXPECT_TRUE(options.bind_any);
  EXPECT_EQ(options.count, 5);
  EXPECT_EQ(options.file, "out.rec");

  ASSERT_EQ(Parse({"replay", "--speed", "max", "-"}, options, error), ParseResult::kRun) << error;
  EXPECT_EQ(options.mode, FeedMode::kReplay);
  EXPECT_DOUBLE_EQ(options.replay_speed, 0);
  EXPECT_EQ(options.file, "-");
  ASSERT_EQ(Parse({"replay", "a.rec", "--speed", "4"}, options, error), ParseResult::kRun) << error;
  EXPECT_DOUBLE_EQ(options.replay_speed, 4);

  EXPECT_EQ(Parse({"record", "--help"}, options, error), ParseResult::kHelp);
  EXPECT_NE(FeedUsage().find("--theatre"), std::string::npos);
}

TEST(FeedOptions, BadArgumentsAreRefusedWithAReason) {
  const struct {
    std::vector<std::string> args;
    const char *reason;
  } kBad[] = {
      {{"--bogus"}, "unknown option '--bogus' (see --help)"},
      {{"-x"}, "unknown option '-x' (see --help)"},
      {{"--port"}, "--port needs a value"},
      {{"--port", "0"}, "--port wants a whole number from 1 to 65535, not '0'"},
      {{"--port", "70000"}, "--port wants a whole number from 1 to 65535, not '70000'"},
      {{"--port", "10x"}, "--port wants a whole number from 1 to 65535, not '10x'"},
      {{"--rate", "0"}, "--rate wants a number from 0.1 to 100 a second, not '0'"},
      {{"--seconds", "-1"}, "--seconds wants a number above 0, not '-1'"},
      {{"--knots", "400", "--kmh", "700"}, "give the speed once, with --knots or --kmh"},
      {{"--theatre", "nevada"}, "--theatre wants krasnodar, caucasus or georgia, not 'nevada'"},
      {{"--knots", "1001"}, "--knots wants a number from 1 to 1000, not '1001'"},
      {{"--kmh", "fast"}, "--kmh wants a number from 1 to 1850, not 'fast'"},
      {{"--peers", "21"}, "--peers wants a whole number from 0 to 20, not '21'"},
      {{"--pilot", "100"}, "--pilot wants a whole number from 1 to 99, not '100'"},
      {{"--speed", "2"}, "--speed is not an option of fly (see --help)"},
      {{"record", "--peers", "2", "x"}, "--peers is not an option of record (see --help)"},
      {{"record"}, "record wants exactly one FILE argument"},
      {{"replay", "a", "b"}, "replay wants exactly one FILE argument"},
      {{"replay", "--speed", "0", "a"}, "--speed wants a number above 0 (a pace factor) or 'max', not '0'"},
      {{"record", "--any=1", "a"}, "--any takes no value"},
      {{"stray"}, "fly takes no file argument: 'stray'"},
  };
  for (const auto &bad : kBad) {
    FeedOptions options;
    std::string error;
    EXPECT_EQ(Parse(bad.args, options, error), ParseResult::kError) << bad.reason;
    EXPECT_EQ(error, bad.reason);
  }
}

TEST(FeedLoopback, RecordThenReplayKeepsEveryByte) {
  // Finds a free loopback port, records three datagrams on it, then replays the file to another socket.
  const UdpHandle probe = UdpOpenListener(0, true);
  ASSERT_NE(probe, kUdpInvalid);
  const int record_port = UdpLocalPort(probe);
  UdpClose(probe);

  const std::string path = ::testing::TempDir() + "feed_loopback.rec";
  FeedOptions record;
  record.mode = FeedMode::kRecord;
  record.port = record_port;
  record.file = path;
  record.count = 3;
  record.seconds = 10;
  int record_status = -1;
  std::thread recorder([&] { record_status = RunRecord(record); });
  const std::string sent[] = {"KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200",
                              std::string("KESTREL FAIL:\tGearFailure 1\n\0x", 30), "\\ and \xc3\xa9"};
  std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the recorder binds first
  for (const std::string &text : sent) {
    ASSERT_EQ(UdpSendOnce("127.0.0.1", record_port, text.data(), text.size()), static_cast<int>(text.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  recorder.join();
  ASSERT_EQ(record_status, 0);

  std::ifstream file(path);
  std::stringstream content;
  content << file.rdbuf();
  std::vector<RecordedDatagram> recorded;
  std::string error;
  ASSERT_TRUE(ParseRecording(content.str(), path, recorded, error)) << error;
  ASSERT_EQ(recorded.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(recorded[i].bytes, sent[i]);
    if (i > 0) {
      EXPECT_GE(recorded[i].seconds, recorded[i - 1].seconds);
    }
  }

  const UdpHandle target = UdpOpenListener(0, true);
  ASSERT_NE(target, kUdpInvalid);
  FeedOptions replay;
  replay.mode = FeedMode::kReplay;
  replay.port = UdpLocalPort(target);
  replay.file = path;
  replay.replay_speed = 0;
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
