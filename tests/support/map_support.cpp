// map_support.cpp: files and grids for the moving-map tests.
#include "support/map_support.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <utility>

namespace {
// A bottom-up 24-bit BMP whose pixel (x, y) from the top has the blue, green, red bytes bgr(x, y).
template <typename Pixel> bool WriteBmp(const std::string &path, int width, int height, Pixel bgr) {
  const auto w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height), row = (w * 3 + 3) / 4 * 4;
  const uint32_t data = row * h;
  std::string bytes = "BM";
  // File header (size, reserved, pixel offset), then the info header: bottom-up rows, one plane, 24 bits, no
  // compression, 72 dpi, no palette.
  const std::pair<uint32_t, int> fields[] = {{54 + data, 4}, {0, 4}, {54, 4},   {40, 4},   {w, 4},    {h, 4}, {1, 2},
                                             {24, 2},        {0, 4}, {data, 4}, {2835, 4}, {2835, 4}, {0, 4}, {0, 4}};
  for (const auto &[value, size] : fields)
    for (int i = 0; i < size; ++i)
      bytes.push_back(static_cast<char>(value >> 8 * i & 0xFF));
  std::string line(row, '\0');
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x)
      line.replace(3 * static_cast<size_t>(x), 3, bgr(x, y));
    bytes += line;
  }
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}
} // namespace

bool WriteSolidBmp(const std::string &path, int width, int height) {
  return WriteBmp(path, width, height, [](int, int) { return "\x28\x1e\x14"; });
}

bool WriteCheckerBmp(const std::string &path, int width, int height, int cell) {
  return WriteBmp(path, width, height,
                  [cell](int x, int y) { return (x / cell + y / cell) % 2 == 0 ? "\x40\x70\x30" : "\x90\x60\x50"; });
}

std::wstring Widen(const std::string &text) { return std::wstring(text.begin(), text.end()); }

std::vector<GridNode> LatticeNodes(const Lattice &l) {
  std::vector<GridNode> nodes;
  for (int row = l.rows - 1; row >= 0; --row)
    for (int column = 0; column < l.columns; ++column)
      nodes.push_back(GridNode{l.latitude_code + 5 * row, l.longitude_code + 5 * column,
                               l.x0 + column * l.dx + row * l.skew_x, l.y0 - row * l.dy + column * l.skew_y, nullptr});
  return nodes;
}

void BuildIndexedGrid(CalibrationGrid *grid, const std::vector<GridNode> &nodes) {
  ClearCalibrationGrid(grid);
  for (const GridNode &n : nodes)
    AppendGridNode(grid, n.latitude_code, n.longitude_code, n.x, n.y);
}

void BuildWalkedGrid(CalibrationGrid *grid, std::vector<GridNode> &storage) {
  *grid = CalibrationGrid{};
  GridNode *tail = &grid->head;
  for (GridNode &n : storage) {
    n.next = nullptr;
    tail = tail->next = &n;
  }
}

std::vector<std::string> SampleTheatreGrids() {
  std::vector<std::string> found;
  for (const char *name : {"krasnodar", "caucasus", "georgia"}) {
    const std::string path = std::string(KESTREL_SOURCE_DIR) + "/build/theatres/kestrel-" + name + ".grid";
    if (std::ifstream(path).good())
      found.push_back(path);
  }
  return found;
}

std::vector<GridNode> ReadGridNodes(const std::string &path) {
  std::vector<GridNode> nodes;
  FILE *file = std::fopen(path.c_str(), "r");
  if (file == nullptr)
    return nodes;
  char line[kGridLineLimit + 1];
  int32_t a = 0, b = 0, x = 0, y = 0;
  while (std::fgets(line, sizeof line, file) != nullptr)
    if (ParseGridLine(line, &a, &b, &x, &y))
      nodes.push_back(GridNode{a, b, static_cast<double>(x), static_cast<double>(y), nullptr});
  std::fclose(file);
  return nodes;
}
