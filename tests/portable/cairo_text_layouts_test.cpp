// cairo_text_layouts_test.cpp: texts drawn from their kept layouts are pixel for pixel the texts Pango lays out
// and draws afresh, over every page of the heaviest scene at two window sizes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/shell.h"
#include "mfd/page_state.h"
#include "platform/bitmap.h"
#include "platform/frame_buffer.h"
#include "platform/portable/bitmap_data.h"
#include "platform/portable/cairo_canvas.h"
#include "support/frame_scene.h"
#include "support/shell_fixture.h"

namespace {

std::vector<uint32_t> Compose(FrameBuffer *frame) {
  ShellComposeFrame(frame);
  int stride = 0;
  const auto *pixels = reinterpret_cast<const unsigned char *>(FrameBufferPixels(frame, &stride));
  std::vector<uint32_t> copy;
  for (int y = 0; y < FrameBufferHeight(frame); ++y)
    for (int x = 0; x < FrameBufferWidth(frame); ++x)
      copy.push_back(reinterpret_cast<const uint32_t *>(pixels + y * stride)[x] & 0xFFFFFFu);
  return copy;
}

int Differences(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b) {
  int n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    n += a[i] != b[i] ? 1 : 0;
  return n + static_cast<int>(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

class CairoTextLayoutsTest : public ShellTest {
protected:
  void TearDown() override {
    UseCairoCanvasShortcuts(true);
    EndScene();
    ShellTest::TearDown();
  }
};

TEST_F(CairoTextLayoutsTest, KeptLayoutsDrawThePixelsOfLayoutsMadeAfresh) {
  for (const auto &[width, height] : {std::pair{425, 425}, std::pair{1024, 768}}) {
    StartSceneModules(width, height);
    std::vector<unsigned char> rgb(3000 * 2000 * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
      rgb[i] = static_cast<unsigned char>(i * 7 / 5);
    TakeSceneMap(CreateBitmapFromRgb(rgb.data(), 3000, 2000), 3000, 2000, 100);
    BuildHeavyScene(43.5, 40.5);
    FrameBuffer *frame = CreateFrameBuffer(width, height);
    ASSERT_NE(frame, nullptr);
    for (int page = kPageMonitoring; page <= kPageDatabases; ++page) {
      g_page_state.current_page = page;
      UseCairoCanvasShortcuts(false);
      const std::vector<uint32_t> afresh = Compose(frame);
      UseCairoCanvasShortcuts(true);
      Compose(frame); // lays the texts out and keeps them
      EXPECT_EQ(Differences(Compose(frame), afresh), 0) << width << " x " << height << ", page " << page;
    }
    FreeFrameBuffer(frame);
    EndScene();
  }
}

} // namespace
