// map_view_test.cpp: the map view record, the catalogue and the map load sequence with its lock phases.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/settings.h"
#include "app/shared_lock.h"
#include "map/calibration_grid.h"
#include "map/catalogue.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "status/event_log.h"
#include "support/map_support.h"
#include "support/test_env.h"

namespace {

const char *const kSquareGrid = "[435:400]0:0\n[435:405]100:0\n[430:400]0:100\n[430:405]100:100\n";
const char *const kLargeGrid = "[435:400]0:0\n[435:405]200:0\n[430:400]0:200\n[430:405]200:200\n";

const EventMessage *FindEvent(uint32_t code) {
  for (const EventMessage *m = g_event_log.root.next; m != nullptr; m = m->next)
    if (m->code == code)
      return m;
  return nullptr;
}

class MapLoadTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = UseFreshSettingsStore();
    InitEventLog(425);
    InitMapView(nullptr, 0, 425, 425);
    ClearCalibrationGrid();
    // The view centre does not depend on the bitmap's size, so small files stand in for the theatres.
    ASSERT_TRUE(WriteSolidBmp(folder + "/map.bmp", 8, 6));
    ASSERT_TRUE(WriteTextFile(folder + "/square.grid", kSquareGrid));
    ASSERT_TRUE(WriteTextFile(folder + "/large.grid", kLargeGrid));
    for (int i = 0; i < kMapCatalogueSize; ++i) {
      SetPath(MapCatalogue()[i].map_value_name, "map.bmp");
      SetPath(MapCatalogue()[i].grid_value_name, i == 1 ? "large.grid" : "square.grid");
    }
    PostEventOnce(kMapNotLoadedCode, L"NO MAP LOADED");
  }
  void TearDown() override {
    InitMapView(nullptr, 0, 425, 425); // frees the bitmap
    ClearCalibrationGrid();
    ClearEvents();
  }

  void SetPath(const wchar_t *value_name, const std::string &file) {
    WriteSetting(value_name, Widen(folder + "/" + file).c_str());
  }

  static bool Project(int32_t *x, int32_t *y) { return GeoToMapPixel(&g_calibration_grid, 43.25, 40.25, x, y); }

  std::string folder;
};

TEST(MapView, InitialStateAndFontHeights) {
  InitMapView(nullptr, 1, 640, 480);
  EXPECT_STREQ(g_map_view.current_map_name, L"/!\\ NOT LOADED /!\\");
  EXPECT_EQ(g_map_view.current_map, -1);
  EXPECT_EQ(g_map_view.font_height, 20) << "640 x 17 / 520 = 20.9, truncated";
  EXPECT_EQ(g_map_view.small_font_height, 13);
  InitMapView(nullptr, 0, 425, 425);
  EXPECT_EQ(g_map_view.font_height, 13);
  EXPECT_EQ(g_map_view.small_font_height, 8);
}

TEST_F(MapLoadTest, EachEntryPutsItsStartPointAtTheTopLeftCorner) {
  const int centres[3][2] = {{212, 212}, {3792, 212}, {3788, 2346}};
  for (int i = 0; i < kMapCatalogueSize; ++i) {
    ASSERT_TRUE(LoadMapSequence(i)) << i;
    EXPECT_EQ(g_map_view.centre_x, centres[i][0]) << i;
    EXPECT_EQ(g_map_view.centre_y, centres[i][1]) << i;
    EXPECT_EQ(g_map_view.current_map, i);
    EXPECT_STREQ(g_map_view.current_map_name, MapCatalogue()[i].display_name);
    EXPECT_NE(g_map_view.bitmap, nullptr);
  }
  g_map_view.zoom = 0.5; // the load keeps the zoom and places the start point for it
  ASSERT_TRUE(LoadMap(1));
  EXPECT_EQ(g_map_view.centre_x, 3580 + 106);
  EXPECT_EQ(g_map_view.centre_y, 106);
}

TEST_F(MapLoadTest, SuccessfulLoadSwapsTheGridAndAnnouncesIt) {
  ASSERT_TRUE(LoadMapSequence(0));
  int32_t x = 0, y = 0;
  ASSERT_TRUE(Project(&x, &y));
  EXPECT_EQ(x, 50);
  EXPECT_FALSE(HasEvent(kMapNotLoadedCode));
  const EventMessage *loaded = FindEvent(kMapLoadedCode);
  ASSERT_NE(loaded, nullptr);
  EXPECT_STREQ(loaded->text, L"MAP LOADED");
  EXPECT_EQ(loaded->lifetime, 6);

  ClearEvents();
  ASSERT_TRUE(LoadMapSequence(2));
  ASSERT_NE(FindEvent(kMapLoadedCode), nullptr);
  EXPECT_EQ(FindEvent(kMapLoadedCode)->lifetime, 12) << "GEORGIA's message stays twice as long";

  ASSERT_TRUE(LoadMapSequence(1));
  ASSERT_TRUE(Project(&x, &y));
  EXPECT_EQ(x, 100) << "the grid of the entry just loaded";
}

TEST_F(MapLoadTest, FailedBitmapShowsTheFailureAndKeepsTheGrid) {
  ASSERT_TRUE(LoadMapSequence(0));
  ClearEvents();
  SetPath(MapCatalogue()[1].map_value_name, "absent.bmp");
  EXPECT_FALSE(LoadMapSequence(1));
  EXPECT_STREQ(g_map_view.current_map_name, L"/!\\ NOT LOADDED /!\\");
  EXPECT_EQ(g_map_view.current_map, -1);
  EXPECT_EQ(g_map_view.bitmap, nullptr) << "the previous bitmap is not restored";
  int32_t x = 0, y = 0;
  ASSERT_TRUE(Project(&x, &y)) << "the sequence stopped before the grid";
  EXPECT_EQ(x, 50);
  EXPECT_EQ(FindEvent(kMapLoadedCode), nullptr);

  SetPath(MapCatalogue()[2].map_value_name, "square.grid"); // a file that is no bitmap
  EXPECT_FALSE(LoadMap(2));
  EXPECT_EQ(g_map_view.current_map, -1);
  EXPECT_FALSE(LoadMap(3)) << "outside the catalogue";
  EXPECT_FALSE(LoadMapSequence(-1));
}

TEST_F(MapLoadTest, MissingGridShowsTheMapWithoutPositions) {
  ASSERT_TRUE(LoadMapSequence(0));
  ClearEvents();
  PostEventOnce(kMapNotLoadedCode, L"NO MAP LOADED");
  SetPath(MapCatalogue()[2].grid_value_name, "absent.grid");
  EXPECT_FALSE(LoadMapSequence(2));
  EXPECT_EQ(g_map_view.current_map, 2) << "the bitmap loaded";
  EXPECT_STREQ(g_map_view.current_map_name, L"GEORGIA");
  EXPECT_EQ(g_calibration_grid.head.next, nullptr) << "the old grid does not belong to this map";
  EXPECT_EQ(FindEvent(kMapLoadedCode), nullptr);
  EXPECT_TRUE(HasEvent(kMapNotLoadedCode));
}

TEST_F(MapLoadTest, ReadPhaseTouchesNoSharedRecord) {
  ASSERT_TRUE(LoadMapSequence(0));
  const Bitmap *first = g_map_view.bitmap;
  const GridNode *first_grid = g_calibration_grid.head.next;
  MapLoad load = ReadMapLoad(1);
  ASSERT_NE(load.bitmap, nullptr);
  EXPECT_TRUE(load.grid_read);
  EXPECT_EQ(g_map_view.bitmap, first);
  EXPECT_EQ(g_map_view.current_map, 0);
  EXPECT_EQ(g_calibration_grid.head.next, first_grid);

  EXPECT_TRUE(CommitMapLoad(load));
  EXPECT_EQ(g_map_view.current_map, 1);
  EXPECT_EQ(load.replaced_bitmap, first) << "handed back to be freed outside the lock";
  EXPECT_EQ(load.grid.head.next, first_grid);
  EXPECT_EQ(load.bitmap, nullptr) << "the view owns the new bitmap";
  ReleaseMapLoad(load);
  EXPECT_EQ(load.replaced_bitmap, nullptr);
  EXPECT_EQ(load.grid.head.next, nullptr);
}

TEST_F(MapLoadTest, RequestedLoadRunsOnceAfterTheLockIsReleased) {
  EXPECT_FALSE(RunRequestedMapLoad()) << "nothing requested";
  {
    SharedGuard guard = LockSharedData();
    RequestMapLoad(1);
    EXPECT_EQ(g_map_view.current_map, -1) << "a request reads nothing while the lock is held";
  }
  EXPECT_TRUE(RunRequestedMapLoad());
  EXPECT_EQ(g_map_view.current_map, 1);
  EXPECT_FALSE(RunRequestedMapLoad()) << "a request runs once";
}

// Loads run while another thread projects under the lock, as the listener does: it must see one whole
// grid or the other, never a grid half replaced, and a bitmap whenever a map is current.
TEST_F(MapLoadTest, ConcurrentProjectionsSeeWholeGrids) {
  ASSERT_TRUE(LoadMapSequence(0));
  std::atomic<bool> done{false};
  std::atomic<int> projections{0}, faults{0};
  std::thread listener([&] {
    while (!done.load()) {
      SharedGuard guard = LockSharedData();
      int32_t x = 0, y = 0;
      const bool ok = Project(&x, &y);
      if (!ok || !((x == 50 && y == 50) || (x == 100 && y == 100)))
        faults.fetch_add(1);
      if (g_map_view.current_map < 0 || g_map_view.bitmap == nullptr)
        faults.fetch_add(1);
      projections.fetch_add(1);
    }
  });
  while (projections.load() == 0)
    std::this_thread::yield();
  for (int i = 0; i < 20; ++i) {
    {
      SharedGuard guard = LockSharedData();
      RequestMapLoad(i % 2 == 0 ? 1 : 0);
    }
    EXPECT_TRUE(RunRequestedMapLoad());
  }
  done.store(true);
  listener.join();
  EXPECT_EQ(faults.load(), 0);
  EXPECT_GT(projections.load(), 0);
}

} // namespace
