// event_overlay_test.cpp: the blinking event message overlay, recorded through the recording canvas.
#include <gtest/gtest.h>

#include <string>

#include "status/event_log.h"
#include "support/recording_canvas.h"

namespace {

class EventOverlayTest : public ::testing::Test {
protected:
  void SetUp() override { Start(425); }
  void TearDown() override { ClearEvents(); }
  void Start(int width) {
    InitEventLog(width);
    InitRecordingCanvas(recorder, width, width);
    g_event_log.blink = 1;
  }
  RecordingCanvas recorder;
};

TEST_F(EventOverlayTest, MessagesStandOnSuccessiveLinesFromTheSixth) {
  PostEvent(0x08031005, L"INCOMING TAG #5 FROM [03]", -1);
  PostEvent(0x04040001, L"INCOMING ROUTE", 10);
  PostEvent(0x20000005, L"FIVE", 10);
  DrawEvents(recorder.canvas);
  const auto texts = FindTexts(recorder);
  ASSERT_EQ(texts.size(), 3u);
  // h = 425 × 17 / 520 = 13; left = (425 − 64 × 13) / 2, truncated toward zero.
  const int left = (425 - 832) / 2;
  EXPECT_EQ(left, -203);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(texts[i]->rect, (Rect{left, 65 + 13 * i, left + 832, 78 + 13 * i})) << i;
    EXPECT_EQ(texts[i]->flags, kTextCenter);
    EXPECT_EQ(texts[i]->state.font_height, 13);
    EXPECT_FALSE(texts[i]->state.opaque);
  }
  // The low 24 bits in upper-case hexadecimal without leading zeros, then the text.
  EXPECT_EQ(texts[0]->text, L"[31005]:INCOMING TAG #5 FROM [03]");
  EXPECT_EQ(texts[0]->state.text_colour, Rgb(255, 255, 255));
  EXPECT_EQ(texts[1]->text, L"[40001]:INCOMING ROUTE");
  EXPECT_EQ(texts[1]->state.text_colour, Rgb(0, 128, 255));
  EXPECT_EQ(texts[2]->text, L"[5]:FIVE");
  EXPECT_EQ(texts[2]->state.text_colour, Rgb(255, 255, 0));
  EXPECT_EQ(recorder.records.size(), 3u); // text only: no plates, no outlines
}

TEST_F(EventOverlayTest, NothingIsDrawnWhileTheBlinkCounterIsEven) {
  PostEvent(0x80010001, L"VEKTA DISCONNECTED", -1);
  for (uint32_t blink : {0u, 2u, 1000u}) {
    g_event_log.blink = blink;
    DrawEvents(recorder.canvas);
    EXPECT_TRUE(recorder.records.empty()) << blink;
  }
  g_event_log.blink = 7;
  DrawEvents(recorder.canvas);
  EXPECT_NE(FindText(recorder, L"[10001]:VEKTA DISCONNECTED"), nullptr);
}

TEST_F(EventOverlayTest, EachClassHasItsColour) {
  struct Case {
    uint32_t code;
    const wchar_t *shown;
    Colour colour;
  };
  const Case cases[] = {
      {0x80030010, L"[30010]:ON BROADCAST SQUAD !", Rgb(255, 0, 0)},
      {0x4004F000, L"[4F000]:!!! EM DB RESET DONE !!!", Rgb(255, 128, 0)},
      {0x20040002, L"[40002]:ROUTE OUT OF MAP", Rgb(255, 255, 0)},
      {0x02030010, L"[30010]:TAG #4 SENT TO [2]", Rgb(0, 255, 0)},
      {0x0202A000, L"[2A000]:MAP LOADED", Rgb(0, 255, 0)},
  };
  for (const Case &c : cases)
    PostEvent(c.code, c.shown + std::wstring(c.shown).find(L':') + 1, 8);
  DrawEvents(recorder.canvas);
  for (const Case &c : cases) {
    const CanvasRecord *text = FindText(recorder, c.shown);
    ASSERT_NE(text, nullptr) << c.code;
    EXPECT_EQ(text->state.text_colour, c.colour) << c.code;
  }
}

TEST_F(EventOverlayTest, LayoutFollowsTheWindowWidthAndTheShownLineIsCut) {
  Start(1000); // h = 32
  PostEvent(0x80020001, L"NO MAP LOADED", -1);
  const std::wstring long_text(63, L'x');
  PostEvent(0x80020002, long_text.c_str(), -1);
  DrawEvents(recorder.canvas);
  const auto texts = FindTexts(recorder);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0]->rect, (Rect{-524, 160, 1524, 192}));
  EXPECT_EQ(texts[1]->rect, (Rect{-524, 192, 1524, 224}));
  EXPECT_EQ(texts[0]->state.font_height, 32);
  // "[20002]:" and the text no longer than 63 characters in all.
  EXPECT_EQ(texts[1]->text, L"[20002]:" + long_text.substr(0, 55));
}

} // namespace
