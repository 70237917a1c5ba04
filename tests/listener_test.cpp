// listener_test.cpp: the listener thread over a real loopback socket, with its debug log.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/settings.h"
#include "base/shared_lock.h"
#include "link/listener.h"
#include "map/map_view.h"
#include "mfd/page_state.h"
#include "platform/paths.h"
#include "platform/udp.h"
#include "status/event_log.h"
#include "status/failure_status.h"
#include "support/diagnostic_lines.h"
#include "support/listener_fixture.h"
#include "support/test_env.h"

namespace {
using namespace std::chrono_literals;

// Polls for the condition; the limit only ends a hung run, so a slow machine (or ThreadSanitizer) passes.
template <typename Condition> bool WaitFor(Condition condition, std::chrono::milliseconds limit = 60000ms) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < until) {
    {
      SharedGuard guard = LockSharedData();
      if (condition())
        return true;
    }
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  // The log is written in text mode, so on Windows each line ends in "\r\n".
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end > start && text[end - 1] == '\r' ? end - 1 - start : end - start));
  return lines;
}

class ListenerTest : public ::testing::Test {
protected:
  void SetUp() override {
    UseFreshSettingsStore();
    port = FreeLoopbackPort();
    ASSERT_GT(port, 0);
    WriteSetting(L"UDP Port", std::to_wstring(port).c_str());
    std::remove(DebugLogPath().c_str());
    InitSharedRecordsForTest(context);
    context.debug = 1;
  }
  void TearDown() override { StopListener(); }

  void StartListener() {
    listener = std::thread(TelemetryListener, &context);
    ASSERT_TRUE(WaitFor([&] { return context.bound_port.load() == port; })) << "the listener did not bind " << port;
  }
  void StopListener() {
    context.stop = true;
    if (listener.joinable())
      listener.join();
  }
  void Send(const std::string &text) const {
    ASSERT_EQ(UdpSendOnce("127.0.0.1", port, text.data(), text.size()), static_cast<int>(text.size()));
  }

  ListenerContext context;
  std::thread listener;
  int port = 0;
};

TEST_F(ListenerTest, DatagramsArriveAndEveryOneIsLoggedOnce) {
  StartListener();
  Send("KESTREL FAIL: GearFailure 0");
  Send("KESTREL HELLO: not a kind we know");
  Send("KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200");
  ASSERT_TRUE(WaitFor([] { return g_map_view.latitude == 43.5; }));
  EXPECT_EQ(g_failure_status.entries[23].state, 0);
  EXPECT_DOUBLE_EQ(g_map_view.longitude, 41.25);
  EXPECT_DOUBLE_EQ(g_map_view.heading, 1.5);
  StopListener();
  EXPECT_EQ(Lines(ReadTextFile(DebugLogPath())),
            (std::vector<std::string>{"KESTREL FAIL: GearFailure 0", "KESTREL HELLO: not a kind we know",
                                      "KESTREL MONITOR:Lat=43.5,Long=41.25,Compass=1.5,Alt=1200"}));
}

TEST_F(ListenerTest, LongDatagramIsCutTo576BytesAndLeavesNothingBehind) {
  StartListener();
  const std::string long_monitor = "KESTREL MONITOR:Lat=44.25,Long=39.5,Compass=0.5,Alt=300" + std::string(700, ' ');
  Send(long_monitor.substr(0, 700));
  Send("KESTREL FAIL: CanopyOpen 0");
  ASSERT_TRUE(WaitFor([] { return g_failure_status.entries[11].state == 0; }));
  EXPECT_DOUBLE_EQ(g_map_view.latitude, 44.25) << "the cut datagram is still handled";
  StopListener();
  const std::vector<std::string> lines = Lines(ReadTextFile(DebugLogPath()));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], long_monitor.substr(0, 576));
  EXPECT_EQ(lines[1], "KESTREL FAIL: CanopyOpen 0") << "the short datagram carries nothing of the long one";
}

TEST_F(ListenerTest, NoLogWhileDebugIsOff) {
  context.debug = 0;
  StartListener();
  Send("KESTREL FAIL: EOSFailure 0");
  ASSERT_TRUE(WaitFor([] { return g_failure_status.entries[19].state == 0; }));
  StopListener();
  EXPECT_EQ(ReadTextFile(DebugLogPath()), "");
}

std::atomic<int> g_frames_asked{0};

// The listener asks for frames from its own thread and goes straight on: a burst of positions is handled
// whole whether or not anyone paints.
TEST_F(ListenerTest, MovingPositionsAskForFramesFromTheListenerThread) {
  context.debug = 0;
  g_page_state.current_page = kPageMonitoring;
  g_frames_asked = 0;
  context.request_repaint = [] { g_frames_asked.fetch_add(1); };
  StartListener();
  // Twenty different latitudes, 43.101 to 43.120, so that the last one is only reached by the last datagram.
  for (int i = 1; i <= 20; ++i)
    Send("KESTREL MONITOR:Lat=43." + std::to_string(100 + i) + ",Long=41.25,Compass=1.5,Alt=1200");
  ASSERT_TRUE(WaitFor([] { return g_map_view.latitude == 43.120; }));
  StopListener();
  EXPECT_EQ(g_frames_asked.load(), 20);
}

// The listener says which port it cannot bind and why, keeps trying, and says when it has the port.
TEST_F(ListenerTest, TakenPortIsToldAndBoundOnceItIsFree) {
  DiagnosticLines lines;
  const UdpHandle blocker = UdpOpenListener(port, true);
  ASSERT_NE(blocker, kUdpInvalid);
  listener = std::thread(TelemetryListener, &context);
  const std::string where = "UDP port " + std::to_string(port);
  ASSERT_TRUE(lines.WaitFor("listener: cannot bind " + where + ": "));
  EXPECT_EQ(context.bound_port.load(), 0) << "the port is still taken";
  UdpClose(blocker);
  ASSERT_TRUE(WaitFor([&] { return context.bound_port.load() == port; }));
  ASSERT_TRUE(lines.WaitFor("listener: listening on " + where));
  const std::vector<std::string> told = lines.Take();
  ASSERT_EQ(told.size(), 2u);
  EXPECT_NE(told[0].find("; trying again every 2 seconds"), std::string::npos) << told[0];
  EXPECT_GT(told[0].size(), ("listener: cannot bind " + where + ": ; trying again every 2 seconds").size())
      << "the reason is given";
  Send("KESTREL FAIL: ACSFailure 0");
  EXPECT_TRUE(WaitFor([] { return g_failure_status.entries[3].state == 0; }));
}
} // namespace
