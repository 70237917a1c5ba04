// main.cpp: the portable program: an SDL2 window, a timed loop standing in for the three window timers, keys and
// clicks, and each frame composed whole with Cairo off screen, then presented at once.
#include <SDL.h>
#include <SDL_syswm.h>
#include <cairo.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/shell.h"
#include "frontend/portable/options.h"
#include "frontend/portable/sdl_start.h"
#include "platform/diagnostics.h"
#include "platform/frame_buffer.h"
#include "platform/portable/cairo_canvas.h"
#include "platform/sound.h"
#include "platform/utf8.h"

namespace {

using Clock = std::chrono::steady_clock;

// The front end's own record: the window, the off-screen frame and when the next one is due.
struct Frontend {
  SDL_Window *window = nullptr;
  FrameBuffer *frame = nullptr; // composed whole on every paint, then presented
  SDL_Surface *frame_view = nullptr; // the frame's pixels as SDL sees them, made at the first present
  SDL_Surface *shown_on = nullptr;   // the window surface the last frame was presented on
  int width = 0, height = 0;
  bool dirty = false; // a frame is wanted (user-interface thread only)
  Clock::time_point last_paint;
  // A frame asked for from another thread: set there, taken here. The wake-up event is pushed only when
  // the flag was clear, so a burst of requests costs one event.
  std::atomic<bool> frame_requested{false};
  Uint32 wake_event = 0;
  Uint32 click_event = 0; // a tap of the web display: code x, data1 y
  // Under X11 (and with no screen) the loop waits itself, on the X connection and on wake_fd, which another thread
  // writes to wake it. SDL's own wait would be woken by an event sent through the X server and back for every
  // request: a round trip and an X event to read for each datagram. wake_fd -1: SDL waits (other drivers);
  // x_connection -1 with a wake_fd: no screen, nothing but wakes to wait for.
  int x_connection = -1;
  int wake_fd = -1;
  int screenshots = 0;
};

Frontend fe;

// At most 60 frames a second: a frame wanted sooner than this after the last waits for the rest.
constexpr auto kFrameInterval = std::chrono::microseconds(1000000 / 60);

// Every invalidation, whole or part, with or without erase, asks for the next frame: each frame is composed
// whole, so nothing of the one before survives and there is nothing to erase.
void Invalidate(Rect, bool) { fe.dirty = true; }
void InvalidateAll(bool) { fe.dirty = true; }

// From any thread: wakes the loop waiting on wake_fd.
void WakeLoop() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(fe.wake_fd, &one, sizeof one); // full only after 2^64 wakes
}

// From any thread: wakes the event loop, which paints as soon as the frame rate allows.
void RequestFrameFromAnyThread() {
  if (fe.frame_requested.exchange(true))
    return;
  if (fe.wake_fd >= 0) {
    WakeLoop();
    return;
  }
  SDL_Event event{};
  event.type = fe.wake_event;
  SDL_PushEvent(&event);
}

// From the web display's threads: the click goes through the event queue to this thread.
bool PostClickFromAnyThread(int x, int y) {
  SDL_Event event{};
  event.type = fe.click_event;
  event.user.code = x;
  event.user.data1 = reinterpret_cast<void *>(static_cast<intptr_t>(y));
  const bool posted = SDL_PushEvent(&event) == 1;
  if (posted && fe.wake_fd >= 0)
    WakeLoop();
  return posted;
}

// Under X11, and with no screen at all (the offscreen and dummy drivers, a box that only serves the web display),
// the loop's own wait (Frontend::wake_fd); elsewhere SDL's. SDL has no wait of its own for the drivers without a
// screen: it would look for events every millisecond, a thousand wake-ups a second with nothing to do.
void ChooseWaiting() {
  const char *driver = SDL_GetCurrentVideoDriver();
  const bool screenless = driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  const bool x11 = SDL_GetWindowWMInfo(fe.window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11;
  if (!x11 && !screenless)
    return;
  fe.wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fe.wake_fd >= 0 && x11)
    fe.x_connection = ConnectionNumber(info.info.x11.display); // screenless: no input to wait for (poll skips -1)
}

bool FrameWanted() { return fe.dirty || fe.frame_requested.load(); }

// Brings the frame off screen up to date; what changed is what to present.
FrameChanges PaintFrame() {
  fe.dirty = false;
  fe.frame_requested = false; // a request arriving from here on asks for the next frame
  fe.last_paint = Clock::now();
  return ShellUpdateFrame(fe.frame);
}

// Under X11 the window's pixels go to the server through shared memory, and the off-screen driver keeps them in
// memory. Left to itself SDL would present them through an OpenGL texture even when OpenGL is a software
// rasteriser, which costs more processor time than composing the frame; other drivers keep SDL's choice
// (Wayland has no framebuffer of its own).
void ChoosePresentation() {
  const char *driver = SDL_GetCurrentVideoDriver();
  if (driver != nullptr && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "offscreen") == 0))
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

// Copies the finished frame to the window in one step, so no half-drawn frame is ever seen: all of it, or only
// the areas that changed since the frame before (which the window shows already) when changes says so.
void Present(const FrameChanges *changes = nullptr) {
  SDL_Surface *target = SDL_GetWindowSurface(fe.window);
  if (target == nullptr)
    return;
  const bool whole = changes == nullptr || changes->whole || target != fe.shown_on;
  fe.shown_on = target; // a new window surface holds nothing of the frames before
  // The frame's pixels stay where they are for the program's life: one SDL view of them serves every frame.
  SDL_Surface *&source = fe.frame_view;
  if (source == nullptr) {
    cairo_surface_t *frame = CairoFrameBufferSurface(fe.frame);
    source = SDL_CreateRGBSurfaceWithFormatFrom(cairo_image_surface_get_data(frame), fe.width, fe.height, 32,
                                                cairo_image_surface_get_stride(frame), SDL_PIXELFORMAT_XRGB8888);
    if (source == nullptr)
      return;
  }
  if (whole) {
    SDL_BlitSurface(source, nullptr, target, nullptr);
    SDL_UpdateWindowSurface(fe.window);
    return;
  }
  if (changes->count == 0)
    return;
  SDL_Rect areas[kMostChangedAreas];
  for (int i = 0; i < changes->count; ++i) {
    const Rect &r = changes->areas[i];
    areas[i] = SDL_Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    SDL_Rect to = areas[i]; // SDL_BlitSurface clips it
    SDL_BlitSurface(source, &areas[i], target, &to);
  }
  SDL_UpdateWindowSurfaceRects(fe.window, areas, changes->count);
}

void SaveScreenshot(const std::string &dir) {
  char name[64];
  std::snprintf(name, sizeof name, "/kestrel-%04d.png", ++fe.screenshots);
  cairo_surface_write_to_png(CairoFrameBufferSurface(fe.frame), (dir + name).c_str());
}

int VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_F1 && key <= SDLK_F10)
    return 0x70 + (key - SDLK_F1);
  if (key >= SDLK_0 && key <= SDLK_9)
    return '0' + (key - SDLK_0);
  if (key >= SDLK_a && key <= SDLK_z)
    return 'A' + (key - SDLK_a);
  switch (key) {
  case SDLK_PAGEUP:
    return 0x21;
  case SDLK_PAGEDOWN:
    return 0x22;
  case SDLK_LEFT:
    return 0x25;
  case SDLK_UP:
    return 0x26;
  case SDLK_RIGHT:
    return 0x27;
  case SDLK_DOWN:
    return 0x28;
  default:
    return 0;
  }
}

bool CreateWindow() {
  const StartupSettings &s = g_shell.settings;
  // MFD mode: a borderless window on the physical MFD screen at the offsets; otherwise an ordinary decorated window
  // whose client area has the configured size.
  const Uint32 flags = s.mfd_mode != 0 ? SDL_WINDOW_BORDERLESS : 0;
  fe.window = SDL_CreateWindow(WideToUtf8(g_shell.title).c_str(), s.offset_x, s.offset_y, s.window_width,
                               s.window_height, flags | SDL_WINDOW_SHOWN);
  if (fe.window == nullptr)
    return false;
  fe.width = s.window_width;
  fe.height = s.window_height;
  fe.frame = CreateFrameBuffer(fe.width, fe.height);
  return fe.frame != nullptr;
}

// Returns false when the program is to end.
bool HandleEvent(const SDL_Event &event) {
  switch (event.type) {
  case SDL_QUIT: // also how SDL reports SIGINT and SIGTERM
    return false;
  case SDL_WINDOWEVENT:
    if (event.window.event == SDL_WINDOWEVENT_CLOSE)
      return false;
    if (event.window.event == SDL_WINDOWEVENT_EXPOSED)
      Present();
    return true;
  case SDL_KEYDOWN: // auto-repeat included, as the key repeats of a window
    if (const int key = VirtualKey(event.key.keysym.sym); key != 0)
      ShellKey(key);
    return true;
  case SDL_MOUSEBUTTONDOWN:
    if (event.button.button == SDL_BUTTON_LEFT)
      ShellClick(event.button.x, event.button.y);
    return true;
  default:
    if (event.type == fe.click_event && fe.click_event != 0)
      ShellClick(event.user.code, static_cast<int>(reinterpret_cast<intptr_t>(event.user.data1)));
    return true;
  }
}

// Waits up to wait_ms for an event or a wake and handles the events; false when the program is to end.
bool WaitAndHandleEvents(int wait_ms) {
  SDL_Event event;
  if (fe.wake_fd < 0) {
    if (SDL_WaitEventTimeout(&event, wait_ms)) {
      do {
        if (!HandleEvent(event))
          return false;
      } while (SDL_PollEvent(&event));
    }
    return true;
  }
  pollfd waiting[2] = {{fe.x_connection, POLLIN, 0}, {fe.wake_fd, POLLIN, 0}};
  ::poll(waiting, 2, wait_ms); // a signal (SIGINT, SIGTERM) ends it early too, and SDL turns it into SDL_QUIT below
  if (waiting[1].revents & POLLIN) {
    uint64_t wakes = 0;
    [[maybe_unused]] const ssize_t got = ::read(fe.wake_fd, &wakes, sizeof wakes);
  }
  if (waiting[0].revents != 0 || waiting[1].revents == 0) {
    // X input, a timeout or a signal: everything SDL can read or has.
    while (SDL_PollEvent(&event))
      if (!HandleEvent(event))
        return false;
    return true;
  }
  // Only a wake: a frame request, or an event another thread queued (a web display's tap), taken without
  // asking the X server anything.
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1)
    if (!HandleEvent(event))
      return false;
  return true;
}

struct Timer {
  int id;
  std::chrono::milliseconds period;
  Clock::time_point due;
};

int Run(const ProgramOptions &options) {
  const Clock::time_point start = Clock::now();
  // Started in this order, so that ticks falling due together run in it: 100, 103, 102.
  Timer timers[] = {{kButtonTimer, std::chrono::milliseconds(kButtonTimerMs), start},
                    {kLinkTimer, std::chrono::milliseconds(kLinkTimerMs), start},
                    {kRepaintTimer, std::chrono::milliseconds(kRepaintTimerMs), start}};
  for (Timer &t : timers)
    t.due = start + t.period;
  size_t next_key = 0;
  int seconds = 0;
  for (;;) {
    Clock::time_point next = timers[0].due;
    for (const Timer &t : timers)
      next = std::min(next, t.due);
    if (FrameWanted())
      next = std::min(next, fe.last_paint + kFrameInterval);
    // Rounded up, so that the loop does not wake a little early and spin until the deadline.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
    if (!WaitAndHandleEvents(wait > 0 ? static_cast<int>(wait) : 0))
      return 0;
    bool whole_second = false;
    for (Timer &t : timers) {
      if (Clock::now() < t.due)
        continue;
      ShellTimer(t.id);
      whole_second |= t.id == kRepaintTimer;
      t.due += t.period;
      if (t.due < Clock::now())
        t.due = Clock::now() + t.period; // after a stall, no burst of late ticks
    }
    if (FrameWanted() && Clock::now() >= fe.last_paint + kFrameInterval) {
      const FrameChanges changes = PaintFrame();
      Present(&changes);
      // Presenting waits for the X server, and X events that came meanwhile were read into Xlib's queue, where
      // no wait on the connection sees them: they are handled now.
      SDL_Event event;
      while (fe.wake_fd >= 0 && SDL_PollEvent(&event))
        if (!HandleEvent(event))
          return 0;
    }
    if (!whole_second)
      continue;
    ++seconds;
    if (!options.screenshot_dir.empty())
      SaveScreenshot(options.screenshot_dir);
    if (options.seconds > 0 && seconds >= options.seconds)
      return 0;
    if (next_key < options.keys.size())
      ShellKey(options.keys[next_key++]);
  }
}

} // namespace

int main(int argc, char **argv) {
  ProgramOptions options;
  std::string error;
  switch (ParseProgramOptions(argc, argv, options, error)) {
  case OptionsResult::kHelp:
    std::fputs(ProgramUsage().c_str(), stdout);
    return 0;
  case OptionsResult::kError:
    std::fprintf(stderr, "kestrel: %s (see --help)\n", error.c_str());
    return 2;
  case OptionsResult::kRun:
    break;
  }
  if (!StartSdl(error)) {
    WriteDiagnostic("kestrel: " + error);
    return 1;
  }
  ShellReadSettings();
  ReportClickSound();
  if (!CreateWindow()) {
    WriteDiagnostic(std::string("kestrel: cannot make the window: ") + SDL_GetError());
    SDL_Quit();
    return 0; // as the Windows program, which ends with 0 when its window cannot be made
  }
  ChoosePresentation();
  ChooseWaiting();
  const Uint32 events = SDL_RegisterEvents(2);
  g_shell.host.invalidate_all = InvalidateAll;
  g_shell.host.invalidate_rect = Invalidate;
  if (events != static_cast<Uint32>(-1)) {
    fe.wake_event = events;
    fe.click_event = events + 1;
    g_shell.host.request_frame = RequestFrameFromAnyThread;
    g_shell.host.post_click = PostClickFromAnyThread;
  }
  ShellStartModules(fe.window);
  ShellStartWebDisplay();
  PaintFrame();
  Present();
  const int code = Run(options);
  ShellStopWebDisplay();
  ShellStopListener();
  g_shell.host = ShellHost{};
  if (fe.wake_fd >= 0)
    ::close(fe.wake_fd);
  SDL_FreeSurface(fe.frame_view);
  FreeFrameBuffer(fe.frame);
  SDL_DestroyWindow(fe.window);
  SDL_Quit();
  return code;
}
