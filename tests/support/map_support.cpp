// map_support.cpp: files and grids for the moving-map tests.
#include "support/map_support.h"

#include <cstdint>
#include <cstdio>
#include <fstream>

bool WriteSolidBmp(const std::string &path, int width, int height) {
  const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
  const uint32_t data = row * static_cast<uint32_t>(height);
  std::string bytes;
  auto put16 = [&bytes](uint32_t v) {
    bytes.push_back(static_cast<char>(v & 0xFF));
    bytes.push_back(static_cast<char>(v >> 8 & 0xFF));
  };
  auto put32 = [&put16](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  bytes += "BM";
  put32(54 + data); // file size
  put32(0);         // reserved
  put32(54);        // pixel data offset
  put32(40);        // info header size
  put32(static_cast<uint32_t>(width));
  put32(static_cast<uint32_t>(height)); // bottom-up rows
  put16(1);                             // planes
  put16(24);                            // bits per pixel
  put32(0);                             // no compression
  put32(data);
  put32(2835); // 72 dpi
  put32(2835);
  put32(0);
  put32(0);
  std::string pixels(data, '\0');
  for (uint32_t y = 0; y < static_cast<uint32_t>(height); ++y)
    for (uint32_t x = 0; x < static_cast<uint32_t>(width); ++x) {
      pixels[y * row + x * 3 + 0] = 40;
      pixels[y * row + x * 3 + 1] = 30;
      pixels[y * row + x * 3 + 2] = 20;
    }
  bytes += pixels;
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
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
    tail->next = &n;
    tail = &n;
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
  while (std::fgets(line, sizeof line, file) != nullptr) {
    int32_t a = 0, b = 0, x = 0, y = 0;
    if (ParseGridLine(line, &a, &b, &x, &y))
      nodes.push_back(GridNode{a, b, static_cast<double>(x), static_cast<double>(y), nullptr});
  }
  std::fclose(file);
  return nodes;
}
