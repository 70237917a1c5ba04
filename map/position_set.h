// position_set.h: the positions of a list, for the duplicate tests of tags and route points without a walk.
//
// A position is a duplicate when both its doubles equal a stored one's under ==: 0.0 and -0.0 are the same position,
// and a NaN equals nothing, so a position with a NaN is never a duplicate and is never kept here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <unordered_set>

struct ExactPosition {
  double latitude = 0.0;
  double longitude = 0.0;
  friend bool operator==(const ExactPosition &a, const ExactPosition &b) {
    return a.latitude == b.latitude && a.longitude == b.longitude;
  }
};

struct ExactPositionHash {
  // Equal positions must hash alike: -0.0 hashes as 0.0.
  static uint64_t Bits(double value) {
    if (value == 0.0)
      value = 0.0;
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
  }
  static uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15u;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    return x ^ (x >> 31);
  }
  size_t operator()(const ExactPosition &p) const noexcept {
    return static_cast<size_t>(Mix(Bits(p.latitude) ^ Mix(Bits(p.longitude))));
  }
};

using PositionSet = std::unordered_set<ExactPosition, ExactPositionHash>;

// Whether a position can equal another at all (no NaN in it).
inline bool IsComparablePosition(double latitude, double longitude) {
  return latitude == latitude && longitude == longitude;
}

inline bool PositionTaken(const PositionSet &set, double latitude, double longitude) {
  return IsComparablePosition(latitude, longitude) && set.contains(ExactPosition{latitude, longitude});
}

inline void KeepPosition(PositionSet &set, double latitude, double longitude) {
  if (IsComparablePosition(latitude, longitude))
    set.insert(ExactPosition{latitude, longitude});
}

inline void ForgetPosition(PositionSet &set, double latitude, double longitude) {
  if (IsComparablePosition(latitude, longitude))
    set.erase(ExactPosition{latitude, longitude});
}
