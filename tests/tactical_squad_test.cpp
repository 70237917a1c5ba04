// tactical_squad_test.cpp: the squad identity, its wrap-around steps, and the member list.
#include <gtest/gtest.h>

#include "base/settings.h"
#include "support/test_env.h"
#include "tactical/squad_group.h"

namespace {
SquadMember Report(int32_t pilot, double latitude) {
  SquadMember report;
  report.pilot = pilot;
  report.squad = 3;
  report.latitude = latitude;
  report.bitmap_x = 120;
  report.on_map = 1;
  return report;
}

class SquadTest : public ::testing::Test {
protected:
  void SetUp() override {
    UseFreshSettingsStore();
    WriteSetting(L"Pilot ID", L"12");
    InitSquadGroup(g_squad_group, 425);
  }
  void TearDown() override { ClearSquadGroup(g_squad_group); }
};

TEST_F(SquadTest, NumbersWrapWithinOneToNinetyNineAndThePilotIsStored) {
  g_squad_group.own_pilot = 99;
  EXPECT_EQ(StepPilotNumber(g_squad_group, 0), 1);
  EXPECT_EQ(StepPilotNumber(g_squad_group, 1), 99);
  wchar_t text[kSettingTextCapacity];
  ReadSetting(L"Pilot ID", text);
  EXPECT_STREQ(text, L"99");
  g_squad_group.squad_number = 1;
  EXPECT_EQ(StepSquadNumber(g_squad_group, 1), 99);
  EXPECT_EQ(StepSquadNumber(g_squad_group, 0), 1);
  g_squad_group.squad_number = 0;
  EXPECT_EQ(StepSquadNumber(g_squad_group, 1), 99) << "below 1, even from a bad value";
  g_squad_group.squad_number = -5;
  EXPECT_EQ(StepSquadNumber(g_squad_group, 0), 1);
}

TEST_F(SquadTest, ReportsRefreshTheirPilotsMemberOrAddOne) {
  UpdateSquadMember(g_squad_group, Report(7, 43.1));
  UpdateSquadMember(g_squad_group, Report(8, 43.2));
  UpdateSquadMember(g_squad_group, Report(12, 43.3)); // the own pilot number
  ASSERT_EQ(CountSquadMembers(g_squad_group), 2);
  AgeSquadMembers(g_squad_group);
  SquadMember moved = Report(7, 43.4);
  moved.squad = 99;
  moved.on_map = 0;
  moved.bitmap_x = 0;
  UpdateSquadMember(g_squad_group, moved);
  const SquadMember *member = FindSquadMember(g_squad_group, 7);
  EXPECT_EQ(CountSquadMembers(g_squad_group), 2);
  EXPECT_EQ(member->latitude, 43.4);
  EXPECT_EQ(member->squad, 99);
  EXPECT_EQ(member->age, 0u);
  EXPECT_EQ(member->on_map, 0);
  EXPECT_EQ(member->sequence, 1) << "sequence number and name stay";
  EXPECT_STREQ(member->name, L"7");
  EXPECT_EQ(FindSquadMember(g_squad_group, 8)->age, 1u);
  EXPECT_EQ(AddSquadMember(g_squad_group, Report(8, 44.0)), 0);
  ClearSquadGroup(g_squad_group);
  EXPECT_EQ(AddSquadMember(g_squad_group, Report(9, 43.0)), 9);
  EXPECT_EQ(FindSquadMember(g_squad_group, 9)->sequence, 1) << "the member counter restarts";
}
} // namespace
