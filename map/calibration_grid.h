// calibration_grid.h: the half-degree graticule nodes of the loaded map with their bitmap pixels.
#pragma once

#include <cstdint>
#include <unordered_map>

constexpr int kGridLineLimit = 31; // characters read per grid file line
// A grid of the whole world in half degrees is about 7 MB; a file far larger was named by mistake, and
// reading it line by line would hold up the map load for minutes.
constexpr uint64_t kGridFileLimit = uint64_t{64} << 20;

struct GridNode {
  int32_t latitude_code = 0;  // tenths of a degree, a multiple of 5
  int32_t longitude_code = 0; // tenths of a degree, a multiple of 5
  double x = 0.0;             // bitmap pixel
  double y = 0.0;
  GridNode *next = nullptr;
};

// Where the nodes of one code pair sit in the list: the first in file order and how many there are.
struct GridIndexEntry {
  const GridNode *first = nullptr;
  int32_t count = 0;
};

// The list behind a head node that holds no point; empty while head.next is null. Nodes stay in file
// order. Grids built through AppendGridNode carry an index by code pair that the lookups use instead of
// walking the list; a list linked by hand has none and is walked, with the same results.
struct CalibrationGrid {
  GridNode head;
  GridNode *tail = nullptr; // last node, null when empty
  std::unordered_map<uint64_t, GridIndexEntry> index;
  bool indexed = false;
  const GridNode *indexed_first = nullptr; // head.next as the index knows it
  // Changes with every change made through the functions below, to a number no grid has had before; what was worked
  // out from the grid (where each tag lies on the map) stays good while it is the same.
  uint64_t revision = 0;
};

extern CalibrationGrid g_calibration_grid;

// Appends a node at the tail and records it in the index.
void AppendGridNode(CalibrationGrid *grid, int32_t latitude_code, int32_t longitude_code, double x, double y);
// Frees every node and the index; the grid is empty afterwards.
void ClearCalibrationGrid(CalibrationGrid *grid);
inline void ClearCalibrationGrid() { ClearCalibrationGrid(&g_calibration_grid); }
// Exchanges the contents of two grids, so that a grid read without the shared-data lock can be put in
// place under it in constant time.
void SwapCalibrationGrids(CalibrationGrid *a, CalibrationGrid *b);

// The grid's revision, or 0 for a grid linked by hand (no index), which may change unseen: nothing may be kept from it.
uint64_t GridRevision(const CalibrationGrid *grid);

// The first node in file order with these codes, or null; count (when given) receives how many nodes
// carry them.
const GridNode *FindGridNode(const CalibrationGrid *grid, int32_t latitude_code, int32_t longitude_code,
                             int32_t *count = nullptr);

// One grid file line "[%d:%d]%d:%d": false (and nothing written) unless it holds all four integers, each
// within int.
bool ParseGridLine(const char *line, int32_t *latitude_code, int32_t *longitude_code, int32_t *x, int32_t *y);

// Reads the grid file whose path the named setting holds into an empty grid, without touching any shared
// record, so that it runs without the shared-data lock. False, with the grid left empty and a diagnostic
// line saying why, when the file cannot be opened or read to its end (a folder, a device, a read error, a
// file over kGridFileLimit); an empty file gives an empty grid and true. Lines are read 31 characters at a
// time; a piece that does not hold four integers adds no node.
bool ReadCalibrationGridFile(const wchar_t *grid_value_name, CalibrationGrid *into);

// Replaces g_calibration_grid by the file's contents (empty when it cannot be read). Reads the file in
// place, so the caller must hold the shared-data lock and accept a file read under it: start-up and
// tests. The button's map load reads first and swaps under the lock (map_view.h).
bool LoadCalibrationGrid(const wchar_t *grid_value_name);
