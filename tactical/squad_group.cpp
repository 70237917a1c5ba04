// squad_group.cpp: the squad identity, the joined flag and the list of squad members heard from.
#include "tactical/squad_group.h"

#include "base/settings.h"
#include "base/wide_text.h"
#include "mfd/page_table.h"

SquadGroup g_squad_group;

namespace {
constexpr int kJoinLabelButton = 16; // on the SQUAD GROUP page

SquadMember *FindMember(const SquadGroup &group, int32_t pilot) {
  const auto found = group.by_pilot.find(pilot);
  return found != group.by_pilot.end() ? found->second : nullptr;
}

// The values a report brings; sequence number and name stay with the member.
void CopyReport(SquadMember &member, const SquadMember &report) {
  member.altitude = report.altitude;
  member.latitude = report.latitude;
  member.longitude = report.longitude;
  member.bitmap_x = report.bitmap_x;
  member.bitmap_y = report.bitmap_y;
  member.on_map = report.on_map;
  member.squad = report.squad;
  member.heading = report.heading;
  member.age = 0;
}

// 1..99 with wrap-around; a value out of range, negative ones included, wraps like an unsigned one.
int32_t StepInRange(int32_t value, int down) {
  if (down != 0) {
    const auto lower = static_cast<uint32_t>(value) - 1u;
    return lower == 0 || lower > 99 ? 99 : static_cast<int32_t>(lower);
  }
  const auto higher = static_cast<uint32_t>(value) + 1u;
  return higher > 99 ? 1 : static_cast<int32_t>(higher);
}
} // namespace

void InitSquadGroup(SquadGroup &group, int window_width) {
  ClearSquadGroup(group);
  group.root = SquadMember{};
  CopyWide(group.root.name, kSquadNameCapacity, L"SGI_Root");
  group.text_height = window_width * 17 / 520;
  group.small_font_height = 2 * group.text_height / 3;
  group.outline_font_height = group.text_height + 2;
  group.own_pilot = ReadPilotNumber();
  group.squad_number = 1;
  group.joined = 0;
}

void UpdateSquadMember(SquadGroup &group, const SquadMember &report) {
  if (report.pilot == group.own_pilot)
    return;
  if (SquadMember *member = FindMember(group, report.pilot)) {
    CopyReport(*member, report);
    return;
  }
  AddSquadMember(group, report);
}

int32_t AddSquadMember(SquadGroup &group, const SquadMember &report) {
  if (FindMember(group, report.pilot) != nullptr)
    return 0;
  auto *member = new SquadMember;
  CopyReport(*member, report);
  member->sequence = ++group.member_counter;
  member->pilot = report.pilot;
  FormatWide(member->name, kSquadNameCapacity, L"%d", report.pilot);
  (group.tail != nullptr ? group.tail : &group.root)->next = member;
  group.tail = member;
  ++group.count;
  group.by_pilot.emplace(report.pilot, member);
  return report.pilot;
}

void ClearSquadGroup(SquadGroup &group) {
  for (SquadMember *m = group.root.next; m != nullptr;) {
    SquadMember *next = m->next;
    delete m;
    m = next;
  }
  group.root.next = nullptr;
  group.tail = nullptr;
  group.count = 0;
  group.by_pilot.clear();
  group.member_counter = 0;
}

void AgeSquadMembers(SquadGroup &group) {
  for (SquadMember *m = group.root.next; m != nullptr; m = m->next)
    ++m->age;
}

int CountSquadMembers(const SquadGroup &group) { return group.count; }

const SquadMember *FindSquadMember(const SquadGroup &group, int32_t pilot) { return FindMember(group, pilot); }

int32_t StepPilotNumber(SquadGroup &group, int down) {
  group.own_pilot = StepInRange(group.own_pilot, down);
  WritePilotNumber(group.own_pilot);
  return group.own_pilot;
}

int32_t StepSquadNumber(SquadGroup &group, int down) {
  group.squad_number = StepInRange(group.squad_number, down);
  return group.squad_number;
}

void SetJoined(SquadGroup &group, int32_t joined) {
  group.joined = joined;
  SetPageLabel(kPageSquad, kJoinLabelButton, JoinSquadLabel(joined));
}

const wchar_t *JoinSquadLabel(int32_t joined) { return joined != 0 ? L"DISJOIN SQUAD" : L"JOIN SQUAD"; }
