// map_accuracy_test.cpp: the grid interpolation against the exact projection of the sample theatres.
//
// Runs only when KESTREL_EXACT_PIXELS names a file of "grid-file metres-per-pixel latitude longitude u v" lines, u and
// v being the exact bitmap position; tools/theatres/grid-accuracy.sh makes that file with gmt mapproject and runs this.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/projection.h"
#include "support/map_support.h"

namespace {

// The median and the maximum.
std::pair<double, double> Spread(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? std::pair{0.0, 0.0} : std::pair{v[v.size() / 2], v.back()};
}

TEST(GridAccuracy, InterpolationAgainstTheExactProjection) {
  const char *file = std::getenv("KESTREL_EXACT_PIXELS");
  if (file == nullptr)
    GTEST_SKIP() << "run through tools/theatres/grid-accuracy.sh, which supplies the exact pixels";
  std::ifstream in(file);
  ASSERT_TRUE(in.good()) << file;
  std::map<std::string, std::vector<std::vector<double>>> theatres; // metres per pixel, latitude, longitude, u, v
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string grid;
    std::vector<double> p(5);
    if (fields >> grid >> p[0] >> p[1] >> p[2] >> p[3] >> p[4])
      theatres[grid].push_back(p);
  }
  ASSERT_FALSE(theatres.empty());
  MapView view;
  for (const auto &[path, points] : theatres) {
    CalibrationGrid grid;
    BuildIndexedGrid(&grid, ReadGridNodes(path));
    std::vector<double> forward, inverse;
    int outside = 0, unresolved = 0;
    for (const std::vector<double> &p : points) {
      const double lat = p[1], lon = p[2], u = p[3], v = p[4];
      int32_t x = 0, y = 0;
      if (!GeoToMapPixel(&grid, lat, lon, &x, &y)) {
        ++outside;
        continue;
      }
      // The exact pixel in the grid files' own convention: the truncated plot position.
      const double ex = std::trunc(u), ey = std::trunc(v);
      forward.push_back(std::hypot(x - ex, y - ey));
      // The inverse at that pixel, its error in degrees carried into pixels through the cell's edges; the
      // pixel's own truncation is taken out, so a perfect inverse scores 0.
      double back_lat = 0, back_lon = 0, ta = 0, tb = 0;
      int32_t a = 0, b = 0;
      GridCell c;
      if (!MapPixelToGeo(&grid, static_cast<int32_t>(ex), static_cast<int32_t>(ey), view, nullptr, &back_lat,
                         &back_lon)) {
        ++unresolved;
        continue;
      }
      ASSERT_TRUE(CellOfCoordinate(lat, &a, &ta) && CellOfCoordinate(lon, &b, &tb) && FindGridCell(&grid, a, b, &c));
      const double east = (back_lon - lon) / 0.5, north = (back_lat - lat) / 0.5;
      inverse.push_back(std::hypot(east * (c.se_x - c.sw_x) + north * (c.nw_x - c.sw_x) - (ex - u),
                                   east * (c.se_y - c.sw_y) + north * (c.nw_y - c.sw_y) - (ey - v)));
    }
    ClearCalibrationGrid(&grid);
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const auto [forward_median, forward_max] = Spread(forward);
    const auto [inverse_median, inverse_max] = Spread(inverse);
    std::printf("grid-accuracy: %s: %zu points (%.0f m/px), %d outside complete cells\n", name.c_str(), points.size(),
                points[0][0], outside);
    std::printf("grid-accuracy:   GeoToMapPixel  median %.2f px, max %.2f px\n", forward_median, forward_max);
    std::printf("grid-accuracy:   MapPixelToGeo  median %.2f px, max %.2f px, %d unresolved\n", inverse_median,
                inverse_max, unresolved);
    // Within a cell the graticule's curvature costs well under a pixel at these scales; the rest is the
    // whole-pixel steps of the edge points and of the result.
    ASSERT_FALSE(forward.empty() || inverse.empty()) << name;
    EXPECT_LE(forward_median, 1.5) << name;
    EXPECT_LE(forward_max, 3.0) << name;
    // The inverse reads the cell as the parallelogram at its south-west corner, which the curvature bends
    // by a couple of pixels at the far corner; the wrong cell would cost a large part of a cell.
    EXPECT_LE(inverse_median, 1.5) << name;
    EXPECT_LE(inverse_max, 4.0) << name;
    // A pixel that the truncation carries over the grid's outer edge is out of the map, nothing else.
    EXPECT_LE(unresolved, 3) << name;
  }
}

} // namespace
