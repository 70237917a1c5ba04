// web_display.h: the display in a browser: the page, the composed frames as PNG images, and taps that press
// buttons.
//
// The web display shows the frames the user-interface thread composes for the window (composed_frame.h),
// never a paint of its own. Its requests are served on the HTTP server's threads (platform/http_server.h),
// which never take the shared-data lock: a frame is taken out of the composed-frame store, encoded once for
// every viewer, and sent from that encoding; a tap is handed to the user-interface thread as a click.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "base/settings.h"
#include "platform/http_server.h"

// How the web display reaches the display it shows, handed to it when it starts: from the HTTP server's threads, a
// new frame soon (so that the first viewer need not wait for the next repaint) and a tap carried out as a left click
// on the user-interface thread (false when it cannot be handed over). Both must return at once; either may be null.
struct WebDisplayHooks {
  void (*request_frame)() = nullptr;
  bool (*post_click)(int x, int y) = nullptr;
};

// Starts the web display as the settings say (nothing when "Web Port" is 0) and writes its address line,
//   web display: http://192.168.1.20:8080/ http://127.0.0.1:8080/
// or why it could not start. window_width x window_height is the size of the frames, and the bounds of a tap.
void StartWebDisplay(const WebSettings &settings, int window_width, int window_height, const WebDisplayHooks &hooks);
// As StartWebDisplay, on port (0: any free one) and with the server's time limit, for tests; true when it serves.
bool StartWebDisplayOn(int port, bool control, bool loopback_only, int window_width, int window_height,
                       const WebDisplayHooks &hooks, int timeout_seconds = kHttpTimeoutSeconds);
// The port it serves on, or 0.
int WebDisplayPort();
// Ends every request waiting for a frame and stops the server; safe to call when it never started.
void StopWebDisplay();

// The page, with taps sent as presses (control) or not.
const std::string &WebDisplayPage(bool control);

// A tap's coordinate as the page sends it: decimal digits only (at most five), 0 <= value < limit.
bool ParseTapCoordinate(const std::string &text, int limit, int &value);

// Every request of the web display; the HTTP server's handler.
void HandleWebRequest(const HttpRequest &request, HttpResponse &response);

// The newest distinct frame as a PNG: frames the display composes again with the same pixels (the repaint
// every second) do not count, so an unchanged display costs a viewer nothing.
struct WebFrame {
  uint64_t version = 0; // distinct frames encoded so far; the page asks for one newer than it has
  std::shared_ptr<const std::string> png;
};
enum class WebFrameWait {
  kFrame,     // out holds a frame newer than after
  kUnchanged, // none came within the wait
  kStopping,  // the web display is stopping
};
WebFrameWait NextWebFrame(uint64_t after, std::chrono::milliseconds wait, WebFrame &out);
