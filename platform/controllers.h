// controllers.h: game controllers (the MFD bezel and the flight stick) read as button masks.
#pragma once

#include <cstdint>

// Bit n-1 set means button n is pressed. False when the device cannot be read.
bool ReadControllerButtons(int device_id, uint32_t &mask);
