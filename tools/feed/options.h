// options.h: the command line of kestrel-feed: a mode word (fly, record, replay, check) and its options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class FeedMode { kFly, kRecord, kReplay, kCheck };

struct FeedOptions {
  FeedMode mode = FeedMode::kFly;
  std::string host = "127.0.0.1";
  int port = 10320;
  double seconds = 0; // run time limit; 0 runs until interrupted (or, for replay, to the end)
  uint32_t seed = 1;

  // fly
  std::string theatre = "krasnodar";
  std::string route_file;
  double speed_kmh = 450 * 1.852;
  double altitude = 3000; // metres
  double rate_hz = 10;
  int peers = 0;
  int squad = 1;
  int pilot = 1; // the display's own pilot number; peers take others

  // record and replay
  std::string file; // "-" for standard output (record) or input (replay)
  long count = 0;   // record: stop after this many datagrams; 0 no limit
  bool bind_any = false;
  double replay_speed = 1; // replay: pace factor; 0 as fast as possible

  // check (file empty: listen on port, with bind_any and seconds as for record)
  bool json = false;
};

enum class ParseResult { kRun, kHelp, kError };

// Reads the arguments after the program name. kError leaves a one-line reason in error.
ParseResult ParseFeedCommandLine(const std::vector<std::string> &args, FeedOptions &options, std::string &error);

// The --help text.
std::string FeedUsage();
