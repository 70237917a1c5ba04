// web_display.cpp: the web display's requests, its frames and its start-up line.
#include "display/web_display.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "display/composed_frame.h"
#include "platform/diagnostics.h"
#include "platform/host_addresses.h"
#include "platform/png_writer.h"

namespace {

// How long a request for a new frame waits before it answers that nothing changed. The display paints at least
// once a second, so a wait this long that saw no frame composed at all means the display has stopped painting.
constexpr auto kFrameWait = std::chrono::milliseconds(2000);

struct WebFrames {
  std::mutex lock; // over everything below
  std::condition_variable encoded;
  bool running = false;
  bool stopping = false;
  bool control = false;
  int width = 0, height = 0; // the window's, the bounds of a tap
  WebDisplayHooks hooks;
  // One request at a time copies and encodes a newer composed frame, without the lock; the others wait for it.
  bool encoding = false;
  uint64_t source = 0;          // number of the composed frame last looked at
  std::vector<uint32_t> pixels; // of the frame in png
  int pixels_width = 0, pixels_height = 0;
  ComposedFrame next; // the newest frame taken from the store; its buffer goes back to the store at the next take
  PngWriter writer;   // its buffers kept from frame to frame
  uint64_t version = 0;
  std::shared_ptr<const std::string> png;
};

WebFrames &Frames() {
  static WebFrames frames;
  return frames;
}

// Takes the newest composed frame and, when its pixels differ from the last one's, encodes it and counts a new
// version. Called with the lock held; releases it for the encoding, while encoding is set.
void EncodeNewestFrame(WebFrames &frames, std::unique_lock<std::mutex> &hold) {
  frames.encoding = true;
  ComposedFrame &next = frames.next;
  next.number = frames.source;
  hold.unlock();
  // Only the request that set encoding uses next, pixels, png, source and the writer, so they may be used here
  // unlocked.
  std::shared_ptr<std::string> png;
  if (TakeComposedFrame(next) &&
      !(next.width == frames.pixels_width && next.height == frames.pixels_height && next.pixels == frames.pixels)) {
    png = std::make_shared<std::string>();
    if (!frames.writer.Encode(next.pixels.data(), next.width, next.height, *png))
      png = nullptr;
  }
  hold.lock();
  frames.encoding = false;
  frames.source = next.number;
  if (png != nullptr) {
    frames.pixels.swap(next.pixels);
    frames.pixels_width = next.width;
    frames.pixels_height = next.height;
    frames.png = std::move(png);
    ++frames.version;
  }
  frames.encoded.notify_all();
}

// Plain decimal digits only, no sign or blank, at most max_digits of them (so that the value cannot overflow).
bool ParseDigits(const std::string &text, size_t max_digits, uint64_t &value) {
  if (text.empty() || text.size() > max_digits || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::stoull(text);
  return true;
}

const std::string *Field(const HttpRequest &request, const char *name, int &count) {
  const std::string *found = nullptr;
  count = 0;
  for (const auto &[key, value] : request.fields) {
    if (key == name) {
      found = &value;
      ++count;
    }
  }
  return found;
}

void Plain(HttpResponse &response, int status, const std::string &text) {
  response.status = status;
  response.content_type = "text/plain; charset=utf-8";
  response.body = text + "\n";
}

void ServeFrame(const HttpRequest &request, HttpResponse &response) {
  int count = 0;
  const std::string *after_text = Field(request, "after", count);
  uint64_t after = 0;
  if (after_text != nullptr) {
    if (count > 1 || !ParseDigits(*after_text, 19, after)) {
      Plain(response, 400, "after: the number of the frame the page shows");
      return;
    }
  }
  const uint64_t composed = ComposedFrameCount();
  WebFrame frame;
  response.headers.emplace_back("Cache-Control", "no-store");
  switch (NextWebFrame(after, kFrameWait, frame)) {
  case WebFrameWait::kFrame:
    response.status = 200;
    response.content_type = "image/png";
    response.body = *frame.png;
    response.headers.emplace_back("X-Frame", std::to_string(frame.version));
    return;
  case WebFrameWait::kUnchanged:
    response.status = 204;
    response.headers.emplace_back("X-Frame", std::to_string(after));
    response.headers.emplace_back("X-Display", ComposedFrameCount() == composed ? "stalled" : "painting");
    return;
  case WebFrameWait::kStopping:
    Plain(response, 503, "KESTREL is ending");
    return;
  }
}

void ServePress(const HttpRequest &request, HttpResponse &response) {
  WebFrames &frames = Frames();
  bool control = false;
  int width = 0, height = 0;
  WebDisplayHooks hooks;
  {
    std::lock_guard hold(frames.lock);
    control = frames.control;
    width = frames.width;
    height = frames.height;
    hooks = frames.hooks;
  }
  if (!control) {
    Plain(response, 403, "this display only shows: \"Web Control\" is 0");
    return;
  }
  int x_count = 0, y_count = 0, x = 0, y = 0;
  const std::string *x_text = Field(request, "x", x_count);
  const std::string *y_text = Field(request, "y", y_count);
  if (x_count != 1 || y_count != 1 || !ParseTapCoordinate(*x_text, width, x) ||
      !ParseTapCoordinate(*y_text, height, y)) {
    Plain(response, 400,
          "a press is a form with x from 0 to " + std::to_string(width - 1) + " and y from 0 to " +
              std::to_string(height - 1) + ", in window pixels");
    return;
  }
  if (hooks.post_click == nullptr || !hooks.post_click(x, y)) {
    Plain(response, 503, "the display cannot take the press now");
    return;
  }
  response.status = 204;
}

std::string AddressLine(int port) {
  std::string line = "web display:";
  for (const std::string &address : LocalIPv4Addresses())
    line += " http://" + address + ":" + std::to_string(port) + "/";
  return line;
}

} // namespace

bool ParseTapCoordinate(const std::string &text, int limit, int &value) {
  uint64_t parsed = 0;
  if (limit <= 0 || !ParseDigits(text, 5, parsed) || parsed >= static_cast<uint64_t>(limit))
    return false;
  value = static_cast<int>(parsed);
  return true;
}

WebFrameWait NextWebFrame(uint64_t after, std::chrono::milliseconds wait, WebFrame &out) {
  WebFrames &frames = Frames();
  const auto deadline = std::chrono::steady_clock::now() + wait;
  // The composed frames are kept only while a request waits here, and for a moment after: with no browser, a paint
  // costs no copy and no encoding, and a browser that asks for its next frame soon after its last finds the frames
  // composed in between. Frames composed while nobody watched are lost, so a request that finds some (the first of
  // a new browser) asks for a fresh one rather than wait for the display's next change.
  struct Watch {
    Watch() { WatchComposedFrames(true); }
    ~Watch() { WatchComposedFrames(false); }
  } watch;
  void (*request_frame)() = nullptr;
  {
    std::lock_guard hold(frames.lock);
    request_frame = frames.running && !frames.stopping ? frames.hooks.request_frame : nullptr;
  }
  if (request_frame != nullptr && ComposedFrameCount() > PublishedFrameNumber())
    request_frame();
  std::unique_lock hold(frames.lock);
  const auto answer = [&] {
    if (frames.version <= after || frames.png == nullptr)
      return WebFrameWait::kUnchanged;
    out.version = frames.version;
    out.png = frames.png;
    return WebFrameWait::kFrame;
  };
  for (;;) {
    if (frames.stopping || !frames.running)
      return WebFrameWait::kStopping;
    if (frames.encoding) { // the newest frame is being encoded: that is the one to send
      if (frames.encoded.wait_until(hold, deadline) == std::cv_status::timeout)
        return answer();
      continue;
    }
    // First bring the encoded frame up to the newest composed one.
    const uint64_t source = frames.source;
    hold.unlock();
    const bool newer = WaitComposedFrame(source, std::chrono::milliseconds(0));
    hold.lock();
    if (newer) {
      if (!frames.encoding && frames.source == source && !frames.stopping)
        EncodeNewestFrame(frames, hold);
      continue;
    }
    if (answer() == WebFrameWait::kFrame || std::chrono::steady_clock::now() >= deadline)
      return answer();
    hold.unlock();
    WaitComposedFrame(source,
                      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
    hold.lock();
  }
}

void HandleWebRequest(const HttpRequest &request, HttpResponse &response) {
  const bool get = request.method == "GET";
  if (get && (request.path == "/" || request.path == "/index.html")) {
    bool control = false;
    {
      std::lock_guard hold(Frames().lock);
      control = Frames().control;
    }
    response.status = 200;
    response.content_type = "text/html; charset=utf-8";
    response.body = WebDisplayPage(control);
    response.headers.emplace_back("Cache-Control", "no-store");
    return;
  }
  if (get && request.path == "/frame.png") {
    ServeFrame(request, response);
    return;
  }
  if (request.method == "POST" && request.path == "/press") {
    ServePress(request, response);
    return;
  }
  Plain(response, 404, "not here: the display is at /");
}

bool StartWebDisplayOn(int port, bool control, bool loopback_only, int window_width, int window_height,
                       const WebDisplayHooks &hooks, int timeout_seconds) {
  WebFrames &frames = Frames();
  {
    std::lock_guard hold(frames.lock);
    if (frames.running)
      return false;
    frames.stopping = false;
    frames.encoding = false;
    frames.source = 0;
    frames.pixels.clear();
    frames.pixels_width = frames.pixels_height = 0;
    frames.next = ComposedFrame{};
    frames.png = nullptr; // versions go on counting, so that a page left open never takes a new frame for old
    frames.control = control;
    frames.width = window_width;
    frames.height = window_height;
    frames.hooks = hooks;
    frames.running = true;
  }
  std::string why;
  if (!StartHttpServer(port, loopback_only, HandleWebRequest, &why, timeout_seconds)) {
    WriteDiagnostic("web display: " + why + "; the web display is off");
    StopWebDisplay();
    return false;
  }
  if (hooks.request_frame != nullptr)
    hooks.request_frame(); // the first viewer need not wait for the next repaint
  return true;
}

void StartWebDisplay(const WebSettings &settings, int window_width, int window_height, const WebDisplayHooks &hooks) {
  if (settings.port == 0)
    return;
  if (StartWebDisplayOn(settings.port, settings.control != 0, false, window_width, window_height, hooks))
    WriteDiagnostic(AddressLine(settings.port) + (settings.control != 0 ? " (taps press buttons)" : " (view only)"));
}

int WebDisplayPort() { return HttpServerPort(); }

void StopWebDisplay() {
  WebFrames &frames = Frames();
  {
    std::lock_guard hold(frames.lock);
    if (!frames.running)
      return;
    frames.stopping = true;
  }
  frames.encoded.notify_all();
  WakeComposedFrameWaiters();
  StopHttpServer();
  std::lock_guard hold(frames.lock);
  frames.running = false;
}
