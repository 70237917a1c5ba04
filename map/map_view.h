// map_view.h: the moving map's one state record: the ownship, the view and the loaded theatre.
#pragma once

#include <cstdint>

struct Bitmap;
struct MapCatalogueEntry;

constexpr int kPositionTextCapacity = 32;

struct ViewRect {
  int32_t x = 0, y = 0, height = 0, width = 0;
};

struct MapView {
  wchar_t latitude_text[kPositionTextCapacity] = {};
  wchar_t longitude_text[kPositionTextCapacity] = {};
  double latitude = 0.0;
  double longitude = 0.0;
  ViewRect destination;
  ViewRect source;
  int32_t centre_x = 0, centre_y = 0; // the bitmap pixel drawn at the window centre
  ViewRect base;
  int32_t map_shown = 0;
  Bitmap *bitmap = nullptr;
  int32_t current_map = -1;
  const wchar_t *current_map_name = nullptr;
  double zoom = 1.0;
  MapCatalogueEntry *catalogue = nullptr;
  int32_t unit_km = 0;
  double heading = 0.0; // radians clockwise from north
  int32_t font_height = 13;
  void *window = nullptr;
  int32_t small_font_height = 8;
};

extern MapView g_map_view;
