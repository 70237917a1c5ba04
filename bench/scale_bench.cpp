// scale_bench.cpp: the display under a flood. With 100,000 tags (each with its incoming-tag message), 100,000 route
// points and 10,000 squad members stored as the listener stores them, spread evenly over a 6000 x 4000 theatre: whole
// frames as the front end has them painted, with the primitives drawn and how long the shared-data lock is held, at
// zooms from the closest (a few of each in the window) to the widest (a quarter of the theatre); AddTag; CLEAR TAGS;
// the memory of each stored item; the listener's receive rate beside a bare receiver's while frames are painted 20
// times a second; and how long a key takes to show while 5,000 datagrams a second arrive.
//
// Every benchmark stores its own flood and clears it afterwards. --blast_seconds=S sets the length of the loopback runs
// (each run of a listener pair lasts a third of it, each key run three times it; the smoke run of the tests keeps it
// short); --flood=F stores F times the counts above.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/bezel_input.h"
#include "app/button_actions.h"
#include "app/shell.h"
#include "base/settings.h"
#include "base/shared_lock.h"
#include "bench_support.h"
#include "display/display_list.h"
#include "link/listener.h"
#include "map/calibration_grid.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "map/route_drawing.h"
#include "map/routes.h"
#include "map/window_cells.h"
#include "mfd/page_state.h"
#include "platform/bitmap.h"
#include "platform/controllers.h"
#include "platform/frame_buffer.h"
#include "platform/portable/bitmap_data.h"
#include "platform/sound.h"
#include "platform/udp.h"
#include "status/event_log.h"
#include "support/listener_fixture.h"
#include "support/recording_canvas.h"
#include "tactical/squad_drawing.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_drawing.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMapWidth = 6000, kMapHeight = 4000;
constexpr int kBenchWindow = 425; // the default window
constexpr int kVkPageUp = 0x21, kVkPageDown = 0x22;

double g_flood = 1.0;                       // --flood
std::chrono::duration<double> g_blast{3.0}; // --blast_seconds
int Flooded(int count) { return std::max(1, static_cast<int>(count * g_flood)); }

// Positions on the theatre: 40.0 to 49.4 N, 36.0 to 50.4 E, all on its grid.
struct Scatter {
  std::mt19937 random{20240611};
  std::uniform_real_distribution<double> latitude{40.0, 49.4}, longitude{36.0, 50.4};
  std::uniform_int_distribution<int> byte{0, 255};
};

// A theatre the size of the real ones: a 6000 x 4000 map with a grid of 200 pixels a half degree from 40 N 36 E,
// loaded as the program loads one, with the ownship in the middle and the view on it at zoom 1.
struct Theatre {
  Bitmap *map = nullptr;
  Theatre() {
    map = PatternedMap(kMapWidth, kMapHeight);
    g_map_view.bitmap = map;
    g_map_view.current_map = 2;
    for (int row = 0; row <= 19; ++row)
      for (int column = 0; column <= 29; ++column)
        AppendGridNode(&g_calibration_grid, 400 + 5 * row, 360 + 5 * column, 100.0 + 200 * column, 3900.0 - 200 * row);
    g_map_view.latitude = 44.7;
    g_map_view.longitude = 43.2;
    g_map_view.heading = 0.7;
    GeoToMapPixel(&g_calibration_grid, 44.7, 43.2, &g_map_view.centre_x, &g_map_view.centre_y);
  }
  ~Theatre() {
    g_map_view.bitmap = nullptr;
    g_map_view.current_map = -1;
    ClearCalibrationGrid();
    FreeBitmap(map);
  }
};

void Silent(const wchar_t *) {}
bool NoController(int, uint32_t &) { return false; }

// The core as the shell starts it, without its window and listener, the squad joined; torn down with every record.
struct Core {
  Core() {
    ShellReadSettings();
    g_click_player = Silent;
    g_controller_reader = NoController;
    ShellInitModules(nullptr);
    SetJoined(g_squad_group, 1);
    g_tag_database.joined = 1;
    g_page_state.current_page = kPageMonitoring;
    AttachSharedRecords(g_shell.listener);
  }
  ~Core() {
    SetJoined(g_squad_group, 0);
    ClearEvents();
    ClearTags(g_tag_database);
    ClearSquadGroup(g_squad_group);
    ClearRouteDatabase();
    g_click_player = PlayWaveAsync;
    g_controller_reader = ReadControllerButtons;
  }
};

// What peers flood with, as text: each datagram goes through the dispatcher as the listener would hand it on.
std::string TagText(double latitude, double longitude, int symb, int pilot) {
  char text[160];
  std::snprintf(text, sizeof text, "KESTREL TAG:Lat=%f,Long=%f,Symb=%d,Squad=1,Pilot=%d,Type=0", latitude, longitude,
                symb, pilot);
  return text;
}
std::string RouteText(int index, double latitude, double longitude, int type) {
  char text[160];
  std::snprintf(text, sizeof text, "KESTREL ROUTE:%d,Lat=%f,Long=%f,Type=%d", index, latitude, longitude, type);
  return text;
}
std::string SquadText(double latitude, double longitude, double heading, int pilot) {
  char text[200];
  std::snprintf(text, sizeof text, "KESTREL SQUAD:Lat=%f,Long=%f,Compass=%f,Alt=%d,Squad=1,Pilot=%d,Type=0", latitude,
                longitude, heading, 1000 + pilot % 5000, pilot);
  return text;
}

// The flood, received: tags from the own squad (each announced by a message that stays until the tag is selected),
// route points numbered 0 to 199 of all four types, and squad members. The texts are kept for the loopback runs,
// which send them again (duplicates, refreshes).
struct Flood {
  std::vector<std::string> tags, routes, members;
  Flood(int tag_count, int route_count, int member_count) {
    Scatter s;
    ListenerWork *work = MakeListenerWork(&g_shell.listener);
    for (int i = 0; i < tag_count; ++i) {
      tags.push_back(TagText(s.latitude(s.random), s.longitude(s.random),
                             s.byte(s.random) % 4 << 16 | 'A' << 8 | s.byte(s.random) % 5, 2 + i % 98));
      DispatchDatagram(tags.back().c_str(), work);
    }
    for (int i = 0; i < route_count; ++i) {
      routes.push_back(RouteText(i % 200, s.latitude(s.random), s.longitude(s.random), 1 + i % 4));
      DispatchDatagram(routes.back().c_str(), work);
    }
    for (int i = 0; i < member_count; ++i) {
      members.push_back(SquadText(s.latitude(s.random), s.longitude(s.random), i * 0.1, 2 + i));
      DispatchDatagram(members.back().c_str(), work);
    }
    FreeListenerWork(work);
  }
};

// The frame the front ends compose: a whole frame from black into their off-screen frame buffer (ShellComposeFrame,
// which takes the frame down under the lock and draws it after).
struct Frame {
  FrameBuffer *buffer = CreateFrameBuffer(kBenchWindow, kBenchWindow);
  Frame() = default;
  Frame(const Frame &) = delete;
  Frame &operator=(const Frame &) = delete;
  ~Frame() { FreeFrameBuffer(buffer); }
  void Paint() { ShellComposeFrame(buffer); }
  // For comparison: the whole frame drawn with the lock held, as every paint was before the display list.
  void PaintHoldingTheLock() {
    DrawIntoFrameBuffer(
        buffer,
        [](Canvas &canvas, void *) {
          SharedGuard guard = LockSharedData();
          PaintDisplay(canvas);
        },
        nullptr);
  }
};

// ---- Benchmarks ---------------------------------------------------------------------------------------------------

// The primitives one frame hands the canvas, on a recorder of the window's size.
int FramePrimitives() {
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, kBenchWindow, kBenchWindow);
  PaintDisplay(recorder.canvas);
  return static_cast<int>(recorder.records.size());
}

// How long one frame holds the shared-data lock: ShellPaint's taking down of the frame into its display list, which
// keeps its room from one frame to the next as ShellPaint's does, for the frame buffer's canvas.
double LockHeldMs(FrameBuffer *buffer) {
  double held = 0;
  DrawIntoFrameBuffer(
      buffer,
      [](Canvas &target, void *context) {
        static DisplayList list;
        BeginDisplayList(list, target);
        const auto start = Clock::now();
        {
          SharedGuard guard = LockSharedData();
          PaintDisplay(list.canvas);
        }
        *static_cast<double *>(context) = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      },
      &held);
  return held;
}

// One whole frame of a map page as the front end has it painted (ShellPaint), the messages in their visible phase, at
// a zoom, over the flood or over nothing. The counters: the primitives drawn and the lock held per frame.
void BM_Frame(benchmark::State &state) {
  Core core;
  Theatre theatre;
  const bool flooded = state.range(2) != 0;
  Flood flood(flooded ? Flooded(100000) : 0, flooded ? Flooded(100000) : 0, flooded ? Flooded(10000) : 0);
  g_page_state.current_page = static_cast<int>(state.range(0));
  g_map_view.zoom = state.range(1) / 1000.0;
  ApplyZoom(g_map_view);
  g_event_log.blink = 1;
  SelectNextBullseye();
  UseFloodCells(state.range(3) != 0);
  Frame frame;
  frame.Paint(); // the first frame after a map load places every tag on the new grid
  for (auto _ : state)
    frame.Paint();
  std::vector<double> held;
  for (int i = 0; i < 10; ++i)
    held.push_back(LockHeldMs(frame.buffer));
  std::sort(held.begin(), held.end());
  state.counters["lock_ms"] = held[held.size() / 2];
  state.counters["primitives"] = FramePrimitives();
  UseFloodCells(true);
}
// cells 0: every item drawn, the baseline of the widest zoom beside the top item of each cell (cells 1).
BENCHMARK(BM_Frame)
    ->ArgNames({"page", "zoom_milli", "flooded", "cells"})
    ->Args({kPageMonitoring, 1000, 0, 1})
    ->Args({kPageMonitoring, 125, 1, 1})
    ->Args({kPageMonitoring, 500, 1, 1})
    ->Args({kPageMonitoring, 1000, 1, 1})
    ->Args({kPageTagging, 1000, 1, 1})
    ->Args({kPageMonitoring, 5657, 1, 0})
    ->Args({kPageMonitoring, 5657, 1, 1})
    ->Unit(benchmark::kMillisecond);

// A received tag stored beside 100,000 others (the duplicate test included), each at a new position.
void BM_AddTagBesideFlood(benchmark::State &state) {
  Core core;
  Theatre theatre;
  Flood flood(Flooded(100000), 0, 0);
  Scatter s;
  std::vector<std::pair<double, double>> positions(static_cast<size_t>(state.max_iterations));
  for (auto &p : positions)
    p = {s.latitude(s.random), s.longitude(s.random)};
  Outbox outbox;
  size_t i = 0;
  for (auto _ : state) {
    const auto &[latitude, longitude] = positions[i++ % positions.size()];
    benchmark::DoNotOptimize(AddTag(g_tag_database, 1, 7, TagSymbol{1, 1, 2}, latitude, longitude, outbox));
  }
}
BENCHMARK(BM_AddTagBesideFlood)->Iterations(100000)->Unit(benchmark::kMicrosecond);

// CLEAR TAGS as the button does it, with 100,000 tags and their messages stored.
void BM_ClearTagsFlood(benchmark::State &state) {
  Core core;
  Theatre theatre;
  for (auto _ : state) {
    state.PauseTiming();
    Flood flood(Flooded(100000), 0, 0);
    state.ResumeTiming();
    ClearTags(g_tag_database);
    g_tag_database.counter = 0;
    PostEvent(0x0203F000, L"!!! TG DB RESET DONE !!!", 8);
  }
}
BENCHMARK(BM_ClearTagsFlood)->Iterations(3)->Unit(benchmark::kMillisecond);

// ---- Memory per stored item ---------------------------------------------------------------------------------------

size_t HeapInUse() { return mallinfo2().uordblks; }

void PrintMemory() {
  Core core;
  Theatre theatre;
  const int n = Flooded(100000);
  Scatter s;
  Outbox outbox;
  size_t before = HeapInUse();
  for (int i = 0; i < n; ++i)
    AddTag(g_tag_database, 1, 7, TagSymbol{}, s.latitude(s.random), s.longitude(s.random), outbox);
  const double tag = static_cast<double>(HeapInUse() - before) / n;
  before = HeapInUse();
  for (int i = 1; i <= n; ++i)
    PostEventOnce(0x08031000u + static_cast<uint32_t>(i), L"INCOMING TAG #1234 FROM [07]");
  const double message = static_cast<double>(HeapInUse() - before) / n;
  before = HeapInUse();
  for (int i = 0; i < n; ++i)
    AddRoutePoint(i, i, s.latitude(s.random), s.longitude(s.random), i % 200, 1);
  const double route = static_cast<double>(HeapInUse() - before) / n;
  const int m = Flooded(10000);
  before = HeapInUse();
  for (int i = 0; i < m; ++i) {
    SquadMember report;
    report.pilot = 2 + i;
    report.squad = 1;
    UpdateSquadMember(g_squad_group, report);
  }
  const double member = static_cast<double>(HeapInUse() - before) / m;
  std::printf("\nmemory per stored item (heap in use, indexes included):\n");
  std::printf("  tag            : %6.0f bytes\n  its message    : %6.0f bytes\n", tag, message);
  std::printf("  route point    : %6.0f bytes\n  squad member   : %6.0f bytes\n", route, member);
}

// ---- The widest zoom, thinned and whole ----------------------------------------------------------------------------

// kFramesEach frames of MONITORING at the widest zoom over the flood, thinned to the top item of each window cell or
// everything drawn. Named apart so that an instruction count can be taken of these frames alone:
//   valgrind --tool=callgrind --toggle-collect='*PaintWidestFrames*' kestrel_scale_bench --widest_only=2
// (2: one round of the thinned frames alone, the baseline's too with --widest_only=3).
constexpr int kFramesEach = 5;
__attribute__((noinline)) void PaintWidestFrames(Frame &frame, bool cells, std::vector<double> &wall,
                                                 std::vector<double> &cpu) {
  UseFloodCells(cells);
  for (int i = 0; i < kFramesEach; ++i) {
    timespec cpu_start{}, cpu_end{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_start);
    const auto start = Clock::now();
    frame.Paint();
    wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_end);
    cpu.push_back((cpu_end.tv_sec - cpu_start.tv_sec) * 1e3 + (cpu_end.tv_nsec - cpu_start.tv_nsec) / 1e6);
  }
  UseFloodCells(true);
}

// What one kind hands the canvas in a frame: primitives, and of them texts (what the frame spends most on).
void PrintDrawn(const char *what, void (*draw)(Canvas &)) {
  size_t counts[2][2] = {};
  for (const bool cells : {true, false}) {
    UseFloodCells(cells);
    RecordingCanvas recorder;
    InitRecordingCanvas(recorder, kBenchWindow, kBenchWindow);
    draw(recorder.canvas);
    counts[cells][0] = recorder.records.size();
    counts[cells][1] = FindTexts(recorder).size();
  }
  UseFloodCells(true);
  std::printf("  %-13s: %6zu primitives (%5zu texts) of %6zu (%5zu texts)\n", what, counts[1][0], counts[1][1],
              counts[0][0], counts[0][1]);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

// The widest zoom's frame beside its baseline, everything drawn, by turns in the same run, with the load average, and
// the same at the default zoom (where nothing is a flood, so both should match):
// wall time is what the pilot waits, processor time what a loaded machine disturbs less. rounds: of each, by turns;
// thinned, whole: which of them.
void PrintWidestZoom(int rounds, bool thinned, bool whole, bool default_zoom_too) {
  Core core;
  Theatre theatre;
  const Flood flood(Flooded(100000), Flooded(100000), Flooded(10000));
  g_page_state.current_page = kPageMonitoring;
  g_event_log.blink = 1;
  SelectNextBullseye();
  Frame frame;
  for (const double zoom : {5.657, 1.0}) {
    if (zoom == 1.0 && !default_zoom_too)
      break;
    g_map_view.zoom = zoom;
    ApplyZoom(g_map_view);
    frame.Paint(); // the first frame after a map load places every tag on the new grid
    std::vector<double> wall[2], cpu[2];
    for (int round = 0; round < rounds; ++round)
      for (const bool cells : {true, false})
        if (cells ? thinned : whole)
          PaintWidestFrames(frame, cells, wall[cells], cpu[cells]);
    double load[3] = {};
    getloadavg(load, 3);
    std::printf("\n%s zoom (X%.2f), MONITORING, %zu tags, %zu route points, %zu members, %d frames each by turns, "
                "load average %.2f %.2f %.2f:\n",
                zoom == 1.0 ? "default" : "widest", 1.0 / zoom, flood.tags.size(), flood.routes.size(),
                flood.members.size(), rounds * kFramesEach, load[0], load[1], load[2]);
    PrintDrawn("route points", [](Canvas &c) { DrawRoutes(c, g_map_view, g_route_database, g_page_state); });
    PrintDrawn("tags", [](Canvas &c) { DrawTags(c, g_page_state); });
    PrintDrawn("squad members", [](Canvas &c) { DrawSquadMembers(c); });
    PrintDrawn("whole frame", [](Canvas &c) { PaintDisplay(c); });
    if (thinned)
      std::printf("  top item of each cell: median %7.1f ms wall, %7.1f ms processor\n", Median(wall[1]),
                  Median(cpu[1]));
    if (whole)
      std::printf("  every item drawn     : median %7.1f ms wall, %7.1f ms processor (the baseline)\n", Median(wall[0]),
                  Median(cpu[0]));
    std::fflush(stdout);
  }
}

// ---- Loopback runs --------------------------------------------------------------------------------------------------

// A flood of peers and the simulator, for one sender socket: per 64 datagrams 1 MONITOR, 31 SQUAD refreshes of stored
// members, 16 TAG and 8 ROUTE repeats of stored ones (each a duplicate test), and 8 FAIL.
std::vector<std::string> Mix(const Flood &flood) {
  std::vector<std::string> mix;
  size_t t = 0, r = 0, m = 0;
  for (int i = 0; i < 64 * 50; ++i) {
    const int slot = i % 64;
    if (slot == 0)
      mix.push_back("KESTREL MONITOR:Lat=44.7,Long=43.2,Compass=0.7,Alt=1200");
    else if (slot < 32 && !flood.members.empty())
      mix.push_back(flood.members[m++ % flood.members.size()]);
    else if (slot < 48 && !flood.tags.empty())
      mix.push_back(flood.tags[t++ * 7919 % flood.tags.size()]);
    else if (slot < 56 && !flood.routes.empty())
      mix.push_back(flood.routes[r++ * 7919 % flood.routes.size()]);
    else
      mix.push_back("KESTREL FAIL: GearFailure 1");
  }
  return mix;
}

struct Sender {
  int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  explicit Sender(int port) {
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }
  ~Sender() { ::close(fd); }
  void Send(const std::string &text) {
    ::sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
  }
};

// Sends the mix as fast as one socket can for that long; returns the number sent.
uint64_t Blast(int port, const std::vector<std::string> &mix, std::chrono::duration<double> period) {
  Sender sender(port);
  uint64_t sent = 0;
  const auto until = Clock::now() + period;
  while (Clock::now() < until)
    for (int i = 0; i < 64; ++i)
      sender.Send(mix[sent++ % mix.size()]);
  return sent;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Datagrams a second that a receiver which only counts takes from the blast.
double BareRate(const std::vector<std::string> &mix, std::chrono::duration<double> period) {
  const int port = FreeLoopbackPort();
  const UdpHandle socket = UdpOpenListener(port, true);
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> count{0};
  std::thread receiver([&] {
    char buffer[kDatagramLimit + 1];
    while (!stop)
      if (UdpReceive(socket, buffer, kDatagramLimit, 50) >= 0)
        count.fetch_add(1, std::memory_order_relaxed);
  });
  const auto start = Clock::now();
  Blast(port, mix, period);
  const double seconds = Seconds(Clock::now() - start);
  stop = true;
  receiver.join();
  UdpClose(socket);
  return count / seconds;
}

// The listener thread on the stored flood, bound to a free port.
struct RunningListener {
  std::thread thread;
  int port = FreeLoopbackPort();
  RunningListener() {
    WriteSetting(L"UDP Port", std::to_wstring(port).c_str());
    g_shell.listener.stop = false;
    g_shell.listener.bound_port = 0;
    thread = std::thread(TelemetryListener, &g_shell.listener);
    while (g_shell.listener.bound_port.load() != port)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~RunningListener() {
    g_shell.listener.stop = true;
    thread.join();
  }
};

// Paints a frame every period on its own thread, as the front end's loop would, until Stop; keeps each paint's length.
struct Painter {
  std::atomic<bool> stop{false};
  std::vector<double> paints_ms;
  std::thread thread;
  Painter(std::chrono::milliseconds period, bool holding_the_lock) {
    thread = std::thread([this, period, holding_the_lock] {
      Frame frame;
      auto next = Clock::now();
      while (!stop) {
        const auto start = Clock::now();
        if (holding_the_lock)
          frame.PaintHoldingTheLock();
        else
          frame.Paint();
        paints_ms.push_back(Seconds(Clock::now() - start) * 1000);
        next += period;
        std::this_thread::sleep_until(next);
      }
    });
  }
  std::vector<double> Stop() {
    stop = true;
    if (thread.joinable())
      thread.join();
    return paints_ms;
  }
  ~Painter() { Stop(); }
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty())
    return 0.0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1) + 0.5))];
}

// Datagrams a second the listener handles from the blast, while frames of the map page are painted at that rate
// (0: none); with the frames' lengths.
double ListenerRate(int port, const std::vector<std::string> &mix, std::chrono::duration<double> period,
                    int frames_a_second, std::vector<double> &paints, bool holding_the_lock) {
  std::unique_ptr<Painter> painter;
  if (frames_a_second > 0)
    painter = std::make_unique<Painter>(std::chrono::milliseconds(1000 / frames_a_second), holding_the_lock);
  const uint64_t before = g_shell.listener.received;
  const auto start = Clock::now();
  Blast(port, mix, period);
  const double rate = (g_shell.listener.received - before) / Seconds(Clock::now() - start);
  if (painter)
    paints = painter->Stop();
  return rate;
}

// A front end's loop on this thread: keys first, then a frame whenever one is wanted, at most 60 a second; the flood
// keeps one wanted all the time. Keys are pressed at random moments, 4 a second, from another thread, and wait in a
// queue as a window's key events do, while another sends 5,000 datagrams a second. A key's latency runs from its press
// to the end of the first frame painted after it was handled. Zoom in and out by turns: every press changes the map
// and the zoom line.
struct KeyLatency {
  std::vector<double> latencies_ms;
  int unchanged = 0; // presses that changed nothing (none should)
  double arriving = 0, handled = 0;
};

KeyLatency MeasureKeyLatency(int port, const std::vector<std::string> &mix) {
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> sent{0};
  std::thread sender([&] {
    Sender socket(port);
    auto next = Clock::now();
    while (!stop) {
      for (int i = 0; i < 5; ++i)
        socket.Send(mix[sent++ % mix.size()]);
      next += std::chrono::milliseconds(1);
      std::this_thread::sleep_until(next);
    }
  });
  std::mutex queue_lock;
  std::vector<Clock::time_point> pressed;
  std::thread keyboard([&] {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pause(50, 450);
    while (!stop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
      std::lock_guard hold(queue_lock);
      pressed.push_back(Clock::now());
    }
  });

  KeyLatency result;
  Frame frame;
  // The zoom is changed only on this thread, so it may be read here without the lock.
  int key = g_map_view.zoom > kZoomInLimit ? kVkPageUp : kVkPageDown;
  std::vector<Clock::time_point> handled; // handled, not yet shown
  const uint64_t received_before = g_shell.listener.received;
  const auto start = Clock::now();
  auto last_frame = start - std::chrono::seconds(1), next_tick = start;
  while (Clock::now() - start < 3 * g_blast) { // keys come four a second: a longer run for enough of them
    std::vector<Clock::time_point> keys;
    {
      std::lock_guard hold(queue_lock);
      keys.swap(pressed);
    }
    for (const auto &at : keys) {
      const double zoom = g_map_view.zoom;
      ShellKey(key);
      result.unchanged += g_map_view.zoom == zoom;
      key = key == kVkPageUp ? kVkPageDown : kVkPageUp;
      handled.push_back(at);
    }
    if (Clock::now() >= next_tick) {
      ShellTimer(kButtonTimer); // the bezel's poll, which lets the next press of a key act again
      next_tick += std::chrono::milliseconds(kButtonTimerMs);
    }
    const auto due = last_frame + std::chrono::microseconds(1000000 / 60);
    if (Clock::now() < due) {
      std::this_thread::sleep_until(due);
      continue;
    }
    last_frame = Clock::now();
    frame.Paint();
    const auto shown = Clock::now();
    for (const auto &at : handled)
      result.latencies_ms.push_back(Seconds(shown - at) * 1000);
    handled.clear();
  }
  const double seconds = Seconds(Clock::now() - start);
  stop = true;
  sender.join();
  keyboard.join();
  result.arriving = sent / seconds;
  result.handled = (g_shell.listener.received - received_before) / seconds;
  return result;
}

// The listener and the key path over the flood, on the MONITORING page at the default zoom (where the flood covers the
// window), at the closest, and at the widest (where a quarter of the flood is in the window and must all be drawn).
void PrintLoopbackRuns() {
  Core core;
  Theatre theatre;
  const Flood flood(Flooded(100000), Flooded(100000), Flooded(10000));
  const std::vector<std::string> mix = Mix(flood);
  // The load of a shared machine comes and goes: short runs by turns, each listener run right after a bare receiver's,
  // so that both of a pair meet much the same load; the median ratio of the pairs and their range.
  constexpr int kPairs = 9;
  const std::chrono::duration<double> period = g_blast / 3;
  std::printf("\nloopback, the flood mix, %zu tags, %zu route points and %zu members stored; %d pairs of %.2f s runs, "
              "each listener run right after a bare receiver's:\n",
              flood.tags.size(), flood.routes.size(), flood.members.size(), kPairs, period.count());
  RunningListener listener;
  const struct {
    const char *what;
    int zoom_milli, frames_a_second;
    bool holding_the_lock;
  } runs[] = {{"listener alone", 1000, 0, false},
              {"20 frames/s, zoom 1.000", 1000, 20, false},
              {"20 frames/s, zoom 1.000, each drawn under the lock", 1000, 20, true},
              {"20 frames/s, zoom 0.125", 125, 20, false},
              {"20 frames/s, zoom 5.657 (a frame takes longer)", 5657, 20, false}};
  for (const auto &run : runs) {
    g_map_view.zoom = run.zoom_milli / 1000.0;
    ApplyZoom(g_map_view);
    std::vector<double> ratios, paints;
    for (int pair = 0; pair < kPairs; ++pair) {
      const double bare = BareRate(mix, period);
      std::vector<double> frames;
      const double rate = ListenerRate(listener.port, mix, period, run.frames_a_second, frames, run.holding_the_lock);
      ratios.push_back(bare > 0 ? rate / bare : 0.0);
      paints.insert(paints.end(), frames.begin(), frames.end());
    }
    std::printf("  %-50s: %.2f of bare (%.2f to %.2f)", run.what, Percentile(ratios, 0.5), Percentile(ratios, 0.0),
                Percentile(ratios, 1.0));
    if (!paints.empty())
      std::printf("; frames median %.1f ms, 95th percentile %.1f ms", Percentile(paints, 0.5),
                  Percentile(paints, 0.95));
    std::printf("\n");
  }
  for (const int zoom : {1000, 125, 5657}) {
    g_map_view.zoom = zoom / 1000.0;
    ApplyZoom(g_map_view);
    const KeyLatency k = MeasureKeyLatency(listener.port, mix);
    std::printf("  key to frame, zoom %5.3f, %.0f datagrams/s arriving, %.0f handled: %zu keys (%d changed nothing), "
                "median %.1f ms, 95th percentile %.1f ms, worst %.1f ms\n",
                zoom / 1000.0, k.arriving, k.handled, k.latencies_ms.size(), k.unchanged,
                Percentile(k.latencies_ms, 0.5), Percentile(k.latencies_ms, 0.95), Percentile(k.latencies_ms, 1.0));
  }
}

// Takes --name=value options of ours out of the arguments; false for a value out of range.
bool ReadOption(int &argc, char **argv, const char *name, double low, double high, double &value) {
  const std::string prefix = std::string("--") + name + "=";
  int kept = 1;
  bool good = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) != 0) {
      argv[kept++] = argv[i];
      continue;
    }
    char *end = nullptr;
    const char *text = argv[i] + prefix.size();
    const double read = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(read > low && read <= high)) {
      std::fprintf(stderr, "kestrel_scale_bench: --%s wants a number above %g and at most %g, not '%s'\n", name, low,
                   high, text);
      good = false;
      continue;
    }
    value = read;
  }
  argc = kept;
  return good;
}
} // namespace

int main(int argc, char **argv) {
  double blast = g_blast.count();
  double widest_only = 0; // 1: the widest zoom's figures alone; 2, 3: one round, for a profile of them
  if (!ReadOption(argc, argv, "blast_seconds", 0, 60, blast) || !ReadOption(argc, argv, "flood", 0, 10, g_flood) ||
      !ReadOption(argc, argv, "widest_only", -1, 3, widest_only))
    return 2;
  g_blast = std::chrono::duration<double>(blast);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 2;
  ScratchSettings settings("kestrel-scale");
  UdpStartup();
  if (widest_only >= 1) {
    PrintWidestZoom(widest_only == 1 ? 3 : 1, true, widest_only != 2, widest_only == 1);
    return 0;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintWidestZoom(3, true, true, true);
  PrintMemory();
  PrintLoopbackRuns();
  return 0;
}
