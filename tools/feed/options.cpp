// options.cpp: the kestrel-feed command line, split by CLI11 into the options of the mode; every value is checked
// here, so that each refusal names the option and the value in our own words.
#include "tools/feed/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <map>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "tools/feed/flight.h"

namespace {
// Which modes accept an option.
enum ModeMask : unsigned { kFlyOnly = 1, kRecordOnly = 2, kReplayOnly = 4, kCheckOnly = 8, kAnyMode = 15 };

unsigned MaskOf(FeedMode mode) {
  switch (mode) {
  case FeedMode::kFly:
    return kFlyOnly;
  case FeedMode::kRecord:
    return kRecordOnly;
  case FeedMode::kReplay:
    return kReplayOnly;
  case FeedMode::kCheck:
    return kCheckOnly;
  }
  return 0;
}

const char *NameOf(FeedMode mode) {
  switch (mode) {
  case FeedMode::kFly:
    return "fly";
  case FeedMode::kRecord:
    return "record";
  case FeedMode::kReplay:
    return "replay";
  case FeedMode::kCheck:
    return "check";
  }
  return "?";
}

bool ParseNumber(const std::string &text, double low, double high, double &value) {
  if (text.empty())
    return false;
  errno = 0;
  char *end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(parsed) || parsed < low || parsed > high)
    return false;
  value = parsed;
  return true;
}

bool ParseInteger(const std::string &text, long low, long high, long &value) {
  if (text.empty())
    return false;
  errno = 0;
  char *end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
    return false;
  value = parsed;
  return true;
}

struct Parser {
  FeedOptions &options;
  std::string &error;
  bool speed_given = false;

  bool Fail(const std::string &message) {
    error = message;
    return false;
  }

  bool Integer(const std::string &name, const std::string &text, long low, long high, long &value) {
    if (ParseInteger(text, low, high, value))
      return true;
    return Fail(name + " wants a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" +
                text + "'");
  }

  bool Number(const std::string &name, const std::string &text, double low, double high, double &value,
              const char *range) {
    if (ParseNumber(text, low, high, value))
      return true;
    return Fail(name + " wants a number " + range + ", not '" + text + "'");
  }

  // Up to about 1000 knots: faster, the turns at the sample waypoints would carry the aircraft off the map.
  bool Speed(const std::string &name, const std::string &text, double factor, double most, const char *range) {
    if (speed_given)
      return Fail("give the speed once, with --knots or --kmh");
    speed_given = true;
    double value = 0;
    if (!Number(name, text, 1, most, value, range))
      return false;
    options.speed_kmh = value * factor;
    return true;
  }

  bool ReplaySpeed(const std::string &text) {
    if (text == "max") {
      options.replay_speed = 0;
      return true;
    }
    return Number("--speed", text, 0.001, 1e6, options.replay_speed, "above 0 (a pace factor) or 'max'");
  }

  // Applies one option that takes a value.
  bool Apply(const std::string &name, const std::string &value) {
    long whole = 0;
    if (name == "--host") {
      if (value.empty())
        return Fail("--host wants a host name or address");
      options.host = value;
    } else if (name == "--port") {
      // A recorder may let the system pick a free port, and says which when it starts.
      const bool listens = options.mode == FeedMode::kRecord || options.mode == FeedMode::kCheck;
      if (!Integer(name, value, listens ? 0 : 1, 65535, whole))
        return false;
      options.port = static_cast<int>(whole);
    } else if (name == "--seconds") {
      if (!Number(name, value, 0.001, 1e7, options.seconds, "above 0"))
        return false;
    } else if (name == "--seed") {
      if (!Integer(name, value, 0, 4294967295L, whole))
        return false;
      options.seed = static_cast<uint32_t>(whole);
    } else if (name == "--theatre") {
      if (FindTheatre(value) == nullptr)
        return Fail("--theatre wants krasnodar, caucasus or georgia, not '" + value + "'");
      options.theatre = value;
    } else if (name == "--route") {
      options.route_file = value;
    } else if (name == "--knots") {
      return Speed(name, value, kKmhPerKnot, 1000, "from 1 to 1000");
    } else if (name == "--kmh") {
      return Speed(name, value, 1.0, 1850, "from 1 to 1850");
    } else if (name == "--altitude") {
      return Number(name, value, -500, 30000, options.altitude, "of metres from -500 to 30000");
    } else if (name == "--rate") {
      return Number(name, value, 0.1, 100, options.rate_hz, "from 0.1 to 100 a second");
    } else if (name == "--peers") {
      if (!Integer(name, value, 0, 20, whole))
        return false;
      options.peers = static_cast<int>(whole);
    } else if (name == "--squad") {
      if (!Integer(name, value, 1, 99, whole))
        return false;
      options.squad = static_cast<int>(whole);
    } else if (name == "--pilot") {
      if (!Integer(name, value, 1, 99, whole))
        return false;
      options.pilot = static_cast<int>(whole);
    } else if (name == "--count") {
      return Integer(name, value, 1, 1000000000L, options.count);
    } else if (name == "--speed") {
      return ReplaySpeed(value);
    }
    return true;
  }
};

struct OptionInfo {
  const char *name;
  bool takes_value;
  unsigned modes;
};

constexpr OptionInfo kOptions[] = {
    {"--host", true, kFlyOnly | kReplayOnly},
    {"--port", true, kAnyMode},
    {"--seconds", true, kAnyMode},
    {"--seed", true, kFlyOnly},
    {"--theatre", true, kFlyOnly},
    {"--route", true, kFlyOnly},
    {"--knots", true, kFlyOnly},
    {"--kmh", true, kFlyOnly},
    {"--altitude", true, kFlyOnly},
    {"--rate", true, kFlyOnly},
    {"--peers", true, kFlyOnly},
    {"--squad", true, kFlyOnly},
    {"--pilot", true, kFlyOnly},
    {"--count", true, kRecordOnly},
    {"--any", false, kRecordOnly | kCheckOnly},
    {"--json", false, kCheckOnly},
    {"--speed", true, kReplayOnly},
};

const OptionInfo *FindOption(const std::string &name) {
  for (const OptionInfo &info : kOptions)
    if (name == info.name)
      return &info;
  return nullptr;
}
} // namespace

ParseResult ParseFeedCommandLine(const std::vector<std::string> &args, FeedOptions &options, std::string &error) {
  options = FeedOptions{};
  Parser parser{options, error};
  const auto fail = [&error](const std::string &message) {
    error = message;
    return ParseResult::kError;
  };
  size_t i = 0;
  if (!args.empty() && (args[0] == "fly" || args[0] == "record" || args[0] == "replay" || args[0] == "check")) {
    options.mode = args[0] == "fly"      ? FeedMode::kFly
                   : args[0] == "record" ? FeedMode::kRecord
                   : args[0] == "check"  ? FeedMode::kCheck
                                         : FeedMode::kReplay;
    ++i;
  }
  // The options of this mode only: an option of another mode is then told as such, below.
  CLI::App app{"kestrel-feed"};
  app.allow_extras();
  std::map<std::string, std::string> values;
  std::map<std::string, bool> flags;
  std::vector<std::pair<const OptionInfo *, CLI::Option *>> added;
  for (const OptionInfo &info : kOptions) {
    if ((info.modes & MaskOf(options.mode)) == 0)
      continue;
    CLI::Option *option = info.takes_value ? app.add_option(info.name, values[info.name])
                                           : app.add_flag(info.name, flags[info.name]);
    // Given twice, the last one counts; a flag given a value ("--any=yes") is refused below.
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    added.emplace_back(&info, option);
  }
  for (size_t k = i; k < args.size(); ++k) {
    const std::string &arg = args[k];
    const OptionInfo *info = FindOption(arg.substr(0, arg.find('=')));
    if (info != nullptr && !info->takes_value && arg.find('=') != std::string::npos)
      return fail(info->name + std::string(" takes no value"));
  }
  std::vector<std::string> reversed(args.rbegin(), args.rend() - static_cast<std::ptrdiff_t>(i)); // CLI11's order
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp &) {
    return ParseResult::kHelp;
  } catch (const CLI::ArgumentMismatch &e) {
    // "--port: 1 required TEXT missing": the option came last, without its value.
    const std::string what = e.what();
    return fail(what.substr(0, what.find(':')) + " needs a value");
  } catch (const CLI::ParseError &e) {
    return fail(e.what());
  }
  std::vector<std::string> positional;
  for (const std::string &extra : app.remaining()) {
    if (extra.size() < 2 || extra[0] != '-') {
      positional.push_back(extra); // "-" included: standard input or output
      continue;
    }
    const std::string name = extra.substr(0, extra.find('='));
    if (FindOption(name) == nullptr)
      return fail("unknown option '" + name + "' (see --help)");
    return fail(name + " is not an option of " + NameOf(options.mode) + " (see --help)");
  }
  bool port_given = false;
  for (const auto &[info, option] : added) {
    if (option->count() == 0)
      continue;
    if (!info->takes_value) {
      (std::string(info->name) == "--json" ? options.json : options.bind_any) = true;
      continue;
    }
    if (!parser.Apply(info->name, values[info->name]))
      return ParseResult::kError;
    port_given = port_given || std::string(info->name) == "--port";
  }

  if (options.mode == FeedMode::kFly) {
    if (!positional.empty())
      return fail("fly takes no file argument: '" + positional[0] + "'");
    return ParseResult::kRun;
  }
  if (options.mode == FeedMode::kCheck) {
    if (positional.size() > 1)
      return fail("check wants at most one FILE argument (none: listen on --port)");
    if (!positional.empty() && (port_given || options.bind_any))
      return fail("check reads FILE or listens on --port, not both");
    if (!positional.empty())
      options.file = positional[0];
    return ParseResult::kRun;
  }
  if (positional.size() != 1)
    return fail(std::string(NameOf(options.mode)) + " wants exactly one FILE argument");
  options.file = positional[0];
  return ParseResult::kRun;
}

std::string FeedUsage() {
  return R"(kestrel-feed: stands in for the simulator's export script and for squad peers.

Usage:
  kestrel-feed [fly] [options]          fly a route and send its telemetry
  kestrel-feed record [options] FILE    write every datagram received to FILE ('-': standard output)
  kestrel-feed replay [options] FILE    send the datagrams of a recording again ('-': standard input)
  kestrel-feed check [options] [FILE]   tell what the display makes of the datagrams of a recording
                                        ('-': standard input), or of those arriving on --port

Common options:
  --port N         fly/replay: target port; record/check: port to listen on, 0 for any free one
                   (default 10320)
  --seconds S      stop after S seconds (default: until interrupted; replay: to the end)
  -h, --help       show this text

fly and replay:
  --host NAME      target host name or IPv4 address (default 127.0.0.1)

fly:
  --theatre NAME   krasnodar, caucasus or georgia (default krasnodar): sample route over that theatre
  --route FILE     fly this route instead: one waypoint a line, "LAT LONG [TYPE [NAME]]", '#' comments
  --knots N        ground speed in knots, up to 1000 (default 450)
  --kmh N          ground speed in km/h instead, up to 1850
  --altitude M     altitude in metres (default 3000)
  --rate HZ        MONITOR datagrams a second (default 10)
  --peers N        squad peers to simulate, 0 to 20 (default 0); even ones fly in formation, odd ones
                   fly the route the other way round
  --squad N        the peers' squad number (default 1)
  --pilot N        the display's own pilot number, which no peer uses (default 1)
  --seed N         seed of the random designations, failures and tags (default 1)

  Sent: MONITOR every tick; ROUTE points every 5 s; ROUTE_TO every second and on each new waypoint;
  AGMTAG each second for 10 s, then a pause; all 28 FAIL states at the start and every 10 s, with
  GearFailure toggling every 20 s and another failure coming and going; SQUAD from every peer each
  tick and TAG from each peer every one to two minutes (the first within its first minute).

record:
  --any            listen on every address (default: 127.0.0.1 only)
  --count N        stop after N datagrams
  Says on standard error which address and port it listens on, then records until stopped (Ctrl+C),
  --seconds or --count.
  Each line: seconds since the start with milliseconds, a tab, the datagram with '\', tab, newline,
  carriage return and other bytes outside printable ASCII escaped (\\ \t \n \r \xHH).

replay:
  --speed X        X times the recorded pace, or 'max' for as fast as possible (default 1)

check:
  --any            listen on every address (default: 127.0.0.1 only)
  --json           write the report as JSON instead of text
  Reads every datagram as the display does and reports the count and rate of each kind, then each
  fault with its first datagram: errors (the display misreads or drops it) and warnings (heading
  against the track flown, jumps, MONITOR rate and gaps, route numbering). Listening, it reports
  when --seconds have passed or on Ctrl+C. Exit status 0 without errors, 1 with, 2 on bad usage or
  an unreadable recording.
)";
}
