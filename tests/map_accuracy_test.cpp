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

struct ExactPoint {
  double latitude = 0, longitude = 0, u = 0, v = 0;
};

struct Theatre {
  double metres_per_pixel = 0;
  std::vector<ExactPoint> points;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

double Max(const std::vector<double> &values) {
  return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

TEST(GridAccuracy, InterpolationAgainstTheExactProjection) {
  const char *file = std::getenv("KESTREL_EXACT_PIXELS");
  if (file == nullptr)
    GTEST_SKIP() << "run through tools/theatres/grid-accuracy.sh, which supplies the exact pixels";
  std::ifstream in(file);
  ASSERT_TRUE(in.good()) << file;
  std::map<std::string, Theatre> theatres;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string grid;
    double mpp = 0;
    ExactPoint p;
    if (fields >> grid >> mpp >> p.latitude >> p.longitude >> p.u >> p.v) {
      theatres[grid].metres_per_pixel = mpp;
      theatres[grid].points.push_back(p);
    }
  }
  ASSERT_FALSE(theatres.empty());

  MapView view;
  for (const auto &[path, theatre] : theatres) {
    CalibrationGrid grid;
    BuildIndexedGrid(&grid, ReadGridNodes(path));
    std::vector<double> forward, inverse;
    int outside = 0, inverse_failed = 0;
    double sum_dx = 0, sum_dy = 0;
    for (const ExactPoint &p : theatre.points) {
      int32_t x = 0, y = 0;
      if (!GeoToMapPixel(&grid, p.latitude, p.longitude, &x, &y)) {
        ++outside;
        continue;
      }
      // The exact pixel in the grid files' own convention: the truncated plot position.
      const double ex = std::trunc(p.u), ey = std::trunc(p.v);
      forward.push_back(std::hypot(x - ex, y - ey));
      sum_dx += x - ex;
      sum_dy += y - ey;

      // The inverse at that pixel, its error in degrees carried into pixels through the cell's edges; the
      // pixel's own truncation (ex - u, ey - v) is taken out, so a perfect inverse scores 0.
      double latitude = 0, longitude = 0;
      if (!MapPixelToGeo(&grid, static_cast<int32_t>(ex), static_cast<int32_t>(ey), view, nullptr, &latitude,
                         &longitude)) {
        ++inverse_failed;
        continue;
      }
      int32_t a = 0, b = 0;
      double ta = 0, tb = 0;
      GridCell c;
      ASSERT_TRUE(CellOfCoordinate(p.latitude, &a, &ta) && CellOfCoordinate(p.longitude, &b, &tb));
      ASSERT_TRUE(FindGridCell(&grid, a, b, &c));
      const double east = (longitude - p.longitude) / 0.5, north = (latitude - p.latitude) / 0.5;
      const double dx = east * (c.se_x - c.sw_x) + north * (c.nw_x - c.sw_x) - (ex - p.u);
      const double dy = east * (c.se_y - c.sw_y) + north * (c.nw_y - c.sw_y) - (ey - p.v);
      inverse.push_back(std::hypot(dx, dy));
    }
    ClearCalibrationGrid(&grid);
    const std::string name = path.substr(path.find_last_of('/') + 1);
    std::printf("grid-accuracy: %s: %zu points, %d outside complete cells\n", name.c_str(), theatre.points.size(),
                outside);
    ASSERT_FALSE(forward.empty()) << name;
    const double n = static_cast<double>(forward.size());
    std::printf(
        "grid-accuracy:   GeoToMapPixel  median %.2f px, max %.2f px, mean offset %+.2f, %+.2f px (%.0f m/px)\n",
        Median(forward), Max(forward), sum_dx / n, sum_dy / n, theatre.metres_per_pixel);
    const auto far = std::count_if(inverse.begin(), inverse.end(), [](double e) { return e > 5.0; });
    std::printf("grid-accuracy:   MapPixelToGeo  median %.2f px, max %.2f px, %zd beyond 5 px, %d unresolved\n",
                Median(inverse), Max(inverse), static_cast<ptrdiff_t>(far), inverse_failed);
    // Within a cell the graticule's curvature costs well under a pixel at these scales; the rest is the
    // whole-pixel steps of the edge points and of the result.
    EXPECT_LE(Median(forward), 1.5) << name;
    EXPECT_LE(Max(forward), 3.0) << name;
    // The inverse reads the cell as the parallelogram at its south-west corner, which the curvature
    // bends by a couple of pixels at the far corner; the wrong cell would cost a large part of a cell.
    ASSERT_FALSE(inverse.empty()) << name;
    EXPECT_LE(Median(inverse), 1.5) << name;
    EXPECT_LE(Max(inverse), 4.0) << name;
    EXPECT_EQ(far, 0) << name;
    // A pixel that the truncation carries over the grid's outer edge is out of the map, nothing else.
    EXPECT_LE(inverse_failed, 3) << name;
  }
}

} // namespace
