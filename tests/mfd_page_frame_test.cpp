// mfd_page_frame_test.cpp: the page table, the page options and the frame's layout and drawing.
#include <gtest/gtest.h>

#include <string>

#include "base/settings.h"
#include "mfd/display_frame.h"
#include "mfd/page_state.h"
#include "mfd/page_table.h"
#include "support/recording_canvas.h"
#include "support/shell_fixture.h"
#include "support/test_env.h"

namespace {

Rect RectOf(int button) {
  const ButtonRect &r = g_page_state.button_rects[button - 1];
  return Rect{r.left, r.top, r.right, r.bottom};
}

TEST(PageFrameLayout, LabelsAlongTheEdgesAndTextScaledToTheWidth) {
  InitPageFrame(nullptr, 425, 425);
  EXPECT_EQ(g_page_state.label_font_height, 13);
  EXPECT_EQ(RectOf(1), (Rect{31, 5, 109, 18}));
  EXPECT_EQ(RectOf(6), (Rect{217, 60, 412, 80}));
  EXPECT_EQ(g_page_state.button_rects[5].format, kTextRight);
  EXPECT_EQ(RectOf(11), (Rect{316, 394, 394, 420})) << "the bottom row runs right to left";
  EXPECT_EQ(g_page_state.button_rects[10].format, kTextCenter | kTextBottom | kTextWordBreak);
  EXPECT_EQ(RectOf(16), (Rect{10, 344, 208, 364})) << "from 5H/6 = 354, not 5 x (H/6) = 350";
  EXPECT_EQ(RectOf(20), (Rect{10, 64, 208, 84}));
  EXPECT_EQ(RectOf(23), (Rect{265, 360, 385, 383}));
  EXPECT_EQ(RectOf(24), (Rect{265, 381, 385, 400}));
  for (int button : {21, 22, 25, 28})
    EXPECT_EQ(RectOf(button), (Rect{})) << button;

  InitPageFrame(nullptr, 1000, 600); // F = 32; the boxes are not adjusted to it
  EXPECT_EQ(g_page_state.label_font_height, 32);
  EXPECT_EQ(RectOf(7), (Rect{488, 190, 968, 210}));
  EXPECT_EQ(RectOf(3), (Rect{498 - 96, 5, 498 + 96, 37}));
  InitPageFrame(nullptr, 425, 425);
}

class PageTableTest : public ::testing::Test {
protected:
  void SetUp() override { RestorePageLabels(); }
  void TearDown() override { RestorePageLabels(); }
};

// Spot labels at both ends of each page and the count of labelled buttons: a label shifted by one entry would put a
// page's actions under the wrong buttons.
TEST_F(PageTableTest, EveryPageHoldsItsTitleAndLabels) {
  const struct {
    const wchar_t *title;
    int labelled;
    int first_button;
    const wchar_t *first, *last; // the labels of the lowest and the highest labelled buttons
  } pages[kPageCount] = {
      {L"[ MONITORING ]", 9, 8, L"x1.", L" - "},           {L"[ TAGGING ]", 20, 1, L"AAA", L" - "},
      {L"[ FAILURES STATUS ]", 2, 6, L"MONIT", L"\nMODE"}, {L"[ SQUAD GROUP ]", 7, 6, L"MONIT", L"SQID +"},
      {L"[ DATABASES ]", 5, 13, L"\nMODE", L"RESET ALL"}, // 6 to 8 are labelled at start-up
  };
  for (int page = 0; page < kPageCount; ++page) {
    EXPECT_STREQ(PageTitle(page), pages[page].title);
    int labelled = 0, lowest = 0, highest = 0;
    for (int button = 1; button <= kButtonCount; ++button)
      if (PageLabel(page, button)[0] != L'\0') {
        ++labelled;
        lowest = lowest == 0 ? button : lowest;
        highest = button;
      }
    EXPECT_EQ(labelled, pages[page].labelled) << page;
    EXPECT_EQ(lowest, pages[page].first_button) << page;
    EXPECT_STREQ(PageLabel(page, lowest), pages[page].first) << page;
    EXPECT_STREQ(PageLabel(page, highest), pages[page].last) << page;
  }
  EXPECT_STREQ(PageLabel(kPageTagging, 7), L"SYNC ON");
  EXPECT_STREQ(PageLabel(kPageSquad, 16), L"JOIN SQUAD");
}

TEST_F(PageTableTest, SetLabelCutsAtThirtyOneCharactersAndIgnoresBadButtons) {
  SetPageLabel(kPageDatabases, 6, L"LOAD A NAME THAT IS MUCH TOO LONG FOR A LABEL");
  EXPECT_STREQ(PageLabel(kPageDatabases, 6), L"LOAD A NAME THAT IS MUCH TOO LO");
  SetPageLabel(kPageDatabases, 29, L"NOT A TITLE");
  SetPageLabel(kPageDatabases, 0, L"NOTHING");
  EXPECT_STREQ(PageTitle(kPageDatabases), L"[ DATABASES ]");
  EXPECT_STREQ(PageLabel(kPageDatabases, 0), L"");
}

class PageOptionTest : public ::testing::Test {
protected:
  void SetUp() override {
    UseFreshSettingsStore();
    InitPageFrame(nullptr, 425, 425);
    WriteSetting(L"A10 Mode", L"0"); // the store exists, so missing values get their defaults written
  }
  static std::wstring Stored(const wchar_t *name) {
    wchar_t text[kSettingTextCapacity];
    ReadSetting(name, text);
    return text;
  }
};

TEST_F(PageOptionTest, DefaultsTurnEveryBitOnAndOptnsRunsThroughEveryCombination) {
  LoadPageOption(g_page_state, kPageTagging, 8);
  LoadPageOption(g_page_state, kPageMonitoring, 2);
  EXPECT_EQ(g_page_state.option_values[kPageTagging], 15u);
  EXPECT_EQ(Stored(L"MenuOption#01"), L"00000015");
  EXPECT_EQ(Stored(L"MenuOption#00"), L"00000003");
  for (const wchar_t *text : {L"00000000", L"00000001", L"00000002", L"00000003", L"00000000"}) {
    CyclePageOption(g_page_state);
    EXPECT_EQ(Stored(L"MenuOption#00"), text);
  }
}

TEST_F(PageOptionTest, AStoredValueBeyondTheBitsIsKeptUntilTheNextPress) {
  WriteSetting(L"MenuOption#01", L"00000099");
  LoadPageOption(g_page_state, kPageTagging, 8);
  EXPECT_EQ(g_page_state.option_values[kPageTagging], 99u);
  g_page_state.current_page = kPageTagging;
  CyclePageOption(g_page_state);
  EXPECT_EQ(g_page_state.option_values[kPageTagging], 0u);
  EXPECT_EQ(Stored(L"MenuOption#01"), L"00000000");
  g_page_state.current_page = kPageMonitoring;
}

TEST(PageFrameDrawing, TitleOnTheBodyThenLabelsOnDarkGreenPlates) {
  InitPageFrame(nullptr, 425, 425);
  g_page_state.current_page = kPageFailures;
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  DrawPageFrame(recorder.canvas, g_page_state);
  g_page_state.current_page = kPageMonitoring;
  const auto texts = FindTexts(recorder);
  ASSERT_EQ(texts.size(), 3u) << "empty labels draw nothing";
  EXPECT_EQ(texts[0]->text, L"[ FAILURES STATUS ]");
  EXPECT_EQ(texts[0]->rect, (Rect{212 - 104, 26, 212 + 104, 39}));
  EXPECT_FALSE(texts[0]->state.opaque);
  EXPECT_EQ(texts[1]->text, L"MONIT");
  EXPECT_EQ(texts[2]->rect, (Rect{176, 394, 254, 420}));
  for (const CanvasRecord *text : {texts[1], texts[2]}) {
    EXPECT_EQ(text->state.font_height, 13);
    EXPECT_EQ(text->state.text_colour, Rgb(0, 255, 0));
    EXPECT_EQ(text->state.back_colour, Rgb(0, 64, 0));
    EXPECT_TRUE(text->state.opaque);
  }
}

} // namespace
