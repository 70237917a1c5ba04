// main.cpp: kestrel-feed, the stand-in for the simulator's export script and for squad peers.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/feed/check.h"
#include "tools/feed/flight.h"
#include "tools/feed/options.h"
#include "tools/feed/recording.h"
#include "tools/feed/runtime.h"
#include "tools/feed/scenario.h"

namespace {
// Falling further behind than this (the process was stopped, the machine slept) restarts the pacing
// instead of sending the missed ticks in a burst.
constexpr double kMaxLag = 1.0;

bool BuildScenarioConfig(const FeedOptions &options, ScenarioConfig &config, std::string &where, std::string &error) {
  if (!options.route_file.empty()) {
    if (!LoadRouteFile(options.route_file, config.route, error))
      return false;
    where = options.route_file;
  } else {
    const Theatre *theatre = FindTheatre(options.theatre);
    config.route = theatre->route;
    config.bounded = true;
    config.south = theatre->south;
    config.north = theatre->north;
    config.west = theatre->west;
    config.east = theatre->east;
    where = theatre->name;
  }
  config.speed_kmh = options.speed_kmh;
  config.altitude = options.altitude;
  config.rate_hz = options.rate_hz;
  config.peers = options.peers;
  config.squad = options.squad;
  config.own_pilot = options.pilot;
  config.seed = options.seed;
  return true;
}

void ReportProgress(const Scenario &scenario, long &reached) {
  if (scenario.own.waypoints_reached == reached)
    return;
  reached = scenario.own.waypoints_reached;
  const std::vector<Waypoint> &route = scenario.config.route;
  const size_t target = scenario.own.target;
  const size_t passed = (target + route.size() - 1) % route.size();
  std::fprintf(stderr, "kestrel-feed: %7.1f s  passing %s, steering to %s\n", scenario.time, route[passed].name.c_str(),
               route[target].name.c_str());
}

int RunFly(const FeedOptions &options) {
  ScenarioConfig config;
  std::string where, error;
  FeedTarget target;
  if (!BuildScenarioConfig(options, config, where, error) ||
      !ResolveTarget(options.host, options.port, target, error)) {
    std::fprintf(stderr, "kestrel-feed: %s\n", error.c_str());
    return 1;
  }
  Scenario scenario;
  StartScenario(scenario, config);
  std::fprintf(stderr,
               "kestrel-feed: flying %zu waypoints of %s from %s at %.0f km/h, %g MONITOR/s, %d peers, to %s port %d\n",
               config.route.size(), where.c_str(), config.route[0].name.c_str(), config.speed_kmh, config.rate_hz,
               config.peers, target.dotted, target.port);

  const double period = 1.0 / config.rate_hz;
  double start = NowSeconds();
  long sent = 0, failed = 0, reached = 0;
  std::vector<std::string> texts;
  for (long tick = 0;; ++tick) {
    const double due = static_cast<double>(tick) * period;
    if (options.seconds > 0 && due >= options.seconds)
      break;
    if (NowSeconds() - (start + due) > kMaxLag)
      start = NowSeconds() - due;
    if (!SleepUntil(start + due))
      break;
    texts.clear();
    ScenarioTick(scenario, texts);
    for (const std::string &text : texts) {
      if (SendText(target, text)) {
        ++sent;
      } else if (failed++ == 0) {
        std::fprintf(stderr, "kestrel-feed: sending to %s port %d failed\n", target.dotted, target.port);
      }
    }
    ReportProgress(scenario, reached);
  }
  std::fprintf(stderr, "kestrel-feed: sent %ld datagrams in %.1f s of flight\n", sent, scenario.time);
  if (failed > 0) {
    std::fprintf(stderr, "kestrel-feed: %ld sends failed\n", failed);
    return 1;
  }
  return 0;
}
} // namespace

int main(int argc, char **argv) {
  FeedOptions options;
  std::string error;
  const std::vector<std::string> args(argv + 1, argv + argc);
  switch (ParseFeedCommandLine(args, options, error)) {
  case ParseResult::kHelp:
    std::fputs(FeedUsage().c_str(), stdout);
    return 0;
  case ParseResult::kError:
    std::fprintf(stderr, "kestrel-feed: %s\n", error.c_str());
    return 2;
  case ParseResult::kRun:
    break;
  }
  InstallStopHandlers();
  switch (options.mode) {
  case FeedMode::kRecord:
    return RunRecord(options);
  case FeedMode::kReplay:
    return RunReplay(options);
  case FeedMode::kCheck:
    return RunCheck(options);
  case FeedMode::kFly:
    break;
  }
  return RunFly(options);
}
