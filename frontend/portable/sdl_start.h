// sdl_start.h: starting SDL the way the portable program needs it, for the program and for the tests that check it.
#pragma once

#include <string>

// Sets the hints that must be in place before SDL starts, then starts its video and timer parts. False,
// with the reason in error, when SDL cannot start or when the only video SDL found is one that shows nothing (no
// display server answered) and nobody asked for that with SDL_VIDEODRIVER: a display nobody can see, holding the
// UDP port, would leave the pilot guessing.
bool StartSdl(std::string &error);
