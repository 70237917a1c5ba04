// scenario.h: what the simulator's export script and the squad peers send while the feed flies a route:
// MONITOR, ROUTE, ROUTE_TO, AGMTAG and FAIL for the own aircraft, SQUAD and TAG for each peer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/feed/flight.h"

constexpr int kFeedFailureCount = 28;
// The failure keywords the simulator reports, in the order of the failures page.
extern const char *const kFeedFailureKeywords[kFeedFailureCount];

// A small deterministic generator: the same seed gives the same flight on every platform and library.
struct FeedRandom {
  uint64_t state = 1;
};
void SeedRandom(FeedRandom &random, uint32_t seed);
uint32_t NextRandom(FeedRandom &random);
// Uniform in [low, high).
double RandomBetween(FeedRandom &random, double low, double high);

struct ScenarioConfig {
  std::vector<Waypoint> route;
  double speed_kmh = 450 * kKmhPerKnot;
  double altitude = 3000; // metres
  double rate_hz = 10;    // MONITOR datagrams a second, one a tick
  int peers = 0;
  int squad = 1;     // the peers' squad number
  int own_pilot = 1; // the display's pilot number, which no peer uses
  uint32_t seed = 1;
  // When set, designated points and peer tags are kept inside this box (the theatre's map).
  bool bounded = false;
  double south = 0, north = 0, west = 0, east = 0;
};

// How often the slower messages go out, in seconds of flight.
constexpr double kRoutePeriod = 5.0;
constexpr double kRouteToPeriod = 1.0;
constexpr double kFailPeriod = 10.0;
constexpr double kGearTogglePeriod = 20.0;
constexpr double kAgmPeriod = 1.0;
constexpr double kAgmBurst = 10.0;     // seconds a designation is kept up
constexpr double kFirstAgm = 5.0;      // seconds into the flight of the first designation
constexpr double kFormationStep = 1.5; // km between formation slots
// A peer tags as a pilot does, every minute or two: each tag's message stays on the display until the tag is
// selected, so a faster pace would bury the map under them.
constexpr double kFirstPeerTagLeast = 20, kFirstPeerTagMost = 60;
constexpr double kPeerTagLeast = 60, kPeerTagMost = 120;

struct Peer {
  Aircraft aircraft;
  std::vector<Waypoint> route; // empty for a peer flying in formation on the own aircraft
  double right_km = 0;         // formation slot: to the right of the leader (negative: left)
  double back_km = 0;          // and behind it
  int pilot = 0;
  double next_tag = 0;
};

struct Scenario {
  ScenarioConfig config;
  Aircraft own;
  std::vector<Peer> peers;
  FeedRandom random;
  long ticks = 0;
  double time = 0; // seconds of flight at this tick
  double next_route = 0;
  double next_route_to = 0;
  size_t announced_target = SIZE_MAX;
  double next_fail = 0;
  double next_gear_toggle = kGearTogglePeriod;
  double next_fault = 0; // when the random failure comes or goes
  int faulty = -1;       // index of the failure currently set at random, -1 none
  int fail_states[kFeedFailureCount] = {};
  bool agm_active = false;
  double agm_start = kFirstAgm; // of the current or the next designation
  double next_agm = kFirstAgm;
  double agm_latitude = 0;
  double agm_longitude = 0;
};

// The pilot number of the k-th peer (0-based): counting up from the display's own number, skipping it,
// within 1..99.
int PeerPilotNumber(int own_pilot, int k);

// Prepares the flight; the route must hold at least two waypoints.
void StartScenario(Scenario &scenario, const ScenarioConfig &config);
// One tick: appends the texts of every datagram due now, in sending order (the first tick opens with every
// failure state and the route), then flies everyone on by one tick (1 / rate_hz seconds).
void ScenarioTick(Scenario &scenario, std::vector<std::string> &out);
