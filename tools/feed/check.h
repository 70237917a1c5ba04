// check.h: the feed doctor. Tells a pilot writing an export script what the display will make of each datagram
// it sends: read with the display's own classification, formats and failure table, then judged as a stream
// (rates, gaps, jumps, heading against the track flown, route numbering).
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

struct FeedOptions;

enum class Severity { kError, kWarning };

// One kind of fault, with how often it was seen and the first datagram that showed it.
struct CheckFinding {
  Severity severity = Severity::kWarning;
  std::string code;    // short, stable name for programs, e.g. "comma-decimal"
  std::string message; // what the display does with it, in words
  std::string example; // the first datagram that showed it, escaped as in a recording
  double first_seconds = 0;
  long count = 0;
};

struct KindFigures {
  long count = 0;
  double first = 0, last = 0;
};

struct CheckReport {
  std::string source;
  double seconds = 0; // from the first datagram to the last
  long datagrams = 0;
  std::map<std::string, KindFigures> kinds; // by kind name ("MONITOR", ..., "none")
  // MONITOR as received: rate over its own span, gaps between consecutive ones (ms).
  double monitor_rate = 0;
  double gap_median_ms = 0, gap_p95_ms = 0, gap_max_ms = 0;
  // Heading against the track flown, over stretches of at least a second at 50 knots or more.
  long track_samples = 0;
  double track_median_deg = 0;     // signed heading minus track, -180..180
  double track_abs_median_deg = 0; // of the absolute difference
  double track_abs_p95_deg = 0;
  std::vector<CheckFinding> findings; // errors first, then warnings, each in order of first sight
  int errors() const;
  int warnings() const;
};

class FeedDoctor {
public:
  FeedDoctor();
  // One datagram as it was sent (all its bytes, even beyond what the display receives), at seconds.
  void Add(double seconds, std::string_view bytes);
  CheckReport Finish(const std::string &source);

private:
  struct Monitor {
    double seconds, latitude, longitude, heading;
  };
  void Note(Severity severity, const std::string &code, const std::string &message, double seconds,
            std::string_view bytes);
  void CheckMonitor(double seconds, const char *text, std::string_view bytes);
  void CheckRoute(double seconds, const char *text, std::string_view bytes);
  void CheckPosition(double seconds, const char *kind, double latitude, double longitude, std::string_view bytes);
  void CheckFail(double seconds, const char *text, std::string_view bytes);
  bool CheckFields(double seconds, const char *kind, const char *text, const char *format, int wanted,
                   const char *const *names, std::string_view bytes);

  std::vector<CheckFinding> findings_;
  std::map<std::string, KindFigures> kinds_;
  std::vector<Monitor> monitors_;
  std::map<int, std::pair<double, double>> route_points_; // index -> first position
  std::map<int, std::pair<double, std::string>> route_examples_; // index -> when and in what it came first
  double first_ = -1, last_ = 0;
  long datagrams_ = 0;
};

// The report as text for a pilot, and as JSON for programs.
std::string FormatCheckText(const CheckReport &report);
std::string FormatCheckJson(const CheckReport &report);

// The check mode: a recording (options.file) or a live port; returns the exit status (0 no error, 1 errors,
// 2 when the recording cannot be read or the port cannot be bound).
int RunCheck(const FeedOptions &options);
