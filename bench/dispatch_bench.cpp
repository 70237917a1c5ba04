// dispatch_bench.cpp: datagrams per second through the dispatcher for each kind, and the listener's
// end-to-end receive rate over loopback beside a bare receiver that only counts, in the same run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/settings.h"
#include "link/listener.h"
#include "map/calibration_grid.h"
#include "platform/udp.h"
#include "status/event_log.h"
#include "support/listener_fixture.h"

namespace {
ListenerContext g_context;
GridNode g_nodes[16];

void Prepare() {
  static bool done = false;
  if (done)
    return;
  done = true;
  char folder[] = "/tmp/kestrel-bench-XXXXXX";
  if (::mkdtemp(folder) != nullptr) {
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    ::setenv("XDG_STATE_HOME", folder, 1);
  }
  InitSharedRecordsForTest(g_context);
  GridNode *tail = &g_calibration_grid.head;
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) {
      GridNode &node = g_nodes[row * 4 + column];
      node = GridNode{430 + 5 * row, 400 + 5 * column, 100.0 * column, 300.0 - 100.0 * row, nullptr};
      tail->next = &node;
      tail = &node;
    }
}

void BM_Dispatch(benchmark::State &state, const char *text) {
  Prepare();
  ListenerWork *work = MakeListenerWork(&g_context);
  for (auto _ : state) {
    DispatchDatagram(text, work);
    // Kinds that post messages would grow the log without end; keep it at its steady size.
    if (g_event_log.root.next != nullptr && CountEvents() > 8)
      ClearEvents();
  }
  state.SetItemsProcessed(state.iterations());
  FreeListenerWork(work);
}

BENCHMARK_CAPTURE(BM_Dispatch, monitor, "KESTREL MONITOR:Lat=43.5,Long=40.25,Compass=1.5,Alt=1200");
BENCHMARK_CAPTURE(BM_Dispatch, route_to, "KESTREL ROUTE_TO:Lat=43.25,Long=40.75");
BENCHMARK_CAPTURE(BM_Dispatch, route, "KESTREL ROUTE:3,Lat=43.25,Long=40.75,Type=3");
BENCHMARK_CAPTURE(BM_Dispatch, tag, "KESTREL TAG:Lat=43.500000,Long=40.250000,Symb=149509,Squad=3,Pilot=12,Type=0");
BENCHMARK_CAPTURE(BM_Dispatch, agmtag, "KESTREL AGMTAG:Lat=43.6,Long=40.9");
BENCHMARK_CAPTURE(BM_Dispatch, fail, "KESTREL FAIL: GearFailure 1");
BENCHMARK_CAPTURE(BM_Dispatch, squad, "KESTREL SQUAD:Lat=43.5,Long=40.25,Compass=1.5,Alt=1200,Squad=1,Pilot=7,Type=0");
BENCHMARK_CAPTURE(BM_Dispatch, unknown, "KESTREL HELLO:nothing");

constexpr auto kBlast = std::chrono::milliseconds(1500);

// Sends FAIL datagrams to the port for the blast period from one socket; returns the number sent.
// The benchmark runs natively only, so it keeps one POSIX socket open rather than the one-shot sends
// of the peer path, whose socket set-up would otherwise be what is measured.
uint64_t Blast(int port) {
  const char text[] = "KESTREL FAIL: GearFailure 1";
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  uint64_t sent = 0;
  const auto until = std::chrono::steady_clock::now() + kBlast;
  while (std::chrono::steady_clock::now() < until)
    sent += ::sendto(fd, text, sizeof text - 1, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) > 0;
  ::close(fd);
  return sent;
}

double ListenerRate(uint64_t &sent) {
  ListenerContext context;
  InitSharedRecordsForTest(context);
  const int port = FreeLoopbackPort();
  WriteSetting(L"UDP Port", std::to_wstring(port).c_str());
  std::thread listener(TelemetryListener, &context);
  while (context.bound_port.load() != port)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const auto start = std::chrono::steady_clock::now();
  sent = Blast(port);
  std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let the socket buffer drain
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  context.stop = true;
  listener.join();
  return static_cast<double>(context.received.load()) / seconds;
}

double BareRate(uint64_t &sent) {
  const int port = FreeLoopbackPort();
  const UdpHandle socket = UdpOpenListener(port, true);
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> count{0};
  std::thread receiver([&] {
    char buffer[577];
    while (!stop)
      if (UdpReceive(socket, buffer, 576, 50) >= 0)
        count.fetch_add(1, std::memory_order_relaxed);
  });
  const auto start = std::chrono::steady_clock::now();
  sent = Blast(port);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  stop = true;
  receiver.join();
  UdpClose(socket);
  return static_cast<double>(count.load()) / seconds;
}
} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  Prepare();
  UdpStartup();
  uint64_t listener_sent = 0, bare_sent = 0;
  const double bare = BareRate(bare_sent);
  const double listener = ListenerRate(listener_sent);
  std::printf("\nloopback receive, FAIL datagrams from one sender socket, %.1f s each:\n",
              std::chrono::duration<double>(kBlast).count());
  std::printf("  bare receiver : %10.0f datagrams/s (%llu sent)\n", bare, static_cast<unsigned long long>(bare_sent));
  std::printf("  listener      : %10.0f datagrams/s (%llu sent)\n", listener,
              static_cast<unsigned long long>(listener_sent));
  std::printf("  ratio listener/bare: %.2f\n", bare > 0 ? listener / bare : 0.0);
  return 0;
}
