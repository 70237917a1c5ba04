// tag_database.h: the tactical tags placed here or received from the squad, the AGM mark and the
// new-tag symbol.
#pragma once

#include <cstdint>
#include <vector>

#include "map/position_set.h"
#include "map/spatial_buckets.h"

struct CalibrationGrid;
struct Outbox;
struct SquadGroup;

constexpr int kTagNameCapacity = 16; // wide characters, terminator included
constexpr int32_t kAgmShown = 1000;  // the AGM state while the mark is shown

// Three one-byte fields as the TAG datagram carries them; a received tag may hold any byte value.
struct TagSymbol {
  int32_t affiliation = 0;      // 0 unknown, 1 enemy, 2 friend, 3 neutral
  signed char symbol_class = 0; // 1 ground, 2 air
  int32_t category = 0;         // 0 UNKN, 1 AAA, 2 ARMOR, 3 M.INF, 4 AIRBN
};

struct TagRecord {
  uint32_t number = 0; // 1, 2, 3, ... in order of storing; 0 only in the root
  int32_t squad = 0;   // 0 for a tag made here, else the sender's squad number
  int32_t pilot = 0;   // the own pilot number for a tag made here, else the sender's
  wchar_t name[kTagNameCapacity] = {};
  double latitude = 0.0;
  double longitude = 0.0;
  TagSymbol symbol;
  TagRecord *next = nullptr;
};

// Where the map shows one tag, in a compact array in list order that a paint reads instead of walking the records:
// the bitmap pixel, worked out on the grid of revision placed_on (0: not yet) and kept, so that a paint projects only
// the tags it has not placed on that grid before; and what decides whether the tag is drawn at all.
struct TagPlace {
  TagRecord *tag = nullptr;
  uint64_t placed_on = 0;
  int32_t x = 0, y = 0;
  bool on_map = false;
  int32_t squad = 0;
  uint32_t number = 0;
  uint64_t sequence = 0; // rises along the list, never reused: the key the map's squares file the tag by
  bool filed = false;    // filed in the squares at (x, y)
};

struct TagDatabase {
  uint32_t counter = 0;              // number of the last tag stored
  TagRecord root;                    // "TI_Root": fixed head, never drawn, sent or deleted
  TagSymbol new_symbol;              // the symbol of the next tag made here
  TagRecord agm;                     // "AGM": its squad field holds the AGM state, kAgmShown while shown
  uint32_t selected = 0;             // number of the selected tag; 0 none
  int32_t large_font_height = 13;    // the tag text height
  int32_t small_font_height = 8;     // 2/3 of it
  SquadGroup *squad_group = nullptr; // source of the squad number and the own pilot number
  int32_t symbol_size = 26;          // twice the tag text height
  int32_t sync = 0;                  // 1 while MONITOR keeps the TAGGING view on the ownship
  int32_t text_height = 13;
  int32_t joined = 0;        // copy of the squad group's joined flag
  TagRecord *tail = nullptr; // the last tag; null when there is none
  int32_t count = 0;
  PositionSet positions;        // of every tag, for the duplicate test
  std::vector<TagPlace> places; // of every tag, in list order
  uint64_t sequence = 0;        // of the last tag stored
  // The tags on the map, filed by bitmap square for the grid of revision filed_on; the first filed_count places have
  // been looked at.
  SpatialBuckets squares;
  uint64_t filed_on = 0;
  size_t filed_count = 0;
};

extern TagDatabase g_tag_database;

// Empties the database and sets every field to its start value; links the squad group. Call after the
// squad group is initialised.
void InitTagDatabase(TagDatabase &tags, int window_width, SquadGroup &squad);

// Stores a tag unless one stands at exactly the same latitude and longitude (result 0). A tag with squad
// 0 is one made here: it is queued for the peers in outbox, or refused with two messages on the
// broadcast squad. Returns the new number when squad is the own squad number, else -1.
int32_t AddTag(TagDatabase &tags, int32_t squad, int32_t pilot, TagSymbol symbol, double latitude, double longitude,
               Outbox &outbox);

// SELECT TAG: the tag after the selected one (the first when none is) becomes selected when it lies on
// the loaded map, and its incoming-tag message goes; otherwise nothing is selected.
void SelectNextTag(TagDatabase &tags, const CalibrationGrid &grid);

// ERASE TAG: deletes the selected tag and selects the one after it, or none. Numbers are not reused.
void EraseSelectedTag(TagDatabase &tags);

// Deletes every tag with its incoming-tag messages and sets the counter to 0; an empty list keeps the
// counter as it is. Nothing is selected afterwards.
void ClearTags(TagDatabase &tags);

int CountTags(const TagDatabase &tags);
// Where the map shows the tag, through the grid of that revision (GridRevision); false when it lies off the grid. Kept
// for the revision, so only a changed grid projects the tag again.
bool PlaceTag(TagPlace &place, const CalibrationGrid &grid, uint64_t revision);
// Files every tag that lies on the grid in the squares of its bitmap position: after a change of grid all of them
// again, otherwise those stored since the last call.
void FileTagPlaces(TagDatabase &tags, const CalibrationGrid &grid);
const TagRecord *FindTag(const TagDatabase &tags, uint32_t number);

// Queues the TAG datagram of a tag for every tag peer, unless the database's joined copy is 0. Runs under the
// shared-data lock: the datagrams leave when the outbox is flushed after the lock is released (FlushOutbox).
void SendTagToRecipients(const TagRecord &tag, const TagDatabase &tags, Outbox &outbox);

// Tags are never sent from the broadcast squad: "! CAN NOT SEND TAG" then "ON BROADCAST SQUAD !".
void PostBroadcastRefusal();

// An AGMTAG arrived: the mark moves there and is shown.
void SetAgmMark(TagDatabase &tags, double latitude, double longitude);
// The once-a-second step: the mark goes out when the age was already above 2; the age then grows by one.
void AgeAgmMark(TagDatabase &tags, int32_t &agm_age);
bool AgmMarkShown(const TagDatabase &tags);
