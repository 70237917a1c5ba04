// map_view_test.cpp: loading the catalogue's maps: view centres, failure names, the grid swap, the
// messages and the lock phases.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/settings.h"
#include "base/shared_lock.h"
#include "map/calibration_grid.h"
#include "map/catalogue.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "platform/settings_store.h"
#include "status/event_codes.h"
#include "status/event_log.h"
#include "support/map_support.h"
#include "support/test_env.h"

namespace {

class MapLoadTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = UseFreshSettingsStore();
    InitEventLog(425);
    InitMapView(nullptr, 0, 425, 425);
    ClearCalibrationGrid();
    // The view centre does not depend on the bitmap's size, so a small file stands in for the theatres.
    // CAUCASUS has a grid twice as large, so that a projection tells which grid is loaded.
    ASSERT_TRUE(WriteSolidBmp(folder + "/map.bmp", 8, 6));
    ASSERT_TRUE(WriteTextFile(folder + "/1.grid", "[435:400]0:0\n[435:405]100:0\n[430:400]0:100\n[430:405]100:100\n"));
    ASSERT_TRUE(WriteTextFile(folder + "/2.grid", "[435:400]0:0\n[435:405]200:0\n[430:400]0:200\n[430:405]200:200\n"));
    for (int i = 0; i < kMapCatalogueSize; ++i) {
      SetPath(MapCatalogue()[i].map_value_name, "map.bmp");
      SetPath(MapCatalogue()[i].grid_value_name, i == 1 ? "2.grid" : "1.grid");
    }
  }
  void TearDown() override {
    InitMapView(nullptr, 0, 425, 425); // frees the bitmap
    ClearCalibrationGrid();
    ClearEvents();
  }
  void SetPath(const wchar_t *value_name, const std::string &file) {
    WriteSetting(value_name, Widen(folder + "/" + file).c_str());
  }
  // The pixel x of 43.25 N 40.25 E: 50 on the small grid, 100 on the large one, -1 off the grid.
  static int ProjectedX() {
    int32_t x = 0, y = 0;
    return GeoToMapPixel(&g_calibration_grid, 43.25, 40.25, &x, &y) ? x : -1;
  }
  static int32_t MapLoadedLifetime() {
    for (const EventMessage *m = g_event_log.root.next; m != nullptr; m = m->next)
      if (m->code == kCodeMapLoaded)
        return m->lifetime;
    return 0; // no message
  }
  std::string folder;
};

TEST_F(MapLoadTest, EachEntryPutsItsStartPointAtTheTopLeftCornerAndAnnouncesIt) {
  EXPECT_STREQ(g_map_view.current_map_name, L"/!\\ NOT LOADED /!\\");
  const struct {
    int x, y, projected_x, lifetime;
  } cases[] = {{212, 212, 50, 6}, {3792, 212, 100, 6}, {3788, 2346, 50, 12}};
  for (int i = 0; i < kMapCatalogueSize; ++i) {
    ClearEvents();
    PostEventOnce(kCodeNoMapLoaded, L"NO MAP LOADED");
    ASSERT_TRUE(LoadMapSequence(i)) << i;
    EXPECT_EQ(g_map_view.centre_x, cases[i].x) << i;
    EXPECT_EQ(g_map_view.centre_y, cases[i].y) << i;
    EXPECT_EQ(g_map_view.current_map, i);
    EXPECT_STREQ(g_map_view.current_map_name, MapCatalogue()[i].display_name);
    EXPECT_EQ(ProjectedX(), cases[i].projected_x) << "the grid of the entry just loaded";
    EXPECT_EQ(MapLoadedLifetime(), cases[i].lifetime) << i;
    EXPECT_FALSE(HasEvent(kCodeNoMapLoaded));
  }
  g_map_view.zoom = 0.5; // the load keeps the zoom and places the start point for it
  ASSERT_TRUE(LoadMap(1));
  EXPECT_EQ(g_map_view.centre_x, 3580 + 106);
  EXPECT_EQ(g_map_view.centre_y, 106);
}

TEST_F(MapLoadTest, FailedLoadsNameTheFailureAndAnnounceNothing) {
  ASSERT_TRUE(LoadMapSequence(0));
  ClearEvents();
  SetPath(MapCatalogue()[1].map_value_name, "absent.bmp");
  EXPECT_FALSE(LoadMapSequence(1));
  EXPECT_STREQ(g_map_view.current_map_name, L"/!\\ NOT LOADDED /!\\");
  EXPECT_EQ(g_map_view.current_map, -1);
  EXPECT_EQ(g_map_view.bitmap, nullptr) << "the previous bitmap is not restored";
  EXPECT_EQ(ProjectedX(), 50) << "the sequence stopped before the grid";
  SetPath(MapCatalogue()[1].map_value_name, "1.grid"); // a file that is no bitmap
  EXPECT_FALSE(LoadMap(1));
  EXPECT_EQ(g_map_view.current_map, -1);
  EXPECT_FALSE(LoadMap(3)) << "outside the catalogue";
  EXPECT_FALSE(LoadMapSequence(-1));
  // A bitmap without its grid: the map shows, with no position on it.
  SetPath(MapCatalogue()[2].grid_value_name, "absent.grid");
  EXPECT_FALSE(LoadMapSequence(2));
  EXPECT_EQ(g_map_view.current_map, 2);
  EXPECT_EQ(ProjectedX(), -1) << "the old grid does not belong to this map";
  EXPECT_EQ(MapLoadedLifetime(), 0);
}

TEST_F(MapLoadTest, AFileThatCannotBeLoadedStopsTheLoadWithALineSayingWhy) {
  // A BMP of 130 bytes that claims 20000 x 20000 pixels.
  std::string huge = "BM";
  for (const uint32_t field :
       {130u, 0u, 66u, 40u, 20000u, 20000u, 0x200001u, 3u, 64u, 0u, 0u, 0u, 0u, 0xFF0000u, 0xFF00u, 0xFFu})
    for (int i = 0; i < 4; ++i)
      huge.push_back(static_cast<char>(field >> (8 * i) & 0xFF));
  huge.append(64, '\0');
  ASSERT_TRUE(WriteTextFile(folder + "/huge.bmp", huge));
  const struct {
    const char *map, *grid; // files in the folder; "" leaves the setting unset, "/" names the folder itself
    std::string line;       // the line that says why
  } cases[] = {
      {"map.bmp", "/", "grid: \"GEORGIA grid\" names \"F/\", which cannot be loaded: a folder, not a file"},
      {"map.bmp", "absent.grid", "grid: \"GEORGIA grid\" names \"F/absent.grid\", which cannot be loaded: missing"},
      {"absent.bmp", "1.grid", "map: \"GEORGIA map\" names \"F/absent.bmp\", which cannot be loaded: missing"},
      {"1.grid", "1.grid", "map: \"GEORGIA map\" names \"F/1.grid\", which cannot be loaded: not a BMP"},
      {"huge.bmp", "1.grid",
       "map: \"GEORGIA map\" names \"F/huge.bmp\", which cannot be loaded: too large: 20000 x 20000 pixels, at most "
       "16384 x 16384"},
      {"", "1.grid", "map: \"GEORGIA map\" is not set, so there is no map file to load"},
  };
  const MapCatalogueEntry &georgia = MapCatalogue()[2];
  for (const auto &c : cases) {
    for (const auto &[name, file] :
         {std::pair(georgia.map_value_name, c.map), std::pair(georgia.grid_value_name, c.grid)})
      if (*file == '\0')
        StoreDeleteValue(name);
      else
        SetPath(name, std::string(file) == "/" ? "" : file);
    ClearEvents();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadMapSequence(2)) << c.line;
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(MapLoadedLifetime(), 0) << "no MAP LOADED: " << c.line;
    EXPECT_EQ(ProjectedX(), -1) << "no grid: " << c.line;
    std::string expected = c.line;
    if (const size_t at = expected.find("\"F/"); at != std::string::npos)
      expected.replace(at + 1, 1, folder);
    // One line; the portable loader adds "or PNG" to "not a BMP".
    EXPECT_EQ(said.substr(0, expected.size()), expected);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  }
}

TEST_F(MapLoadTest, FilesAreReadOutsideTheLockAndSwappedInUnderIt) {
  ASSERT_TRUE(LoadMapSequence(0));
  const Bitmap *first = g_map_view.bitmap;
  const GridNode *first_grid = g_calibration_grid.head.next;
  MapLoad load = ReadMapLoad(1);
  ASSERT_TRUE(load.bitmap != nullptr && load.grid_read);
  EXPECT_TRUE(g_map_view.bitmap == first && g_map_view.current_map == 0 && g_calibration_grid.head.next == first_grid)
      << "reading touches no shared record";
  EXPECT_TRUE(CommitMapLoad(load));
  EXPECT_EQ(g_map_view.current_map, 1);
  EXPECT_TRUE(load.replaced_bitmap == first && load.grid.head.next == first_grid && load.bitmap == nullptr)
      << "the replaced bitmap and grid are handed back to be freed outside the lock";
  ReleaseMapLoad(load);
  EXPECT_TRUE(load.replaced_bitmap == nullptr && load.grid.head.next == nullptr);

  // A button asks under the lock; the entry point runs the request once, after releasing it.
  EXPECT_FALSE(RunRequestedMapLoad()) << "nothing requested";
  {
    SharedGuard guard = LockSharedData();
    RequestMapLoad(2);
    EXPECT_EQ(g_map_view.current_map, 1) << "a request reads nothing while the lock is held";
  }
  EXPECT_TRUE(RunRequestedMapLoad());
  EXPECT_EQ(g_map_view.current_map, 2);
  EXPECT_FALSE(RunRequestedMapLoad()) << "a request runs once";
}

} // namespace
