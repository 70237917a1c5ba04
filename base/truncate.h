// truncate.h: truncation toward zero of a double that may hold anything a datagram brought (a NaN, a heading or
// a zoom gone wild).
#pragma once

// Truncation toward zero; 0 for a value no int can hold, NaN included.
inline int Trunc(double value) {
  if (!(value > -2147483648.0 && value < 2147483648.0))
    return 0;
  return static_cast<int>(value);
}
