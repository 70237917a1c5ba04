// tactical_tags_test.cpp: numbering, selection, erasing and clearing of tags, and their sharing rules.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "base/settings.h"
#include "map/calibration_grid.h"
#include "status/event_codes.h"
#include "status/event_log.h"
#include "support/shell_fixture.h"
#include "support/test_env.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_sharing.h"
#include "wire/outbox.h"

namespace {
class TagsTest : public ::testing::Test {
protected:
  void SetUp() override {
    RestorePageLabels();
    UseFreshSettingsStore();
    WriteSetting(L"Pilot ID", L"12");
    InitEventLog(425);
    InitSquadGroup(g_squad_group, 425);
    InitTagDatabase(g_tag_database, 425, g_squad_group);
    g_squad_group.squad_number = 3;
    ClearCalibrationGrid(); // one complete half-degree cell: 43.0-43.5 N, 41.0-41.5 E
    AppendGridNode(&g_calibration_grid, 430, 410, 100, 500);
    AppendGridNode(&g_calibration_grid, 430, 415, 300, 510);
    AppendGridNode(&g_calibration_grid, 435, 410, 110, 300);
    AppendGridNode(&g_calibration_grid, 435, 415, 310, 310);
  }
  void TearDown() override {
    ClearTags(g_tag_database);
    ClearCalibrationGrid();
    ClearEvents();
  }
  // A tag received from pilot 7 of the own squad: stored and numbered, nothing queued.
  int32_t Receive(double latitude, double longitude) {
    return AddTag(g_tag_database, 3, 7, TagSymbol{}, latitude, longitude, outbox);
  }
  std::vector<uint32_t> Numbers() {
    std::vector<uint32_t> numbers;
    for (const TagRecord *t = g_tag_database.root.next; t != nullptr; t = t->next)
      numbers.push_back(t->number);
    return numbers;
  }

  Outbox outbox;
};

TEST_F(TagsTest, NumbersRiseAndAreNeverReusedByErasing) {
  EXPECT_EQ(Receive(43.1, 41.1), 1);
  EXPECT_EQ(Receive(43.3, 41.1), 2);
  EXPECT_EQ(Receive(43.3, 41.1), 0) << "exactly the same position";
  EXPECT_EQ(Receive(43.300001, 41.1), 3) << "a difference in the sixth decimal is another tag";
  EXPECT_EQ(AddTag(g_tag_database, 5, 7, TagSymbol{}, 43.4, 41.1, outbox), -1) << "another squad: stored";
  g_tag_database.selected = 4;
  EraseSelectedTag(g_tag_database);
  EXPECT_EQ(Receive(43.45, 41.1), 5);
  EXPECT_STREQ(FindTag(g_tag_database, 5)->name, L"TAG #5");
  EXPECT_TRUE(outbox.empty()) << "received tags are not sent on";

  ClearTags(g_tag_database);
  EXPECT_EQ(Receive(43.1, 41.1), 1) << "clearing restarts the counter";
  g_tag_database.selected = 1;
  EraseSelectedTag(g_tag_database);
  ClearTags(g_tag_database);
  EXPECT_EQ(Receive(43.1, 41.1), 2) << "clearing an empty list keeps it";
}

// The duplicate test is exact equality of both doubles, found through an index: 0.0 and -0.0 are one position, a NaN
// equals nothing, and a position is free again once its tag is erased or cleared.
TEST_F(TagsTest, DuplicatesAreExactEqualityOfBothDoublesAndFreedByErasing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double latitude, longitude;
    int32_t result;
  } adds[] = {{0.0, 41.1, 1}, {-0.0, 41.1, 0}, {43.1, -0.0, 2}, {43.1, 0.0, 0}, {nan, 41.1, 3}, {nan, 41.1, 4}};
  for (const auto &a : adds)
    EXPECT_EQ(Receive(a.latitude, a.longitude), a.result) << a.latitude << " " << a.longitude;
  g_tag_database.selected = 4; // the last: the next tag is appended after the one before it
  EraseSelectedTag(g_tag_database);
  g_tag_database.selected = 2;
  EraseSelectedTag(g_tag_database);
  EXPECT_EQ(Receive(43.1, 0.0), 5) << "its tag erased, the position is free";
  EXPECT_EQ(Numbers(), (std::vector<uint32_t>{1, 3, 5}));
  EXPECT_EQ(CountTags(g_tag_database), 3);
  ClearTags(g_tag_database);
  EXPECT_EQ(Receive(0.0, 41.1), 1) << "and after clearing";
}

TEST_F(TagsTest, SelectionStepsThroughTagsOnTheMapAndErasingMovesIt) {
  Receive(43.1, 41.1);
  Receive(45.0, 41.1); // off the map
  Receive(43.3, 41.3);
  PostEventOnce(kCodeIncomingTag + 1, L"INCOMING TAG #1 FROM [07]");
  SelectNextTag(g_tag_database, g_calibration_grid);
  EXPECT_EQ(g_tag_database.selected, 1u);
  EXPECT_FALSE(HasEvent(kCodeIncomingTag + 1)) << "selecting a tag retires its announcement";
  SelectNextTag(g_tag_database, g_calibration_grid);
  EXPECT_EQ(g_tag_database.selected, 0u) << "#2 is off the map, and #3 lies beyond it";
  SelectNextTag(g_tag_database, g_calibration_grid);
  EXPECT_EQ(g_tag_database.selected, 1u);

  g_tag_database.selected = 2;
  EraseSelectedTag(g_tag_database);
  EXPECT_EQ(Numbers(), (std::vector<uint32_t>{1, 3}));
  EXPECT_EQ(g_tag_database.selected, 3u);
  EraseSelectedTag(g_tag_database);
  EXPECT_EQ(g_tag_database.selected, 0u);
  EraseSelectedTag(g_tag_database);
  EXPECT_EQ(Numbers(), std::vector<uint32_t>{1}) << "nothing selected, nothing erased";
  PostEventOnce(kCodeIncomingTag + 1, L"INCOMING TAG #1 FROM [07]");
  ClearTags(g_tag_database);
  EXPECT_EQ(CountEvents(), 0) << "clearing retires the announcements";
}

TEST_F(TagsTest, TagsMadeHereAreQueuedOnlyWhileJoinedAndNeverFromBroadcast) {
  const TagSymbol symbol{2, 'H', 5};
  EXPECT_EQ(AddTag(g_tag_database, 0, 12, symbol, 43.1, 41.1, outbox), -1);
  EXPECT_TRUE(outbox.empty()) << "not joined";
  Receive(43.15, 41.1);
  g_tag_database.joined = 1;
  ResendTags(g_tag_database, outbox);
  ASSERT_EQ(outbox.tags.size(), 1u) << "RESEND sends only the own pilot's tags";
  EXPECT_EQ(outbox.tags[0].number, 1u);

  StepPilotNumber(g_squad_group, 0);
  AddTag(g_tag_database, 0, 13, symbol, 43.2, 41.1, outbox);
  ASSERT_EQ(outbox.tags.size(), 2u);
  EXPECT_NE(outbox.tags[1].text.find(",Pilot=13,"), std::string::npos);
  outbox = Outbox{};
  ResendTags(g_tag_database, outbox);
  ASSERT_EQ(outbox.tags.size(), 1u) << "not the tags made under the earlier number";
  EXPECT_EQ(outbox.tags[0].number, 3u);

  outbox = Outbox{};
  g_squad_group.squad_number = kBroadcastSquad;
  AddTag(g_tag_database, 0, 13, symbol, 43.3, 41.1, outbox);
  EXPECT_TRUE(outbox.empty());
  EXPECT_EQ(CountTags(g_tag_database), 4) << "stored all the same";
  ASSERT_EQ(CountEvents(), 2);
  EXPECT_STREQ(g_event_log.root.next->text, L"! CAN NOT SEND TAG");
  EXPECT_STREQ(g_event_log.root.next->next->text, L"ON BROADCAST SQUAD !");
  EXPECT_EQ(g_event_log.root.next->next->code, 0x80030010u);
  EXPECT_EQ(g_event_log.root.next->next->lifetime, 20);
  ResendTags(g_tag_database, outbox);
  EXPECT_TRUE(outbox.empty());
  EXPECT_EQ(CountEvents(), 4) << "the refusal is posted once, not per tag";
}
} // namespace
