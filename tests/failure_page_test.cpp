// failure_page_test.cpp: the FAILURES STATUS page, recorded through the recording canvas.
#include <gtest/gtest.h>

#include "status/failure_status.h"
#include "support/recording_canvas.h"

namespace {

TEST(FailurePage, TwentyEightLabelsInTwoColumnsRedUntilReportedWorking) {
  const struct {
    int width, font;
    Rect first, last; // "Left Engine" at the top of the left column, "Fuel Tank" at the foot of the right one
  } layouts[] = {
      {425, 13, {-28, 78, 197, 95}, {227, 299, 452, 316}},
      {1000, 32, {260, 192, 466, 228}, {534, 660, 740, 696}},
  };
  for (const auto &layout : layouts) {
    InitFailureStatus(layout.width);
    ASSERT_EQ(SetFailure("GearFailure", 0), 1);
    ASSERT_EQ(SetFailure("FuelTankDamage", 0), 1);
    ASSERT_EQ(SetFailure("CannonFailure", -1), 1); // any state but 0 is a failure
    RecordingCanvas recorder;
    InitRecordingCanvas(recorder, layout.width, layout.width);
    DrawFailures(recorder.canvas);
    ASSERT_EQ(recorder.records.size(), 28u);
    const auto texts = FindTexts(recorder);
    ASSERT_EQ(texts.size(), 28u);
    EXPECT_EQ(texts[0]->text, L"Left Engine");
    EXPECT_EQ(texts[27]->text, L"Fuel Tank");
    const int row = layout.font + 4;
    for (int i = 0; i < 28; ++i) {
      const CanvasRecord &t = *texts[i];
      const Rect &column = i % 2 == 0 ? layout.first : layout.last;
      const int top = layout.first.top + i / 2 * row;
      EXPECT_EQ(t.rect, (Rect{column.left, top, column.right, top + row})) << i;
      EXPECT_EQ(t.flags, i % 2 == 0 ? kTextRight : kTextLeft) << i; // both columns lean toward the middle
      EXPECT_EQ(t.state.font_height, layout.font);
      EXPECT_TRUE(t.state.opaque);
      const bool working = t.text == L"Gear" || t.text == L"Fuel Tank";
      EXPECT_EQ(t.state.text_colour, working ? Rgb(102, 204, 102) : Rgb(204, 0, 0)) << i;
      EXPECT_EQ(t.state.back_colour, working ? Rgb(0, 32, 0) : Rgb(32, 0, 0)) << i;
    }
    EXPECT_EQ(texts[27]->rect, layout.last);
  }
}

} // namespace
