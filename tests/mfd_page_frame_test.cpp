// mfd_page_frame_test.cpp: the page table, the page options and the frame's layout and drawing.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/display_frame.h"
#include "app/settings.h"
#include "mfd/page_state.h"
#include "mfd/page_table.h"
#include "support/recording_canvas.h"
#include "support/test_env.h"

namespace {

Rect RectOf(int button) {
  const ButtonRect &r = g_page_state.button_rects[button - 1];
  return Rect{r.left, r.top, r.right, r.bottom};
}

uint32_t FormatOf(int button) { return g_page_state.button_rects[button - 1].format; }

TEST(PageFrameLayout, DefaultWindowPlacesTheLabelsAlongTheEdges) {
  InitPageFrame(nullptr, 425, 425);
  EXPECT_EQ(g_page_state.label_font_height, 13);
  EXPECT_EQ(RectOf(1), (Rect{31, 5, 109, 18}));
  EXPECT_EQ(FormatOf(1), kTextCenter);
  EXPECT_EQ(RectOf(6), (Rect{217, 60, 412, 80}));
  EXPECT_EQ(FormatOf(6), kTextRight);
  // The bottom row runs right to left: button 11 is centred on x = 425 - 70.
  EXPECT_EQ(RectOf(11), (Rect{316, 394, 394, 420}));
  EXPECT_EQ(FormatOf(11), kTextCenter | kTextBottom | kTextWordBreak);
  EXPECT_EQ(RectOf(15), (Rect{36, 394, 114, 420}));
  // The left column runs bottom to top from 5H/6 = 354, which is not 5 x (H/6) = 350.
  EXPECT_EQ(RectOf(16), (Rect{10, 344, 208, 364}));
  EXPECT_EQ(RectOf(20), (Rect{10, 64, 208, 84}));
  EXPECT_EQ(FormatOf(16), kTextLeft);
  EXPECT_EQ(RectOf(23), (Rect{265, 360, 385, 383}));
  EXPECT_EQ(RectOf(24), (Rect{265, 381, 385, 400}));
  for (int button : {21, 22, 25, 26, 27, 28})
    EXPECT_EQ(RectOf(button), (Rect{})) << button;
}

TEST(PageFrameLayout, WideWindowScalesTheTextWithoutAdjustingTheBoxes) {
  InitPageFrame(nullptr, 1000, 600);
  EXPECT_EQ(g_page_state.label_font_height, 32);
  const Rect right = RectOf(7);
  EXPECT_EQ(right.right - right.left, 480);
  EXPECT_EQ(right, (Rect{488, 190, 968, 210}));
  EXPECT_EQ(RectOf(3), (Rect{498 - 96, 5, 498 + 96, 37}));
  InitPageFrame(nullptr, 425, 425);
}

TEST(PageFrameLayout, StartsOnTheMonitoringPageWithRouteDisplayOn) {
  g_page_state.current_page = kPageSquad;
  g_page_state.route_display = 0;
  InitPageFrame(nullptr, 425, 425);
  EXPECT_EQ(g_page_state.current_page, kPageMonitoring);
  EXPECT_EQ(g_page_state.route_display, 1);
  EXPECT_EQ(g_page_state.first_page, 0);
  EXPECT_EQ(g_page_state.last_page, 4);
  for (int page = 0; page < kPageCount; ++page) {
    EXPECT_EQ(g_page_state.option_values[page], 0u);
    EXPECT_EQ(g_page_state.option_top_bits[page], 0);
  }
}

// Every label in its place: a label shifted by one entry in the table would put a page's actions under the wrong
// buttons.
TEST(PageTableTest, EveryPageHoldsItsTitleAndLabels) {
  const std::map<int, std::wstring> pages[kPageCount] = {
      {{8, L"x1."},
       {13, L"\nMODE"},
       {14, L"\nROUTE"},
       {15, L"\nOPTNS"},
       {16, L"SELECT TAG"},
       {17, L"ERASE TAG"},
       {18, L"SET BULLS"},
       {23, L" + "},
       {24, L" - "}},
      {{1, L"AAA"},         {2, L"ARMOR"},    {3, L"M.INF"},   {4, L"UNKN"},     {5, L"AIR"},
       {6, L"MONIT"},       {7, L"SYNC ON"},  {8, L"x1."},     {9, L"UP"},       {10, L"DOWN"},
       {11, L"\nRIGHT"},    {12, L"\nLEFT"},  {13, L"\nMODE"}, {14, L"\nROUTE"}, {15, L"\nOPTNS"},
       {16, L"TAG CENTER"}, {17, L"TAG AGM"}, {20, L"AFFIL"},  {23, L" + "},     {24, L" - "}},
      {{6, L"MONIT"}, {13, L"\nMODE"}},
      {{6, L"MONIT"},
       {13, L"\nMODE"},
       {16, L"JOIN SQUAD"},
       {17, L"PID -"},
       {18, L"PID +"},
       {19, L"SQID -"},
       {20, L"SQID +"}},
      {{13, L"\nMODE"}, {16, L"CLEAR TAGS"}, {17, L"RESEND TAGS"}, {19, L"CLEAR MSGS"}, {20, L"RESET ALL"}},
  };
  const wchar_t *titles[kPageCount] = {L"[ MONITORING ]", L"[ TAGGING ]", L"[ FAILURES STATUS ]", L"[ SQUAD GROUP ]",
                                       L"[ DATABASES ]"};
  for (int page = 0; page < kPageCount; ++page) {
    EXPECT_EQ(std::wstring(PageTitle(page)), titles[page]);
    for (int button = 1; button <= kButtonCount; ++button) {
      if (page == kPageDatabases && button >= 6 && button <= 8)
        continue; // labelled at start-up from the map catalogue
      const auto found = pages[page].find(button);
      const std::wstring expected = found == pages[page].end() ? L"" : found->second;
      EXPECT_EQ(std::wstring(PageLabel(page, button)), expected) << "page " << page << " button " << button;
    }
  }
}

TEST(PageTableTest, SetLabelCutsAtThirtyOneCharactersAndIgnoresBadButtons) {
  SetPageLabel(kPageDatabases, 6, L"LOAD A NAME THAT IS MUCH TOO LONG FOR A LABEL");
  EXPECT_EQ(std::wstring(PageLabel(kPageDatabases, 6)), L"LOAD A NAME THAT IS MUCH TOO LO");
  SetPageLabel(kPageDatabases, 29, L"NOT A TITLE");
  SetPageLabel(kPageDatabases, 0, L"NOTHING");
  EXPECT_EQ(std::wstring(PageTitle(kPageDatabases)), L"[ DATABASES ]");
  EXPECT_EQ(std::wstring(PageLabel(kPageDatabases, 0)), L"");
  SetPageLabel(kPageDatabases, 6, L"");
}

class PageOptionTest : public ::testing::Test {
protected:
  void SetUp() override {
    UseFreshSettingsStore();
    InitPageFrame(nullptr, 425, 425);
    WriteSetting(L"A10 Mode",
                 L"0"); // the store exists, so missing values get their defaults written
  }
  static std::wstring Stored(const wchar_t *name) {
    wchar_t text[kSettingTextCapacity];
    ReadSetting(name, text);
    return text;
  }
};

TEST_F(PageOptionTest, DefaultsTurnEveryOptionBitOnAndAreWrittenBack) {
  LoadPageOption(g_page_state, kPageTagging, 8);
  LoadPageOption(g_page_state, kPageMonitoring, 2);
  EXPECT_EQ(g_page_state.option_values[kPageTagging], 15u);
  EXPECT_EQ(g_page_state.option_values[kPageMonitoring], 3u);
  EXPECT_EQ(Stored(L"MenuOption#01"), L"00000015");
  EXPECT_EQ(Stored(L"MenuOption#00"), L"00000003");
  EXPECT_EQ(g_page_state.option_values[kPageSquad], 0u);
}

TEST_F(PageOptionTest, OptnsRunsThroughEveryCombinationAndStoresEach) {
  LoadPageOption(g_page_state, kPageMonitoring, 2);
  const wchar_t *expected[] = {L"00000000", L"00000001", L"00000002", L"00000003", L"00000000"};
  for (const wchar_t *text : expected) {
    CyclePageOption(g_page_state);
    EXPECT_EQ(Stored(L"MenuOption#00"), text);
  }
  EXPECT_EQ(g_page_state.option_values[kPageMonitoring], 0u);
}

TEST_F(PageOptionTest, AStoredValueBeyondTheBitsIsKeptUntilTheNextPress) {
  WriteSetting(L"MenuOption#01", L"00000099");
  LoadPageOption(g_page_state, kPageTagging, 8);
  EXPECT_EQ(g_page_state.option_values[kPageTagging], 99u);
  g_page_state.current_page = kPageTagging;
  CyclePageOption(g_page_state);
  EXPECT_EQ(g_page_state.option_values[kPageTagging], 0u);
  EXPECT_EQ(Stored(L"MenuOption#01"), L"00000000");
}

TEST(PageFrameDrawing, TitleOnTheBodyThenLabelsOnDarkGreenPlates) {
  InitPageFrame(nullptr, 425, 425);
  g_page_state.current_page = kPageFailures;
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  DrawPageFrame(recorder.canvas, g_page_state);
  const auto texts = FindTexts(recorder);
  // The title and the two labels of the page; empty labels draw nothing.
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0]->text, L"[ FAILURES STATUS ]");
  EXPECT_EQ(texts[0]->rect, (Rect{212 - 104, 26, 212 + 104, 39}));
  EXPECT_EQ(texts[0]->flags, kTextCenter | kTextWordBreak);
  EXPECT_FALSE(texts[0]->state.opaque);
  EXPECT_EQ(texts[1]->text, L"MONIT");
  EXPECT_EQ(texts[1]->rect, (Rect{217, 60, 412, 80}));
  EXPECT_EQ(texts[1]->flags, kTextRight);
  EXPECT_EQ(texts[2]->text, L"\nMODE");
  EXPECT_EQ(texts[2]->rect, (Rect{176, 394, 254, 420}));
  for (const CanvasRecord *text : texts) {
    EXPECT_EQ(text->state.font_height, 13);
    EXPECT_EQ(text->state.text_colour, Rgb(0, 255, 0));
    EXPECT_EQ(text->state.back_colour, Rgb(0, 64, 0));
  }
  EXPECT_TRUE(texts[1]->state.opaque);
  EXPECT_TRUE(texts[2]->state.opaque);
  g_page_state.current_page = kPageMonitoring;
}

} // namespace
