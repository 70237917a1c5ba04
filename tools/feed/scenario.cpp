// scenario.cpp: the datagrams of a flight: the own aircraft's telemetry, its route, designations and
// failures, and the squad peers' positions and tags.
#include "tools/feed/scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "wire/protocol.h"

const char *const kFeedFailureKeywords[kFeedFailureCount] = {
    "LeftEngineFailure",   "RightEngineFailure",   "HydraulicsFailure",    "ACSFailure",
    "AutopilotFailure",    "AutopilotOn",          "LeftTailPlaneFailure", "RightTailPlaneFailure",
    "LeftAileronFailure",  "RightAileronFailure",  "MasterWarning",        "CanopyOpen",
    "CannonFailure",       "StallSignalization",   "LeftMainPumpFailure",  "RightMainPumpFailure",
    "LeftWingPumpFailure", "RightWingPumpFailure", "RadarFailure",         "EOSFailure",
    "MLWSFailure",         "RWSFailure",           "ECMFailure",           "GearFailure",
    "MFDFailure",          "HUDFailure",           "HelmetFailure",        "FuelTankDamage",
};

namespace {
constexpr int kAutopilotOn = 5;
constexpr int kGearFailure = 23;
// Failures that come and go at random during a flight.
constexpr int kRandomFaults[] = {2, 10, 12, 14, 18, 21, 22};
constexpr double kMaxStep = 0.1; // seconds: the flight is integrated in steps no longer than this

void Append(std::vector<std::string> &out, const char *text) { out.emplace_back(text); }

// Tick times are multiples of the period in floating point; a small tolerance keeps an event due at
// 6 s from slipping to the tick after 5.9999999.
bool Due(double now, double when) { return now + 1e-6 >= when; }

std::string MonitorText(const Aircraft &aircraft) {
  char text[256];
  std::snprintf(text, sizeof text, kMonitorFormat, aircraft.latitude, aircraft.longitude, aircraft.heading,
                aircraft.altitude);
  return text;
}

void SendFail(Scenario &scenario, int index, std::vector<std::string> &out) {
  char text[128];
  std::snprintf(text, sizeof text, "%s %s %d", kFailPrefix, kFeedFailureKeywords[index], scenario.fail_states[index]);
  Append(out, text);
}

void SendAllFailures(Scenario &scenario, std::vector<std::string> &out) {
  for (int i = 0; i < kFeedFailureCount; ++i)
    SendFail(scenario, i, out);
}

void SendRoute(const Scenario &scenario, std::vector<std::string> &out) {
  // Numbered from 1: the display takes a point numbered 0 in silently.
  const std::vector<Waypoint> &route = scenario.config.route;
  for (size_t i = 0; i < route.size(); ++i) {
    char text[160];
    std::snprintf(text, sizeof text, kRouteFormat, static_cast<int>(i + 1), route[i].latitude, route[i].longitude,
                  route[i].type);
    Append(out, text);
  }
}

void SendRouteTo(Scenario &scenario, std::vector<std::string> &out) {
  const Waypoint &target = scenario.config.route[scenario.own.target];
  char text[128];
  std::snprintf(text, sizeof text, kRouteToFormat, target.latitude, target.longitude);
  Append(out, text);
  scenario.announced_target = scenario.own.target;
}

// Keeps a generated point on the theatre's map, half a degree inside its edges where there is room.
void KeepInside(const ScenarioConfig &config, double &latitude, double &longitude) {
  if (!config.bounded)
    return;
  const double lat_margin = std::min(0.1, (config.north - config.south) / 4);
  const double lon_margin = std::min(0.1, (config.east - config.west) / 4);
  latitude = std::clamp(latitude, config.south + lat_margin, config.north - lat_margin);
  longitude = std::clamp(longitude, config.west + lon_margin, config.east - lon_margin);
}

// A point ahead of an aircraft, a little off its track.
void PointAhead(Scenario &scenario, const Aircraft &aircraft, double min_km, double max_km, double &latitude,
                double &longitude) {
  const double ahead = RandomBetween(scenario.random, min_km, max_km);
  const double aside = RandomBetween(scenario.random, -3.0, 3.0);
  double lat = 0, lon = 0;
  ProjectPosition(aircraft.latitude, aircraft.longitude, aircraft.heading, ahead, lat, lon);
  ProjectPosition(lat, lon, aircraft.heading + std::numbers::pi / 2, aside, latitude, longitude);
  KeepInside(scenario.config, latitude, longitude);
}

void UpdateFailures(Scenario &scenario, std::vector<std::string> &out) {
  const double now = scenario.time;
  if (Due(now, scenario.next_fail)) {
    SendAllFailures(scenario, out);
    scenario.next_fail += kFailPeriod;
  }
  if (Due(now, scenario.next_gear_toggle)) {
    scenario.fail_states[kGearFailure] = !scenario.fail_states[kGearFailure];
    SendFail(scenario, kGearFailure, out);
    scenario.next_gear_toggle += kGearTogglePeriod;
  }
  if (Due(now, scenario.next_fault)) {
    if (scenario.faulty < 0) {
      const size_t pick = NextRandom(scenario.random) % std::size(kRandomFaults);
      scenario.faulty = kRandomFaults[pick];
      scenario.fail_states[scenario.faulty] = 1;
      SendFail(scenario, scenario.faulty, out);
      scenario.next_fault = now + RandomBetween(scenario.random, 15, 30);
    } else {
      scenario.fail_states[scenario.faulty] = 0;
      SendFail(scenario, scenario.faulty, out);
      scenario.faulty = -1;
      scenario.next_fault = now + RandomBetween(scenario.random, 20, 45);
    }
  }
}

void UpdateRoute(Scenario &scenario, std::vector<std::string> &out) {
  if (Due(scenario.time, scenario.next_route)) {
    SendRoute(scenario, out);
    scenario.next_route += kRoutePeriod;
  }
  if (Due(scenario.time, scenario.next_route_to) || scenario.own.target != scenario.announced_target) {
    SendRouteTo(scenario, out);
    scenario.next_route_to = scenario.time + kRouteToPeriod;
  }
}

void UpdateDesignation(Scenario &scenario, std::vector<std::string> &out) {
  const double now = scenario.time;
  if (!scenario.agm_active && Due(now, scenario.agm_start)) {
    scenario.agm_active = true;
    scenario.next_agm = now;
    PointAhead(scenario, scenario.own, 12, 20, scenario.agm_latitude, scenario.agm_longitude);
  }
  if (!scenario.agm_active)
    return;
  if (Due(now, scenario.agm_start + kAgmBurst)) {
    scenario.agm_active = false;
    scenario.agm_start = now + RandomBetween(scenario.random, 20, 40);
    return;
  }
  if (Due(now, scenario.next_agm)) {
    char text[128];
    std::snprintf(text, sizeof text, kAgmTagFormat, scenario.agm_latitude, scenario.agm_longitude);
    Append(out, text);
    scenario.next_agm += kAgmPeriod;
  }
}

void PlaceInFormation(Peer &peer, const Aircraft &leader) {
  const double h = leader.heading;
  const double north = -peer.back_km * std::cos(h) - peer.right_km * std::sin(h);
  const double east = -peer.back_km * std::sin(h) + peer.right_km * std::cos(h);
  OffsetPosition(leader.latitude, leader.longitude, north, east, peer.aircraft.latitude, peer.aircraft.longitude);
  peer.aircraft.heading = leader.heading;
}

void SendPeer(Scenario &scenario, Peer &peer, std::vector<std::string> &out) {
  // A peer forwards its own simulator's MONITOR text, as the display does when joined.
  const std::string monitor = MonitorText(peer.aircraft);
  char text[kSquadTextCapacity];
  if (FormatSquadText(text, sizeof text, monitor.c_str(), scenario.config.squad, peer.pilot))
    Append(out, text);

  if (!Due(scenario.time, peer.next_tag))
    return;
  peer.next_tag = scenario.time + RandomBetween(scenario.random, kPeerTagLeast, kPeerTagMost);
  double latitude = 0, longitude = 0;
  PointAhead(scenario, peer.aircraft, 5, 15, latitude, longitude);
  // Mostly enemy ground units, now and then an aircraft; affiliation, class and category as the
  // TAGGING page sets them.
  const int affiliation = NextRandom(scenario.random) % 4 == 0 ? 0 : 1;
  const bool air = NextRandom(scenario.random) % 5 == 0;
  const int symbol_class = air ? 2 : 1;
  const int category = air ? 4 : 1 + static_cast<int>(NextRandom(scenario.random) % 3);
  const int symb = PackSymbol(affiliation, static_cast<signed char>(symbol_class), category);
  if (FormatTagText(text, sizeof text, latitude, longitude, symb, scenario.config.squad, peer.pilot))
    Append(out, text);
}

void StartPeers(Scenario &scenario) {
  const ScenarioConfig &config = scenario.config;
  scenario.peers.clear();
  int formation_slots = 0;
  for (int k = 0; k < config.peers; ++k) {
    Peer peer;
    peer.pilot = PeerPilotNumber(config.own_pilot, k);
    peer.next_tag = RandomBetween(scenario.random, kFirstPeerTagLeast, kFirstPeerTagMost);
    if (k % 2 == 0) {
      // Wingmen: right and left of the leader, each pair a step further out and back.
      const int rank = formation_slots / 2 + 1;
      peer.right_km = (formation_slots % 2 == 0 ? 1 : -1) * kFormationStep * rank;
      peer.back_km = kFormationStep * rank;
      ++formation_slots;
      peer.aircraft = scenario.own;
      peer.aircraft.altitude = config.altitude + 150.0 * rank;
      PlaceInFormation(peer, scenario.own);
    } else {
      // The others fly the route the other way round, each from a different waypoint and a little slower.
      peer.route.assign(config.route.rbegin(), config.route.rend());
      const double speed = config.speed_kmh * (0.8 + 0.05 * (k % 4));
      peer.aircraft = StartFlight(peer.route, static_cast<size_t>(k), speed, config.altitude + 300.0 * k);
    }
    scenario.peers.push_back(std::move(peer));
  }
}

void FlyOn(Scenario &scenario, double dt) {
  const int steps = std::max(1, static_cast<int>(std::ceil(dt / kMaxStep - 1e-9)));
  const double step = dt / steps;
  for (int i = 0; i < steps; ++i) {
    StepFlight(scenario.own, scenario.config.route, step);
    for (Peer &peer : scenario.peers)
      if (!peer.route.empty())
        StepFlight(peer.aircraft, peer.route, step);
  }
  for (Peer &peer : scenario.peers)
    if (peer.route.empty())
      PlaceInFormation(peer, scenario.own);
}
} // namespace

void SeedRandom(FeedRandom &random, uint32_t seed) { random.state = 0x9E3779B97F4A7C15ull ^ seed; }

uint32_t NextRandom(FeedRandom &random) {
  // splitmix64: fixed arithmetic, so a seed means the same flight everywhere.
  uint64_t z = (random.state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

double RandomBetween(FeedRandom &random, double low, double high) {
  return low + (high - low) * (NextRandom(random) / 4294967296.0);
}

int PeerPilotNumber(int own_pilot, int k) {
  int pilot = own_pilot;
  for (int i = 0; i <= k; ++i) {
    pilot = pilot % 99 + 1;
    if (pilot == own_pilot)
      pilot = pilot % 99 + 1;
  }
  return pilot;
}

void StartScenario(Scenario &scenario, const ScenarioConfig &config) {
  scenario = Scenario{};
  scenario.config = config;
  SeedRandom(scenario.random, config.seed);
  scenario.own = StartFlight(config.route, 0, config.speed_kmh, config.altitude);
  scenario.fail_states[kAutopilotOn] = 1; // the sample aircraft flies its route on the autopilot
  scenario.next_fault = RandomBetween(scenario.random, 15, 30);
  StartPeers(scenario);
}

void ScenarioTick(Scenario &scenario, std::vector<std::string> &out) {
  const double period = 1.0 / scenario.config.rate_hz;
  scenario.time = static_cast<double>(scenario.ticks) * period;
  UpdateFailures(scenario, out);
  UpdateRoute(scenario, out);
  UpdateDesignation(scenario, out);
  out.push_back(MonitorText(scenario.own));
  for (Peer &peer : scenario.peers)
    SendPeer(scenario, peer, out);
  ++scenario.ticks;
  FlyOn(scenario, period);
}
