// event_overlay_test.cpp: the blinking event message overlay, recorded through the recording canvas.
#include <gtest/gtest.h>

#include <string>

#include "status/event_log.h"
#include "support/recording_canvas.h"

namespace {

TEST(EventOverlay, MessagesStandOnCentredLinesFromTheSixthInTheirClassColours) {
  InitEventLog(425); // line height 425 × 17 / 520 = 13
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  const std::wstring long_text(63, L'x');
  const struct {
    uint32_t code;
    std::wstring text, shown; // the low 24 bits in upper-case hexadecimal without leading zeros, then the text
    Colour colour;
  } cases[] = {
      {0x08031005, L"INCOMING TAG #5 FROM [03]", L"[31005]:INCOMING TAG #5 FROM [03]", Rgb(255, 255, 255)},
      {0x04040001, L"INCOMING ROUTE", L"[40001]:INCOMING ROUTE", Rgb(0, 128, 255)},
      {0x20000005, L"FIVE", L"[5]:FIVE", Rgb(255, 255, 0)},
      {0x8002000A, long_text, L"[2000A]:" + long_text.substr(0, 55), Rgb(255, 0, 0)}, // 63 characters in all
  };
  for (const auto &c : cases)
    PostEvent(c.code, c.text.c_str(), 10);

  // Nothing at all while the blink counter is even.
  for (uint32_t blink : {0u, 2u, 1000u}) {
    g_event_log.blink = blink;
    DrawEvents(recorder.canvas);
    EXPECT_TRUE(recorder.records.empty()) << blink;
  }
  g_event_log.blink = 7;
  DrawEvents(recorder.canvas);
  ASSERT_EQ(recorder.records.size(), 4u); // text only: no plates, no outlines
  const auto texts = FindTexts(recorder);
  ASSERT_EQ(texts.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    // 64 cells of 13 centred on 425: the left edge (425 - 832) / 2 truncates toward zero.
    EXPECT_EQ(texts[i]->rect, (Rect{-203, 65 + 13 * i, 629, 78 + 13 * i})) << i;
    EXPECT_EQ(texts[i]->text, cases[i].shown);
    EXPECT_EQ(texts[i]->state.text_colour, cases[i].colour) << i;
    EXPECT_EQ(texts[i]->flags, kTextCenter);
    EXPECT_EQ(texts[i]->state.font_height, 13);
    EXPECT_FALSE(texts[i]->state.opaque);
  }
  ClearEvents();
}

TEST(EventOverlay, ALongListFoldsItsOldestIntoACountAndNeverRunsOverTheMap) {
  RecordingCanvas recorder;
  for (const int height : {425, 800}) {
    InitEventLog(425, height);
    InitRecordingCanvas(recorder, 425, height);
    const int room = EventLinesShown(height, 13);
    ASSERT_GE(room, 8) << height;
    // A list that just fits looks as it always did; one more folds the oldest two into "+2 MORE".
    for (const int count : {room, room + 1, 45}) {
      ClearEvents();
      for (int i = 1; i <= count; ++i)
        PostEvent(0x08031000u + i, (L"INCOMING TAG #" + std::to_wstring(i)).c_str(), -1);
      g_event_log.blink = 1;
      recorder.records.clear();
      DrawEvents(recorder.canvas);
      const auto texts = FindTexts(recorder);
      ASSERT_EQ(texts.size(), static_cast<size_t>(room)) << height << " " << count;
      EXPECT_LE(texts.back()->rect.bottom, 5 * 13 + (height - 5 * 13) / 3) << "within the upper third below the title";
      const std::wstring newest = L"]:INCOMING TAG #" + std::to_wstring(count);
      EXPECT_TRUE(texts.back()->text.ends_with(newest)) << "the newest always shows";
      if (count == room)
        EXPECT_EQ(texts.front()->text, L"[31001]:INCOMING TAG #1");
      else
        EXPECT_EQ(texts.front()->text, L"+" + std::to_wstring(count - room + 1) + L" MORE");
      EXPECT_EQ(CountEvents(), count) << "drawing hides, it never removes";
    }
  }
  ClearEvents();
}

} // namespace
