// squad_group.h: this station's squad identity, whether it takes part, and the peers it has heard of.
#pragma once

#include <cstdint>
#include <unordered_map>

constexpr int32_t kBroadcastSquad = 99; // sees every peer and every tag, sends no tags
constexpr int kSquadNameCapacity = 15;  // wide characters, terminator included

struct SquadMember {
  int32_t sequence = 0; // the member counter when the member was added
  int32_t pilot = 0;    // the key: one member per pilot number
  int32_t squad = 0;
  double altitude = 0.0; // metres in steps of 50 with "Unit KM", else the flight level
  double heading = 0.0;  // radians clockwise from north
  uint32_t age = 0;      // seconds since the latest report
  wchar_t name[kSquadNameCapacity] = {};
  double latitude = 0.0;
  double longitude = 0.0;
  // The position on the map bitmap, computed when the report arrived. A report outside the loaded map
  // has no position there: on_map is 0, the bitmap position is (0, 0) and the member is not drawn.
  int32_t bitmap_x = 0;
  int32_t bitmap_y = 0;
  int32_t on_map = 0;
  SquadMember *next = nullptr;
};

struct SquadGroup {
  int32_t squad_number = 1; // 1..99; not kept in the settings
  int32_t own_pilot = 1;    // 1..99, the "Pilot ID" setting
  SquadMember root;         // "SGI_Root": fixed head, never drawn or deleted
  int32_t member_counter = 0;
  int32_t text_height = 13; // h; the fonts are h, 2h/3 and h + 2 high
  int32_t small_font_height = 8;
  int32_t outline_font_height = 15;
  int32_t joined = 0;
  SquadMember *tail = nullptr; // the last member; null when there is none
  int32_t count = 0;
  std::unordered_map<int32_t, SquadMember *> by_pilot; // every member, by its pilot number
};

extern SquadGroup g_squad_group;

// Empties the group and sets every field to its start value; reads "Pilot ID" (outside 1..99 gives 1).
void InitSquadGroup(SquadGroup &group, int window_width);

// Refreshes the member of the report's pilot (position, altitude, heading, squad, age 0) or adds one.
// A report with the own pilot number is ignored.
void UpdateSquadMember(SquadGroup &group, const SquadMember &report);

// Appends a member for the report; returns its pilot number, or 0 when that pilot already has one.
int32_t AddSquadMember(SquadGroup &group, const SquadMember &report);

// Deletes every member and restarts the member counter.
void ClearSquadGroup(SquadGroup &group);

// One second passes for every member.
void AgeSquadMembers(SquadGroup &group);

int CountSquadMembers(const SquadGroup &group);
const SquadMember *FindSquadMember(const SquadGroup &group, int32_t pilot);

// PID - (down non-zero) and PID +: steps through 1..99 with wrap-around, writes "Pilot ID" and returns
// the new number. It is the one own pilot number: the squad reports, the tags sent and RESEND TAGS all use it.
int32_t StepPilotNumber(SquadGroup &group, int down);

// SQID - (down non-zero) and SQID +: steps through 1..99 with wrap-around; returns the new number.
int32_t StepSquadNumber(SquadGroup &group, int down);

// Joins (non-zero) or leaves the squad exchange and relabels JOIN SQUAD to name what a press will do.
void SetJoined(SquadGroup &group, int32_t joined);

// "DISJOIN SQUAD" while joined, "JOIN SQUAD" otherwise.
const wchar_t *JoinSquadLabel(int32_t joined);
