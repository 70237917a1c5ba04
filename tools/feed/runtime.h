// runtime.h: what every mode of the feed shares: stopping on SIGINT and SIGTERM, a steady clock, pacing
// sleeps, and sending texts to the target.
#pragma once

#include <string>

// SIGINT and SIGTERM ask the running mode to stop at its next check instead of killing it.
void InstallStopHandlers();
bool StopRequested();
void RequestStop();

// Seconds on a steady clock.
double NowSeconds();
// Sleeps until NowSeconds() reaches deadline, waking early when a stop is requested; false then.
bool SleepUntil(double deadline);

struct FeedTarget {
  char dotted[16] = {};
  int port = 0;
};

// Resolves the host name once; false with a message when it has no IPv4 address.
bool ResolveTarget(const std::string &host, int port, FeedTarget &target, std::string &error);
// Sends one datagram of exactly the text's bytes; false when the send failed.
bool SendText(const FeedTarget &target, const std::string &text);
