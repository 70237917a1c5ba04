// colours.h: the display's colours that more than one drawing uses.
#pragma once

#include "platform/canvas.h"

constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr Colour kWhite = Rgb(255, 255, 255);
constexpr Colour kYellow = Rgb(255, 255, 0);
constexpr Colour kGreen = Rgb(0, 255, 0); // texts, labels and outlines over the map
constexpr Colour kPlate = Rgb(0, 64, 0);  // the dark green behind a text that must stand out from the map
