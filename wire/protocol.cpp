// protocol.cpp: recognising datagrams by their prefix and building the texts sent to peers.
#include "wire/protocol.h"

#include <cstdio>
#include <cstring>

bool HasPrefix(const char *text, const char *prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

MessageKind ClassifyDatagram(const char *text) {
  // Tested in this order; no prefix of the table is a prefix of another, so the order only matters
  // for speed and for peers that rely on it.
  static constexpr struct {
    const char *prefix;
    MessageKind kind;
  } kKinds[] = {
      {kMonitorPrefix, kMonitor}, {kRouteToPrefix, kRouteTo}, {kRoutePrefix, kRoute}, {kTagPrefix, kTag},
      {kAgmTagPrefix, kAgmTag},   {kFailPrefix, kFail},       {kSquadPrefix, kSquad},
  };
  for (const auto &k : kKinds)
    if (HasPrefix(text, k.prefix))
      return k.kind;
  return kUnknown;
}

int PackSymbol(int first, signed char second, int third) {
  const unsigned packed =
      (static_cast<unsigned>(first) * 256u + static_cast<unsigned>(static_cast<int>(second))) * 256u +
      static_cast<unsigned>(third);
  return static_cast<int>(packed & 0xFFFFFFu);
}

void UnpackSymbol(int symb, int &first, signed char &second, int &third) {
  const unsigned bits = static_cast<unsigned>(symb);
  first = static_cast<int>((bits >> 16) & 0xFF);
  second = static_cast<signed char>((bits >> 8) & 0xFF);
  third = static_cast<int>(bits & 0xFF);
}

bool FormatTagText(char *out, size_t capacity, double latitude, double longitude, int symb, int squad, int pilot) {
  const int n = std::snprintf(out, capacity, kTagFormat, latitude, longitude, symb, squad, pilot);
  return n >= 0 && static_cast<size_t>(n) < capacity && static_cast<size_t>(n) < kTagTextCapacity;
}

bool FormatSquadText(char *out, size_t capacity, const char *monitor_text, int squad, int pilot) {
  if (!HasPrefix(monitor_text, kMonitorPrefix))
    return false;
  const char *fields = monitor_text + std::strlen(kMonitorPrefix);
  // The run is taken as %s takes it: white space before it is skipped.
  fields += std::strspn(fields, " \t\n\v\f\r");
  const size_t run = std::strcspn(fields, " \t\n\v\f\r");
  const int n = std::snprintf(out, capacity, "%s%.*s,Squad=%d,Pilot=%d,Type=0", kSquadPrefix, static_cast<int>(run),
                              fields, squad, pilot);
  return n >= 0 && static_cast<size_t>(n) < capacity;
}
