// catalogue.h: the three theatre maps the program knows, with the settings that hold their file paths.
#pragma once

#include <cstdint>
#include <string>

constexpr int kMapCatalogueSize = 3;
constexpr int kValueNameCapacity = 1024;
constexpr int kDisplayNameCapacity = 32;

struct MapCatalogueEntry {
  int32_t start_x = 0; // bitmap pixel at the window's top-left corner right after loading
  int32_t start_y = 0;
  wchar_t map_value_name[kValueNameCapacity] = {};  // setting that holds the bitmap file's path
  wchar_t grid_value_name[kValueNameCapacity] = {}; // setting that holds the calibration grid file's path
  wchar_t display_name[kDisplayNameCapacity] = {};
};

// The catalogue: KRASNODAR, CAUCASUS, GEORGIA, in that order. Filled on first use and kept for the run.
const MapCatalogueEntry *MapCatalogue();

// One diagnostic line for a map or grid file that could not be loaded: the setting's name, the path it holds and
// why, e.g. map: "GEORGIA map" names "D:\maps\georgia.bmp", which cannot be loaded: missing. kind is "map" or
// "grid"; an empty path says that the setting is not set.
void ReportUnloadableMapFile(const char *kind, const wchar_t *value_name, const wchar_t *path, const std::string &why);
