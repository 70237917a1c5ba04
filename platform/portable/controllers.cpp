// controllers.cpp: portable implementation of controllers.h: game controllers read as SDL joysticks by index.
#include "platform/controllers.h"

#include <SDL.h>

#include <map>
#include <mutex>

namespace {

// Joysticks are opened on first read and kept open, so that each poll is a state read, not a device open.
struct Controllers {
  std::mutex lock;
  bool tried = false;
  bool ready = false;
  std::map<int, SDL_Joystick *> open;
};

Controllers controllers;

bool InitJoysticks() {
  if (!controllers.tried) {
    controllers.tried = true;
    controllers.ready = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  }
  return controllers.ready;
}

SDL_Joystick *Joystick(int device_id) {
  auto found = controllers.open.find(device_id);
  if (found != controllers.open.end()) {
    if (SDL_JoystickGetAttached(found->second))
      return found->second;
    // Unplugged: forget it, so that a device plugged in at this index later is opened afresh.
    SDL_JoystickClose(found->second);
    controllers.open.erase(found);
  }
  if (device_id < 0 || device_id >= SDL_NumJoysticks())
    return nullptr;
  SDL_Joystick *joystick = SDL_JoystickOpen(device_id);
  if (joystick != nullptr)
    controllers.open[device_id] = joystick;
  return joystick;
}

} // namespace

bool ReadControllerButtons(int device_id, uint32_t &mask) {
  std::lock_guard hold(controllers.lock);
  if (!InitJoysticks())
    return false;
  SDL_JoystickUpdate();
  SDL_Joystick *joystick = Joystick(device_id);
  if (joystick == nullptr)
    return false;
  const int buttons = SDL_JoystickNumButtons(joystick);
  mask = 0;
  for (int b = 0; b < buttons && b < 32; ++b)
    if (SDL_JoystickGetButton(joystick, b))
      mask |= uint32_t{1} << b;
  return true;
}
