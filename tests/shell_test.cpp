// shell_test.cpp: keys and clicks as buttons, the one-second timers and the paint composition.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/display_frame.h"
#include "app/shell.h"
#include "map/map_view.h"
#include "mfd/page_state.h"
#include "status/event_log.h"
#include "status/failure_status.h"
#include "support/map_support.h"
#include "support/recording_canvas.h"
#include "support/shell_fixture.h"
#include "tactical/tag_database.h"

namespace {

constexpr int kVkF1 = 0x70;

TEST_F(ShellTest, KeysNameTheButtonsBesideThem) {
  const struct {
    int key, button;
  } keys[] = {{kVkF1, 1}, {kVkF1 + 4, 5}, {kVkF1 + 5, 15}, {kVkF1 + 6, 14}, {kVkF1 + 9, 11}, {'1', 6},   {'5', 10},
              {'6', 20},  {'7', 19},      {'9', 17},       {'0', 16},       {0x26, 9},       {0x28, 10}, {0x27, 11},
              {0x25, 12}, {'M', 13},      {'O', 15},       {0x21, 23},      {0x22, 24}};
  for (const auto &k : keys) {
    g_shell.pending_press = 0;
    EXPECT_TRUE(KeyToButton(k.key)) << k.key;
    EXPECT_EQ(g_shell.pending_press, k.button) << k.key;
  }
  // Unmapped keys leave the last press as it was, even right after a mapped key.
  for (int key : {int{'A'}, 0x6D, 0x70 + 10, 0x20, 0x24, 0x2D}) {
    EXPECT_FALSE(KeyToButton(key)) << key;
    EXPECT_EQ(g_shell.pending_press, 24) << key;
  }
}

TEST_F(ShellTest, AnUnmappedKeyDoesNothing) {
  g_page_state.current_page = kPageFailures;
  EXPECT_FALSE(Press('A'));
  EXPECT_EQ(g_page_state.current_page, kPageFailures);
  EXPECT_EQ(clicks, 0);
}

TEST_F(ShellTest, ClicksHitOnlyStrictlyInsideALabel) {
  // Button 1 spans x 31..109, y 5..18.
  EXPECT_EQ(HitTestButton(31, 10), 0);
  EXPECT_EQ(HitTestButton(389, 10), 0); // the right edge of button 5 (311..389)
  EXPECT_EQ(HitTestButton(50, 5), 0);
  EXPECT_EQ(HitTestButton(50, 18), 0);
  g_shell.pending_press = 0;
  EXPECT_EQ(HitTestButton(32, 6), 1);
  EXPECT_EQ(HitTestButton(108, 17), 1);
  EXPECT_EQ(g_shell.pending_press, 1);
  // The top labels overlap (6F = 78 is wider than W/6 = 70): the lower number wins there.
  EXPECT_EQ(HitTestButton(105, 10), 1);
  EXPECT_EQ(HitTestButton(110, 10), 2);
  g_shell.pending_press = 1;
  // The band between the left labels 16 (344..364) and 17 (274..294) and the middle of the display hit nothing and keep
  // the press.
  EXPECT_EQ(HitTestButton(50, 300), 0);
  EXPECT_EQ(HitTestButton(212, 212), 0);
  EXPECT_EQ(HitTestButton(0, 0),
            0); // where the buttons without a place would be
  EXPECT_EQ(g_shell.pending_press, 1);
  // Rows 382 (H - 43) lies inside both 23 (360..383) and 24 (381..400): the lower number wins.
  EXPECT_EQ(HitTestButton(300, 382), 23);
  EXPECT_EQ(HitTestButton(300, 383), 24);
}

TEST_F(ShellTest, AClickOnALabelPressesItsButton) {
  ShellClick(240, 400); // "\nMODE", button 13, bottom edge centre 215
  EXPECT_EQ(g_page_state.current_page, kPageTagging);
  EXPECT_EQ(clicks, 1);
  ASSERT_FALSE(invalidations.empty());
  EXPECT_TRUE(invalidations.back().whole);
  EXPECT_TRUE(invalidations.back().erase);
  invalidations.clear();
  ShellClick(212, 212);
  EXPECT_TRUE(invalidations.empty());
  EXPECT_EQ(g_page_state.current_page, kPageTagging);
}

TEST_F(ShellTest, VektaDisconnectedComesAtTheFifthSecondOnlyOnce) {
  for (int tick = 1; tick <= 4; ++tick) {
    Tick(kLinkTimer);
    EXPECT_FALSE(HasEvent(kVektaDisconnectedCode)) << tick;
  }
  Tick(kLinkTimer);
  EXPECT_EQ(CountEventsWithCode(kVektaDisconnectedCode), 1);
  EXPECT_EQ(EventLifetime(kVektaDisconnectedCode), -1);
  for (int tick = 6; tick <= 9; ++tick)
    Tick(kLinkTimer);
  EXPECT_EQ(CountEventsWithCode(kVektaDisconnectedCode), 1);
  EXPECT_EQ(g_shell.listener.link_age, 9000); // keeps growing while the link is silent
  // A MONITOR zeroes the age: the message does not come back before five more seconds.
  RemoveEvents(kVektaDisconnectedCode);
  g_shell.listener.link_age = 0;
  for (int tick = 1; tick <= 4; ++tick)
    Tick(kLinkTimer);
  EXPECT_FALSE(HasEvent(kVektaDisconnectedCode));
}

TEST_F(ShellTest, NoMapLoadedIsPresentOnceEverySecondWithoutAMap) {
  for (int tick = 1; tick <= 3; ++tick) {
    Tick(kLinkTimer);
    EXPECT_EQ(CountEventsWithCode(kMapNotLoadedCode), 1) << tick;
  }
  RemoveEvents(kMapNotLoadedCode);
  Tick(kLinkTimer);
  EXPECT_EQ(CountEventsWithCode(kMapNotLoadedCode), 1);
  g_map_view.current_map = 2;
  RemoveEvents(kMapNotLoadedCode);
  Tick(kLinkTimer);
  EXPECT_FALSE(HasEvent(kMapNotLoadedCode));
  g_map_view.current_map = -1;
}

TEST_F(ShellTest, TheLinkTickBlinksAndRepaintsTheMessageBlock) {
  const uint32_t blink = g_event_log.blink;
  Tick(kLinkTimer);
  EXPECT_EQ(g_event_log.blink, blink + 1);
  // Only "NO MAP LOADED": one line of the block, h = 13, left = (425 - 832) / 2 truncated toward zero.
  ASSERT_EQ(invalidations.size(), 1u);
  EXPECT_FALSE(invalidations[0].whole);
  EXPECT_EQ(invalidations[0].rect, (Rect{-203, 65, 629, 78}));
  EXPECT_TRUE(invalidations[0].erase);
  PostEvent(0x0202A000, L"MAP LOADED", 0);
  Tick(kLinkTimer);
  // The message expires on this tick: the block of the one left, then the whole display.
  ASSERT_EQ(invalidations.size(), 2u);
  EXPECT_EQ(invalidations[0].rect, (Rect{-203, 65, 629, 78}));
  EXPECT_TRUE(invalidations[1].whole);
  EXPECT_TRUE(invalidations[1].erase);
}

TEST_F(ShellTest, TheRepaintTickRedrawsWithoutEraseAndPutsTheAgmMarkOutOnTheFourthTick) {
  SetAgmMark(g_tag_database, 43.2, 40.1);
  g_shell.listener.agm_age = 0; // as the AGMTAG handler leaves it
  for (int tick = 1; tick <= 3; ++tick) {
    Tick(kRepaintTimer);
    ASSERT_EQ(invalidations.size(), 1u);
    EXPECT_TRUE(invalidations[0].whole);
    EXPECT_FALSE(invalidations[0].erase);
    EXPECT_TRUE(AgmMarkShown(g_tag_database)) << tick;
  }
  Tick(kRepaintTimer);
  EXPECT_FALSE(AgmMarkShown(g_tag_database));
}

TEST_F(ShellTest, OtherTimerIdsDoNothing) {
  const uint32_t blink = g_event_log.blink;
  Tick(101);
  Tick(0);
  EXPECT_TRUE(invalidations.empty());
  EXPECT_EQ(g_event_log.blink, blink);
  EXPECT_EQ(g_shell.listener.link_age, 0);
}

// The index of the first record drawing text, or -1.
int IndexOfText(const RecordingCanvas &recorder, const std::wstring &text) {
  for (size_t i = 0; i < recorder.records.size(); ++i)
    if (recorder.records[i].op == CanvasOp::kText && recorder.records[i].text == text)
      return static_cast<int>(i);
  return -1;
}

TEST_F(ShellTest, APaintDrawsTheBodyThenTheFrameThenTheMessages) {
  g_page_state.current_page = kPageFailures;
  PostEvent(0x80010001, L"VEKTA DISCONNECTED", -1);
  g_event_log.blink = 1; // a visible phase of the blinking
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  g_map_view.map_shown = 1;
  PaintDisplay(recorder.canvas);
  EXPECT_EQ(g_map_view.map_shown, 0);
  const int body = IndexOfText(recorder, L"Left Engine");
  const int title = IndexOfText(recorder, L"[ FAILURES STATUS ]");
  const int label = IndexOfText(recorder, L"\nMODE");
  const int message = IndexOfText(recorder, L"[10001]:VEKTA DISCONNECTED");
  ASSERT_GE(body, 0);
  ASSERT_GE(title, 0);
  EXPECT_LT(body, title);
  EXPECT_LT(title, label);
  EXPECT_EQ(message, static_cast<int>(recorder.records.size()) - 1);
}

TEST_F(ShellTest, WhileDebuggingTheGridIsDrawnOverTheBodyAndUnderTheFrame) {
  BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{}));
  g_page_state.current_page = kPageFailures;
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  PaintDisplay(recorder.canvas);
  EXPECT_TRUE(FindRecords(recorder, CanvasOp::kArc).empty());
  g_shell.settings.debug = 1;
  recorder.records.clear();
  PaintDisplay(recorder.canvas);
  const auto circles = FindRecords(recorder, CanvasOp::kArc);
  EXPECT_EQ(circles.size(), 16u);
  const int body = IndexOfText(recorder, L"Fuel Tank");
  const int title = IndexOfText(recorder, L"[ FAILURES STATUS ]");
  const int first = static_cast<int>(circles.front() - recorder.records.data());
  const int last = static_cast<int>(circles.back() - recorder.records.data());
  EXPECT_LT(body, first);
  EXPECT_LT(last, title);
}

TEST_F(ShellTest, TheDatabasesAndSquadPagesDrawTheirBodiesUnderTheFrame) {
  g_page_state.current_page = kPageDatabases;
  PostEvent(0x80010001, L"VEKTA DISCONNECTED", -1);
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  PaintDisplay(recorder.canvas, 3);
  const int version = IndexOfText(recorder, L"CURRENT VERSION : 1.03.00(1505)");
  EXPECT_GE(version, 0);
  EXPECT_GE(IndexOfText(recorder, L"MESSAGES DB (EM)... : 1"), 0);
  EXPECT_GE(IndexOfText(recorder, L"HOSTS REACHABLES DB : 3"), 0);
  EXPECT_LT(version, IndexOfText(recorder, L"[ DATABASES ]"));
  recorder.records.clear();
  g_page_state.current_page = kPageSquad;
  PaintDisplay(recorder.canvas);
  const int squad = IndexOfText(recorder, L"SquadGroup ID : 1");
  EXPECT_GE(squad, 0);
  EXPECT_LT(squad, IndexOfText(recorder, L"[ SQUAD GROUP ]"));
}

TEST_F(ShellTest, TheMapPagesMarkTheMapShown) {
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  for (int page : {kPageMonitoring, kPageTagging}) {
    g_page_state.current_page = page;
    g_map_view.map_shown = 0;
    PaintDisplay(recorder.canvas);
    EXPECT_EQ(g_map_view.map_shown, 1) << page;
  }
  g_page_state.current_page = kPageSquad;
  PaintDisplay(recorder.canvas);
  EXPECT_EQ(g_map_view.map_shown, 0);
}

TEST_F(ShellTest, StartUpLabelsTheLoadButtonsAndStartsOnMonitoring) {
  EXPECT_EQ(g_page_state.current_page, kPageMonitoring);
  EXPECT_EQ(Label(kPageDatabases, 6), L"LOAD KRASNODAR");
  EXPECT_EQ(Label(kPageDatabases, 7), L"LOAD CAUCASUS");
  EXPECT_EQ(Label(kPageDatabases, 8), L"LOAD GEORGIA");
  EXPECT_EQ(g_page_state.option_values[kPageMonitoring], 3u);
  EXPECT_EQ(g_page_state.option_values[kPageTagging], 15u);
  EXPECT_EQ(g_map_view.current_map, -1);
}

} // namespace
