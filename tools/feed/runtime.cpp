// runtime.cpp: signal handling, the steady clock and the send helper of the feed.
#include "tools/feed/runtime.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/udp.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) { g_stop = 1; }

// Longest single sleep, so that a stop is noticed quickly even when the next event is far off.
constexpr double kSleepSlice = 0.05;
} // namespace

void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0; // no SA_RESTART: a blocking wait returns so the loop sees the request
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() { return g_stop != 0; }

void RequestStop() { g_stop = 1; }

double NowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool SleepUntil(double deadline) {
  while (!StopRequested()) {
    const double left = deadline - NowSeconds();
    if (left <= 0)
      return true;
    std::this_thread::sleep_for(std::chrono::duration<double>(std::min(left, kSleepSlice)));
  }
  return false;
}

bool ResolveTarget(const std::string &host, int port, FeedTarget &target, std::string &error) {
  UdpStartup();
  if (!UdpResolveIPv4(host.c_str(), target.dotted)) {
    error = "cannot resolve host '" + host + "' to an IPv4 address";
    return false;
  }
  target.port = port;
  return true;
}

bool SendText(const FeedTarget &target, const std::string &text) {
  return UdpSendOnce(target.dotted, target.port, text.data(), text.size()) == static_cast<int>(text.size());
}
