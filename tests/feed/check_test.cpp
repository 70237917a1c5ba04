// check_test.cpp: the feed doctor on small hand-made recordings, one fault each, and on the clean flight they are
// made from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_env.h"
#include "tools/feed/check.h"
#include "tools/feed/options.h"
#include "tools/feed/recording.h"

namespace {

const std::string kRecordings = std::string(KESTREL_SOURCE_DIR) + "/tests/feed/recordings/";

CheckReport CheckFile(const std::string &name) {
  std::vector<RecordedDatagram> datagrams;
  std::string error;
  EXPECT_TRUE(ParseRecording(ReadTextFile(kRecordings + name), name, datagrams, error)) << error;
  EXPECT_FALSE(datagrams.empty()) << name;
  FeedDoctor doctor;
  for (const RecordedDatagram &datagram : datagrams)
    doctor.Add(datagram.seconds, datagram.bytes);
  return doctor.Finish(name);
}

std::string Codes(const CheckReport &report) {
  std::string codes;
  for (const CheckFinding &finding : report.findings)
    codes += finding.code + " ";
  return codes;
}

TEST(FeedDoctor, CleanFlightHasNothingWrongAndItsFigures) {
  const CheckReport report = CheckFile("clean.rec");
  EXPECT_TRUE(report.findings.empty()) << Codes(report) << FormatCheckText(report);
  EXPECT_EQ(report.kinds.at("MONITOR").count, 81);
  EXPECT_EQ(report.kinds.at("FAIL").count, 28);
  EXPECT_NEAR(report.monitor_rate, 10.0, 0.01);
  EXPECT_NEAR(report.gap_median_ms, 100, 1);
  EXPECT_GE(report.track_samples, 7);
  EXPECT_LT(report.track_abs_p95_deg, 0.5);
  EXPECT_NE(FormatCheckJson(report).find("\"errors\":0,\"warnings\":0"), std::string::npos);
}

TEST(FeedDoctor, EachFaultIsCaughtWithItsSeverityAndAnExample) {
  const struct {
    const char *file;
    const char *code; // the finding's code begins with this
    Severity severity;
    const char *says; // and its message holds this
  } cases[] = {
      {"prefix-case.rec", "no-kind:KESTRELMONITOR", Severity::kError, "letter case"},
      {"prefix-blank-before-colon.rec", "no-kind:KESTRELMONITOR", Severity::kError, "blank before ':'"},
      {"prefix-no-blank.rec", "no-kind:KESTRELFAIL", Severity::kError, "no blank after KESTREL"},
      {"prefix-unknown.rec", "no-kind", Severity::kError, "matches no kind"},
      {"decimal-comma.rec", "MONITOR:decimal-comma", Severity::kError, "comma as decimal mark"},
      {"fields-missing.rec", "ROUTE:fields-not-read", Severity::kError, "stops before Long"},
      {"trailing-text.rec", "MONITOR:trailing-text", Severity::kWarning, "\"m\""},
      {"monitor-blank.rec", "MONITOR:blank", Severity::kError, "squad peers"},
      {"latitude-range.rec", "MONITOR:out-of-range", Severity::kError, "latitude"},
      {"not-a-number.rec", "MONITOR:not-finite", Severity::kError, "NaN"},
      {"heading-degrees.rec", "MONITOR:heading-degrees", Severity::kError, "degrees"},
      {"heading-sign.rec", "MONITOR:heading-sign", Severity::kWarning, "counter-clockwise"},
      {"heading-magnetic.rec", "MONITOR:heading-offset", Severity::kWarning, "-8.0 degrees"},
      {"altitude-feet.rec", "MONITOR:altitude-high", Severity::kWarning, "feet"},
      {"position-jump.rec", "MONITOR:jump", Severity::kWarning, "111.2 km"},
      {"monitor-slow.rec", "MONITOR:slow", Severity::kWarning, "1.00 a second"},
      {"monitor-gap.rec", "MONITOR:gap", Severity::kWarning, "6.0 s"},
      {"route-start.rec", "ROUTE:start", Severity::kWarning, "start at 2"},
      {"route-repeat.rec", "ROUTE:renumbered", Severity::kWarning, "point 2"},
      {"route-skip.rec", "ROUTE:skip", Severity::kWarning, "skip 3"},
      {"route-type.rec", "ROUTE:type", Severity::kWarning, "Type 7"},
      {"fail-keyword.rec", "FAIL:keyword:GearFailur", Severity::kError, "nearest: GearFailure"},
      {"fail-state.rec", "FAIL:state", Severity::kWarning, "state 2"},
      {"too-long.rec", "too-long", Severity::kError, "576"},
      {"nul-byte.rec", "nul-byte", Severity::kError, "NUL"},
      {"line-end.rec", "line-end", Severity::kWarning, "CR or LF"},
  };
  for (const auto &c : cases) {
    const CheckReport report = CheckFile(c.file);
    const CheckFinding *found = nullptr;
    for (const CheckFinding &finding : report.findings)
      if (finding.code.rfind(c.code, 0) == 0 && finding.message.find(c.says) != std::string::npos)
        found = &finding;
    ASSERT_NE(found, nullptr) << c.file << ": " << Codes(report) << "\n" << FormatCheckText(report);
    EXPECT_EQ(found->severity, c.severity) << c.file;
    // Only the judgements of a whole flight have no one datagram to show.
    const std::string code = c.code;
    if (code != "MONITOR:slow" && code.rfind("MONITOR:heading", 0) != 0) {
      EXPECT_FALSE(found->example.empty()) << c.file;
    }
  }
}

TEST(FeedDoctor, ExitStatusCountsErrorsOnlyAndAnUnreadableFileIsBadUsage) {
  FeedOptions options;
  options.mode = FeedMode::kCheck;
  options.file = kRecordings + "route-skip.rec"; // warnings only
  EXPECT_EQ(RunCheck(options), 0);
  options.file = kRecordings + "decimal-comma.rec";
  EXPECT_EQ(RunCheck(options), 1);
  options.file = kRecordings + "no-such-recording.rec";
  EXPECT_EQ(RunCheck(options), 2);
}

TEST(FeedDoctor, CommandLineOfCheck) {
  FeedOptions options;
  std::string error;
  EXPECT_EQ(ParseFeedCommandLine({"check", "--json", "flight.rec"}, options, error), ParseResult::kRun) << error;
  EXPECT_EQ(options.mode, FeedMode::kCheck);
  EXPECT_TRUE(options.json);
  EXPECT_EQ(options.file, "flight.rec");
  EXPECT_EQ(ParseFeedCommandLine({"check", "--port", "0", "--seconds", "5", "--any"}, options, error),
            ParseResult::kRun)
      << error;
  EXPECT_TRUE(options.file.empty());
  EXPECT_TRUE(options.bind_any);
  EXPECT_EQ(ParseFeedCommandLine({"check", "--port", "10320", "flight.rec"}, options, error), ParseResult::kError);
  EXPECT_NE(error.find("not both"), std::string::npos) << error;
  EXPECT_EQ(ParseFeedCommandLine({"record", "--json", "x.rec"}, options, error), ParseResult::kError);
  EXPECT_NE(error.find("--json"), std::string::npos) << error;
}

} // namespace
