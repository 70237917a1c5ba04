// frame_composition_test.cpp: every frame the front ends present is whole and true. A sequence of states that
// used to leave old pixels behind (a flight across a map edge at the widest zoom, a moving position with no map,
// messages removed while shown, a DATABASES line getting shorter, the TAGGING cursor off the map, another map
// in the place of the last, transparent titles painted again and again) is composed twice at every step, once
// brought up to date in the frame of the step before as the front ends do (only what changed drawn again), and
// once whole into a new one: the pixels must be the same. Runs on the Cairo canvas and, under Wine, on GDI.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "app/shell.h"
#include "base/shared_lock.h"
#include "base/wide_text.h"
#include "display/composed_frame.h"
#include "link/listener.h"
#include "map/map_drawing.h"
#include "map/map_view.h"
#include "mfd/page_state.h"
#include "platform/bitmap.h"
#include "platform/frame_buffer.h"
#include "status/event_codes.h"
#include "status/event_log.h"
#include "support/frame_scene.h"
#include "support/map_support.h"
#include "support/shell_fixture.h"
#include "support/test_env.h"

namespace {

constexpr int kMapWidth = 1200, kMapHeight = 900, kCell = 100; // 40-44 N, 36-41.5 E

struct Difference {
  int count = 0;
  int x = -1, y = -1; // the first pixel that differs
};

Difference Compare(const FrameBuffer *a, const FrameBuffer *b) {
  Difference d;
  int stride_a = 0, stride_b = 0;
  const auto *pa = reinterpret_cast<const unsigned char *>(FrameBufferPixels(a, &stride_a));
  const auto *pb = reinterpret_cast<const unsigned char *>(FrameBufferPixels(b, &stride_b));
  for (int y = 0; y < FrameBufferHeight(a); ++y) {
    const auto *ra = reinterpret_cast<const uint32_t *>(pa + y * stride_a);
    const auto *rb = reinterpret_cast<const uint32_t *>(pb + y * stride_b);
    for (int x = 0; x < FrameBufferWidth(a); ++x) {
      if (((ra[x] ^ rb[x]) & 0xFFFFFFu) == 0)
        continue;
      if (d.count++ == 0)
        d.x = x, d.y = y;
    }
  }
  return d;
}

int LitPixels(const FrameBuffer *frame) {
  int stride = 0, lit = 0;
  const auto *p = reinterpret_cast<const unsigned char *>(FrameBufferPixels(frame, &stride));
  for (int y = 0; y < FrameBufferHeight(frame); ++y)
    for (int x = 0; x < FrameBufferWidth(frame); ++x)
      lit += (reinterpret_cast<const uint32_t *>(p + y * stride)[x] & 0xFFFFFFu) != 0 ? 1 : 0;
  return lit;
}

class FrameCompositionTest : public ShellTest {
protected:
  void SetUp() override {
    ShellTest::SetUp();
    AttachSharedRecords(g_shell.listener); // the handlers' view of the records
    map_path = MakeScratchFolder() + "/checker.bmp";
    ASSERT_TRUE(WriteCheckerBmp(map_path, kMapWidth, kMapHeight, 37));
    reused = CreateFrameBuffer(425, 425);
    ASSERT_NE(reused, nullptr);
  }
  void TearDown() override {
    FreeFrameBuffer(reused);
    EndScene();
    g_map_view.zoom = 1.0;
    ApplyZoom(g_map_view);
    ShellTest::TearDown();
  }

  void LoadMap() {
    Bitmap *map = LoadBitmapFile(Widen(map_path).c_str());
    ASSERT_NE(map, nullptr);
    TakeSceneMap(map, kMapWidth, kMapHeight, kCell);
  }
  void UnloadMap() {
    FreeBitmap(g_map_view.bitmap);
    g_map_view.bitmap = nullptr;
    g_map_view.current_map = -1;
    CopyWide(g_map_view.current_map_name, kMapNameCapacity, kMapLoadFailedName);
  }

  // Composes the state as it stands into the frame of the step before and into a new one; what the first drew
  // again.
  FrameChanges Step(const std::string &what) {
    const FrameChanges changes = ShellUpdateFrame(reused);
    FrameBuffer *fresh = CreateFrameBuffer(425, 425);
    EXPECT_NE(fresh, nullptr);
    if (fresh == nullptr)
      return changes;
    ShellComposeFrame(fresh);
    const Difference d = Compare(reused, fresh);
    EXPECT_EQ(d.count, 0) << what << ": pixels differ from a frame composed from nothing, the first at (" << d.x << ", "
                          << d.y << ")";
    EXPECT_GT(LitPixels(fresh), 2000) << what << ": the frame is (nearly) black";
    FreeFrameBuffer(fresh);
    return changes;
  }
  static int ChangedPixels(const FrameChanges &changes) {
    int pixels = changes.whole ? 425 * 425 : 0;
    for (int i = 0; i < changes.count; ++i)
      pixels += (changes.areas[i].right - changes.areas[i].left) * (changes.areas[i].bottom - changes.areas[i].top);
    return pixels;
  }

  std::string map_path;
  FrameBuffer *reused = nullptr;
};

TEST_F(FrameCompositionTest, AFrameDrawnOverTheLastIsTheFrameDrawnFromNothing) {
  g_event_log.blink = 1; // the messages' visible phase, unless a step says otherwise

  // DATABASES: the failed load's long map name, then the shorter name of a map that loaded.
  g_page_state.current_page = kPageDatabases;
  UnloadMap();
  Step("DATABASES after a failed load");
  LoadMap();
  Step("DATABASES after GEORGIA loaded");

  // A flight eastward across the map's edge at the widest zoom: the view reaches past the bitmap, whose edge
  // moves across the window, and the ownship finally leaves the grid ("OUT OF MAP").
  g_page_state.current_page = kPageMonitoring;
  g_map_view.zoom = 5.656852;
  ApplyZoom(g_map_view);
  for (int i = 0; i < 8; ++i) {
    HandleDatagram("KESTREL MONITOR:Lat=42.1,Long=%.3f,Compass=%.2f,Alt=3000", 40.0 + 0.25 * i, 1.4 + 0.05 * i);
    Step("MONITORING, widest zoom, flight step " + std::to_string(i));
  }

  // No map: the position line changes under a moving ownship; after the first step only that line is drawn
  // again, a small part of the window.
  UnloadMap();
  for (int i = 0; i < 4; ++i) {
    HandleDatagram("KESTREL MONITOR:Lat=%.4f,Long=41.%04d,Compass=0.3,Alt=3000", 42.3 + 0.0137 * i, 1111 * i);
    const FrameChanges changes = Step("MONITORING without a map, position " + std::to_string(i));
    if (i > 0) {
      EXPECT_GT(changes.count, 0) << "position " << i;
      EXPECT_LT(ChangedPixels(changes), 425 * 425 / 4) << "position " << i;
    }
  }

  // Messages removed while shown: VEKTA DISCONNECTED goes with the next MONITOR, the rest with CLEAR MSGS, on
  // every page that shows them over a body of its own.
  for (const int page : {kPageMonitoring, kPageFailures, kPageSquad, kPageDatabases}) {
    g_page_state.current_page = page;
    PostEventOnce(kCodeVektaDisconnected, L"VEKTA DISCONNECTED");
    PostEvent(kCodeIncomingRoute, L"INCOMING ROUTE", 10);
    PostEvent(kCodeRouteOutOfMap, L"ROUTE OUT OF MAP", 20);
    Step("messages shown on page " + std::to_string(page));
    HandleDatagram("KESTREL MONITOR:Lat=42.3,Long=41.2,Compass=0.3,Alt=3000");
    Step("VEKTA DISCONNECTED removed on page " + std::to_string(page));
    ClearEvents();
    Step("messages cleared on page " + std::to_string(page));
  }

  // TAGGING with the cursor over the map and then off it, where its inverted bars lie over the black.
  LoadMap();
  g_page_state.current_page = kPageTagging;
  g_map_view.zoom = 1.0;
  ApplyZoom(g_map_view);
  g_map_view.centre_x = 600;
  g_map_view.centre_y = 450;
  Step("TAGGING over the map");
  g_map_view.centre_x = -2000;
  for (int i = 0; i < 3; ++i)
    Step("TAGGING cursor off the map, paint " + std::to_string(i));

  // Another map of the same size, loaded where the last one was freed (perhaps at its very address), shown at
  // the same place: the map is drawn again.
  g_map_view.centre_x = 600;
  Step("TAGGING over the first map");
  UnloadMap();
  const std::string other_path = MakeScratchFolder() + "/other.bmp";
  ASSERT_TRUE(WriteCheckerBmp(other_path, kMapWidth, kMapHeight, 23));
  Bitmap *other = LoadBitmapFile(Widen(other_path).c_str());
  ASSERT_NE(other, nullptr);
  TakeSceneMap(other, kMapWidth, kMapHeight, kCell);
  Step("TAGGING over another map");

  // The same page painted again and again: transparent, anti-aliased titles must not thicken, and nothing is
  // drawn again once the frame stands.
  g_page_state.current_page = kPageFailures;
  for (int i = 0; i < 6; ++i) {
    const FrameChanges changes = Step("FAILURES STATUS, paint " + std::to_string(i));
    if (i > 0) {
      EXPECT_EQ(ChangedPixels(changes), 0) << "paint " << i;
    }
  }
}

// A viewer on a third thread (a web display, say) copies the latest composed frame while the listener changes
// the records and the user-interface thread composes; it never takes the shared-data lock, and what it gets is
// a whole frame, the last one once the composing stops.
TEST_F(FrameCompositionTest, ConcurrentViewerGetsWholeFramesWithoutTheSharedLock) {
  LoadMap();
  g_page_state.current_page = kPageMonitoring;
  WatchComposedFrames(true);
  std::atomic<bool> done{false};
  std::thread listener([&] {
    for (int i = 0; !done; i = (i + 1) % 100) {
      SharedGuard guard = LockSharedData();
      HandleDatagram("KESTREL MONITOR:Lat=42.%02d,Long=38.5,Compass=0.5,Alt=3000", i);
    }
  });
  std::atomic<int> seen{0}, whole{0};
  std::atomic<bool> viewed{false};
  std::thread viewer([&] {
    ComposedFrame frame;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (seen < 20 && std::chrono::steady_clock::now() < until) {
      const uint64_t before = frame.number;
      if (!CopyComposedFrame(frame)) {
        std::this_thread::yield();
        continue;
      }
      ++seen;
      int lit = 0;
      for (const uint32_t pixel : frame.pixels)
        lit += pixel != 0 ? 1 : 0;
      whole += frame.number > before && frame.width == 425 && frame.height == 425 && lit > 2000 ? 1 : 0;
    }
    viewed = true;
  });
  while (!viewed)
    ShellComposeFrame(reused);
  viewer.join();
  done = true;
  listener.join();
  EXPECT_EQ(whole.load(), 20);

  ShellComposeFrame(reused);
  ComposedFrame last;
  ASSERT_TRUE(CopyComposedFrame(last));
  int stride = 0;
  const auto *pixels = reinterpret_cast<const unsigned char *>(FrameBufferPixels(reused, &stride));
  int differ = 0;
  for (int y = 0; y < 425; ++y)
    for (int x = 0; x < 425; ++x)
      differ += (reinterpret_cast<const uint32_t *>(pixels + y * stride)[x] & 0xFFFFFFu) != last.pixels[y * 425 + x];
  EXPECT_EQ(differ, 0);
  WatchComposedFrames(false);
}

} // namespace
