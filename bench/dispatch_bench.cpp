// dispatch_bench.cpp: datagrams per second through the dispatcher for each kind, and the listener's
// end-to-end receive rate over loopback beside a bare receiver that only counts, in the same run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "base/settings.h"
#include "bench_support.h"
#include "link/listener.h"
#include "map/calibration_grid.h"
#include "map/routes.h"
#include "platform/udp.h"
#include "status/event_log.h"
#include "support/listener_fixture.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"

namespace {
// The shared records one dispatch benchmark works on, made for it and freed after it, so that nothing it links into
// them is left for the next benchmark to find: a 4 x 4 node grid over 43.0-44.5 N, 40.0-41.5 E, so that positions
// inside it reach every projection path and positions outside it the out-of-map paths.
struct DispatchRecords {
  ListenerContext context;
  DispatchRecords() {
    InitSharedRecordsForTest(context);
    InitRouteDatabase(425);
    ClearCalibrationGrid();
    for (int row = 0; row < 4; ++row)
      for (int column = 0; column < 4; ++column)
        AppendGridNode(&g_calibration_grid, 430 + 5 * row, 400 + 5 * column, 100.0 * column, 300.0 - 100.0 * row);
  }
  ~DispatchRecords() {
    ClearEvents();
    ClearTags(g_tag_database);
    ClearSquadGroup(g_squad_group);
    ClearRouteDatabase();
    ClearCalibrationGrid();
  }
};

void BM_Dispatch(benchmark::State &state, const char *text) {
  DispatchRecords records;
  ListenerWork *work = MakeListenerWork(&records.context);
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

// How long each receiver is blasted; --blast_seconds=S changes it (the smoke run of the tests keeps it short).
std::chrono::duration<double> g_blast{1.5};

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
  const auto until = std::chrono::steady_clock::now() + g_blast;
  while (std::chrono::steady_clock::now() < until)
    sent += ::sendto(fd, text, sizeof text - 1, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) > 0;
  ::close(fd);
  return sent;
}

double ListenerRate(uint64_t &sent) {
  DispatchRecords records;
  ListenerContext &context = records.context;
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

// Takes --blast_seconds=S out of the arguments; false for a value that is not a positive number.
bool ReadBlastOption(int &argc, char **argv) {
  const char prefix[] = "--blast_seconds=";
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], prefix, sizeof prefix - 1) != 0) {
      argv[kept++] = argv[i];
      continue;
    }
    char *end = nullptr;
    const double seconds = std::strtod(argv[i] + sizeof prefix - 1, &end);
    if (end == argv[i] + sizeof prefix - 1 || *end != '\0' || !(seconds > 0 && seconds <= 60)) {
      std::fprintf(stderr, "kestrel_bench: --blast_seconds wants seconds from 0 to 60, not '%s'\n",
                   argv[i] + sizeof prefix - 1);
      return false;
    }
    g_blast = std::chrono::duration<double>(seconds);
  }
  argc = kept;
  return true;
}
} // namespace

int main(int argc, char **argv) {
  if (!ReadBlastOption(argc, argv))
    return 2;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 2;
  ScratchSettings settings;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  UdpStartup();
  uint64_t listener_sent = 0, bare_sent = 0;
  const double bare = BareRate(bare_sent);
  const double listener = ListenerRate(listener_sent);
  std::printf("\nloopback receive, FAIL datagrams from one sender socket, %.1f s each:\n", g_blast.count());
  std::printf("  bare receiver : %10.0f datagrams/s (%llu sent)\n", bare, static_cast<unsigned long long>(bare_sent));
  std::printf("  listener      : %10.0f datagrams/s (%llu sent)\n", listener,
              static_cast<unsigned long long>(listener_sent));
  std::printf("  ratio listener/bare: %.2f\n", bare > 0 ? listener / bare : 0.0);
  return 0;
}
