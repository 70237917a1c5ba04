// bezel_input.h: reading the MFD bezel and the flight stick, the click sound, and the panning of the TAGGING view while
// a direction button is held.
#pragma once

#include <cstdint>

// The device reads and the click go through these, so that tests can stand in for the hardware.
extern bool (*g_controller_reader)(int device_id, uint32_t &mask);
extern void (*g_click_player)(const wchar_t *path);

// The lowest pressed button (1..32) of a controller; 0 when none is pressed or the device cannot be read.
int32_t ReadJoystickButton(int device_id);

// The bezel's button; while the bezel reports none and the stick is a device of its own, the stick's button as
// stick_meaning translates it (0: no button). The stick is thus only read while the bezel is idle.
int32_t ReadBezelButton(int32_t (*stick_meaning)(int32_t stick_button));

// The click (ClickSoundPath), without waiting; a new click cuts the previous one.
void PlayClickSound();

// Pans the TAGGING view while button 9 to 12 (or a stick direction) is held: from the pending press when from_user,
// from the devices otherwise. True when the view moved. No edge detection: every call with a direction held moves the
// view once more.
bool PollCursorButtons(bool from_user);
