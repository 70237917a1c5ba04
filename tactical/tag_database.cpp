// tag_database.cpp: storing, selecting, erasing and clearing tags; the AGM mark.
#include "tactical/tag_database.h"

#include <algorithm>

#include "base/settings.h"
#include "base/wide_text.h"
#include "map/calibration_grid.h"
#include "map/projection.h"
#include "status/event_codes.h"
#include "status/event_log.h"
#include "tactical/squad_group.h"
#include "wire/outbox.h"
#include "wire/protocol.h"

TagDatabase g_tag_database;

namespace {
constexpr int32_t kCannotSendLifetime = 20;

// The record whose number is the selection, the root standing for none; null when no record has it.
TagRecord *SelectedRecord(TagDatabase &tags) {
  for (TagRecord *t = &tags.root; t != nullptr; t = t->next)
    if (t->number == tags.selected)
      return t;
  return nullptr;
}
} // namespace

void InitTagDatabase(TagDatabase &tags, int window_width, SquadGroup &squad) {
  ClearTags(tags);
  tags.counter = 0;
  tags.root = TagRecord{};
  CopyWide(tags.root.name, kTagNameCapacity, L"TI_Root");
  tags.new_symbol = TagSymbol{};
  tags.agm = TagRecord{};
  CopyWide(tags.agm.name, kTagNameCapacity, L"AGM");
  tags.selected = 0;
  tags.text_height = window_width * 17 / 520;
  tags.large_font_height = tags.text_height;
  tags.small_font_height = 2 * tags.text_height / 3;
  tags.symbol_size = 2 * tags.text_height;
  tags.squad_group = &squad;
  tags.sync = 0;
  tags.joined = 0;
}

int32_t AddTag(TagDatabase &tags, int32_t squad, int32_t pilot, TagSymbol symbol, double latitude, double longitude,
               Outbox &outbox) {
  if (PositionTaken(tags.positions, latitude, longitude))
    return 0;
  auto *tag = new TagRecord;
  tag->number = ++tags.counter;
  tag->squad = squad;
  tag->pilot = pilot;
  tag->latitude = latitude;
  tag->longitude = longitude;
  tag->symbol = symbol;
  FormatWide(tag->name, kTagNameCapacity, L"TAG #%u", tag->number);
  (tags.tail != nullptr ? tags.tail : &tags.root)->next = tag;
  tags.tail = tag;
  ++tags.count;
  KeepPosition(tags.positions, latitude, longitude);
  tags.places.push_back(TagPlace{tag, 0, 0, 0, false, squad, tag->number, ++tags.sequence, false});

  const int32_t own_squad = tags.squad_group->squad_number;
  if (squad == 0) {
    if (own_squad != kBroadcastSquad) {
      SendTagToRecipients(*tag, tags, outbox);
    } else {
      PostBroadcastRefusal();
    }
  }
  return squad == own_squad ? static_cast<int32_t>(tag->number) : -1;
}

void PostBroadcastRefusal() {
  PostEvent(kCodeCannotSend, L"! CAN NOT SEND TAG", kCannotSendLifetime);
  PostEvent(kCodeCannotSend, L"ON BROADCAST SQUAD !", kCannotSendLifetime);
}

void SelectNextTag(TagDatabase &tags, const CalibrationGrid &grid) {
  const TagRecord *current = SelectedRecord(tags);
  const TagRecord *candidate = current != nullptr ? current->next : nullptr;
  int32_t x = 0, y = 0;
  if (candidate == nullptr || !GeoToMapPixel(&grid, candidate->latitude, candidate->longitude, &x, &y)) {
    tags.selected = 0;
    return;
  }
  tags.selected = candidate->number;
  RemoveEvents(kCodeIncomingTag + candidate->number);
}

void EraseSelectedTag(TagDatabase &tags) {
  if (tags.selected == 0)
    return;
  for (TagRecord *before = &tags.root; before->next != nullptr; before = before->next) {
    TagRecord *tag = before->next;
    if (tag->number != tags.selected)
      continue;
    before->next = tag->next;
    tags.selected = tag->next != nullptr ? tag->next->number : 0;
    if (tags.tail == tag)
      tags.tail = before != &tags.root ? before : nullptr;
    --tags.count;
    ForgetPosition(tags.positions, tag->latitude, tag->longitude);
    const auto place =
        std::find_if(tags.places.begin(), tags.places.end(), [tag](const TagPlace &p) { return p.tag == tag; });
    if (place->filed)
      UnfileItem(tags.squares, place->x, place->y, place->sequence);
    if (static_cast<size_t>(place - tags.places.begin()) < tags.filed_count)
      --tags.filed_count;
    tags.places.erase(place);
    delete tag;
    return;
  }
}

void ClearTags(TagDatabase &tags) {
  // The numbers start again at 1, so a selection kept across the clear would pick the next new tag #1 (for
  // the steering line, and for ERASE TAG).
  tags.selected = 0;
  if (tags.root.next == nullptr)
    return;
  for (TagRecord *t = tags.root.next; t != nullptr;) {
    TagRecord *next = t->next;
    RemoveEvents(kCodeIncomingTag + t->number);
    delete t;
    t = next;
  }
  tags.root.next = nullptr;
  tags.tail = nullptr;
  tags.count = 0;
  tags.positions.clear();
  tags.places.clear();
  ClearBuckets(tags.squares);
  tags.filed_count = 0;
  tags.counter = 0;
}

int CountTags(const TagDatabase &tags) { return tags.count; }

bool PlaceTag(TagPlace &place, const CalibrationGrid &grid, uint64_t revision) {
  if (revision != 0 && place.placed_on == revision)
    return place.on_map;
  int32_t x = 0, y = 0;
  place.on_map = GeoToMapPixel(&grid, place.tag->latitude, place.tag->longitude, &x, &y);
  place.x = x;
  place.y = y;
  place.placed_on = revision;
  return place.on_map;
}

void FileTagPlaces(TagDatabase &tags, const CalibrationGrid &grid) {
  const uint64_t revision = GridRevision(&grid);
  // A grid linked by hand (revision 0) may have changed since any earlier call.
  if (revision == 0 || revision != tags.filed_on) {
    ClearBuckets(tags.squares);
    for (TagPlace &place : tags.places)
      place.filed = false;
    tags.filed_count = 0;
    tags.filed_on = revision;
  }
  for (; tags.filed_count < tags.places.size(); ++tags.filed_count) {
    TagPlace &place = tags.places[tags.filed_count];
    place.filed = PlaceTag(place, grid, revision);
    if (place.filed)
      FileItem(tags.squares, place.x, place.y, place.sequence);
  }
}

const TagRecord *FindTag(const TagDatabase &tags, uint32_t number) {
  for (const TagRecord *t = tags.root.next; t != nullptr; t = t->next)
    if (t->number == number)
      return t;
  return nullptr;
}

void SetAgmMark(TagDatabase &tags, double latitude, double longitude) {
  tags.agm.latitude = latitude;
  tags.agm.longitude = longitude;
  tags.agm.squad = kAgmShown;
}

void AgeAgmMark(TagDatabase &tags, int32_t &agm_age) {
  if (agm_age > 2)
    tags.agm.squad = 0;
  ++agm_age;
}

bool AgmMarkShown(const TagDatabase &tags) { return tags.agm.squad == kAgmShown; }

void SendTagToRecipients(const TagRecord &tag, const TagDatabase &tags, Outbox &outbox) {
  if (tags.joined == 0)
    return;
  const int symb = PackSymbol(tag.symbol.affiliation, tag.symbol.symbol_class, tag.symbol.category);
  char text[kTagTextCapacity];
  if (!FormatTagText(text, sizeof text, tag.latitude, tag.longitude, symb, tags.squad_group->squad_number,
                     tags.squad_group->own_pilot))
    return;
  outbox.tags.push_back(OutgoingTag{tag.number, text});
}
