// catalogue.cpp: the fixed table of theatre maps.
#include "map/catalogue.h"

#include "base/wide_text.h"
#include "platform/diagnostics.h"
#include "platform/utf8.h"

static void FillEntry(MapCatalogueEntry &entry, const wchar_t *display, const wchar_t *map_value,
                      const wchar_t *grid_value, int32_t start_x, int32_t start_y) {
  entry.start_x = start_x;
  entry.start_y = start_y;
  CopyWide(entry.map_value_name, kValueNameCapacity, map_value);
  CopyWide(entry.grid_value_name, kValueNameCapacity, grid_value);
  CopyWide(entry.display_name, kDisplayNameCapacity, display);
}

static MapCatalogueEntry *BuildCatalogue() {
  static MapCatalogueEntry entries[kMapCatalogueSize];
  // The value names are those the installers have always written, case and all.
  FillEntry(entries[0], L"KRASNODAR", L"KRASNODAR_KRAI MAP", L"KRASNODAR_KRAI GRID", 0, 0);
  FillEntry(entries[1], L"CAUCASUS", L"CAUCASUS_MOUNTAINS map", L"CAUCASUS_MOUNTAINS grid", 3580, 0);
  FillEntry(entries[2], L"GEORGIA", L"GEORGIA map", L"GEORGIA grid", 3576, 2134);
  return entries;
}

const MapCatalogueEntry *MapCatalogue() {
  // Built once, thread-safely, on the first call.
  static const MapCatalogueEntry *const catalogue = BuildCatalogue();
  return catalogue;
}

void ReportUnloadableMapFile(const char *kind, const wchar_t *value_name, const wchar_t *path, const std::string &why) {
  const std::string setting = "\"" + WideToUtf8(value_name) + "\"";
  if (path == nullptr || *path == L'\0') {
    WriteDiagnostic(std::string(kind) + ": " + setting + " is not set, so there is no " + kind + " file to load");
    return;
  }
  WriteDiagnostic(std::string(kind) + ": " + setting + " names \"" + WideToUtf8(path) +
                  "\", which cannot be loaded: " + why);
}
