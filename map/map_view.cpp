// map_view.cpp: the moving map's state record and the loading of a theatre's bitmap and grid.
#include "map/map_view.h"

#include <cmath>
#include <string>

#include "base/settings.h"
#include "base/shared_lock.h"
#include "base/truncate.h"
#include "base/wide_text.h"
#include "map/catalogue.h"
#include "platform/bitmap.h"
#include "status/event_codes.h"
#include "status/event_log.h"

MapView g_map_view;

void InitMapView(void *window, int unit_km, int width, int height) {
  MapView &view = g_map_view;
  CopyWide(view.latitude_text, kPositionTextCapacity, L"(NO DATA) ");
  CopyWide(view.longitude_text, kPositionTextCapacity, L"(NO DATA) ");
  view.latitude = 0.0;
  view.position_known = 0;
  view.longitude = 0.0;
  view.heading = 0.0;
  view.destination = ViewRect{0, 0, height, width};
  view.source = ViewRect{0, 0, height, width};
  view.base = ViewRect{0, 0, height, width};
  view.centre_x = 0;
  view.centre_y = 0;
  view.map_shown = 0;
  // Only a second start (the tests) finds a bitmap here.
  FreeBitmap(view.bitmap);
  view.bitmap = nullptr;
  view.current_map = -1;
  view.requested_map = -1;
  CopyWide(view.current_map_name, kMapNameCapacity, kMapNotLoadedName);
  view.zoom = 1.0;
  view.catalogue = MapCatalogue();
  view.unit_km = unit_km;
  view.window = window;
  view.font_height = width * 17 / 520;
  view.small_font_height = 2 * view.font_height / 3;
}

static bool ValidIndex(int index) { return index >= 0 && index < kMapCatalogueSize; }

static Bitmap *ReadMapBitmap(int index) {
  wchar_t path[kSettingTextCapacity];
  const wchar_t *value_name = MapCatalogue()[index].map_value_name;
  ReadSetting(value_name, path);
  std::string why;
  Bitmap *bitmap = LoadBitmapFile(path, &why);
  if (bitmap == nullptr)
    ReportUnloadableMapFile("map", value_name, path, why);
  return bitmap;
}

// LoadMap's changes to the view, the bitmap already decoded (null when that failed). The view takes the
// bitmap; the one it held is handed back for the caller to free once no paint can be drawing it.
static bool CommitMapBitmap(int index, Bitmap *bitmap, Bitmap **replaced) {
  MapView &view = g_map_view;
  *replaced = view.bitmap;
  view.bitmap = bitmap;
  if (bitmap == nullptr) {
    CopyWide(view.current_map_name, kMapNameCapacity, kMapLoadFailedName);
    view.current_map = -1;
    return false;
  }
  const MapCatalogueEntry &entry = MapCatalogue()[index];
  CopyWide(view.current_map_name, kMapNameCapacity, entry.display_name);
  view.current_map = index;
  // The start point lands at the window's top-left corner.
  view.centre_x = static_cast<int32_t>((MapWindowWidth(view) / 2) * view.zoom + entry.start_x);
  view.centre_y = static_cast<int32_t>((MapWindowHeight(view) / 2) * view.zoom + entry.start_y);
  return true;
}

bool LoadMap(int index) {
  if (!ValidIndex(index))
    return false;
  Bitmap *replaced = nullptr;
  const bool ok = CommitMapBitmap(index, ReadMapBitmap(index), &replaced);
  FreeBitmap(replaced);
  return ok;
}

MapLoad ReadMapLoad(int index) {
  MapLoad load;
  load.index = index;
  if (!ValidIndex(index))
    return load;
  load.bitmap = ReadMapBitmap(index);
  // The sequence stops at a failed bitmap, so its grid is not worth reading.
  if (load.bitmap != nullptr)
    load.grid_read = ReadCalibrationGridFile(MapCatalogue()[index].grid_value_name, &load.grid);
  return load;
}

bool CommitMapLoad(MapLoad &load) {
  if (!ValidIndex(load.index))
    return false;
  const bool map_loaded = CommitMapBitmap(load.index, load.bitmap, &load.replaced_bitmap);
  load.bitmap = nullptr; // the view owns it now
  if (!map_loaded)
    return false;
  // The grid belongs to the bitmap just shown, even when its file could not be read: the old grid is
  // gone either way, and every position then lies out of the map.
  SwapCalibrationGrids(&g_calibration_grid, &load.grid);
  if (!load.grid_read)
    return false;
  RemoveEvents(kCodeNoMapLoaded);
  PostEvent(kCodeMapLoaded, L"MAP LOADED", load.index == 2 ? 12 : 6);
  return true;
}

void ReleaseMapLoad(MapLoad &load) {
  FreeBitmap(load.bitmap);
  load.bitmap = nullptr;
  FreeBitmap(load.replaced_bitmap);
  load.replaced_bitmap = nullptr;
  ClearCalibrationGrid(&load.grid);
}

bool LoadMapSequence(int index) {
  MapLoad load = ReadMapLoad(index);
  const bool ok = CommitMapLoad(load);
  ReleaseMapLoad(load);
  return ok;
}

void RequestMapLoad(int index) { g_map_view.requested_map = index; }

bool RunRequestedMapLoad() {
  int index = -1;
  {
    SharedGuard guard = LockSharedData();
    index = g_map_view.requested_map;
    g_map_view.requested_map = -1;
  }
  if (index < 0)
    return false;
  MapLoad load = ReadMapLoad(index);
  {
    SharedGuard guard = LockSharedData();
    CommitMapLoad(load);
  }
  ReleaseMapLoad(load);
  return true;
}

void FormatPositionText(wchar_t *text, double degrees) {
  const double whole = std::trunc(degrees);
  FormatWide(text, kPositionTextCapacity, L"%d\u00b0%02.3f", Trunc(whole), (degrees - whole) * 60.0);
}
