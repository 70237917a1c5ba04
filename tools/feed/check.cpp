// check.cpp: the feed doctor.
//
// Every datagram is read the way the display reads it: cut to the bytes the listener receives, ended at a NUL
// as the handlers' C strings end, classified by ClassifyDatagram and read with the display's own formats and
// failure table. What the display would misread or drop is an error; what only looks wrong (a heading away
// from the track, a jump, a slow or gappy MONITOR, odd route numbering) is a warning.
#include "tools/feed/check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/udp.h"
#include "status/failure_status.h"
#include "tools/feed/options.h"
#include "tools/feed/recording.h"
#include "tools/feed/runtime.h"
#include "wire/protocol.h"

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr double kEarthRadius = 6371000.0;
constexpr double kFastestAircraft = 1000.0; // m/s, about Mach 3 at altitude: faster is a jump
constexpr double kMinTrackSpeed = 50 * 1852.0 / 3600.0;
constexpr double kLinkWarningSeconds = 5.0; // the display's "VEKTA DISCONNECTED" after this much silence
constexpr double kSlowestMonitorRate = 2.0;

const char *KindName(MessageKind kind) {
  switch (kind) {
  case kMonitor:
    return "MONITOR";
  case kRouteTo:
    return "ROUTE_TO";
  case kRoute:
    return "ROUTE";
  case kTag:
    return "TAG";
  case kAgmTag:
    return "AGMTAG";
  case kFail:
    return "FAIL";
  case kSquad:
    return "SQUAD";
  case kUnknown:
    break;
  }
  return "none";
}

// The formats with "%n" behind them, to see where the display's reading ended.
std::string WithEnd(const char *format) { return std::string(format) + "%n"; }

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string Trimmed(std::string_view text) {
  while (!text.empty() && Blank(text.back()))
    text.remove_suffix(1);
  return std::string(text);
}

// Letters in upper case with blanks and colons dropped: what a prefix nearly written still has in common.
std::string Squeezed(std::string_view text, size_t most) {
  std::string out;
  for (char c : text.substr(0, std::min(text.size(), most)))
    if (!Blank(c) && c != ':')
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size())
    return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

struct NearMiss {
  const char *prefix = nullptr;
  std::string how;
};

// Which prefix a text that matched none was meant to have, and what is wrong with it.
NearMiss FindNearMiss(std::string_view text) {
  static const char *const kPrefixes[] = {kMonitorPrefix, kRouteToPrefix, kRoutePrefix, kTagPrefix,
                                          kAgmTagPrefix,  kFailPrefix,    kSquadPrefix};
  const std::string squeezed = Squeezed(text, 40);
  NearMiss best;
  size_t best_length = 0;
  for (const char *prefix : kPrefixes) {
    const std::string want = Squeezed(prefix, 40);
    // "KESTRELROUTE" also begins "KESTRELROUTE_TO"; the longer one wins.
    if (squeezed.compare(0, want.size(), want) == 0 && want.size() > best_length) {
      best.prefix = prefix;
      best_length = want.size();
    }
  }
  if (best.prefix == nullptr)
    return best;
  const std::string_view prefix = best.prefix;
  const std::string_view without_colon = prefix.substr(0, prefix.size() - 1);
  if (StartsWithNoCase(text, prefix)) {
    best.how = "letter case";
  } else if (!text.empty() && Blank(text[0])) {
    best.how = "blank before KESTREL";
  } else if (text.compare(0, 7, "KESTREL") == 0 && text.size() > 7 && !Blank(text[7]) &&
             text.compare(7, without_colon.size() - 8, without_colon.substr(8)) == 0) {
    best.how = "no blank after KESTREL";
  } else if (text.compare(0, 8, "KESTREL ") == 0 && text.size() > 8 && Blank(text[8])) {
    best.how = "more than one blank after KESTREL";
  } else if (StartsWithNoCase(text, without_colon)) {
    std::string_view rest = text.substr(without_colon.size());
    if (!rest.empty() && Blank(rest[0])) {
      while (!rest.empty() && Blank(rest[0]))
        rest.remove_prefix(1);
      best.how = !rest.empty() && rest[0] == ':' ? "blank before ':'" : "no ':' after the kind";
    } else {
      best.how = "no ':' after the kind";
    }
    if (text.compare(0, without_colon.size(), without_colon) != 0)
      best.how += ", and letter case";
  } else {
    best.how = "blanks or letter case";
  }
  return best;
}

size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j)
    row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const bool same =
          std::tolower(static_cast<unsigned char>(a[i - 1])) == std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string NearestKeyword(const char *keyword) {
  std::string best;
  size_t best_distance = SIZE_MAX;
  for (int i = 0; i < kFailureCount; ++i) {
    const char *known = g_failure_status.entries[i].keyword;
    const size_t distance = EditDistance(keyword, known);
    if (distance < best_distance) {
      best_distance = distance;
      best = known;
    }
  }
  return best;
}

// A decimal comma: a field's number followed by a comma and a digit, where the next field's name should be.
bool HasDecimalComma(const char *text) {
  for (const char *p = std::strchr(text, '='); p != nullptr; p = std::strchr(p + 1, '=')) {
    const char *q = p + 1;
    if (*q == '-' || *q == '+')
      ++q;
    if (!std::isdigit(static_cast<unsigned char>(*q)))
      continue;
    while (std::isdigit(static_cast<unsigned char>(*q)))
      ++q;
    if (*q == ',' && std::isdigit(static_cast<unsigned char>(q[1])))
      return true;
  }
  return false;
}

double Radians(double degrees) { return degrees * kPi / 180.0; }
double Degrees(double radians) { return radians * 180.0 / kPi; }

double Distance(double lat1, double lon1, double lat2, double lon2) {
  const double dlat = Radians(lat2 - lat1), dlon = Radians(lon2 - lon1);
  const double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
                   std::cos(Radians(lat1)) * std::cos(Radians(lat2)) * std::sin(dlon / 2) * std::sin(dlon / 2);
  return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(a)));
}

// Initial great-circle bearing, radians clockwise from true north.
double Bearing(double lat1, double lon1, double lat2, double lon2) {
  const double p1 = Radians(lat1), p2 = Radians(lat2), dl = Radians(lon2 - lon1);
  return std::atan2(std::sin(dl) * std::cos(p2),
                    std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl));
}

// An angle brought into (-pi, pi].
double Wrapped(double angle) {
  angle = std::fmod(angle, kTwoPi);
  if (angle > kPi)
    angle -= kTwoPi;
  else if (angle <= -kPi)
    angle += kTwoPi;
  return angle;
}

double Quantile(std::vector<double> values, double q) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  const size_t index =
      std::min(values.size() - 1, static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5));
  return values[index];
}

std::string Format(const char *format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}
} // namespace

int CheckReport::errors() const {
  return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                        [](const CheckFinding &f) { return f.severity == Severity::kError; }));
}
int CheckReport::warnings() const { return static_cast<int>(findings.size()) - errors(); }

FeedDoctor::FeedDoctor() {
  // The failure table the display itself uses; the doctor only looks keywords up in it.
  if (g_failure_status.entries == nullptr)
    InitFailureStatus(425);
}

void FeedDoctor::Note(Severity severity, const std::string &code, const std::string &message, double seconds,
                      std::string_view bytes) {
  for (CheckFinding &finding : findings_) {
    if (finding.code == code) {
      ++finding.count;
      return;
    }
  }
  CheckFinding finding;
  finding.severity = severity;
  finding.code = code;
  finding.message = message;
  finding.example = EscapeDatagram(bytes);
  finding.first_seconds = seconds;
  finding.count = 1;
  findings_.push_back(std::move(finding));
}

void FeedDoctor::Add(double seconds, std::string_view bytes) {
  ++datagrams_;
  if (first_ < 0)
    first_ = seconds;
  last_ = seconds;
  std::string_view received = bytes;
  if (received.size() > kDatagramLimit) {
    Note(Severity::kError, "too-long",
         "longer than " + std::to_string(kDatagramLimit) + " bytes: the display receives the first " +
             std::to_string(kDatagramLimit) + " and reads only those",
         seconds, bytes);
    received = received.substr(0, kDatagramLimit);
  }
  const size_t nul = received.find('\0');
  if (nul != std::string_view::npos) {
    Note(Severity::kError, "nul-byte", "a NUL byte: the display reads the text only up to it", seconds, bytes);
    received = received.substr(0, nul);
  }
  const std::string text(received);
  if (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    Note(Severity::kWarning, "line-end",
         "ends with CR or LF: the display skips it here, but it is no part of any datagram (send the text alone)",
         seconds, bytes);

  const MessageKind kind = ClassifyDatagram(text.c_str());
  KindFigures &figures = kinds_[KindName(kind)];
  if (figures.count++ == 0)
    figures.first = seconds;
  figures.last = seconds;

  static const char *const kLatLong[] = {"Lat", "Long"};
  static const char *const kTagNames[] = {"Lat", "Long", "Symb", "Squad", "Pilot"};
  static const char *const kSquadNames[] = {"Lat", "Long", "Compass", "Alt", "Squad", "Pilot"};
  double latitude = 0, longitude = 0, heading = 0, altitude = 0;
  int symb = 0, squad = 0, pilot = 0, end = -1;
  switch (kind) {
  case kMonitor:
    CheckMonitor(seconds, text.c_str(), bytes);
    break;
  case kRoute:
    CheckRoute(seconds, text.c_str(), bytes);
    break;
  case kRouteTo:
    if (std::sscanf(text.c_str(), WithEnd(kRouteToFormat).c_str(), &latitude, &longitude, &end) == 2)
      CheckPosition(seconds, "ROUTE_TO", latitude, longitude, bytes);
    CheckFields(seconds, "ROUTE_TO", text.c_str(), kRouteToFormat, 2, kLatLong, bytes);
    break;
  case kAgmTag:
    if (std::sscanf(text.c_str(), WithEnd(kAgmTagFormat).c_str(), &latitude, &longitude, &end) == 2)
      CheckPosition(seconds, "AGMTAG", latitude, longitude, bytes);
    CheckFields(seconds, "AGMTAG", text.c_str(), kAgmTagFormat, 2, kLatLong, bytes);
    break;
  case kTag:
    if (std::sscanf(text.c_str(), kTagFormat, &latitude, &longitude, &symb, &squad, &pilot) == 5)
      CheckPosition(seconds, "TAG", latitude, longitude, bytes);
    CheckFields(seconds, "TAG", text.c_str(), kTagFormat, 5, kTagNames, bytes);
    break;
  case kSquad:
    if (std::sscanf(text.c_str(), kSquadFormat, &latitude, &longitude, &heading, &altitude, &squad, &pilot) == 6)
      CheckPosition(seconds, "SQUAD", latitude, longitude, bytes);
    CheckFields(seconds, "SQUAD", text.c_str(), kSquadFormat, 6, kSquadNames, bytes);
    break;
  case kFail:
    CheckFail(seconds, text.c_str(), bytes);
    break;
  case kUnknown: {
    const NearMiss near = FindNearMiss(text);
    if (near.prefix != nullptr) {
      const std::string wanted = near.prefix;
      Note(Severity::kError, "no-kind:" + Squeezed(wanted, 40) + ":" + near.how,
           "matches no kind: nearly \"" + wanted + "\" (" + near.how + "); the display drops it", seconds, bytes);
    } else if (text.empty()) {
      Note(Severity::kError, "empty", "an empty datagram: the display drops it", seconds, bytes);
    } else {
      Note(Severity::kError, "no-kind",
           "matches no kind (a datagram begins \"KESTREL \", the kind, then ':'): the display drops it", seconds,
           bytes);
    }
    break;
  }
  }
}

// Reads text with format the way the handler does and says which field the reading stopped at, and whether
// anything but blanks follows the last one.
bool FeedDoctor::CheckFields(double seconds, const char *kind, const char *text, const char *format, int wanted,
                             const char *const *names, std::string_view bytes) {
  double d[6] = {};
  int i[6] = {};
  char word[64] = {};
  int end = -1, read = 0;
  const std::string with_end = WithEnd(format);
  const std::string k = kind;
  if (k == "MONITOR")
    read = std::sscanf(text, with_end.c_str(), &d[0], &d[1], &d[2], &d[3], &end);
  else if (k == "ROUTE")
    read = std::sscanf(text, with_end.c_str(), &i[0], &d[0], &d[1], &i[1], &end);
  else if (k == "ROUTE_TO" || k == "AGMTAG")
    read = std::sscanf(text, with_end.c_str(), &d[0], &d[1], &end);
  else if (k == "TAG")
    read = std::sscanf(text, with_end.c_str(), &d[0], &d[1], &i[0], &i[1], &i[2], &end);
  else if (k == "SQUAD")
    read = std::sscanf(text, with_end.c_str(), &d[0], &d[1], &d[2], &d[3], &i[0], &i[1], &end);
  else if (k == "FAIL")
    read = std::sscanf(text, with_end.c_str(), word, &i[0], &end);
  read = std::max(read, 0);
  if (read < wanted) {
    if (HasDecimalComma(text)) {
      Note(Severity::kError, k + ":decimal-comma",
           k + ": a comma as decimal mark: the display reads the digits before it and stops there (use '.')", seconds,
           bytes);
    } else if (k == "FAIL" && read == 1 && std::strlen(word) == 63) {
      Note(Severity::kError, "FAIL:long-keyword", "FAIL: a keyword longer than 63 characters: the display drops it",
           seconds, bytes);
    } else {
      std::string message = k + ": the display reads " + std::to_string(read) + " of " + std::to_string(wanted) +
                            " fields and stops before " + names[read];
      message += k == "MONITOR" ? " (the fields before it are used, the rest keep their old values)"
                                : " (it drops the datagram)";
      Note(Severity::kError, k + ":fields-not-read", message, seconds, bytes);
    }
    return false;
  }
  // TAG and SQUAD end in the literal "Type=0", which the display does not look at.
  if (end >= 0 && !Trimmed(text + end).empty())
    Note(Severity::kWarning, k + ":trailing-text",
         k + ": text after the last field is ignored (\"" + Trimmed(text + end).substr(0, 24) + "\"): was it meant?",
         seconds, bytes);
  return true;
}

void FeedDoctor::CheckPosition(double seconds, const char *kind, double latitude, double longitude,
                               std::string_view bytes) {
  const std::string k = kind;
  if (!std::isfinite(latitude) || !std::isfinite(longitude))
    Note(Severity::kError, k + ":not-finite",
         k + ": a position that is not a number (NaN or infinity): the display " +
             (k == "MONITOR" ? "keeps the previous value" : "drops it"),
         seconds, bytes);
  else if (latitude < -90 || latitude > 90 || longitude < -180 || longitude > 180)
    Note(Severity::kError, k + ":out-of-range",
         k + ": latitude outside -90..90 or longitude outside -180..180 (swapped, or not degrees?)", seconds, bytes);
}

void FeedDoctor::CheckMonitor(double seconds, const char *text, std::string_view bytes) {
  static const char *const kNames[] = {"Lat", "Long", "Compass", "Alt"};
  // What squad peers receive: the display relays the run of MONITOR's text up to its first blank.
  char squad_text[kSquadTextCapacity];
  if (FormatSquadText(squad_text, sizeof squad_text, text, 1, 1)) {
    const char *fields = text + std::strlen(kMonitorPrefix);
    fields += std::strspn(fields, " \t\n\v\f\r");
    const size_t run = std::strcspn(fields, " \t\n\v\f\r");
    if (!Trimmed(fields + run).empty())
      Note(Severity::kError, "MONITOR:blank",
           "MONITOR: a blank inside the text: squad peers get it only up to the blank (\"" +
               std::string(fields, std::min<size_t>(run, 40)) + "\") and misread the position",
           seconds, bytes);
  }
  if (!CheckFields(seconds, "MONITOR", text, kMonitorFormat, 4, kNames, bytes))
    return;
  double latitude = 0, longitude = 0, heading = 0, altitude = 0;
  std::sscanf(text, kMonitorFormat, &latitude, &longitude, &heading, &altitude);
  CheckPosition(seconds, "MONITOR", latitude, longitude, bytes);
  if (!std::isfinite(heading) || !std::isfinite(altitude))
    Note(Severity::kError, "MONITOR:not-finite-value",
         "MONITOR: Compass or Alt is not a number (NaN or infinity): the display keeps the old heading, and squad "
         "peers drop the position",
         seconds, bytes);
  if (std::isfinite(heading) && std::fabs(heading) > kTwoPi + 1e-6)
    Note(Severity::kError, "MONITOR:heading-degrees",
         "MONITOR: Compass " + Format("%g", heading) +
             " is beyond 2*pi: it looks like degrees, and the display wants radians (degrees * pi / 180)",
         seconds, bytes);
  if (std::isfinite(altitude) && altitude > 20000)
    Note(Severity::kWarning, "MONITOR:altitude-high",
         "MONITOR: Alt " + Format("%.0f", altitude) +
             " m is higher than aircraft fly: feet instead of metres (feet * 0.3048)?",
         seconds, bytes);
  else if (std::isfinite(altitude) && altitude < -500)
    Note(Severity::kWarning, "MONITOR:altitude-low",
         "MONITOR: Alt " + Format("%.0f", altitude) + " m is below any ground: is it metres above sea level?", seconds,
         bytes);
  if (!std::isfinite(latitude) || !std::isfinite(longitude) || !std::isfinite(heading) || std::fabs(latitude) > 90 ||
      std::fabs(longitude) > 180)
    return;

  const Monitor now{seconds, latitude, longitude, heading};
  if (!monitors_.empty()) {
    const Monitor &before = monitors_.back();
    const double dt = seconds - before.seconds;
    const double metres = Distance(before.latitude, before.longitude, latitude, longitude);
    if (dt >= kLinkWarningSeconds)
      Note(Severity::kWarning, "MONITOR:gap",
           "MONITOR: a gap of " + Format("%.1f", dt) +
               " s: after 5 s without MONITOR the display warns VEKTA DISCONNECTED",
           seconds, bytes);
    if (metres > 1000 && metres > kFastestAircraft * std::max(dt, 0.2))
      Note(Severity::kWarning, "MONITOR:jump",
           "MONITOR: the position jumps " + Format("%.1f", metres / 1000) + " km in " + Format("%.3f", dt) +
               " s, faster than any aircraft flies",
           seconds, bytes);
  }
  monitors_.push_back(now);
}

void FeedDoctor::CheckRoute(double seconds, const char *text, std::string_view bytes) {
  static const char *const kNames[] = {"the point number", "Lat", "Long", "Type"};
  if (!CheckFields(seconds, "ROUTE", text, kRouteFormat, 4, kNames, bytes))
    return;
  int index = 0, type = 0;
  double latitude = 0, longitude = 0;
  std::sscanf(text, kRouteFormat, &index, &latitude, &longitude, &type);
  CheckPosition(seconds, "ROUTE", latitude, longitude, bytes);
  if (type < 1 || type > 4)
    Note(Severity::kWarning, "ROUTE:type",
         "ROUTE: Type " + std::to_string(type) +
             " is none the display knows (1 circle, 2 triangle, 3 departure, 4 arrival): it draws an unnumbered square",
         seconds, bytes);
  if (index < 1 || index > 127)
    Note(Severity::kWarning, "ROUTE:index-range",
         "ROUTE: point number " + std::to_string(index) + " is outside 1..127: the display draws no line to it",
         seconds, bytes);
  const auto known = route_points_.find(index);
  if (known == route_points_.end()) {
    route_points_[index] = {latitude, longitude};
    route_examples_[index] = {seconds, std::string(bytes)};
  } else if (known->second.first != latitude || known->second.second != longitude) {
    Note(Severity::kWarning, "ROUTE:renumbered",
         "ROUTE: point " + std::to_string(index) +
             " came again at another position: the display keeps both, and its line follows the first",
         seconds, bytes);
  }
}

void FeedDoctor::CheckFail(double seconds, const char *text, std::string_view bytes) {
  static const char *const kNames[] = {"the keyword", "the state"};
  if (!CheckFields(seconds, "FAIL", text, kFailFormat, 2, kNames, bytes))
    return;
  char keyword[64] = {};
  int state = 0;
  std::sscanf(text, kFailFormat, keyword, &state);
  if (FindFailure(keyword) == nullptr) {
    Note(Severity::kError, std::string("FAIL:keyword:") + keyword,
         std::string("FAIL: keyword \"") + keyword +
             "\" is none the display knows, so it changes nothing (nearest: " + NearestKeyword(keyword) + ")",
         seconds, bytes);
  }
  if (state != 0 && state != 1)
    Note(Severity::kWarning, "FAIL:state",
         "FAIL: state " + std::to_string(state) + ": the display shows any state but 0 as failed, like 1", seconds,
         bytes);
}

CheckReport FeedDoctor::Finish(const std::string &source) {
  CheckReport report;
  report.source = source;
  report.datagrams = datagrams_;
  report.seconds = datagrams_ > 0 ? last_ - first_ : 0;
  report.kinds = kinds_;

  if (monitors_.size() >= 2) {
    std::vector<double> gaps;
    for (size_t i = 1; i < monitors_.size(); ++i)
      gaps.push_back((monitors_[i].seconds - monitors_[i - 1].seconds) * 1000);
    const double span = monitors_.back().seconds - monitors_.front().seconds;
    report.monitor_rate = span > 0 ? static_cast<double>(monitors_.size() - 1) / span : 0;
    report.gap_median_ms = Quantile(gaps, 0.5);
    report.gap_p95_ms = Quantile(gaps, 0.95);
    report.gap_max_ms = *std::max_element(gaps.begin(), gaps.end());
    if (span > 0 && report.monitor_rate < kSlowestMonitorRate)
      Note(Severity::kWarning, "MONITOR:slow",
           "MONITOR comes " + Format("%.2f", report.monitor_rate) +
               " a second: under 2 the ownship moves in visible jumps (10 to 20 is usual)",
           monitors_.back().seconds, "");
  }
  if (datagrams_ > 0 && kinds_.count("MONITOR") == 0)
    Note(Severity::kWarning, "MONITOR:none", "no MONITOR at all: the display shows no ownship and VEKTA DISCONNECTED",
         last_, "");

  // Heading against track, over stretches of a second or more flown at 50 knots or faster; the heading of a
  // stretch is the mean of its two ends.
  std::vector<double> signed_differences, absolute, mirrored;
  size_t anchor = 0;
  for (size_t i = 1; i < monitors_.size(); ++i) {
    const Monitor &a = monitors_[anchor], &b = monitors_[i];
    const double dt = b.seconds - a.seconds;
    if (dt < 1.0)
      continue;
    anchor = i;
    if (dt > 10.0)
      continue;
    const double metres = Distance(a.latitude, a.longitude, b.latitude, b.longitude);
    if (metres / dt < kMinTrackSpeed)
      continue;
    const double track = Bearing(a.latitude, a.longitude, b.latitude, b.longitude);
    const double heading = a.heading + Wrapped(b.heading - a.heading) / 2;
    const double difference = Degrees(Wrapped(heading - track));
    signed_differences.push_back(difference);
    absolute.push_back(std::fabs(difference));
    mirrored.push_back(std::fabs(Degrees(Wrapped(-heading - track))));
  }
  report.track_samples = static_cast<long>(absolute.size());
  report.track_median_deg = Quantile(signed_differences, 0.5);
  report.track_abs_median_deg = Quantile(absolute, 0.5);
  report.track_abs_p95_deg = Quantile(absolute, 0.95);
  if (absolute.size() >= 5 && report.track_abs_median_deg >= 5) {
    const std::string median = Format("%+.1f", report.track_median_deg);
    if (Quantile(mirrored, 0.5) < 5 && report.track_abs_median_deg > 10)
      Note(Severity::kWarning, "MONITOR:heading-sign",
           "MONITOR: the heading turns the wrong way (counter-clockwise): it mirrors the track flown; Compass grows "
           "clockwise from north",
           last_, "");
    else if (report.track_abs_median_deg <= 25)
      Note(Severity::kWarning, "MONITOR:heading-offset",
           "MONITOR: the heading differs from the track flown by a steady " + median +
               " degrees: a magnetic heading instead of the true one, or a strong crosswind",
           last_, "");
    else
      Note(Severity::kWarning, "MONITOR:heading-track",
           "MONITOR: the heading disagrees with the track flown by " + median +
               " degrees (median): is it the true heading, in radians, clockwise from north?",
           last_, "");
  }

  // Route numbering, judged over every point received.
  if (!route_points_.empty()) {
    const int lowest = route_points_.begin()->first;
    if (lowest > 1)
      Note(Severity::kWarning, "ROUTE:start",
           "ROUTE: the numbers start at " + std::to_string(lowest) +
               ": the display draws the route line from point 1 only, so it draws none",
           route_examples_[lowest].first, route_examples_[lowest].second);
    int expected = std::max(lowest, 1);
    for (const auto &point : route_points_) {
      if (point.first < expected)
        continue;
      if (point.first > expected) {
        Note(Severity::kWarning, "ROUTE:skip",
             "ROUTE: the numbers skip " + std::to_string(expected) + ": the display's route line ends at the gap",
             route_examples_[point.first].first, route_examples_[point.first].second);
        break;
      }
      ++expected;
    }
  }

  // Errors first, each group in order of first sight.
  std::stable_sort(findings_.begin(), findings_.end(), [](const CheckFinding &a, const CheckFinding &b) {
    return a.severity == Severity::kError && b.severity != Severity::kError;
  });
  report.findings = findings_;
  return report;
}

std::string FormatCheckText(const CheckReport &report) {
  std::string out = "kestrel-feed check: " + report.source + ": " + std::to_string(report.datagrams) +
                    " datagrams in " + Format("%.1f", report.seconds) + " s\n";
  // Each kind's rate over the whole time checked: a burst of 28 FAIL lines is 28 in that time, not thousands a second.
  for (const auto &kind : report.kinds) {
    char line[128];
    std::snprintf(line, sizeof line, "  %-9s %7ld", kind.first.c_str(), kind.second.count);
    out += line;
    if (report.seconds > 0)
      out += Format("  %6.2f a second", static_cast<double>(kind.second.count) / report.seconds);
    out += kind.first == "none" ? "  (matched no kind)\n" : "\n";
  }
  if (report.monitor_rate > 0)
    out += "MONITOR read: " + Format("%.2f", report.monitor_rate) +
           " a second from the first to the last; gaps median " + Format("%.0f", report.gap_median_ms) + " ms, 95% " +
           Format("%.0f", report.gap_p95_ms) + " ms, longest " + Format("%.0f", report.gap_max_ms) + " ms\n";
  if (report.track_samples > 0)
    out += "heading against track: median " + Format("%+.2f", report.track_median_deg) + " degrees; absolute median " +
           Format("%.2f", report.track_abs_median_deg) + ", 95% " + Format("%.2f", report.track_abs_p95_deg) +
           " over " + std::to_string(report.track_samples) + " stretches of a second or more\n";
  for (const CheckFinding &finding : report.findings) {
    out += finding.severity == Severity::kError ? "error:   " : "warning: ";
    out += finding.message;
    if (finding.count > 1)
      out += " [" + std::to_string(finding.count) + " times]";
    out += "\n";
    if (!finding.example.empty())
      out += "         first at " + Format("%.3f", finding.first_seconds) + " s: " + finding.example + "\n";
  }
  const int errors = report.errors(), warnings = report.warnings();
  if (errors == 0 && warnings == 0)
    out += "nothing wrong: the display reads every datagram as meant\n";
  else
    out += std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
           (warnings == 1 ? " warning\n" : " warnings\n");
  return out;
}

std::string FormatCheckJson(const CheckReport &report) {
  std::string out = "{\"source\":" + JsonString(report.source) + ",\"datagrams\":" + std::to_string(report.datagrams) +
                    ",\"seconds\":" + JsonNumber(report.seconds) + ",\"kinds\":{";
  bool first = true;
  for (const auto &kind : report.kinds) {
    const double rate = report.seconds > 0 ? static_cast<double>(kind.second.count) / report.seconds : 0;
    out += (first ? "" : ",") + JsonString(kind.first) + ":{\"count\":" + std::to_string(kind.second.count) +
           ",\"rate\":" + JsonNumber(rate) + "}";
    first = false;
  }
  out += "},\"monitor\":{\"rate\":" + JsonNumber(report.monitor_rate) +
         ",\"gap_median_ms\":" + JsonNumber(report.gap_median_ms) + ",\"gap_p95_ms\":" + JsonNumber(report.gap_p95_ms) +
         ",\"gap_max_ms\":" + JsonNumber(report.gap_max_ms) +
         ",\"track_samples\":" + std::to_string(report.track_samples) +
         ",\"heading_minus_track_median_deg\":" + JsonNumber(report.track_median_deg) +
         ",\"heading_track_abs_median_deg\":" + JsonNumber(report.track_abs_median_deg) +
         ",\"heading_track_abs_p95_deg\":" + JsonNumber(report.track_abs_p95_deg) +
         "},\"errors\":" + std::to_string(report.errors()) + ",\"warnings\":" + std::to_string(report.warnings()) +
         ",\"findings\":[";
  first = true;
  for (const CheckFinding &finding : report.findings) {
    out += std::string(first ? "" : ",") +
           "{\"severity\":" + (finding.severity == Severity::kError ? "\"error\"" : "\"warning\"") +
           ",\"code\":" + JsonString(finding.code) + ",\"count\":" + std::to_string(finding.count) +
           ",\"message\":" + JsonString(finding.message) + ",\"example\":" + JsonString(finding.example) +
           ",\"first_seconds\":" + JsonNumber(finding.first_seconds) + "}";
    first = false;
  }
  return out + "]}\n";
}

int RunCheck(const FeedOptions &options) {
  FeedDoctor doctor;
  std::string source;
  if (!options.file.empty()) {
    std::string text, error;
    std::vector<RecordedDatagram> datagrams;
    source = options.file == "-" ? "<stdin>" : options.file;
    if (!ReadWholeInput(options.file, text, error) || !ParseRecording(text, source, datagrams, error)) {
      std::fprintf(stderr, "kestrel-feed: %s\n", error.c_str());
      return 2;
    }
    for (const RecordedDatagram &datagram : datagrams)
      doctor.Add(datagram.seconds, datagram.bytes);
  } else {
    UdpStartup();
    const char *address = options.bind_any ? "0.0.0.0" : "127.0.0.1";
    std::string why;
    const UdpHandle socket = UdpOpenListener(options.port, !options.bind_any, &why);
    if (socket == kUdpInvalid) {
      std::fprintf(stderr, "kestrel-feed: cannot listen on %s port %d: %s\n", address, options.port, why.c_str());
      return 2;
    }
    source = std::string(address) + " port " + std::to_string(UdpLocalPort(socket));
    std::fprintf(stderr, "kestrel-feed: checking what arrives on %s%s\n", source.c_str(),
                 options.seconds > 0 ? "" : " until Ctrl+C");
    std::fflush(stderr);
    static char buffer[65536];
    const double start = NowSeconds();
    while (!StopRequested()) {
      const double elapsed = NowSeconds() - start;
      if (options.seconds > 0 && elapsed >= options.seconds)
        break;
      const int n = UdpReceive(socket, buffer, sizeof buffer, 100, &why);
      if (n == kUdpError) {
        std::fprintf(stderr, "kestrel-feed: receiving failed: %s\n", why.c_str());
        UdpClose(socket);
        return 2;
      }
      if (n >= 0)
        doctor.Add(NowSeconds() - start, std::string_view(buffer, static_cast<size_t>(n)));
    }
    UdpClose(socket);
  }
  const CheckReport report = doctor.Finish(source);
  const std::string out = options.json ? FormatCheckJson(report) : FormatCheckText(report);
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
  return report.errors() > 0 ? 1 : 0;
}
