// program_run_test.cpp: the portable program run as the demo runs it, off screen: it starts, paints its frame,
// follows the keys it is given and ends with 0.
#include <gtest/gtest.h>

#include <cairo.h>
#include <climits>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_env.h"

namespace {

// The program sits one folder above the test program.
std::string ProgramPath() {
  char path[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  std::string folder(path, n > 0 ? static_cast<size_t>(n) : 0);
  folder.resize(folder.find_last_of('/'));
  folder.resize(folder.find_last_of('/') + 1);
  return folder + "kestrel";
}

struct FrameColours {
  int text = 0;  // label green
  int plate = 0; // the label plates' dark green
};

FrameColours CountFrameColours(const std::string &png) {
  FrameColours colours;
  cairo_surface_t *image = cairo_image_surface_create_from_png(png.c_str());
  if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
    const unsigned char *data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < cairo_image_surface_get_height(image); ++y) {
      for (int x = 0; x < cairo_image_surface_get_width(image); ++x) {
        const uint32_t pixel = *reinterpret_cast<const uint32_t *>(data + y * stride + 4 * x) & 0xFFFFFF;
        colours.text += pixel == 0x00FF00 ? 1 : 0;
        colours.plate += pixel == 0x004000 ? 1 : 0;
      }
    }
  }
  cairo_surface_destroy(image);
  return colours;
}

TEST(ProgramRun, PaintsEveryPageAndEndsCleanly) {
  const std::string program = ProgramPath();
  if (::access(program.c_str(), X_OK) != 0)
    GTEST_SKIP() << "kestrel is not built";
  const std::string folder = MakeScratchFolder();
  ASSERT_FALSE(folder.empty());
  ASSERT_EQ(::mkdir((folder + "/kestrel").c_str(), 0700), 0);
  // A port of its own, so that the run never meets a listener of another test.
  ASSERT_TRUE(WriteTextFile(folder + "/kestrel/settings.ini",
                            "UDP Port=" + std::to_string(20000 + ::getpid() % 20000) + "\nMFD Mode=1\n"));
  const std::string command =
      "cd '" + folder + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + std::string(kNoLeakCheck) + " XDG_CONFIG_HOME='" + folder +
      "' XDG_STATE_HOME='" + folder + "' '" + program + "' --seconds 3 --screenshot-dir . --keys M,M >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // One picture a second: MONITORING, then TAGGING and FAILURES STATUS after a MODE press each.
  for (int shot = 1; shot <= 3; ++shot) {
    const FrameColours colours = CountFrameColours(folder + "/kestrel-000" + std::to_string(shot) + ".png");
    EXPECT_GT(colours.text, 100) << shot;
    EXPECT_GT(colours.plate, 100) << shot;
  }
  // TAGGING labels 20 buttons, MONITORING 9: its plates cover far more of the display.
  EXPECT_GT(CountFrameColours(folder + "/kestrel-0002.png").plate,
            CountFrameColours(folder + "/kestrel-0001.png").plate);
  // The start wrote the defaults of the values it read into the settings file.
  EXPECT_NE(ReadTextFile(folder + "/kestrel/settings.ini").find("Stick Tag=7"), std::string::npos);
}

} // namespace
