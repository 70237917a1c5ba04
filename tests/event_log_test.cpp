// event_log_test.cpp: posting, ageing and removal of event messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "status/event_log.h"

namespace {
std::vector<std::wstring> Texts() {
  std::vector<std::wstring> texts;
  for (const EventMessage *m = g_event_log.root.next; m != nullptr; m = m->next)
    texts.emplace_back(m->text);
  return texts;
}

// Checks that the links agree both ways, so a damaged list shows up even where the walk forward works.
void ExpectConsistentLinks() {
  const EventMessage *previous = &g_event_log.root;
  for (const EventMessage *m = g_event_log.root.next; m != nullptr; m = m->next) {
    EXPECT_EQ(m->previous, previous);
    previous = m;
  }
}

class EventLogTest : public ::testing::Test {
protected:
  void SetUp() override { InitEventLog(425); }
  void TearDown() override { ClearEvents(); }
  static int Tick(int times = 1) {
    int expiries = 0;
    while (times-- > 0)
      expiries += AgeEvents();
    return expiries;
  }
};

TEST_F(EventLogTest, MessageOfLifetimeLGoesAtTickLPlusOne) {
  PostEvent(0x20040003, L"ROUTE TO OUT OF MAP", 2);
  EXPECT_EQ(Tick(2), 0);
  EXPECT_EQ(CountEvents(), 1);
  EXPECT_EQ(Tick(), 1);
  EXPECT_EQ(CountEvents(), 0);
}

TEST_F(EventLogTest, ExpiryTakesEveryMessageOfTheCodeHoweverYoung) {
  PostEvent(0x04040001, L"INCOMING ROUTE", 10);
  Tick(5);
  PostEvent(0x04040001, L"INCOMING ROUTE", 10);
  EXPECT_EQ(Tick(5), 0);
  EXPECT_EQ(CountEvents(), 2);
  EXPECT_EQ(Tick(), 1) << "the eleventh tick after the first";
  EXPECT_EQ(CountEvents(), 0);
}

TEST_F(EventLogTest, PermanentMessagesStayAndPostOnceAddsNoCopy) {
  PostEventOnce(0x80010001, L"VEKTA DISCONNECTED");
  PostEventOnce(0x80010001, L"VEKTA DISCONNECTED");
  PostEvent(0x40020002, L"OUT OF MAP", -1);
  EXPECT_EQ(Tick(100), 0);
  EXPECT_EQ(CountEvents(), 2);
  RemoveEvents(0x80010001);
  RemoveEvents(0x12345678); // absent: nothing happens
  EXPECT_EQ(Texts(), std::vector<std::wstring>{L"OUT OF MAP"});
  ExpectConsistentLinks();
}

// Removal by code takes exactly that code's messages wherever they stand, the last one included, and the list goes
// on from the messages left.
TEST_F(EventLogTest, RemovalByCodeLeavesTheOthersInOrder) {
  PostEvent(0x08031001, L"A1", -1);
  PostEvent(0x08031002, L"B", -1);
  PostEvent(0x08031001, L"A2", 5);
  PostEvent(0x08031003, L"C", -1);
  RemoveEvents(0x08031001);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"B", L"C"}));
  RemoveEvents(0x08031003);
  PostEventOnce(0x08031001, L"A3");
  PostEventOnce(0x08031002, L"B again");
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"B", L"A3"}));
  EXPECT_EQ(CountEvents(), 2);
  EXPECT_TRUE(HasEvent(0x08031001) && !HasEvent(0x08031003));
  ExpectConsistentLinks();
}

TEST_F(EventLogTest, ClearEmptiesTheListAndTheNextMessageComesFirst) {
  PostEvent(0x02030010, L"TAG #1 SENT TO [1]", 3);
  PostEvent(0x02030010, L"TAG #1 SENT TO [2]", 3);
  ClearEvents();
  EXPECT_EQ(CountEvents(), 0);
  PostEvent(0x4004F000, L"!!! EM DB RESET DONE !!!", 8);
  EXPECT_EQ(Texts(), std::vector<std::wstring>{L"!!! EM DB RESET DONE !!!"});
  EXPECT_EQ(g_event_log.root.next->previous, &g_event_log.root);
}

// A younger message expiring first removes an older one of the same code that stands just before
// it; the walk must carry on from a message still in the list and still age the ones after it.
TEST_F(EventLogTest, WalkSurvivesRemovalOfTheMessagesBeforeTheExpiredOne) {
  PostEvent(0x80020001, L"NO MAP LOADED", -1);
  PostEvent(0x0202A000, L"MAP LOADED", 12);
  PostEvent(0x0202A000, L"MAP LOADED", 12);
  PostEvent(0x0202A000, L"MAP LOADED", 0);
  PostEvent(0x04040001, L"INCOMING ROUTE", 1);
  PostEvent(0x20040003, L"ROUTE TO OUT OF MAP", 0);
  EXPECT_EQ(AgeEvents(), 2);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"NO MAP LOADED", L"INCOMING ROUTE"}));
  EXPECT_EQ(g_event_log.root.next->next->lifetime, 0) << "the message after the removed run was aged in the same tick";
  ExpectConsistentLinks();
  EXPECT_EQ(AgeEvents(), 1);
  EXPECT_EQ(CountEvents(), 1);
}

TEST_F(EventLogTest, FirstMessagesExpiringTogetherLeaveAnEmptyButSoundList) {
  PostEvent(0x20030002, L"INCOMING TAG FROM [07]", 0);
  PostEvent(0x20030002, L"OUT OF MAP", 0);
  EXPECT_EQ(AgeEvents(), 1) << "one expiry removes both texts of the code";
  EXPECT_EQ(CountEvents(), 0);
  EXPECT_EQ(g_event_log.root.next, nullptr);
}

TEST_F(EventLogTest, LongTextsAreCutTo63Characters) {
  PostEvent(0x08031001, std::wstring(100, L'X').c_str(), -1);
  EXPECT_EQ(Texts().front(), std::wstring(63, L'X'));
}

TEST(EventColourTest, TopByteSelectsTheColour) {
  EXPECT_EQ(EventColour(0x80030010), Rgb(255, 0, 0));
  EXPECT_EQ(EventColour(0x40020002), Rgb(255, 128, 0));
  EXPECT_EQ(EventColour(0x20040002), Rgb(255, 255, 0));
  EXPECT_EQ(EventColour(0x08031005), Rgb(255, 255, 255));
  EXPECT_EQ(EventColour(0x04040001), Rgb(0, 128, 255));
  EXPECT_EQ(EventColour(0x02030010), Rgb(0, 255, 0));
  EXPECT_EQ(EventColour(0x0202A000), Rgb(0, 255, 0));
  EXPECT_EQ(EventColour(0xC0000000), Rgb(0, 255, 0)) << "mixed class bits are no class";
}
} // namespace
