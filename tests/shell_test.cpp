// shell_test.cpp: keys and clicks as buttons, the one-second timers and the paint composition.
#include <gtest/gtest.h>

#include <future>
#include <string>

#include "app/shell.h"
#include "base/shared_lock.h"
#include "map/map_view.h"
#include "mfd/page_state.h"
#include "mfd/page_table.h"
#include "platform/bitmap.h"
#include "status/event_codes.h"
#include "support/map_support.h"
#include "support/recording_canvas.h"
#include "support/shell_fixture.h"
#include "support/test_env.h"
#include "tactical/tag_database.h"

namespace {

constexpr int kVkF1 = 0x70;

TEST_F(ShellTest, KeysNameTheButtonsBesideThemAndOtherKeysNothing) {
  const struct {
    int key, button;
  } keys[] = {{kVkF1, 1}, {kVkF1 + 4, 5}, {kVkF1 + 5, 15}, {kVkF1 + 9, 11}, {'1', 6},  {'5', 10},
              {'6', 20},  {'7', 19},      {'9', 17},       {'0', 16},       {'M', 13}, {0x22, 24}};
  for (const auto &k : keys) {
    g_shell.pending_press = 0;
    EXPECT_TRUE(KeyToButton(k.key)) << k.key;
    EXPECT_EQ(g_shell.pending_press, k.button) << k.key;
  }
  for (int key : {int{'A'}, kVkF1 + 10, 0x20, 0x2D}) { // the last press stays as it was
    EXPECT_FALSE(KeyToButton(key)) << key;
    EXPECT_EQ(g_shell.pending_press, 24) << key;
  }
  g_page_state.current_page = kPageFailures;
  EXPECT_FALSE(Press('A'));
  EXPECT_EQ(g_page_state.current_page, kPageFailures);
  EXPECT_EQ(clicks, 0);
}

TEST_F(ShellTest, ClicksHitOnlyStrictlyInsideALabelAndTheLowerNumberWins) {
  const struct {
    int x, y, button;
  } clicks_at[] = {
      {31, 10, 0},    {50, 5, 0},     {50, 18, 0}, {389, 10, 0}, // the edges of button 1 (31..109 x 5..18) and of 5
      {32, 6, 1},     {108, 17, 1},                              // just inside
      {105, 10, 1},   {110, 10, 2},                              // 1 and 2 overlap: 6F = 78 is wider than W/6 = 70
      {50, 300, 0},   {212, 212, 0},  {0, 0, 0},                 // between 16 and 17, mid-display, the unplaced ones
      {300, 382, 23}, {300, 383, 24},                            // 23 (360..383) and 24 (381..400) overlap
  };
  for (const auto &c : clicks_at) {
    g_shell.pending_press = 9;
    EXPECT_EQ(HitTestButton(c.x, c.y), c.button) << c.x << "," << c.y;
    EXPECT_EQ(g_shell.pending_press, c.button == 0 ? 9 : c.button) << "a miss keeps the last press";
  }
  ShellClick(240, 400); // "\nMODE", button 13
  EXPECT_EQ(g_page_state.current_page, kPageTagging);
  EXPECT_EQ(clicks, 1);
  ASSERT_FALSE(invalidations.empty());
  EXPECT_TRUE(invalidations.back().whole && invalidations.back().erase);
}

TEST_F(ShellTest, VektaDisconnectedComesAtTheFifthSecondOnlyOnce) {
  for (int tick = 1; tick <= 4; ++tick) {
    Tick(kLinkTimer);
    EXPECT_FALSE(HasEvent(kCodeVektaDisconnected)) << tick;
  }
  for (int tick = 5; tick <= 9; ++tick) {
    Tick(kLinkTimer);
    EXPECT_EQ(CountEventsWithCode(kCodeVektaDisconnected), 1) << tick;
  }
  EXPECT_EQ(FirstEventWithCode(kCodeVektaDisconnected)->lifetime, -1);
  EXPECT_EQ(g_shell.listener.link_age, 9000) << "keeps growing while the link is silent";
  RemoveEvents(kCodeVektaDisconnected); // as a MONITOR does
  g_shell.listener.link_age = 0;
  for (int tick = 1; tick <= 4; ++tick)
    Tick(kLinkTimer);
  EXPECT_FALSE(HasEvent(kCodeVektaDisconnected));
}

TEST_F(ShellTest, NoMapLoadedIsPresentOnceEverySecondWithoutAMap) {
  for (int tick = 1; tick <= 3; ++tick) {
    Tick(kLinkTimer);
    EXPECT_EQ(CountEventsWithCode(kCodeNoMapLoaded), 1) << tick;
  }
  RemoveEvents(kCodeNoMapLoaded);
  Tick(kLinkTimer);
  EXPECT_EQ(CountEventsWithCode(kCodeNoMapLoaded), 1);
  g_map_view.current_map = 2;
  RemoveEvents(kCodeNoMapLoaded);
  Tick(kLinkTimer);
  EXPECT_FALSE(HasEvent(kCodeNoMapLoaded));
  g_map_view.current_map = -1;
}

TEST_F(ShellTest, TheLinkTickRepaintsTheMessageBlockAndTheWholeDisplayWhenOneExpires) {
  const uint32_t blink = g_event_log.blink;
  Tick(kLinkTimer);
  EXPECT_EQ(g_event_log.blink, blink + 1);
  // Only "NO MAP LOADED": one line, h = 13, left = (425 - 832) / 2 truncated toward zero.
  ASSERT_EQ(invalidations.size(), 1u);
  EXPECT_FALSE(invalidations[0].whole);
  EXPECT_EQ(invalidations[0].rect, (Rect{-203, 65, 629, 78}));
  PostEvent(0x0202A000, L"MAP LOADED", 0);
  Tick(kLinkTimer);
  ASSERT_EQ(invalidations.size(), 2u);
  EXPECT_EQ(invalidations[0].rect, (Rect{-203, 65, 629, 78}));
  EXPECT_TRUE(invalidations[1].whole && invalidations[1].erase);
  Tick(101); // not one of ours
  EXPECT_TRUE(invalidations.empty());
}

TEST_F(ShellTest, TheRepaintTickRedrawsWithoutEraseAndPutsTheAgmMarkOutOnTheFourthTick) {
  SetAgmMark(g_tag_database, 43.2, 40.1);
  for (int tick = 1; tick <= 3; ++tick) {
    Tick(kRepaintTimer);
    ASSERT_EQ(invalidations.size(), 1u);
    EXPECT_TRUE(invalidations[0].whole && !invalidations[0].erase);
    EXPECT_TRUE(AgmMarkShown(g_tag_database)) << tick;
  }
  Tick(kRepaintTimer);
  EXPECT_FALSE(AgmMarkShown(g_tag_database));
}

// The index of the first record drawing text, or -1.
int IndexOfText(const RecordingCanvas &recorder, const std::wstring &text) {
  const CanvasRecord *found = FindText(recorder, text);
  return found == nullptr ? -1 : static_cast<int>(found - recorder.records.data());
}

TEST_F(ShellTest, APaintDrawsTheBodyThenTheFrameThenTheMessages) {
  EXPECT_STREQ(PageLabel(kPageDatabases, 8), L"LOAD GEORGIA"); // labelled at start-up
  RecordingCanvas recorder;
  InitRecordingCanvas(recorder, 425, 425);
  for (int page : {kPageMonitoring, kPageTagging}) {
    g_page_state.current_page = page;
    g_map_view.map_shown = 0;
    PaintDisplay(recorder.canvas);
    EXPECT_EQ(g_map_view.map_shown, 1) << page;
  }
  g_page_state.current_page = kPageFailures;
  PostEvent(kCodeVektaDisconnected, L"VEKTA DISCONNECTED", -1);
  g_event_log.blink = 1; // a visible phase of the blinking
  recorder.records.clear();
  PaintDisplay(recorder.canvas);
  EXPECT_EQ(g_map_view.map_shown, 0);
  const int body = IndexOfText(recorder, L"Left Engine"), title = IndexOfText(recorder, L"[ FAILURES STATUS ]");
  ASSERT_GE(body, 0);
  EXPECT_LT(body, title);
  EXPECT_LT(title, IndexOfText(recorder, L"\nMODE"));
  EXPECT_EQ(IndexOfText(recorder, L"[10001]:VEKTA DISCONNECTED"), static_cast<int>(recorder.records.size()) - 1);

  // While debugging, the grid's circles lie over the body and under the frame.
  BuildIndexedGrid(&g_calibration_grid, LatticeNodes(Lattice{}));
  g_map_view.centre_x = 250; // every node of the lattice on the window
  g_map_view.centre_y = 350;
  g_shell.settings.debug = 1;
  recorder.records.clear();
  PaintDisplay(recorder.canvas);
  const auto circles = FindRecords(recorder, CanvasOp::kArc);
  ASSERT_EQ(circles.size(), 16u);
  EXPECT_LT(IndexOfText(recorder, L"Fuel Tank"), circles.front() - recorder.records.data());
  EXPECT_LT(circles.back() - recorder.records.data(), IndexOfText(recorder, L"[ FAILURES STATUS ]"));
}

// A canvas that notes, for each primitive, whether the shared-data lock was held while it was drawn.
struct LockWatch {
  Canvas canvas;
  std::vector<std::pair<CanvasOp, bool>> drawn; // what, and with the lock held
  static bool Held() {
    // Asked from another thread: this one may hold the lock, and may not try it again.
    return !std::async(std::launch::async, [] {
              if (!SharedDataLock().try_lock())
                return false;
              SharedDataLock().unlock();
              return true;
            }).get();
  }
  static void Note(void *impl, CanvasOp op) { static_cast<LockWatch *>(impl)->drawn.push_back({op, Held()}); }
  LockWatch() {
    static const CanvasBackend backend = {
        [](void *impl, const CanvasState &, Point, Point) { Note(impl, CanvasOp::kLine); },
        [](void *impl, const CanvasState &, Point, int, double, double) { Note(impl, CanvasOp::kArc); },
        [](void *impl, const CanvasState &, Rect) { Note(impl, CanvasOp::kRectangle); },
        [](void *impl, const CanvasState &, Rect) { Note(impl, CanvasOp::kEllipse); },
        [](void *impl, const CanvasState &, const Point *, int) { Note(impl, CanvasOp::kPolygon); },
        [](void *impl, const CanvasState &, Rect, const wchar_t *, int, uint32_t) { Note(impl, CanvasOp::kText); },
        [](void *, const CanvasState &, const wchar_t *, int length) { return length * 8; },
        [](void *impl, Rect) { Note(impl, CanvasOp::kInvert); },
        [](void *impl, const Bitmap *, Rect, Rect) { Note(impl, CanvasOp::kStretch); },
        [](void *impl, Rect, Colour) { Note(impl, CanvasOp::kFill); }};
    canvas.backend = &backend;
    canvas.impl = this;
    canvas.width = canvas.height = 425;
  }
};

// The listener waits for a paint only while the frame is taken down: the map, which a map load may free once the lock
// is released, is stretched under it (after the black the frame starts from), and everything after it is drawn once
// the lock is free.
TEST_F(ShellTest, APaintDrawsTheMapUnderTheLockAndTheRestAfterIt) {
  const std::string folder = MakeScratchFolder();
  ASSERT_TRUE(WriteSolidBmp(folder + "/map.bmp", 64, 48));
  Bitmap *map = LoadBitmapFile(Widen(folder + "/map.bmp").c_str());
  ASSERT_NE(map, nullptr);
  g_map_view.bitmap = map;
  g_map_view.current_map = 0;
  g_event_log.blink = 1;
  LockWatch watch;
  ShellPaint(watch.canvas);
  g_map_view.bitmap = nullptr;
  g_map_view.current_map = -1;
  FreeBitmap(map);
  ASSERT_GT(watch.drawn.size(), 2u);
  EXPECT_EQ(watch.drawn[0], (std::pair{CanvasOp::kFill, true}));
  EXPECT_EQ(watch.drawn[1], (std::pair{CanvasOp::kStretch, true}));
  int drawn_free = 0;
  for (size_t i = 2; i < watch.drawn.size(); ++i)
    drawn_free += watch.drawn[i].second ? 0 : 1;
  EXPECT_EQ(drawn_free, static_cast<int>(watch.drawn.size()) - 2) << "the rose, the ownship, the frame, the messages";
}

} // namespace
