// pilot.cpp: the screen side of `make flightgear-test`. scripts/flightgear-test.sh starts FlightGear with the KESTREL
// add-on, the portable display and a recorder, then this program, which works the display through its keys and
// waits for what the screen must show, state by state (a slow machine makes it slower, not different):
//   GEORGIA loaded and the ownship on MONITORING; the route line and the steering cue in their colours; on TAGGING
//   (the view standing still) the ownship flying across the map the way FlightGear flies (its heading, given as
//   --heading-deg); the FAILURES page with the failed gear
//   and the master warning red, the 26 other systems green.
// It saves those screens under --out and prints its figures as "name=value" lines. Exit status 0 when all came.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "e2e/x_session.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWindow = 425;
constexpr int kText = kWindow * 17 / 520;
constexpr int kCentre = kWindow / 2;
constexpr uint32_t kSea = 0x081222, kLand = 0x181C16;
constexpr uint32_t kOwnship = 0xFFFF00, kRouteLine = 0x8000FF, kSteeringCue = 0xFF0080;
constexpr uint32_t kFailedBand = 0x200000, kWorkingBand = 0x002000;
constexpr uint32_t kPlate = 0x004000, kDatabaseText = 0x66CC66;
constexpr const char *kTitle = "Corvia v";

double MapShare(const Image &image) {
  const Box whole{0, 0, kWindow, kWindow};
  return static_cast<double>(Count(image, kSea, whole) + Count(image, kLand, whole)) / (kWindow * kWindow);
}

// Where the ownship's yellow is, below the messages: its centre, or (-1, -1) when it is not there.
struct Spot {
  double x = -1, y = -1;
  int pixels = 0;
};
Spot Ownship(const Image &image) {
  Spot spot;
  double sx = 0, sy = 0;
  for (int y = 12 * kText; y < kWindow; ++y)
    for (int x = 0; x < kWindow; ++x)
      if (image.At(x, y) == kOwnship) {
        sx += x;
        sy += y;
        ++spot.pixels;
      }
  if (spot.pixels > 15) {
    spot.x = sx / spot.pixels;
    spot.y = sy / spot.pixels;
  }
  return spot;
}

// Pixels of the button label plates below the messages that differ between two frames: another page labels other
// buttons.
int PlateChange(const Image &a, const Image &b) {
  int n = 0;
  for (int y = 15 * kText; y < kWindow; ++y)
    for (int x = 0; x < kWindow; ++x)
      n += (a.At(x, y) == kPlate) != (b.At(x, y) == kPlate) ? 1 : 0;
  return n;
}

// Pixels of the DATABASES page's CURRENT MAP line that differ: "GEORGIA" once the map is loaded.
int DatabaseTextChange(const Image &a, const Image &b) {
  int n = 0;
  for (int y = 18 * kText; y < 19 * kText + 5; ++y)
    for (int x = 0; x < kWindow; ++x)
      n += (a.At(x, y) == kDatabaseText) != (b.At(x, y) == kDatabaseText) ? 1 : 0;
  return n;
}

// A row of the FAILURES page: entry 2k on the left, 2k + 1 on the right; the band behind its label.
int Band(const Image &image, int entry, uint32_t colour) {
  const int row = entry / 2, top = 6 * kText + row * (kText + 4);
  const Box box = entry % 2 == 0 ? Box{kCentre - 240, top, kCentre - kText - 2, top + 4 + kText}
                                 : Box{kCentre + kText + 2, top, kCentre + 240, top + 4 + kText};
  return Count(image, colour, box);
}
constexpr int kMasterWarning = 10, kGear = 23;

std::string Argument(int argc, char **argv, const std::string &name, const std::string &fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (argv[i] == name)
      return argv[i + 1];
  return fallback;
}

class Pilot {
public:
  Pilot(XSession &x, std::string out, double deadline_seconds)
      : x_(x), out_(std::move(out)), deadline_(std::chrono::duration<double>(deadline_seconds)) {}

  Image Frame() {
    Image image;
    x_.Grab(kWindow, kWindow, image);
    return image;
  }
  bool WaitFor(const std::string &step, const std::function<bool(const Image &)> &shows) {
    const Clock::time_point until = Clock::now() + std::chrono::duration_cast<Clock::duration>(deadline_);
    for (;;) {
      Image frame = Frame();
      if (!frame.pixels.empty() && shows(frame)) {
        SavePng(frame, out_ + "/" + step + ".png");
        last_ = frame;
        return true;
      }
      if (Clock::now() > until) {
        if (!frame.pixels.empty())
          SavePng(frame, out_ + "/" + step + "-not-reached.png");
        std::fprintf(stderr, "flightgear pilot: the screen never showed %s\n", step.c_str());
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  }
  bool Press(const std::string &key) {
    if (!x_.PressKey(kTitle, key)) {
      std::fprintf(stderr, "flightgear pilot: key %s refused\n", key.c_str());
      return false;
    }
    return true;
  }
  // Presses the key and waits for the screen to show its outcome. The display reads the keys at its button poll,
  // and a busy machine can let one press go unseen: then it is pressed again, after a wait far longer than a poll.
  bool PressUntil(const std::string &key, const std::function<bool(const Image &, const Image &)> &done) {
    const Image before = Frame();
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (!Press(key))
        return false;
      const Clock::time_point until = Clock::now() + std::chrono::seconds(6);
      while (Clock::now() < until) {
        const Image frame = Frame();
        if (!frame.pixels.empty() && !before.pixels.empty() && done(before, frame))
          return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
    }
    std::fprintf(stderr, "flightgear pilot: key %s had no effect\n", key.c_str());
    return false;
  }
  bool NextPage() {
    return PressUntil("m", [](const Image &a, const Image &b) { return PlateChange(a, b) > 150; });
  }
  const Image &last() const { return last_; }

private:
  XSession &x_;
  std::string out_;
  std::chrono::duration<double> deadline_;
  Image last_;
};

} // namespace

int main(int argc, char **argv) {
  const std::string display = Argument(argc, argv, "--display", "");
  const std::string out = Argument(argc, argv, "--out", ".");
  const double heading = std::atof(Argument(argc, argv, "--heading-deg", "0").c_str()) * M_PI / 180;
  const double deadline = std::atof(Argument(argc, argv, "--deadline", "180").c_str());
  XSession x;
  if (!x.Connect(display)) {
    std::fprintf(stderr, "flightgear pilot: %s\n", x.error().c_str());
    return 2;
  }
  Pilot pilot(x, out, deadline);
  const Clock::time_point start = Clock::now();
  const auto since = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };

  // DATABASES (MODE four times), LOAD GEORGIA, back to MONITORING.
  bool ok = pilot.WaitFor("window", [&](const Image &) { return x.FindWindow(kTitle) != 0; });
  for (int i = 0; ok && i < 4; ++i)
    ok = pilot.NextPage();
  ok = ok && pilot.PressUntil("3", [](const Image &a, const Image &b) { return DatabaseTextChange(a, b) > 40; });
  ok = ok && pilot.NextPage();
  const Box middle{kCentre - 25, kCentre - 25, kCentre + 25, kCentre + 25};
  ok = ok && pilot.WaitFor("monitoring", [&](const Image &f) {
    return MapShare(f) > 0.3 && Count(f, kOwnship, middle) > 15;
  });
  const double loaded_at = since();
  ok = ok && pilot.WaitFor("route", [](const Image &f) {
    const Box below{0, 15 * kText, kWindow, kWindow};
    return Count(f, kRouteLine, below) > 20 && Count(f, kSteeringCue, below) > 20;
  });

  // On TAGGING with the sync off the view stays where it is and the ownship flies across it: north up, x to the
  // east, y to the south.
  ok = ok && pilot.NextPage();
  Spot from, to;
  ok = ok && pilot.WaitFor("tagging", [&](const Image &f) {
    from = Ownship(f);
    return from.pixels > 15;
  });
  ok = ok && pilot.WaitFor("moved", [&](const Image &f) {
    to = Ownship(f);
    return to.pixels > 15 && std::hypot(to.x - from.x, to.y - from.y) >= 8;
  });
  const double moved_at = since();
  if (ok) {
    const double flown = std::atan2(to.x - from.x, from.y - to.y); // clockwise from north on the map
    const double error_deg = std::fabs(std::remainder(flown - heading, 2 * M_PI)) * 180 / M_PI;
    std::printf("ownship_moved_px=%.1f,%.1f\nflown_on_map_deg=%.1f\nheading_deg=%.1f\n", to.x - from.x,
                to.y - from.y, std::fmod(flown * 180 / M_PI + 360, 360), heading * 180 / M_PI);
    if (error_deg > 20) {
      std::fprintf(stderr, "flightgear pilot: the ownship moved %.0f degrees off its heading on the map\n", error_deg);
      ok = false;
    }
  }
  if (ok) { // wall-clock times, for the script's figures from FlightGear's start
    const double now_epoch =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::printf("monitoring_shown_epoch=%.3f\nfirst_moved_frame_epoch=%.3f\n", now_epoch - (since() - loaded_at),
                now_epoch - (since() - moved_at));
  }

  // FAILURES STATUS: MODE from TAGGING.
  ok = ok && pilot.NextPage();
  // Every entry starts red until FlightGear has reported it: wait for all 28 reported, the gear and the master
  // warning (any failure at all) failed, everything else working.
  ok = ok && pilot.WaitFor("failures", [](const Image &f) {
    for (int entry = 0; entry < 28; ++entry) {
      const bool failed = entry == kGear || entry == kMasterWarning;
      if (Band(f, entry, failed ? kFailedBand : kWorkingBand) < 50)
        return false;
    }
    return true;
  });
  std::printf("pilot_result=%s\n", ok ? "pass" : "fail");
  return ok ? 0 : 1;
}
