// latency.cpp: kestrel-latency, the time from a MONITOR datagram that moves the view to the moved frame on
// the screen, or (--press) from a key press to the changed frame, for either front end, measured from outside
// the program.
//
// The display must be showing its MONITORING page with a map loaded, alone on the port, in an X server (Xvfb)
// this tool can read. The tool sends the display two positions in turn, records the picture of a watched
// area of the screen for each once it has settled, then, for every sample, sends one position and reads the
// area until it shows that position's picture: the time between the send and that reading is the sample.
// In press mode the tool waits for the watched area to settle, presses a key with XTest on the display's window,
// and times until the area differs from that settled picture; the keys given are pressed in turn, so a pair such
// as zoom in and zoom out, or a button that toggles or cycles, changes the picture on every press. Between presses
// it sends the position again, so that the link stays fresh and no "disconnected" message starts to blink.
// Captures use the MIT-SHM extension when the server has it, so a reading takes a fraction of a millisecond.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/udp.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  int port = 10320;
  int x = 0, y = 0, width = 425, height = 425; // the watched area, screen pixels
  int samples = 200;
  double latitude = 42.30, longitude = 43.00; // the first position; the second lies a little north-east
  double step = 0.02;                         // degrees between the two
  std::vector<std::string> keys;              // press mode: X keysym names, pressed in turn
  std::string title = "Corvia v";             // press mode: the start of the display window's title
  int still_ms = 300;                         // press mode: how long the picture must keep still before a press
};

void Usage() {
  std::fprintf(stderr,
               "usage: kestrel-latency [--port N] [--area X,Y,W,H] [--samples N] [--position LAT,LONG] [--step DEG]\n"
               "                       [--press KEY,KEY,... [--window TITLE] [--still MS]]\n"
               "  The display must show MONITORING with a map loaded, on DISPLAY, listening on 127.0.0.1:PORT.\n"
               "  --press: press the keys (X keysym names: m, F7, Prior, ...) in turn, SAMPLES times each, on the\n"
               "  window whose title starts with TITLE (default 'Corvia v'), each once the picture has kept still\n"
               "  for MS milliseconds (default 300), and time each to the changed frame.\n");
}

// Options come in pairs: a name and its value.
bool ParseOptions(int argc, char **argv, Options &o) {
  for (int i = 1; i < argc; i += 2) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    const char *value = has_value ? argv[i + 1] : "";
    bool ok = has_value;
    if (arg == "--port")
      o.port = std::atoi(value);
    else if (arg == "--area")
      ok = ok && std::sscanf(value, "%d,%d,%d,%d", &o.x, &o.y, &o.width, &o.height) == 4;
    else if (arg == "--samples")
      o.samples = std::atoi(value);
    else if (arg == "--position")
      ok = ok && std::sscanf(value, "%lf,%lf", &o.latitude, &o.longitude) == 2;
    else if (arg == "--step")
      o.step = std::atof(value);
    else if (arg == "--press") {
      o.keys.clear();
      for (const char *k = value; *k != '\0';) {
        const char *end = std::strchr(k, ',');
        const size_t n = end != nullptr ? static_cast<size_t>(end - k) : std::strlen(k);
        if (n == 0 || XStringToKeysym(std::string(k, n).c_str()) == NoSymbol)
          ok = false;
        o.keys.emplace_back(k, n);
        k += n + (end != nullptr ? 1 : 0);
      }
      ok = ok && !o.keys.empty();
    } else if (arg == "--window")
      o.title = value;
    else if (arg == "--still")
      o.still_ms = std::atoi(value);
    else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "kestrel-latency: bad option '%s'\n", arg.c_str());
      Usage();
      return false;
    }
  }
  if (o.port < 1 || o.port > 65535 || o.width <= 0 || o.height <= 0 || o.samples <= 0 || o.still_ms < 1 ||
      o.still_ms > 60000) {
    std::fprintf(stderr, "kestrel-latency: a value out of range (port 1-65535, area and samples above 0, still "
                         "1-60000 ms)\n");
    Usage();
    return false;
  }
  return true;
}

// Reads one area of the root window, through shared memory when the server offers it.
class ScreenArea {
public:
  ScreenArea(Display *display, const Options &o) : display_(display), o_(o) {
    const int screen = DefaultScreen(display);
    root_ = RootWindow(display, screen);
    if (XShmQueryExtension(display)) {
      image_ = XShmCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen), ZPixmap, nullptr,
                               &shm_, o.width, o.height);
      if (image_ != nullptr) {
        shm_.shmid =
            shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * image_->height, IPC_CREAT | 0600);
        shm_.shmaddr = image_->data = static_cast<char *>(shmat(shm_.shmid, nullptr, 0));
        shm_.readOnly = False;
        shared_ = shm_.shmaddr != reinterpret_cast<char *>(-1) && XShmAttach(display, &shm_);
        shmctl(shm_.shmid, IPC_RMID, nullptr); // gone once both sides detach
      }
    }
  }
  ~ScreenArea() {
    if (shared_) {
      XShmDetach(display_, &shm_);
      shmdt(shm_.shmaddr);
    }
    if (image_ != nullptr) {
      image_->data = nullptr;
      XDestroyImage(image_);
    }
  }

  // The area's pixels now.
  bool Read(std::vector<char> &out) {
    if (shared_) {
      if (!XShmGetImage(display_, root_, image_, o_.x, o_.y, AllPlanes))
        return false;
      out.assign(image_->data, image_->data + static_cast<size_t>(image_->bytes_per_line) * image_->height);
      return true;
    }
    XImage *image = XGetImage(display_, root_, o_.x, o_.y, o_.width, o_.height, AllPlanes, ZPixmap);
    if (image == nullptr)
      return false;
    out.assign(image->data, image->data + static_cast<size_t>(image->bytes_per_line) * image->height);
    XDestroyImage(image);
    return true;
  }

  bool Shared() const { return shared_; }

private:
  Display *display_;
  Options o_;
  Window root_;
  XImage *image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool shared_ = false;
};

bool SendPosition(const Options &o, double latitude, double longitude) {
  char text[128];
  const int n = std::snprintf(text, sizeof text, "KESTREL MONITOR:Lat=%.6f,Long=%.6f,Compass=0.785,Alt=3000", latitude,
                              longitude);
  return UdpSendOnce("127.0.0.1", o.port, text, static_cast<size_t>(n)) == n;
}

// The area's picture once it has stopped changing after a position was sent: two readings a quarter of a
// second apart that agree, repeated so a blink or a tick in between is not taken for the picture.
bool SettledPicture(ScreenArea &area, const Options &o, double latitude, double longitude, std::vector<char> &out) {
  std::vector<char> earlier, now;
  for (int tries = 0; tries < 40; ++tries) {
    SendPosition(o, latitude, longitude); // again and again: the link stays fresh, nothing blinks
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    if (!area.Read(now))
      return false;
    if (now == earlier) {
      out = now;
      return true;
    }
    earlier.swap(now);
  }
  return false;
}

double Percentile(const std::vector<double> &sorted, double p) {
  const size_t i = std::min(sorted.size() - 1, static_cast<size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5));
  return sorted[i];
}

// Measures and prints; the exit code.
int Measure(Display *display, const Options &o) {
  ScreenArea area(display, o);
  const double positions[2][2] = {{o.latitude, o.longitude}, {o.latitude + o.step, o.longitude + o.step}};
  std::vector<char> pictures[2];
  for (int p = 0; p < 2; ++p) {
    if (!SettledPicture(area, o, positions[p][0], positions[p][1], pictures[p])) {
      std::fprintf(stderr, "kestrel-latency: the watched area never settled after position %d\n", p + 1);
      return 1;
    }
  }
  if (pictures[0] == pictures[1]) {
    std::fprintf(stderr, "kestrel-latency: the two positions look the same: is a map loaded and MONITORING shown?\n");
    return 1;
  }
  // Start from the second position's picture, so that the first sample moves to the first.
  SettledPicture(area, o, positions[1][0], positions[1][1], pictures[1]);
  std::vector<double> samples;
  int timeouts = 0;
  std::vector<char> now;
  unsigned spread = 12345;
  for (int s = 0; s < o.samples; ++s) {
    const int p = s % 2;
    const Clock::time_point sent = Clock::now();
    SendPosition(o, positions[p][0], positions[p][1]);
    bool seen = false;
    while (Clock::now() - sent < std::chrono::seconds(2)) {
      if (area.Read(now) && now == pictures[p]) {
        seen = true;
        break;
      }
      // A short rest between readings, so that reading the screen does not starve the display on a busy machine.
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (seen)
      samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    else
      ++timeouts;
    // A pause of 40 to 110 ms, so that the samples fall at every phase of the display's own timers.
    spread = spread * 1103515245u + 12345u;
    std::this_thread::sleep_for(std::chrono::milliseconds(40 + (spread >> 16) % 71));
  }
  if (samples.empty()) {
    std::fprintf(stderr, "kestrel-latency: no moved frame was seen within 2 s\n");
    return 1;
  }
  std::sort(samples.begin(), samples.end());
  double sum = 0;
  for (const double v : samples)
    sum += v;
  std::printf("kestrel-latency: %zu samples (%d without the moved frame within 2 s), screen read by %s\n",
              samples.size(), timeouts, area.Shared() ? "shared memory" : "XGetImage");
  std::printf("kestrel-latency: MONITOR to moved frame: median %.1f ms, 99th percentile %.1f ms, mean %.1f ms, "
              "min %.1f ms, max %.1f ms\n",
              Percentile(samples, 0.5), Percentile(samples, 0.99), sum / samples.size(), samples.front(),
              samples.back());
  return timeouts == 0 ? 0 : 1;
}

// Press mode.

// The viewable top-level window whose title starts with the text, or 0. SDL may re-create its window, so it is
// looked up before every press.
Window FindDisplayWindow(Display *display, const std::string &title) {
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr, found = 0;
  unsigned int count = 0;
  if (XQueryTree(display, root, &root, &parent, &children, &count) == 0)
    return 0;
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    XWindowAttributes attributes;
    char *name = nullptr;
    if (XGetWindowAttributes(display, children[i], &attributes) == 0 || attributes.map_state != IsViewable ||
        XFetchName(display, children[i], &name) == 0 || name == nullptr)
      continue;
    if (std::string(name).rfind(title, 0) == 0)
      found = children[i];
    XFree(name);
  }
  if (children != nullptr)
    XFree(children);
  return found;
}

// A window that goes away between the lookup and the request must not end the tool, as Xlib's default handler
// would: the press then counts as a miss.
int IgnoreXError(Display *, XErrorEvent *) { return 0; }

// The area's picture once it has not changed for o.still_ms (the one fixed wait: how long "still" must last) and
// extra_ms have passed, the position sent again every quarter second meanwhile. False when it keeps changing for
// 10 s and 20 times o.still_ms.
bool StillPicture(ScreenArea &area, const Options &o, int extra_ms, std::vector<char> &out) {
  const Clock::time_point start = Clock::now();
  Clock::time_point still_since = start, sent = start - std::chrono::seconds(1);
  std::vector<char> now;
  out.clear();
  const auto still = std::chrono::milliseconds(o.still_ms), least = std::chrono::milliseconds(extra_ms);
  while (Clock::now() - start < std::chrono::seconds(10) + 20 * still) {
    if (Clock::now() - sent >= std::chrono::milliseconds(250)) {
      SendPosition(o, o.latitude, o.longitude);
      sent = Clock::now();
    }
    if (!area.Read(now))
      return false;
    if (now != out) {
      out.swap(now);
      still_since = Clock::now();
    } else if (Clock::now() - still_since >= still && Clock::now() - start >= least) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// Presses each key in turn, o.samples times each; prints one line of figures per key. The exit code.
int MeasurePresses(Display *display, const Options &o) {
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
    std::fprintf(stderr, "kestrel-latency: the X display has no XTest extension\n");
    return 1;
  }
  XSetErrorHandler(IgnoreXError);
  ScreenArea area(display, o);
  std::vector<std::vector<double>> samples(o.keys.size());
  std::vector<int> misses(o.keys.size(), 0);
  std::vector<char> still, now;
  unsigned spread = 12345;
  for (int s = 0; s < o.samples * static_cast<int>(o.keys.size()); ++s) {
    const size_t k = static_cast<size_t>(s) % o.keys.size();
    // Not before the still time and 0 to 999 ms more have passed, so that the presses fall evenly over every
    // phase of the display's once-a-second timers rather than always as long after the last change.
    spread = spread * 1103515245u + 12345u;
    if (!StillPicture(area, o, o.still_ms + static_cast<int>((spread >> 16) % 1000), still)) {
      std::fprintf(stderr, "kestrel-latency: the watched area never kept still for %d ms\n", o.still_ms);
      return 1;
    }
    const Window window = FindDisplayWindow(display, o.title);
    if (window == 0) {
      std::fprintf(stderr, "kestrel-latency: no window whose title starts with '%s'\n", o.title.c_str());
      return 1;
    }
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(o.keys[k].c_str()));
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
    const Clock::time_point pressed = Clock::now();
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
    bool seen = false;
    while (!seen && Clock::now() - pressed < std::chrono::seconds(3)) {
      seen = area.Read(now) && now != still;
      if (!seen)
        std::this_thread::sleep_for(std::chrono::microseconds(200)); // leaves the display a share of a busy machine
    }
    if (seen)
      samples[k].push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
    else
      ++misses[k];
  }
  int result = 0;
  for (size_t k = 0; k < o.keys.size(); ++k) {
    std::vector<double> &v = samples[k];
    std::sort(v.begin(), v.end());
    if (v.empty())
      std::printf("kestrel-latency: press %s: no changed frame within 3 s in %d presses\n", o.keys[k].c_str(),
                  misses[k]);
    else
      std::printf("kestrel-latency: press %s: %zu presses, %d without a changed frame within 3 s: median %.1f ms, "
                  "95th percentile %.1f ms, worst %.1f ms\n",
                  o.keys[k].c_str(), v.size(), misses[k], Percentile(v, 0.5), Percentile(v, 0.95), v.back());
    result = misses[k] > 0 ? 1 : result;
  }
  return result;
}

} // namespace

int main(int argc, char **argv) {
  Options o;
  if (!ParseOptions(argc, argv, o))
    return 2;
  Display *display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char *name = std::getenv("DISPLAY");
    std::fprintf(stderr, "kestrel-latency: cannot open the X display '%s'\n", name != nullptr ? name : "");
    return 1;
  }
  UdpStartup();
  const int code = o.keys.empty() ? Measure(display, o) : MeasurePresses(display, o);
  XCloseDisplay(display);
  return code;
}
