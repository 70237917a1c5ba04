// map_support.h: files and grids for the moving-map tests: tiny BMP files, regular grids, and the
// sample theatre grids when they have been rendered.
#pragma once

#include <string>
#include <vector>

#include "map/calibration_grid.h"

// A 24-bit BMP of width x height pixels, all of one colour; false when it could not be written.
bool WriteSolidBmp(const std::string &path, int width, int height);
// The same with squares of cell pixels in two colours, so that any shift of the map shows.
bool WriteCheckerBmp(const std::string &path, int width, int height, int cell);

std::wstring Widen(const std::string &text);

// Nodes of a regular lattice: rows x columns nodes from (latitude_code, longitude_code) to the north-east,
// node (row, column) at bitmap (x0 + column * dx + row * skew_x, y0 - row * dy + column * skew_y).
struct Lattice {
  int latitude_code = 430, longitude_code = 400;
  int rows = 4, columns = 4;
  double x0 = 100, y0 = 500, dx = 100, dy = 100, skew_x = 0, skew_y = 0;
};
// The lattice in file order (north to south, west to east, as the theatre files are written).
std::vector<GridNode> LatticeNodes(const Lattice &lattice);

// A grid built with AppendGridNode (indexed) from the nodes, in their order.
void BuildIndexedGrid(CalibrationGrid *grid, const std::vector<GridNode> &nodes);
// The same nodes linked by hand into storage, which must outlive the grid: no index, every lookup walks.
void BuildWalkedGrid(CalibrationGrid *grid, std::vector<GridNode> &storage);

// The grid files of the sample theatres under build/theatres, those present.
std::vector<std::string> SampleTheatreGrids();
// The nodes of a grid file, parsed as the reader does; empty when it cannot be read.
std::vector<GridNode> ReadGridNodes(const std::string &path);
