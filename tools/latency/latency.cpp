// latency.cpp: kestrel-latency, the time from a MONITOR datagram that moves the view to the moved frame on
// the screen, for either front end, measured from outside the program.
//
// The display must be showing its MONITORING page with a map loaded, alone on the port, in an X server (Xvfb)
// this tool can read. The tool sends the display two positions in turn, records the picture of a watched
// area of the screen for each once it has settled, then, for every sample, sends one position and reads the
// area until it shows that position's picture: the time between the send and that reading is the sample.
// Captures use the MIT-SHM extension when the server has it, so a reading takes a fraction of a millisecond.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
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
};

void Usage() {
  std::fprintf(stderr,
               "usage: kestrel-latency [--port N] [--area X,Y,W,H] [--samples N] [--position LAT,LONG] [--step DEG]\n"
               "  The display must show MONITORING with a map loaded, on DISPLAY, listening on 127.0.0.1:PORT.\n");
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
    else
      ok = false;
    if (!ok) {
      std::fprintf(stderr, "kestrel-latency: bad option '%s'\n", arg.c_str());
      Usage();
      return false;
    }
  }
  if (o.port < 1 || o.port > 65535 || o.width <= 0 || o.height <= 0 || o.samples <= 0) {
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
  const int code = Measure(display, o);
  XCloseDisplay(display);
  return code;
}
