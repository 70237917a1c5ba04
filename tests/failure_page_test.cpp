// failure_page_test.cpp: the FAILURES STATUS page, recorded through the recording canvas.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "status/failure_status.h"
#include "support/recording_canvas.h"

namespace {

constexpr Colour kFailedText = Rgb(204, 0, 0);
constexpr Colour kFailedBack = Rgb(32, 0, 0);
constexpr Colour kWorkingText = Rgb(102, 204, 102);
constexpr Colour kWorkingBack = Rgb(0, 32, 0);

class FailurePageTest : public ::testing::Test {
protected:
  void SetUp() override { Start(425); }
  void Start(int width) {
    InitFailureStatus(width);
    InitRecordingCanvas(recorder, width, width);
  }
  std::vector<const CanvasRecord *> Draw() {
    recorder.records.clear();
    DrawFailures(recorder.canvas);
    return FindTexts(recorder);
  }
  RecordingCanvas recorder;
};

// The rectangle of entry i for the window width: rows of F + 4 from 6F, columns about the centre.
Rect EntryRect(int width, int i) {
  const int f = width * 17 / 520, c = width / 2, top = 6 * f + i / 2 * (f + 4);
  return i % 2 == 0 ? Rect{c - 240, top, c - f - 2, top + f + 4} : Rect{c + f + 2, top, c + 240, top + f + 4};
}

TEST_F(FailurePageTest, TwentyEightRedLabelsInTwoColumnsBeforeAnyReport) {
  const auto texts = Draw();
  ASSERT_EQ(texts.size(), 28u);
  EXPECT_EQ(recorder.records.size(), 28u);
  for (int i = 0; i < 28; ++i) {
    const CanvasRecord &t = *texts[i];
    EXPECT_EQ(t.text, g_failure_status.entries[i].label) << i;
    EXPECT_EQ(t.rect, EntryRect(425, i)) << i;
    EXPECT_EQ(t.flags, i % 2 == 0 ? kTextRight : kTextLeft) << i;
    EXPECT_EQ(t.state.text_colour, kFailedText) << i;
    EXPECT_EQ(t.state.back_colour, kFailedBack) << i;
    EXPECT_TRUE(t.state.opaque) << i;
    EXPECT_EQ(t.state.font_height, 13) << i;
  }
  // With F = 13 and C = 212: the first row from y 78 to 95, the columns -28..197 and 227..452.
  EXPECT_EQ(texts[0]->rect, (Rect{-28, 78, 197, 95}));
  EXPECT_EQ(texts[1]->rect, (Rect{227, 78, 452, 95}));
  EXPECT_EQ(FindText(recorder, L"Fuel Tank")->rect, (Rect{227, 299, 452, 316}));
}

TEST_F(FailurePageTest, AReportOfZeroTurnsOneLabelGreenAndAFailureTurnsItBack) {
  ASSERT_EQ(SetFailure("FuelTankDamage", 0), 1);
  ASSERT_EQ(SetFailure("GearFailure", 0), 1);
  auto texts = Draw();
  ASSERT_EQ(texts.size(), 28u);
  for (int i = 0; i < 28; ++i) {
    const bool working = texts[i]->text == L"Fuel Tank" || texts[i]->text == L"Gear";
    EXPECT_EQ(texts[i]->state.text_colour, working ? kWorkingText : kFailedText) << i;
    EXPECT_EQ(texts[i]->state.back_colour, working ? kWorkingBack : kFailedBack) << i;
  }
  const CanvasRecord *fuel = FindText(recorder, L"Fuel Tank");
  ASSERT_NE(fuel, nullptr);
  EXPECT_EQ(fuel, texts[27]);                        // row 13, right column
  EXPECT_EQ(FindText(recorder, L"Gear"), texts[23]); // row 11, right column

  for (int state : {1, -1, 2}) {
    SetFailure("GearFailure", state);
    Draw();
    EXPECT_EQ(FindText(recorder, L"Gear")->state.text_colour, kFailedText) << state;
  }
}

TEST_F(FailurePageTest, LayoutScalesWithTheWindowWidth) {
  Start(1000); // F = 32, C = 500
  const auto texts = Draw();
  ASSERT_EQ(texts.size(), 28u);
  EXPECT_EQ(texts[0]->rect, (Rect{260, 192, 466, 228}));
  EXPECT_EQ(texts[27]->rect, (Rect{534, 192 + 13 * 36, 740, 228 + 13 * 36}));
  EXPECT_EQ(texts[5]->state.font_height, 32);
}

} // namespace
