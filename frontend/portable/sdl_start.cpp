// sdl_start.cpp: SDL's start-up for the portable program: hints first, then the subsystems, then the display check.
#include "frontend/portable/sdl_start.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace {
// SDL falls back to these when no display server answers; they draw into memory only.
bool ShowsNothing(const char *driver) {
  return driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
                               std::strcmp(driver, "evdev") == 0);
}

std::string Environment(const char *name) {
  const char *value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string NoDisplayReason() {
  const std::string x11 = Environment("DISPLAY"), wayland = Environment("WAYLAND_DISPLAY");
  std::string reason;
  if (x11.empty() && wayland.empty())
    reason = "DISPLAY and WAYLAND_DISPLAY are not set";
  else if (!x11.empty())
    reason = "no X server answers at DISPLAY=" + x11;
  else
    reason = "no Wayland compositor answers at WAYLAND_DISPLAY=" + wayland;
  return "no display to show the window on (" + reason +
         "); to run without a screen on purpose, set SDL_VIDEODRIVER=offscreen";
}
} // namespace

bool StartSdl(std::string &error) {
  // The bezel sits beside the simulator, which has the keyboard focus while the pilot flies: without this hint SDL
  // drops every joystick press made while none of our windows has the focus, and the bezel goes dead.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  // The joysticks start later, on the first read of the bezel (platform/portable/controllers.cpp): a machine
  // without any still shows the display.
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    error = std::string("SDL cannot start: ") + SDL_GetError();
    return false;
  }
  if (Environment("SDL_VIDEODRIVER").empty() && ShowsNothing(SDL_GetCurrentVideoDriver())) {
    error = NoDisplayReason();
    SDL_Quit();
    return false;
  }
  return true;
}
