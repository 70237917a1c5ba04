// protocol.h: the KESTREL datagram kinds, their prefixes and the texts this program sends.
#pragma once

#include <cstddef>

enum MessageKind : int {
  kUnknown = -1,
  kMonitor = 1,
  kRouteTo = 2,
  kRoute = 3,
  kTag = 4,
  kAgmTag = 5,
  kFail = 6,
  kSquad = 7,
};

constexpr const char *kMonitorPrefix = "KESTREL MONITOR:";
constexpr const char *kRouteToPrefix = "KESTREL ROUTE_TO:";
constexpr const char *kRoutePrefix = "KESTREL ROUTE:";
constexpr const char *kTagPrefix = "KESTREL TAG:";
constexpr const char *kAgmTagPrefix = "KESTREL AGMTAG:";
constexpr const char *kFailPrefix = "KESTREL FAIL:";
constexpr const char *kSquadPrefix = "KESTREL SQUAD:";

// The full formats, read with sscanf and written with snprintf.
constexpr const char *kMonitorFormat = "KESTREL MONITOR:Lat=%lf,Long=%lf,Compass=%lf,Alt=%lf";
constexpr const char *kRouteFormat = "KESTREL ROUTE:%d,Lat=%lf,Long=%lf,Type=%d";
constexpr const char *kRouteToFormat = "KESTREL ROUTE_TO:Lat=%lf,Long=%lf";
constexpr const char *kTagFormat = "KESTREL TAG:Lat=%lf,Long=%lf,Symb=%d,Squad=%d,Pilot=%d,Type=0";
constexpr const char *kAgmTagFormat = "KESTREL AGMTAG:Lat=%lf,Long=%lf";
constexpr const char *kFailFormat = "KESTREL FAIL: %63s %d";
constexpr const char *kSquadFormat = "KESTREL SQUAD:Lat=%lf,Long=%lf,Compass=%lf,Alt=%lf,Squad=%d,Pilot=%d,Type=0";

constexpr size_t kDatagramLimit = 576;   // bytes of a datagram that are received
constexpr size_t kTagTextCapacity = 127; // a TAG text is at most 126 characters
constexpr size_t kSquadTextCapacity = 1500;

// True when text begins with prefix; a shorter text does not match.
bool HasPrefix(const char *text, const char *prefix);
MessageKind ClassifyDatagram(const char *text);

// Packs the three one-byte symbol fields into the 24-bit Symb value; the middle one counts as signed.
int PackSymbol(int first, signed char second, int third);
void UnpackSymbol(int symb, int &first, signed char &second, int &third);

// The TAG text of a tag; false when it would not fit in kTagTextCapacity.
bool FormatTagText(char *out, size_t capacity, double latitude, double longitude, int symb, int squad, int pilot);

// The SQUAD text forwarded from a received MONITOR text: the run of non-blank characters after the
// MONITOR prefix, as the simulator wrote it, then this station's squad and pilot numbers.
bool FormatSquadText(char *out, size_t capacity, const char *monitor_text, int squad, int pilot);
