// flight_e2e_test.cpp: a front end of the display run end to end on an X display, the GEORGIA sample theatre loaded and
// kestrel-feed flying over it with two squad peers; its screen and the datagrams it sends to its squad peer are
// checked.
//
// The run presses the bezel's buttons through the keyboard and goes on to the next step when the screen shows the
// state that step needs, never after a set time: a slow machine makes it slower, not different. Every state waited
// for stays true once reached (a page shown, a count changed, the ownship drawn where the view follows it), so a frame
// taken late shows it as well as one taken at once; the run stops at the first state that never came, naming it. The
// portable program runs on an Xvfb of the test's own; with KESTREL_E2E_WINDOWS_PROGRAM set to kestrel.exe, the Windows
// build runs under Wine on the DISPLAY and WINEPREFIX the caller prepared (scripts/wine-smoke.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "e2e/x_session.h"
#include "support/test_env.h"

namespace {

using Clock = std::chrono::steady_clock;

// A state the run waits for that has not come by then never will: the deadline only ends a hung run. It is generous
// because a sanitizer build on a loaded machine can take several times as long as a plain one for a map load.
constexpr auto kStateDeadline = std::chrono::seconds(120);
constexpr auto kPollPeriod = std::chrono::milliseconds(50);

// The window: 425 pixels square in MFD mode at the screen's top left corner; the base text height is 425 * 17 / 520.
constexpr int kWindow = 425;
constexpr int kTextHeight = kWindow * 17 / 520;
// The event messages stand one a line from the sixth line down, over every page, shown every other second. The run
// keeps them to at most ten lines where a check looks: before the flight only "NO MAP LOADED", "VEKTA DISCONNECTED"
// and "MAP LOADED" can show. The first route brings nine "INCOMING ROUTE"; while they stand, only colours no message
// uses are counted, and the map's movement well below them. CLEAR MSGS removes them once the ownship has moved (so the
// whole route has been handled), and after that only "!!! EM DB RESET DONE !!!", one "TAG SENT", "VEKTA DISCONNECTED"
// should the feed fall silent, and a line per tag a peer makes can come: a peer tags first after eight seconds and
// then every twenty or more, so ten lines hold for over a minute of flight, several times what a run takes. Every
// check that counts a colour the messages also use counts it below those ten lines only.
constexpr int kOverlayLines = 10;
constexpr int kBelowMessages = (5 + kOverlayLines) * kTextHeight;

constexpr uint32_t kSea = 0x081222, kLand = 0x181C16; // the sample theatres' own colours
constexpr uint32_t kOwnship = 0xFFFF00, kRouteLine = 0x8000FF, kSteeringCue = 0xFF0080;
constexpr uint32_t kRangeRings = 0xFFFFFF, kSquadMate = 0x0080FF, kUnknownTagFill = 0xF5F184;
constexpr uint32_t kPlate = 0x004000, kDatabaseText = 0x66CC66;

constexpr Box kWhole{0, 0, kWindow, kWindow};
constexpr Box kBelowOverlay{0, kBelowMessages, kWindow, kWindow};
constexpr int kCentre = kWindow / 2;

double MapShare(const Image &image) {
  if (image.pixels.empty())
    return 0;
  return static_cast<double>(Count(image, kSea, kWhole) + Count(image, kLand, kWhole)) / (image.width * image.height);
}

// The ownship's yellow around the middle of the view, below the messages.
int OwnshipPixels(const Image &image) {
  return Count(image, kOwnship, Box{kCentre - 25, std::max(kCentre - 25, kBelowMessages), kCentre + 25, kCentre + 25});
}

int TagFillInTheMiddle(const Image &image) {
  return Count(image, kUnknownTagFill, Box{kCentre - 14, kCentre - 14, kCentre + 14, kCentre + 14});
}

// The label plates of the left half's lower quarter: the join button's grows with its label.
int JoinPlate(const Image &image) { return Count(image, kPlate, Box{0, kCentre, kCentre, kWindow}); }

// Pixels of the label plates below the messages that differ between two frames: a new page labels other buttons.
int PlateChange(const Image &a, const Image &b) {
  int n = 0;
  for (int y = kBelowMessages; y < kWindow; ++y)
    for (int x = 0; x < kWindow; ++x)
      n += (a.At(x, y) == kPlate) != (b.At(x, y) == kPlate) ? 1 : 0;
  return n;
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

// The bearing and distance label of the steering cue: opaque, in the route's colours, from 40 pixels below the centre.
constexpr int kCueLabelTop = kCentre + 36, kCueLabelBottom = kCentre + 66;

// The lowest pixel of the route's colour in the columns about the centre, clear of the cue's label: the bottom of
// the route's first point, Batumi, where the flight starts, or of the line that leaves it northwards; -1 when there
// is none. While the ownship flies north from Batumi and the view follows it, this row only goes down the display
// (it stands still for a moment while the point passes behind the label), for the two minutes to Poti.
int RouteStartRow(const Image &image) {
  for (int y = kWindow - 1; y >= kBelowMessages; --y)
    if ((y < kCueLabelTop || y >= kCueLabelBottom) &&
        Count(image, kRouteLine, Box{kCentre - 40, y, kCentre + 40, y + 1}) > 0)
      return y;
  return -1;
}

// How the map moved from one frame to a later one, in a band below the ownship clear of labels and messages. The
// later frame is the first after the route's start slid down: a few pixels on, or some 30 when the point was behind
// the cue's label; the search reaches 60, a quarter of a minute of the flight.
constexpr int kMostMotion = 60;
struct Motion {
  int dx = 0, dy = 0;
  double best = 1e9, unmoved = 0;
  // Northwards from Batumi the map slides down the display (and a little left, the route bearing east of north);
  // a match much better than no move at all.
  bool Northwards() const { return dy >= 2 && std::abs(dx) <= 4 + dy / 10 && best < unmoved / 2; }
};

Motion MapMotion(const Image &a, const Image &b) {
  const Box band{90, 280, 330, 390};
  Motion motion;
  if (a.pixels.empty() || b.pixels.empty())
    return motion;
  for (int dy = -4; dy <= kMostMotion; ++dy)
    for (int dx = -6; dx <= 6; ++dx) {
      // The rows of a whose pixels stay inside the band in b.
      const Box rows{band.left, band.top, band.right, std::min(band.bottom, band.bottom - dy)};
      const double d = MeanDifference(a, b, rows, dx, dy); // a's pixel found dx, dy away in b
      if (d < motion.best) {
        motion = Motion{dx, dy, d, 0};
      }
    }
  motion.unmoved = MeanDifference(a, b, band, 0, 0);
  return motion;
}

// One line of centred text: the rows it spans and the pixels of the text colour in them.
struct TextLine {
  int top = 0, bottom = 0;
  std::vector<int> mask; // x + width * y of every text pixel, relative to the line's top
};

// The DATABASES page's lines of text below the messages: CURRENT MAP, CURRENT VERSION and the five counts (routes,
// tags, messages, aircraft, hosts). The counts are centred, so a line whose count changed differs as a whole. The
// lines stand a text height apart; within one, smoothed glyphs can leave a row or two without a pixel of the exact
// colour above the tips of parentheses (GDI under Wine), which belong to the line above them all the same.
std::vector<TextLine> DatabaseLines(const Image &image) {
  constexpr int kGapInALine = 3;
  std::vector<TextLine> lines;
  if (image.pixels.empty())
    return lines;
  for (int y = kBelowMessages; y < image.height; ++y) {
    if (Count(image, kDatabaseText, Box{60, y, image.width - 60, y + 1}) == 0)
      continue;
    if (lines.empty() || y > lines.back().bottom + kGapInALine)
      lines.push_back(TextLine{y, y, {}});
    TextLine &line = lines.back();
    line.bottom = y + 1;
    for (int x = 60; x < image.width - 60; ++x)
      if (image.At(x, y) == kDatabaseText)
        line.mask.push_back(x + image.width * (y - line.top));
  }
  return lines;
}
constexpr size_t kDatabaseLineCount = 7;
enum DatabaseLine { kCurrentMap = 0, kVersion = 1, kRoutes = 2, kTags = 3, kAircraft = 5, kHosts = 6 };

bool LineChanged(const std::vector<TextLine> &a, const std::vector<TextLine> &b, size_t line) {
  return a.size() == kDatabaseLineCount && b.size() == kDatabaseLineCount && a[line].mask != b[line].mask;
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
  ::prctl(PR_SET_PDEATHSIG, SIGTERM); // nothing the run started outlives a test program that died
  for (const std::string &setting : environment)
    ::putenv(const_cast<char *>(setting.c_str()));
  const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  ::dup2(fd, 1);
  ::dup2(fd, 2);
  std::vector<char *> argv;
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
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
    std::this_thread::sleep_for(kPollPeriod);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The frame a step of the run stopped at: the first that showed the step's outcome, or the last one looked at.
struct Step {
  bool reached = false;
  std::string state; // what the step waited for, in words
  Image frame;
};

struct FlightRun {
  std::string front_end;
  std::string folder;
  std::string error; // set when the run could not go on
  int exit_code = -1;
  std::map<std::string, Step> steps;
  std::string sent; // what the display sent to its squad peer, as kestrel-feed records it
  std::string log;
};

FlightRun *g_run = nullptr;

// The settings of the run for the portable program: its settings file under a folder of the run.
void WritePortableSettings(const std::string &folder, const std::map<std::string, std::string> &values) {
  ::mkdir((folder + "/kestrel").c_str(), 0700);
  std::ofstream file(folder + "/kestrel/settings.ini");
  for (const auto &[name, value] : values)
    file << name << "=" << value << "\n";
}

// Wine's drive Z: is the root of the Linux file system.
std::string WindowsPath(const std::string &path) {
  std::string windows = "Z:" + path;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

// The settings of the run for the Windows build: both registry keys emptied (reads look under HKEY_CURRENT_USER
// first, where an earlier program may have written), then the values under HKEY_LOCAL_MACHINE.
bool WriteWindowsSettings(const std::string &folder, const std::map<std::string, std::string> &values) {
  std::ofstream file(folder + "/settings.reg");
  file << "REGEDIT4\n\n[-HKEY_CURRENT_USER\\Software\\Orvel\\KESTREL]\n\n"
       << "[-HKEY_LOCAL_MACHINE\\Software\\Orvel\\KESTREL]\n\n[HKEY_LOCAL_MACHINE\\Software\\Orvel\\KESTREL]\n";
  for (const auto &[name, value] : values) {
    std::string escaped;
    for (char c : value)
      escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    file << "\"" << name << "\"=\"" << escaped << "\"\n";
  }
  file.close();
  const pid_t reg = Spawn({"wine", "reg", "import", WindowsPath(folder + "/settings.reg")}, {}, folder + "/wine.log");
  return Reap(reg, Clock::now() + kStateDeadline) == 0;
}

// The window title both front ends give the display, before its version.
constexpr const char *kTitle = "Corvia v";

enum Page { kMonitoring, kTagging, kFailures, kSquad, kDatabases, kPageCount };
constexpr const char *kPageNames[kPageCount] = {"MONITORING", "TAGGING", "FAILURES STATUS", "SQUAD GROUP", "DATABASES"};

// Drives the display: key presses, and frames until the screen shows what a step waits for.
class Pilot {
public:
  Pilot(FlightRun &run, XSession &x, pid_t program) : run_(run), x_(x), program_(program) {}

  bool FindWindow() {
    const Clock::time_point deadline = Clock::now() + kStateDeadline;
    while (x_.FindWindow(kTitle) == 0) {
      if (Ended() || Clock::now() > deadline)
        return Fail("the program's window (title \"" + std::string(kTitle) + "...\") never appeared");
      std::this_thread::sleep_for(kPollPeriod);
    }
    return true;
  }

  // Frames until one shows the state the step needs; the step keeps that frame, or the last one when the state never
  // came, and then the run fails naming the step and the state.
  bool WaitFor(const std::string &step, const std::string &state, const std::function<bool(const Image &)> &shown) {
    const Clock::time_point deadline = Clock::now() + kStateDeadline;
    Step &s = run_.steps[step];
    for (;;) {
      Image frame;
      if (x_.Grab(kWindow, kWindow, frame)) {
        s.frame = std::move(frame);
        s.reached = shown(s.frame);
      }
      if (s.reached || Ended() || Clock::now() > deadline)
        break;
      std::this_thread::sleep_for(kPollPeriod);
    }
    SavePng(s.frame, run_.folder + "/" + step + ".png");
    s.state = state;
    if (!s.reached && !program_exited_)
      Fail("step '" + step + "' never showed " + state + " within " + std::to_string(kStateDeadline.count()) +
           " s; its last frame is " + run_.folder + "/" + step + ".png");
    return s.reached;
  }

  // A button press by its key. The display acts on a button only when it differs from the last one it saw, and
  // only its 200 ms bezel poll clears that memory; so a key pressed twice in a row is kept apart by a key that does
  // nothing on the page shown, whatever the timing.
  bool Press(const std::string &key) {
    if (key == last_key_ && !x_.PressKey(kTitle, page_ == kTagging ? "7" : "4"))
      return Fail("key press refused by the X server");
    last_key_ = key;
    return x_.PressKey(kTitle, key) || Fail("key press refused by the X server");
  }

  // MODE, and the next page shown: its buttons' plates differ from those of the page shown before (the frame the last
  // step stopped at), and stay so until the next MODE.
  bool NextPage(const std::string &step) {
    Image before;
    if (!x_.Grab(kWindow, kWindow, before))
      return Fail("no screenshot of the " + std::string(kPageNames[page_]) + " page before MODE");
    const Page next = static_cast<Page>((page_ + 1) % kPageCount);
    const std::string state = "the " + std::string(kPageNames[next]) + " page (label plates other than the " +
                              kPageNames[page_] + " page's) after MODE";
    if (!Press("m") || !WaitFor(step, state, [&](const Image &now) { return PlateChange(before, now) > 100; }))
      return false;
    page_ = next;
    return true;
  }

  // MODE until the page is shown; the step keeps the frame of its arrival there.
  bool GoTo(Page page, const std::string &step) {
    while (page_ != page)
      if (!NextPage((page_ + 1) % kPageCount == page ? step : step + " via " + std::to_string(page_ + 1)))
        return false;
    return true;
  }

  bool Fail(const std::string &why) {
    if (run_.error.empty())
      run_.error = why;
    return false;
  }

  const Image &Frame(const std::string &step) { return run_.steps[step].frame; }
  bool ProgramEnded() const { return program_exited_; }

private:
  bool Ended() {
    int status = 0;
    if (program_exited_ || ::waitpid(program_, &status, WNOHANG) != program_)
      return program_exited_;
    program_exited_ = true;
    run_.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return Fail("the program ended during the run");
  }

  FlightRun &run_;
  XSession &x_;
  pid_t program_;
  bool program_exited_ = false;
  Page page_ = kMonitoring;
  std::string last_key_;
};

// The whole flight, step by step; each step waits for the state it needs and the run ends at the first that never
// came (the pilot's error names it).
void Fly(FlightRun &run, Pilot &pilot, const std::function<pid_t()> &start_flight) {
  if (!pilot.FindWindow() ||
      !pilot.WaitFor("start", "the first frame (the MONITORING page's label plates)",
                     [](const Image &f) { return Count(f, kPlate, kWhole) > 100; }) ||
      !pilot.GoTo(kDatabases, "databases before") ||
      !pilot.WaitFor("databases before", "the DATABASES page's seven lines of text",
                     [](const Image &f) { return DatabaseLines(f).size() == kDatabaseLineCount; }))
    return;
  const std::vector<TextLine> before = DatabaseLines(pilot.Frame("databases before"));
  if (!pilot.Press("3") || // LOAD GEORGIA
      !pilot.WaitFor("map loaded", "another CURRENT MAP line on the DATABASES page after LOAD GEORGIA",
                     [&](const Image &f) { return LineChanged(before, DatabaseLines(f), kCurrentMap); }) ||
      !pilot.NextPage("map") ||
      !pilot.WaitFor("map", "the GEORGIA map over a third of the MONITORING page",
                     [](const Image &f) { return MapShare(f) > 0.3; }))
    return;

  // The flight starts once the map is loaded, so that its first route lands on the map.
  if (start_flight() < 0) {
    pilot.Fail("kestrel-feed did not start");
    return;
  }
  // The route and the steering cue come in the feed's first datagrams, a moment before its first position: the step
  // waits for the ownship drawn at the centre too, where the view follows it from then on, over the route's start.
  if (!pilot.WaitFor("flying", "the route, the steering cue and the ownship drawn at the centre over the route's start",
                     [](const Image &f) {
                       return Count(f, kRouteLine, kWhole) > 30 && Count(f, kSteeringCue, kWhole) > 30 &&
                              OwnshipPixels(f) > 15 && RouteStartRow(f) >= 0;
                     }))
    return;
  const int start_row = RouteStartRow(pilot.Frame("flying"));
  if (!pilot.WaitFor("moved",
                     "the route's start slid down under the ownship at the centre (the view followed it north)",
                     [&](const Image &f) { return OwnshipPixels(f) > 15 && RouteStartRow(f) >= start_row + 2; }))
    return;

  // CLEAR MSGS on the DATABASES page, then MONITORING again: the pictures of the checks below are free of the
  // nine route messages. The display handles keys in the order they come, so the MONITORING page shown after the
  // press is the state that CLEAR MSGS was carried out.
  if (!pilot.GoTo(kDatabases, "databases to clear") || !pilot.Press("7") || !pilot.GoTo(kMonitoring, "monitoring") ||
      !pilot.WaitFor("monitoring", "the map and the ownship at the centre on the MONITORING page",
                     [](const Image &f) { return MapShare(f) > 0.3 && OwnshipPixels(f) > 15; }))
    return;

  const int rings_before = Count(pilot.Frame("monitoring"), kRangeRings, kBelowOverlay);
  if (!pilot.Press("8") || // SET BULLS
      !pilot.WaitFor("bulls", "the bullseye's range rings after SET BULLS",
                     [&](const Image &f) { return Count(f, kRangeRings, kBelowOverlay) > rings_before + 400; }))
    return;

  // JOIN SQUAD: the peers report all along, and their aircraft are drawn once the display has joined.
  if (!pilot.GoTo(kSquad, "squad"))
    return;
  const int plate_before = JoinPlate(pilot.Frame("squad"));
  if (!pilot.Press("0") ||
      !pilot.WaitFor("joined", "the join button's longer label (DISJOIN SQUAD) after JOIN SQUAD",
                     [&](const Image &f) { return JoinPlate(f) > plate_before + 50; }) ||
      !pilot.GoTo(kMonitoring, "squad mates") ||
      !pilot.WaitFor("squad mates", "the squad mates' aircraft on the MONITORING page",
                     [](const Image &f) { return Count(f, kSquadMate, kBelowOverlay) > 40; }))
    return;

  // TAG CENTER, joined, so that the tag also goes to the peer. The TAGGING view stays where it was (sync is off), so
  // the new tag stays in the middle.
  if (!pilot.NextPage("tagging"))
    return;
  const int fill_before = TagFillInTheMiddle(pilot.Frame("tagging"));
  if (!pilot.Press("0") ||
      !pilot.WaitFor("tagged", "a new tag's symbol in the middle of the TAGGING page after TAG CENTER",
                     [&](const Image &f) { return TagFillInTheMiddle(f) > fill_before + 40; }) ||
      !pilot.GoTo(kDatabases, "databases after") ||
      !pilot.WaitFor("databases after", "other route, tag and aircraft counts on the DATABASES page",
                     [&](const Image &f) {
                       const std::vector<TextLine> after = DatabaseLines(f);
                       return LineChanged(before, after, kRoutes) && LineChanged(before, after, kTags) &&
                              LineChanged(before, after, kAircraft);
                     }))
    return;

  // The own position goes to the peer while joined; the tag went out when it was made.
  const Clock::time_point deadline = Clock::now() + kStateDeadline;
  for (;;) {
    run.sent = ReadFile(run.folder + "/sent.txt");
    if (run.sent.find("KESTREL SQUAD:") != std::string::npos && run.sent.find("KESTREL TAG:") != std::string::npos)
      break;
    if (Clock::now() > deadline) {
      pilot.Fail("the squad peer never received both a KESTREL SQUAD: and a KESTREL TAG: datagram (" + run.folder +
                 "/sent.txt)");
      break;
    }
    std::this_thread::sleep_for(kPollPeriod);
  }
}

bool PrepareTheatres(const std::string &theatres, std::string &error) {
  const std::string map = theatres + "/kestrel-georgia.bmp", grid = theatres + "/kestrel-georgia.grid";
  if (::access(map.c_str(), R_OK) == 0 && ::access(grid.c_str(), R_OK) == 0)
    return true;
  const std::string render =
      "bash '" + std::string(KESTREL_SOURCE_DIR) + "/tools/theatres/make-theatres.sh' '" + theatres + "' >&2";
  if (std::system(render.c_str()) == 0)
    return true;
  error = "the sample theatres could not be rendered";
  return false;
}

void FlyOnce(FlightRun &run) {
  const std::string theatres = std::string(KESTREL_SOURCE_DIR) + "/build/theatres";
  if (!PrepareTheatres(theatres, run.error))
    return;
  char folder[] = "/tmp/kestrel-e2e-XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    run.error = "no scratch folder";
    return;
  }
  run.folder = folder;

  const char *windows_program = std::getenv("KESTREL_E2E_WINDOWS_PROGRAM");
  const bool windows = windows_program != nullptr && *windows_program != '\0';
  run.front_end = windows ? std::string("Windows build under Wine: ") + windows_program : "portable program";
  XSession x;
  const char *display = std::getenv("DISPLAY");
  if (windows ? !x.Connect(display != nullptr ? display : "") : !x.StartPrivate()) {
    run.error = x.error();
    return;
  }

  const int port = FreeUdpPort(INADDR_ANY), peer_port = FreeUdpPort(INADDR_LOOPBACK);
  const std::string recipients = run.folder + "/recipients.txt";
  std::ofstream(recipients) << "# the squad peer of the test\n[1]127.0.0.1:" << peer_port << "\n";
  const std::string map = theatres + "/kestrel-georgia.bmp", grid = theatres + "/kestrel-georgia.grid";
  auto path = [&](const std::string &p) { return windows ? WindowsPath(p) : p; };
  const std::map<std::string, std::string> settings = {{"UDP Port", std::to_string(port)},
                                                       {"Recipients file", path(recipients)},
                                                       {"GEORGIA map", path(map)},
                                                       {"GEORGIA grid", path(grid)},
                                                       {"MFD Mode", "1"},
                                                       {"OffsetX", "0"},
                                                       {"OffsetY", "0"}};
  std::vector<std::string> command, environment;
  if (windows) {
    if (!WriteWindowsSettings(run.folder, settings)) {
      run.error = "wine reg import of the settings failed (see " + run.folder + "/wine.log)";
      return;
    }
    command = {"wine", windows_program};
  } else {
    WritePortableSettings(run.folder, settings);
    command = {KESTREL_PROGRAM};
    environment = {"SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",         "DISPLAY=" + x.name(),
                   kNoLeakCheck,          "XDG_CONFIG_HOME=" + run.folder, "XDG_STATE_HOME=" + run.folder,
                   // never the system's settings of an installed package (/etc/xdg/kestrel)
                   "XDG_CONFIG_DIRS=" + run.folder + "/system"};
  }

  // The feed's own time limits only end what a test program that hung would leave behind.
  const std::string feed = KESTREL_FEED;
  const pid_t recorder =
      Spawn({feed, "record", "--port", std::to_string(peer_port), "--seconds", "1800", run.folder + "/sent.txt"}, {},
            run.folder + "/record.log");
  const pid_t program = Spawn(command, environment, run.folder + "/display.log");
  pid_t flight = -1;
  Pilot pilot(run, x, program);
  Fly(run, pilot, [&] {
    flight = Spawn({feed, "fly", "--theatre", "georgia", "--peers", "2", "--knots", "1000", "--port",
                    std::to_string(port), "--seconds", "1800"},
                   {}, run.folder + "/flight.log");
    return flight;
  });

  // Ended as a pilot ends it: the window closed (SDL hears SIGTERM as that; Wine's taskkill sends WM_CLOSE).
  if (!pilot.ProgramEnded()) {
    if (windows) {
      const pid_t close = Spawn({"wine", "taskkill", "/im", "kestrel.exe"}, {}, run.folder + "/wine.log");
      Reap(close, Clock::now() + kStateDeadline);
    } else {
      ::kill(program, SIGTERM);
    }
    run.exit_code = Reap(program, Clock::now() + kStateDeadline);
  }
  for (pid_t helper : {flight, recorder}) {
    if (helper > 0) {
      ::kill(helper, SIGINT);
      Reap(helper, Clock::now() + kStateDeadline);
    }
  }
  run.log = ReadFile(run.folder + "/display.log") + ReadFile(run.folder + "/flight.log");
  run.sent = ReadFile(run.folder + "/sent.txt");
}

class FlightEndToEnd : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (g_run == nullptr) {
      g_run = new FlightRun;
      FlyOnce(*g_run);
      std::fprintf(stderr, "end-to-end run of the %s, screenshots of its steps in %s\n", g_run->front_end.c_str(),
                   g_run->folder.c_str());
    }
  }

  // The run's folder stays for a look at its screenshots and logs when a check failed, or when KESTREL_E2E_KEEP
  // is set.
  static void TearDownTestSuite() {
    const ::testing::TestSuite *suite = ::testing::UnitTest::GetInstance()->current_test_suite();
    const bool keep = std::getenv("KESTREL_E2E_KEEP") != nullptr || suite == nullptr || suite->Failed();
    if (g_run != nullptr && !g_run->folder.empty() && !keep) {
      std::error_code ignored;
      std::filesystem::remove_all(g_run->folder, ignored);
    }
  }

  void SetUp() override {
    ASSERT_TRUE(g_run->error.empty()) << g_run->error << "\nscreenshots in " << g_run->folder << "\n" << g_run->log;
    RecordProperty("folder", g_run->folder);
  }

  // The frame of a step; a step that never showed its state fails the check that needs it.
  static const Image &At(const std::string &step) {
    const Step &s = g_run->steps[step];
    EXPECT_TRUE(s.reached) << "step '" << step << "' never showed " << (s.state.empty() ? "its state" : s.state)
                           << "; its last frame is " << g_run->folder << "/" << step << ".png";
    return s.frame;
  }
};

TEST_F(FlightEndToEnd, MapAppearsWithTheLoadAndTheOwnshipFliesOverIt) {
  EXPECT_LT(MapShare(At("start")), 0.01);
  EXPECT_TRUE(LineChanged(DatabaseLines(At("databases before")), DatabaseLines(At("map loaded")), kCurrentMap));
  EXPECT_GT(MapShare(At("map")), 0.3);
  // The view follows the ownship: it stays in the middle in yellow while the map and the route slide under it.
  EXPECT_GT(OwnshipPixels(At("flying")), 15);
  EXPECT_GT(OwnshipPixels(At("moved")), 15);
  EXPECT_GT(OwnshipPixels(At("monitoring")), 15);
  EXPECT_GE(RouteStartRow(At("moved")), RouteStartRow(At("flying")) + 2);
  const Motion motion = MapMotion(At("flying"), At("moved"));
  EXPECT_TRUE(motion.Northwards()) << "dx " << motion.dx << " dy " << motion.dy << " difference " << motion.best
                                   << " unmoved " << motion.unmoved;
}

TEST_F(FlightEndToEnd, RouteAndSteeringCueInTheirColours) {
  EXPECT_GT(Count(At("flying"), kRouteLine, kWhole), 30);
  EXPECT_GT(Count(At("flying"), kSteeringCue, kWhole), 30);
  EXPECT_EQ(Count(At("start"), kRouteLine, kWhole), 0);
  EXPECT_EQ(Count(At("start"), kSteeringCue, kWhole), 0);
}

TEST_F(FlightEndToEnd, SetBullsDrawsTheRangeRings) {
  const int before = Count(At("monitoring"), kRangeRings, kBelowOverlay);
  EXPECT_GT(Count(At("bulls"), kRangeRings, kBelowOverlay), before + 400) << before;
}

TEST_F(FlightEndToEnd, JoiningShowsTheSquadMatesAndSendsTheOwnPosition) {
  // The peers report all along; their aircraft are drawn once the display has joined.
  EXPECT_LT(Count(At("monitoring"), kSquadMate, kBelowOverlay), 5);
  EXPECT_GT(Count(At("squad mates"), kSquadMate, kBelowOverlay), 40);
  // The label of the join button grows to DISJOIN SQUAD: more of its plate at the bottom left.
  EXPECT_GT(JoinPlate(At("joined")), JoinPlate(At("squad")) + 50);

  // The display's own position goes to the peer of the recipients file: the feed's aircraft near Batumi.
  const size_t at = g_run->sent.find("KESTREL SQUAD:");
  ASSERT_NE(at, std::string::npos) << g_run->sent.substr(0, 1000);
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
  // The new tag's symbol is filled with the unknown affiliation's yellow.
  EXPECT_GT(TagFillInTheMiddle(At("tagged")), TagFillInTheMiddle(At("tagging")) + 40);

  const size_t at = g_run->sent.find("KESTREL TAG:");
  ASSERT_NE(at, std::string::npos) << g_run->sent.substr(0, 1000);
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
  const std::vector<TextLine> a = DatabaseLines(At("databases before"));
  const std::vector<TextLine> b = DatabaseLines(At("databases after"));
  ASSERT_EQ(a.size(), kDatabaseLineCount);
  ASSERT_EQ(b.size(), kDatabaseLineCount);
  for (size_t i = 0; i < kDatabaseLineCount; ++i)
    EXPECT_EQ(a[i].top, b[i].top) << i;
  EXPECT_EQ(a[kVersion].mask, b[kVersion].mask);   // the version does not change
  EXPECT_NE(a[kRoutes].mask, b[kRoutes].mask);     // route points: 0, then the route's nine
  EXPECT_NE(a[kTags].mask, b[kTags].mask);         // tags: 0, then the own one and the peers'
  EXPECT_NE(a[kAircraft].mask, b[kAircraft].mask); // aircraft: 0, then the two peers
  EXPECT_EQ(a[kHosts].mask, b[kHosts].mask);       // hosts: the one peer all along
}

TEST_F(FlightEndToEnd, ClosingTheWindowEndsTheProgramWithZero) { EXPECT_EQ(g_run->exit_code, 0) << g_run->log; }

} // namespace
