// flight_e2e_test.cpp: the portable display run end to end with the GEORGIA sample theatre and kestrel-feed flying
// over it with two squad peers, buttons pressed through --keys; its screenshots and the datagrams it sends are checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cairo.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/test_env.h"

namespace {

using Clock = std::chrono::steady_clock;

// The buttons, one a second after the screenshot of that second (Z is no button: a second of waiting). The comment
// after each key says what the screenshot of that second shows.
constexpr const char *kKeys = "M," // 1 MONITORING, no map, no flight
                              "M," // 2 TAGGING
                              "M," // 3 FAILURES
                              "M," // 4 SQUAD GROUP
                              "3," // 5 DATABASES before the load: LOAD GEORGIA
                              "M," // 6 DATABASES, GEORGIA loaded; the flight starts now
                              "Z," // 7 MONITORING: map, ownship, route
                              "Z," // 8
                              "Z," // 9
                              "Z," // 10
                              "8," // 11 SET BULLS
                              "Z," // 12 MONITORING with the bullseye
                              "M," // 13
                              "M," // 14 TAGGING
                              "M," // 15 FAILURES
                              "0," // 16 SQUAD GROUP: JOIN SQUAD
                              "M," // 17 SQUAD GROUP, joined
                              "M," // 18 DATABASES
                              "Z," // 19 MONITORING with the squad mates
                              "M," // 20
                              "0," // 21 TAGGING: TAG CENTER
                              "Z," // 22 TAGGING with the new tag
                              "M," // 23
                              "M," // 24 FAILURES
                              "M," // 25 SQUAD GROUP
                              "Z"; // 26 DATABASES, 27 DATABASES
constexpr int kShots = 27;
constexpr int kFlightStartShot = 6;

struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels; // 0xRRGGBB
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct Box {
  int left, top, right, bottom; // right and bottom excluded
};

bool LoadPng(const std::string &path, Image &image) {
  cairo_surface_t *surface = cairo_image_surface_create_from_png(path.c_str());
  const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  if (ok) {
    cairo_surface_flush(surface);
    image.width = cairo_image_surface_get_width(surface);
    image.height = cairo_image_surface_get_height(surface);
    const unsigned char *data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x)
        image.pixels[static_cast<size_t>(y) * image.width + x] =
            *reinterpret_cast<const uint32_t *>(data + y * stride + 4 * x) & 0xFFFFFF;
  }
  cairo_surface_destroy(surface);
  return ok;
}

int Count(const Image &image, uint32_t colour, Box box) {
  int n = 0;
  for (int y = std::max(box.top, 0); y < std::min(box.bottom, image.height); ++y)
    for (int x = std::max(box.left, 0); x < std::min(box.right, image.width); ++x)
      n += image.At(x, y) == colour ? 1 : 0;
  return n;
}

Box Whole(const Image &image) { return Box{0, 0, image.width, image.height}; }

// The event messages blink: every other second they are not drawn. Their colours are also those of the ownship, the
// bullseye and the squad mates, so each check looks at the frame of a pair that carries fewer of them.
int MessagePixels(const Image &image) {
  const uint32_t colours[] = {0xFF0000, 0xFF8000, 0xFFFF00, 0xFFFFFF, 0x0080FF};
  int n = 0;
  for (uint32_t c : colours)
    n += Count(image, c, Whole(image));
  return n;
}

// The sea and land colours of the sample theatres, the largest part of any view of them.
double MapShare(const Image &image) {
  const int sea = Count(image, 0x081222, Whole(image));
  const int land = Count(image, 0x181C16, Whole(image));
  return static_cast<double>(sea + land) / (image.width * image.height);
}

double MeanDifference(const Image &a, const Image &b, Box box, int dx, int dy) {
  double sum = 0;
  int n = 0;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) {
      const uint32_t p = a.At(x, y), q = b.At(x + dx, y + dy);
      for (int shift = 0; shift < 24; shift += 8)
        sum += std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF));
      ++n;
    }
  return sum / n;
}

// One line of centred text: the rows it spans and the pixels of the text colour in them.
struct TextLine {
  int top = 0, bottom = 0;
  std::vector<int> mask; // x + width * y of every text pixel, relative to the line's top
};

// The lines of a colour within the columns [left, right), top to bottom.
std::vector<TextLine> TextLines(const Image &image, uint32_t colour, int left, int right) {
  std::vector<TextLine> lines;
  bool open = false;
  for (int y = 0; y < image.height; ++y) {
    const bool inked = Count(image, colour, Box{left, y, right, y + 1}) > 0;
    if (inked && !open)
      lines.push_back(TextLine{y, y, {}});
    open = inked;
    if (!inked)
      continue;
    TextLine &line = lines.back();
    line.bottom = y + 1;
    for (int x = left; x < right; ++x)
      if (image.At(x, y) == colour)
        line.mask.push_back(x + image.width * (y - line.top));
  }
  return lines;
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A UDP port nobody uses at this moment, on the given address.
int FreeUdpPort(in_addr_t address) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(address);
  socklen_t length = sizeof sa;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &length) == 0)
    port = ntohs(sa.sin_port);
  ::close(fd);
  return port;
}

pid_t Spawn(const std::vector<std::string> &args, const std::vector<std::string> &environment, const std::string &log) {
  const pid_t pid = ::fork();
  if (pid != 0)
    return pid;
  for (const std::string &setting : environment)
    ::putenv(const_cast<char *>(setting.c_str()));
  const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(fd, 1);
  ::dup2(fd, 2);
  std::vector<char *> argv;
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

// Waits for the process up to the deadline; a process still running then is killed. Returns its exit status.
int Reap(pid_t pid, Clock::time_point deadline) {
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct FlightRun {
  std::string folder;
  std::string error; // set when the run itself failed
  int display_exit = -1;
  std::map<int, Image> shots;
  std::string sent; // what the display sent to its squad peer, as kestrel-feed records it
  std::string log;
};

FlightRun *g_run = nullptr;

std::string Shot(const std::string &folder, int n) {
  char name[32];
  std::snprintf(name, sizeof name, "/kestrel-%04d.png", n);
  return folder + name;
}

void FlyOnce(FlightRun &run) {
  const std::string source = KESTREL_SOURCE_DIR;
  const std::string theatres = source + "/build/theatres";
  const std::string map = theatres + "/kestrel-georgia.bmp", grid = theatres + "/kestrel-georgia.grid";
  if (::access(map.c_str(), R_OK) != 0 || ::access(grid.c_str(), R_OK) != 0) {
    const std::string render = "bash '" + source + "/tools/theatres/make-theatres.sh' '" + theatres + "' >&2";
    if (std::system(render.c_str()) != 0) {
      run.error = "the sample theatres could not be rendered";
      return;
    }
  }
  char folder[] = "/tmp/kestrel-e2e-XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    run.error = "no scratch folder";
    return;
  }
  run.folder = folder;
  const std::string shots = run.folder + "/shots";
  ::mkdir((run.folder + "/kestrel").c_str(), 0700);
  ::mkdir(shots.c_str(), 0700);
  const int port = FreeUdpPort(INADDR_ANY), peer_port = FreeUdpPort(INADDR_LOOPBACK);
  std::ofstream(run.folder + "/recipients.txt") << "# the squad peer of the test\n[1]127.0.0.1:" << peer_port << "\n";
  std::ofstream(run.folder + "/kestrel/settings.ini")
      << "UDP Port=" << port << "\nRecipients file=" << run.folder << "/recipients.txt\nGEORGIA map=" << map
      << "\nGEORGIA grid=" << grid << "\nMFD Mode=1\nOffsetX=0\nOffsetY=0\n";

  const Clock::time_point start = Clock::now();
  const std::string feed = KESTREL_FEED;
  const pid_t recorder =
      Spawn({feed, "record", "--port", std::to_string(peer_port), "--seconds", "90", run.folder + "/sent.txt"}, {},
            run.folder + "/record.log");
  const pid_t display =
      Spawn({KESTREL_PROGRAM, "--seconds", std::to_string(kShots), "--screenshot-dir", shots, "--keys", kKeys},
            {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy", kNoLeakCheck, "XDG_CONFIG_HOME=" + run.folder,
             "XDG_STATE_HOME=" + run.folder},
            run.folder + "/display.log");
  // The flight starts once the map is loaded, so that its first route lands on the map.
  pid_t flight = -1;
  while (Clock::now() < start + std::chrono::seconds(40)) {
    if (::access(Shot(shots, kFlightStartShot).c_str(), R_OK) == 0) {
      flight = Spawn({feed, "fly", "--theatre", "georgia", "--peers", "2", "--knots", "1000", "--port",
                      std::to_string(port), "--seconds", "90"},
                     {}, run.folder + "/flight.log");
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  run.display_exit = Reap(display, start + std::chrono::seconds(80));
  for (pid_t helper : {flight, recorder}) {
    if (helper > 0) {
      ::kill(helper, SIGINT);
      Reap(helper, Clock::now() + std::chrono::seconds(5));
    }
  }
  run.log = ReadFile(run.folder + "/display.log") + ReadFile(run.folder + "/flight.log");
  run.sent = ReadFile(run.folder + "/sent.txt");
  if (flight < 0)
    run.error = "the display never reached second " + std::to_string(kFlightStartShot);
  for (int n = 1; n <= kShots; ++n) {
    Image image;
    if (LoadPng(Shot(shots, n), image))
      run.shots[n] = std::move(image);
  }
}

class FlightEndToEnd : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (g_run == nullptr) {
      g_run = new FlightRun;
      FlyOnce(*g_run);
    }
  }

  // The run's folder stays for a look at its screenshots and logs when a check failed.
  static void TearDownTestSuite() {
    const ::testing::TestSuite *suite = ::testing::UnitTest::GetInstance()->current_test_suite();
    if (g_run != nullptr && !g_run->folder.empty() && suite != nullptr && !suite->Failed()) {
      std::error_code ignored;
      std::filesystem::remove_all(g_run->folder, ignored);
    }
  }

  void SetUp() override {
    ASSERT_TRUE(g_run->error.empty()) << g_run->error << "\n" << g_run->log;
    ASSERT_EQ(g_run->display_exit, 0) << g_run->log;
    ASSERT_EQ(g_run->shots.size(), static_cast<size_t>(kShots)) << "screenshots in " << g_run->folder;
    RecordProperty("folder", g_run->folder);
  }

  static const Image &ShotAt(int n) { return g_run->shots.at(n); }

  // Of two consecutive screenshots, the one the blinking messages are not drawn on.
  static const Image &Quiet(int n) {
    return MessagePixels(ShotAt(n)) <= MessagePixels(ShotAt(n + 1)) ? ShotAt(n) : ShotAt(n + 1);
  }
};

TEST_F(FlightEndToEnd, MapAppearsWithTheLoadAndTheOwnshipFliesOverIt) {
  EXPECT_LT(MapShare(ShotAt(1)), 0.01);
  for (int n = 7; n <= 11; ++n)
    EXPECT_GT(MapShare(ShotAt(n)), 0.3) << n;

  // The view follows the ownship: it stays in the middle in yellow while the map slides under it.
  const Image &a = Quiet(7), &b = Quiet(10);
  const int cx = a.width / 2, cy = a.height / 2;
  EXPECT_GT(Count(a, 0xFFFF00, Box{cx - 25, cy - 25, cx + 25, cy + 25}), 15);
  EXPECT_GT(Count(b, 0xFFFF00, Box{cx - 25, cy - 25, cx + 25, cy + 25}), 15);
  // Below the ownship, clear of the labels and of the steering cue: find how far the map moved.
  const Box band{90, 280, 330, 390};
  double best = 1e9;
  int best_dx = 0, best_dy = 0;
  for (int dy = -20; dy <= 20; ++dy)
    for (int dx = -20; dx <= 20; ++dx) {
      const double d = MeanDifference(a, b, band, dx, dy); // a's pixel found dx, dy away in b
      if (d < best) {
        best = d;
        best_dx = dx;
        best_dy = dy;
      }
    }
  const double unmoved = MeanDifference(a, b, band, 0, 0);
  // Northwards from Batumi: the map moves down the display, a few pixels a second at 1000 knots.
  EXPECT_GE(best_dy, 2) << "dx " << best_dx;
  EXPECT_LE(std::abs(best_dx), 4) << "dy " << best_dy;
  EXPECT_LT(best, unmoved / 2) << "dx " << best_dx << " dy " << best_dy;
}

TEST_F(FlightEndToEnd, RouteAndSteeringCueInTheirColours) {
  for (int n = 7; n <= 11; ++n) {
    EXPECT_GT(Count(ShotAt(n), 0x8000FF, Whole(ShotAt(n))), 30) << n; // route line and waypoint numbers
    EXPECT_GT(Count(ShotAt(n), 0xFF0080, Whole(ShotAt(n))), 30) << n; // steering cue to the next waypoint
  }
  EXPECT_EQ(Count(ShotAt(1), 0x8000FF, Whole(ShotAt(1))), 0);
  EXPECT_EQ(Count(ShotAt(1), 0xFF0080, Whole(ShotAt(1))), 0);
}

TEST_F(FlightEndToEnd, SetBullsDrawsTheRangeRings) {
  const Image &before = Quiet(10), &after = Quiet(12);
  const int white_before = Count(before, 0xFFFFFF, Whole(before));
  const int white_after = Count(after, 0xFFFFFF, Whole(after));
  EXPECT_GT(white_after, white_before + 400) << white_before;
}

TEST_F(FlightEndToEnd, JoiningShowsTheSquadMatesAndSendsTheOwnPosition) {
  const Image &before = Quiet(9), &after = Quiet(19);
  EXPECT_LT(Count(before, 0x0080FF, Whole(before)), 5);
  EXPECT_GT(Count(after, 0x0080FF, Whole(after)), 40);
  // The label of the join button grows to DISJOIN SQUAD: more of its plate at the bottom left.
  const Box corner{0, ShotAt(16).height / 2, ShotAt(16).width / 2, ShotAt(16).height};
  EXPECT_GT(Count(ShotAt(17), 0x004000, corner), Count(ShotAt(16), 0x004000, corner) + 50);

  // The display's own position goes to the peer of the recipients file: the feed's aircraft near Batumi.
  const size_t at = g_run->sent.find("KESTREL SQUAD:");
  ASSERT_NE(at, std::string::npos) << g_run->sent;
  double lat = 0, lon = 0;
  int squad = 0, pilot = 0;
  ASSERT_EQ(std::sscanf(g_run->sent.c_str() + at,
                        "KESTREL SQUAD:Lat=%lf,Long=%lf,Compass=%*f,Alt=%*f,Squad=%d,Pilot=%d", &lat, &lon, &squad,
                        &pilot),
            4);
  EXPECT_NEAR(lat, 41.9, 0.4);
  EXPECT_NEAR(lon, 41.65, 0.2);
  EXPECT_EQ(squad, 1);
  EXPECT_EQ(pilot, 1);
}

TEST_F(FlightEndToEnd, TagCenterPutsATagInTheMiddleAndSendsIt) {
  const Image &before = ShotAt(21), &after = Quiet(22);
  const int cx = before.width / 2, cy = before.height / 2;
  const Box middle{cx - 14, cy - 14, cx + 14, cy + 14};
  // The new tag's symbol is filled with the unknown affiliation's yellow.
  EXPECT_GT(Count(after, 0xF5F184, middle), Count(before, 0xF5F184, middle) + 40);

  const size_t at = g_run->sent.find("KESTREL TAG:");
  ASSERT_NE(at, std::string::npos) << g_run->sent;
  double lat = 0, lon = 0;
  int pilot = 0;
  ASSERT_EQ(std::sscanf(g_run->sent.c_str() + at, "KESTREL TAG:Lat=%lf,Long=%lf,Symb=%*d,Squad=%*d,Pilot=%d", &lat,
                        &lon, &pilot),
            3);
  EXPECT_NEAR(lat, 41.9, 0.4);
  EXPECT_NEAR(lon, 41.65, 0.2);
  EXPECT_EQ(pilot, 1);
}

TEST_F(FlightEndToEnd, DatabasesPageCountsWhatArrived) {
  const Image &before = Quiet(5), &after = Quiet(26);
  const uint32_t text = 0x66CC66;
  const std::vector<TextLine> a = TextLines(before, text, 60, before.width - 60);
  const std::vector<TextLine> b = TextLines(after, text, 60, after.width - 60);
  // CURRENT MAP, CURRENT VERSION and the five counts: routes, tags, messages, aircraft, hosts. The counts are
  // centred, so a line whose count changed differs as a whole.
  ASSERT_EQ(a.size(), 7u);
  ASSERT_EQ(b.size(), 7u);
  for (size_t i = 0; i < 7; ++i)
    EXPECT_EQ(a[i].top, b[i].top) << i;
  EXPECT_EQ(a[1].mask, b[1].mask); // the version does not change
  EXPECT_NE(a[2].mask, b[2].mask); // route points: 0, then the route's nine
  EXPECT_NE(a[3].mask, b[3].mask); // tags: 0, then the peers' and the own one
  EXPECT_NE(a[5].mask, b[5].mask); // aircraft: 0, then the two peers
  EXPECT_EQ(a[6].mask, b[6].mask); // hosts: the one peer all along
}

} // namespace
