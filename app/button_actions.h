// button_actions.h: what every button does on every page.
#pragma once

#include <cstdint>

constexpr double kZoomStep = 1.414213; // one zoom step; deliberately not the exact square root of 2
constexpr double kZoomInLimit = 0.17;  // " + " works while the zoom is above this
constexpr double kZoomOutLimit = 5.6;  // " - " works while the zoom is below this

// The button seen by the previous call that was not ignored; 0: none.
extern int32_t g_last_dispatched_button;

// Acts once per change of the button seen: the pending press when from_user, the bezel (or the stick's tag button)
// otherwise. True when the display must be repainted at once: after every press (a new button other than 0). Runs with the shared-data lock held: a LOAD press only
// requests the map load and tag sends go to g_shell.outbox, both carried out by the entry point after it releases the
// lock.
bool DispatchButton(bool from_user);
