// calibration_grid.cpp: the grid list with its code index, the grid file reader and the debug overlay.
#include "map/calibration_grid.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "base/settings.h"
#include "map/catalogue.h"
#include "platform/files.h"

CalibrationGrid g_calibration_grid;

static uint64_t CodeKey(int32_t latitude_code, int32_t longitude_code) {
  return static_cast<uint64_t>(static_cast<uint32_t>(latitude_code)) << 32 | static_cast<uint32_t>(longitude_code);
}

// The index holds only while the list is still the one it was built over: a list re-linked or extended
// by hand since then (tests do that) is walked instead.
static bool IndexHolds(const CalibrationGrid *grid) {
  if (!grid->indexed || grid->head.next != grid->indexed_first)
    return false;
  return grid->tail == nullptr ? grid->head.next == nullptr : grid->tail->next == nullptr;
}

// Grids are changed by the UI thread and read (a copy built by a map load) without the shared-data lock, so the
// numbers come from one counter for all of them.
static uint64_t NextRevision() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

uint64_t GridRevision(const CalibrationGrid *grid) { return IndexHolds(grid) ? grid->revision : 0; }

void AppendGridNode(CalibrationGrid *grid, int32_t latitude_code, int32_t longitude_code, double x, double y) {
  auto *node = new GridNode{latitude_code, longitude_code, x, y, nullptr};
  // A grid linked or extended by hand since its index was built: index what is there before appending.
  if (!IndexHolds(grid)) {
    grid->index.clear();
    grid->tail = nullptr;
    for (GridNode *n = grid->head.next; n != nullptr; n = n->next) {
      GridIndexEntry &entry = grid->index[CodeKey(n->latitude_code, n->longitude_code)];
      if (entry.count++ == 0)
        entry.first = n;
      grid->tail = n;
    }
    grid->indexed = true;
    grid->indexed_first = grid->head.next;
  }
  if (grid->tail == nullptr)
    grid->indexed_first = node;
  GridNode *&link = grid->tail != nullptr ? grid->tail->next : grid->head.next;
  link = node;
  grid->tail = node;
  GridIndexEntry &entry = grid->index[CodeKey(latitude_code, longitude_code)];
  if (entry.count++ == 0)
    entry.first = node;
  grid->revision = NextRevision();
}

void ClearCalibrationGrid(CalibrationGrid *grid) {
  for (GridNode *node = grid->head.next; node != nullptr;) {
    GridNode *next = node->next;
    delete node;
    node = next;
  }
  grid->head.next = nullptr;
  grid->tail = nullptr;
  grid->index.clear();
  grid->indexed = false;
  grid->indexed_first = nullptr;
  grid->revision = NextRevision();
}

void SwapCalibrationGrids(CalibrationGrid *a, CalibrationGrid *b) {
  std::swap(a->head.next, b->head.next);
  std::swap(a->tail, b->tail);
  std::swap(a->index, b->index);
  std::swap(a->indexed, b->indexed);
  std::swap(a->indexed_first, b->indexed_first);
  std::swap(a->revision, b->revision);
}

const GridNode *FindGridNode(const CalibrationGrid *grid, int32_t latitude_code, int32_t longitude_code,
                             int32_t *count) {
  if (IndexHolds(grid)) {
    const auto found = grid->index.find(CodeKey(latitude_code, longitude_code));
    const GridIndexEntry entry = found == grid->index.end() ? GridIndexEntry{} : found->second;
    if (count != nullptr)
      *count = entry.count;
    return entry.first;
  }
  const GridNode *first = nullptr;
  int32_t n = 0;
  for (const GridNode *node = grid->head.next; node != nullptr; node = node->next) {
    if (node->latitude_code != latitude_code || node->longitude_code != longitude_code)
      continue;
    if (n++ == 0)
      first = node;
    if (count == nullptr)
      break; // the first is all the caller wants
  }
  if (count != nullptr)
    *count = n;
  return first;
}

// One "%d" as sscanf reads it (leading white space, a sign, decimal digits), except that a number beyond
// int is refused: sscanf leaves its value undefined.
static bool ReadGridInt(const char *&p, int32_t *out) {
  char *end = nullptr;
  errno = 0;
  const long long value = std::strtoll(p, &end, 10);
  if (end == p || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
    return false;
  *out = static_cast<int32_t>(value);
  p = end;
  return true;
}

static bool ReadGridLiteral(const char *&p, char literal) {
  if (*p != literal)
    return false;
  ++p;
  return true;
}

bool ParseGridLine(const char *line, int32_t *latitude_code, int32_t *longitude_code, int32_t *x, int32_t *y) {
  // "[%d:%d]%d:%d". Grid files hold only well-formed lines; a piece of anything else must not add a node
  // at (0, 0).
  int32_t a = 0, b = 0, px = 0, py = 0;
  const char *p = line;
  if (!ReadGridLiteral(p, '[') || !ReadGridInt(p, &a) || !ReadGridLiteral(p, ':') || !ReadGridInt(p, &b) ||
      !ReadGridLiteral(p, ']') || !ReadGridInt(p, &px) || !ReadGridLiteral(p, ':') || !ReadGridInt(p, &py))
    return false;
  *latitude_code = a;
  *longitude_code = b;
  *x = px;
  *y = py;
  return true;
}

// Reads the nodes of the file at path into the empty grid; false, with why, when the file cannot be opened
// or read to its end.
static bool ReadGridFromPath(const wchar_t *path, CalibrationGrid *into, std::string *why) {
  FILE *file = OpenFileRead(path, why);
  if (file == nullptr)
    return false;
  const uint64_t size = OpenFileSize(file);
  if (size > kGridFileLimit) {
    std::fclose(file);
    *why = "too large: " + std::to_string(size) + " bytes, at most " + std::to_string(kGridFileLimit);
    return false;
  }
  char line[kGridLineLimit + 1];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    int32_t a = 0, b = 0, x = 0, y = 0;
    if (ParseGridLine(line, &a, &b, &x, &y))
      AppendGridNode(into, a, b, x, y);
  }
  // The end of the lines is the end of the file only when nothing went wrong on the way: a grid read in
  // part would place the map wrongly without a word.
  const bool read_failed = std::ferror(file) != 0;
  std::fclose(file);
  if (read_failed)
    *why = "unreadable (read error)";
  return !read_failed;
}

bool ReadCalibrationGridFile(const wchar_t *grid_value_name, CalibrationGrid *into) {
  wchar_t path[kSettingTextCapacity];
  ReadSetting(grid_value_name, path);
  std::string why;
  if (ReadGridFromPath(path, into, &why))
    return true;
  ClearCalibrationGrid(into);
  ReportUnloadableMapFile("grid", grid_value_name, path, why);
  return false;
}

bool LoadCalibrationGrid(const wchar_t *grid_value_name) {
  CalibrationGrid read;
  const bool ok = ReadCalibrationGridFile(grid_value_name, &read);
  SwapCalibrationGrids(&g_calibration_grid, &read);
  ClearCalibrationGrid(&read); // the old grid; gone even when the file could not be read
  return ok;
}
