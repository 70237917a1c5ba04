// map_view.h: the moving map's one state record: the ownship, the view and the loaded theatre.
#pragma once

#include <cstdint>

#include "map/calibration_grid.h"

struct Bitmap;
struct MapCatalogueEntry;

constexpr int kPositionTextCapacity = 32;
constexpr int kMapNameCapacity = 32;

// The map name shown before any load and after a failed one (the second keeps its historic spelling,
// which is how a pilot tells a failed load from no load at all).
constexpr const wchar_t *kMapNotLoadedName = L"/!\\ NOT LOADED /!\\";
constexpr const wchar_t *kMapLoadFailedName = L"/!\\ NOT LOADDED /!\\";

struct ViewRect {
  int32_t x = 0, y = 0, height = 0, width = 0;
};

struct MapView {
  wchar_t latitude_text[kPositionTextCapacity] = {};
  wchar_t longitude_text[kPositionTextCapacity] = {};
  double latitude = 0.0;
  double longitude = 0.0;
  // 1 once a MONITOR has given both latitude and longitude. Before that the ownship stands at 0 N 0 E only because
  // it must stand somewhere: no bearing or distance is measured from it.
  int32_t position_known = 0;
  ViewRect destination;               // where the bitmap goes in the window: 0, 0, H, W
  ViewRect source;                    // the bitmap area shown: H x zoom, W x zoom
  int32_t centre_x = 0, centre_y = 0; // the bitmap pixel drawn at the window centre
  ViewRect base;                      // 0, 0, H, W: the window size the source size derives from
  int32_t map_shown = 0;              // 1 while the page being painted shows the map
  Bitmap *bitmap = nullptr;
  int32_t current_map = -1; // catalogue index of the loaded map, -1 when none
  wchar_t current_map_name[kMapNameCapacity] = {};
  double zoom = 1.0; // bitmap pixels per window pixel
  const MapCatalogueEntry *catalogue = nullptr;
  int32_t unit_km = 0;  // nonzero: kilometres; 0: nautical miles
  double heading = 0.0; // radians clockwise from north
  int32_t font_height = 13;
  void *window = nullptr;
  int32_t small_font_height = 8;
  // A map load asked for by a button while the shared-data lock is held, -1 when none; the entry point
  // carries it out after releasing the lock (RunRequestedMapLoad).
  int32_t requested_map = -1;
};

extern MapView g_map_view;

// Fills g_map_view for a window of width x height pixels: "(NO DATA) " texts, no map, zoom 1, the
// catalogue, the unit flag and the font heights F = width x 17 / 520 and 2F / 3.
void InitMapView(void *window, int unit_km, int width, int height);

// The window size the view was laid out for.
inline int MapWindowWidth(const MapView &view) { return view.base.width; }
inline int MapWindowHeight(const MapView &view) { return view.base.height; }

// "%d°%02.3f": whole degrees and the minutes that remain, as the ownship's position texts and the TAGGING
// readout show a latitude or longitude; kPositionTextCapacity characters.
void FormatPositionText(wchar_t *text, double degrees);

// Map loading.
//
// A map load reads two files, a bitmap of tens of megabytes and its grid, and must not hold the
// shared-data lock while it does, or the listener and the paint would stall behind it. So it runs in
// three phases:
//
//   MapLoad load = ReadMapLoad(index);          // without the lock: settings, bitmap decode, grid file
//   { SharedGuard guard = LockSharedData();
//     CommitMapLoad(load); }                    // with the lock: the swap into g_map_view and the grid
//   ReleaseMapLoad(load);                       // without the lock: frees what the swap replaced
//
// A button action runs with the lock held and cannot read files itself: it calls RequestMapLoad, and the
// entry point that took the lock calls RunRequestedMapLoad once it has released it.
//
// The previous bitmap is released when another load commits (successful or not): g_map_view.bitmap is
// its only reference, the paint draws it only while holding the lock, and the commit replaces it under
// the lock, so nothing can still be drawing it when ReleaseMapLoad frees it. Nothing may keep the bitmap
// pointer beyond the lock.

struct MapLoad {
  int32_t index = -1;
  Bitmap *bitmap = nullptr; // the decoded map, null when it could not be loaded
  bool grid_read = false;   // the grid file opened (tried only when the bitmap loaded)
  CalibrationGrid grid;     // the grid read; after the commit, the grid it replaced
  Bitmap *replaced_bitmap = nullptr;
};

// Phase 1, without the lock: reads the bitmap of catalogue entry index and, when that loads, its grid.
MapLoad ReadMapLoad(int index);
// Phase 2, with the lock held: LoadMap's changes to g_map_view; when the bitmap loaded, the grid swap;
// when the grid was read too, "NO MAP LOADED" removed and "MAP LOADED" posted. True when both loaded.
// An index outside the catalogue changes nothing and gives false.
bool CommitMapLoad(MapLoad &load);
// Phase 3, without the lock: frees the replaced bitmap and grid and anything the commit did not take.
void ReleaseMapLoad(MapLoad &load);

// The three phases in one, taking no lock: for a single thread (start-up before the listener runs,
// tests). True when the map and its grid both loaded.
bool LoadMapSequence(int index);

// With the lock held (a button action): remembers the load for RunRequestedMapLoad; a later request
// before it runs replaces an earlier one.
void RequestMapLoad(int index);
// Without the lock (the entry point, after releasing it): carries out the requested load, taking the
// lock only to take the request and around the commit. True when a load ran, whether or not it succeeded: either
// way the map name and the messages changed.
bool RunRequestedMapLoad();

// The bitmap step alone, reading in place (start-up and tests; the caller holds the lock and accepts the
// file read under it). Frees the previous bitmap.
bool LoadMap(int index);
