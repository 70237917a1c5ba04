// web_display_test.cpp: the web display over loopback, with the core started as the shell starts it and a
// stand-in user-interface thread that takes the clicks and composes the frames as a front end does. Runs on the
// portable build and, under Wine, on the Windows build (winsock, libdeflate).
#include <gtest/gtest.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

#include "app/shell.h"
#include "base/shared_lock.h"
#include "display/composed_frame.h"
#include "display/web_display.h"
#include "mfd/display_frame.h"
#include "mfd/page_state.h"
#include "platform/frame_buffer.h"
#include "platform/png_writer.h"
#include "support/shell_fixture.h"

namespace {

constexpr int kSize = 425;
constexpr auto kHungRun = std::chrono::seconds(60); // only ends a run that hangs

// The front end's part: clicks posted from the web display's threads and frame requests, both carried out on
// this thread, one at a time, as the event loop of a window does.
class StandInWindow {
public:
  StandInWindow() : frame_(CreateFrameBuffer(kSize, kSize)) {
    instance_ = this;
    g_shell.host = ShellHost{};
    g_shell.host.invalidate_all = [](bool) { instance_->Want(); };
    g_shell.host.invalidate_rect = [](Rect, bool) { instance_->Want(); };
    g_shell.host.request_frame = [] { instance_->Want(); };
    g_shell.host.post_click = [](int x, int y) { return instance_->Post(x, y); };
    thread_ = std::thread([this] { Loop(); });
  }
  ~StandInWindow() {
    {
      std::lock_guard hold(lock_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    g_shell.host = ShellHost{};
    FreeFrameBuffer(frame_);
  }

  // Waits until every click and frame asked for so far has been handled, and returns a copy of the last frame.
  std::vector<uint32_t> Settle() {
    std::unique_lock hold(lock_);
    EXPECT_TRUE(wake_.wait_for(hold, kHungRun, [this] { return clicks_.empty() && !wanted_ && !busy_; }));
    int stride = 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(FrameBufferPixels(frame_, &stride));
    std::vector<uint32_t> pixels;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        pixels.push_back(reinterpret_cast<const uint32_t *>(bytes + y * stride)[x] & 0xFFFFFFu);
    return pixels;
  }
  int clicks_taken() {
    std::lock_guard hold(lock_);
    return taken_;
  }
  // A timer tick on this thread, between the clicks: the same button acts again only after a tick of the
  // button timer has seen the bezel idle, as with clicks on the window.
  void Tick(int timer_id) { Post(-1, timer_id); }

private:
  void Want() {
    {
      std::lock_guard hold(lock_);
      wanted_ = true;
    }
    wake_.notify_all();
  }
  bool Post(int x, int y) {
    {
      std::lock_guard hold(lock_);
      clicks_.emplace_back(x, y);
    }
    wake_.notify_all();
    return true;
  }
  void Loop() {
    std::unique_lock hold(lock_);
    for (;;) {
      wake_.wait(hold, [this] { return stop_ || wanted_ || !clicks_.empty(); });
      if (stop_)
        return;
      busy_ = true;
      if (!clicks_.empty()) {
        const auto [x, y] = clicks_.front();
        clicks_.pop_front();
        taken_ += x >= 0 ? 1 : 0;
        hold.unlock();
        if (x >= 0)
          ShellClick(x, y);
        else
          ShellTimer(y);
        hold.lock();
      } else {
        wanted_ = false;
        hold.unlock();
        ShellComposeFrame(frame_);
        hold.lock();
      }
      busy_ = false;
      wake_.notify_all();
    }
  }

  static StandInWindow *instance_;
  FrameBuffer *frame_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::pair<int, int>> clicks_;
  bool wanted_ = true, busy_ = false, stop_ = false;
  int taken_ = 0;
  std::thread thread_;
};
StandInWindow *StandInWindow::instance_ = nullptr;

struct Decoded {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

Decoded DecodePng(const std::string &png) {
  Decoded image;
  int channels = 0;
  stbi_uc *rgb = stbi_load_from_memory(reinterpret_cast<const stbi_uc *>(png.data()), static_cast<int>(png.size()),
                                       &image.width, &image.height, &channels, 3);
  if (rgb == nullptr)
    return image;
  for (int i = 0; i < image.width * image.height; ++i)
    image.pixels.push_back(uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2]);
  stbi_image_free(rgb);
  return image;
}

// The encoder alone gives back exactly the pixels it was handed: flat areas, noise, every byte value beside every
// other (the row filter's differences wrap) and a top byte to ignore, in sizes whose rows end nowhere convenient.
TEST(PngWriter, DecodesToTheSamePixels) {
  std::mt19937 random(20);
  for (const auto &[width, height] : {std::pair{1, 1}, std::pair{425, 425}, std::pair{97, 3}, std::pair{3, 211}}) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i) {
      const size_t x = i % width, y = i / width;
      pixels[i] = y % 3 == 0 ? 0x00FF8000u : y % 3 == 1 ? static_cast<uint32_t>(random()) : static_cast<uint32_t>(x * 0x010203u);
      pixels[i] |= 0xA5000000u;
    }
    std::string png;
    ASSERT_TRUE(EncodePng(pixels.data(), width, height, png));
    const Decoded image = DecodePng(png);
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    for (uint32_t &pixel : pixels)
      pixel &= 0xFFFFFFu;
    EXPECT_EQ(image.pixels, pixels) << width << " x " << height;
  }
  std::string png = "left over";
  EXPECT_FALSE(EncodePng(nullptr, 4, 4, png));
  EXPECT_TRUE(png.empty());
}

// Frames are kept for viewers only while one watches and for the set time after the last one stopped; a viewer
// that comes back within that time finds the frames composed in between, and with none watching a frame is
// counted but not kept. A frame taken rather than copied leaves its buffer to the store for the next one.
TEST(ComposedFrames, KeptWhileWatchedAndForTheLingerAfter) {
  std::vector<uint32_t> pixels(4 * 3, 0xAB123456u);
  const auto publish = [&](uint32_t value) {
    pixels[5] = value;
    PublishComposedFrame(pixels.data(), 4, 3, 4 * 4);
  };
  ComposedFrame copy;
  CopyComposedFrame(copy); // whatever an earlier test left
  SetComposedFrameLinger(std::chrono::milliseconds(0));
  publish(1);
  EXPECT_FALSE(CopyComposedFrame(copy)) << "kept with nobody watching";

  WatchComposedFrames(true);
  publish(2);
  ASSERT_TRUE(CopyComposedFrame(copy));
  EXPECT_EQ(copy.number, ComposedFrameCount());
  EXPECT_EQ(copy.width, 4);
  EXPECT_EQ(copy.pixels[5], 2u);
  EXPECT_EQ(copy.pixels[0], 0x123456u) << "the top byte is kept";
  WatchComposedFrames(false);
  publish(3);
  EXPECT_FALSE(CopyComposedFrame(copy)) << "kept after the last viewer left, with no linger";

  SetComposedFrameLinger(std::chrono::hours(1));
  WatchComposedFrames(true);
  WatchComposedFrames(false);
  publish(4);
  ASSERT_TRUE(CopyComposedFrame(copy)) << "lost within the linger";
  EXPECT_EQ(copy.pixels[5], 4u);
  EXPECT_EQ(PublishedFrameNumber(), ComposedFrameCount());

  // Taken, the frame is the taker's and the store has none until the next; that one goes into the taker's old
  // buffer, whole.
  ComposedFrame taken;
  taken.pixels.assign(12, 0xDEADu);
  const uint32_t *old_buffer = taken.pixels.data();
  ASSERT_TRUE(TakeComposedFrame(taken));
  EXPECT_EQ(taken.pixels[5], 4u);
  EXPECT_EQ(taken.number, copy.number);
  copy.number = 0;
  EXPECT_FALSE(CopyComposedFrame(copy));
  EXPECT_FALSE(TakeComposedFrame(taken));
  publish(5);
  ASSERT_TRUE(CopyComposedFrame(copy));
  EXPECT_EQ(copy.pixels[5], 5u);
  EXPECT_EQ(copy.pixels[0], 0x123456u);
  ComposedFrame again;
  ASSERT_TRUE(TakeComposedFrame(again));
  EXPECT_EQ(again.pixels.data(), old_buffer) << "the next frame was not published into the buffer handed back";
  SetComposedFrameLinger(std::chrono::seconds(1));
}

class WebDisplayTest : public ShellTest {
protected:
  void TearDown() override {
    StopWebDisplay();
    window.reset();
    ShellTest::TearDown();
  }

  void Start(bool control, int timeout_seconds = kHttpTimeoutSeconds) {
    window = std::make_unique<StandInWindow>();
    ASSERT_TRUE(StartWebDisplayOn(0, control, true, kSize, kSize, WebDisplayHooks{RequestFrame, RequestClick},
                                  timeout_seconds));
    ASSERT_GT(WebDisplayPort(), 0);
  }
  std::unique_ptr<httplib::Client> Client() {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", WebDisplayPort());
    client->set_read_timeout(std::chrono::seconds(30)); // a frame request itself waits up to two seconds
    return client;
  }
  // The next frame newer than after, as the page asks for it.
  std::pair<uint64_t, std::string> FrameAfter(httplib::Client &client, uint64_t after) {
    const auto until = std::chrono::steady_clock::now() + kHungRun;
    while (std::chrono::steady_clock::now() < until) {
      auto reply = client.Get("/frame.png?after=" + std::to_string(after));
      if (!reply)
        return {0, ""};
      if (reply->status == 200)
        return {std::stoull(reply->get_header_value("X-Frame")), reply->body};
      EXPECT_EQ(reply->status, 204);
    }
    return {0, ""};
  }
  int Press(httplib::Client &client, const std::string &form) {
    auto reply = client.Post("/press", form, "application/x-www-form-urlencoded");
    return reply ? reply->status : -1;
  }
  static std::string CentreOf(int button) {
    const ButtonRect &r = g_page_state.button_rects[button - 1];
    return "x=" + std::to_string((r.left + r.right) / 2) + "&y=" + std::to_string((r.top + r.bottom) / 2);
  }
  int CurrentPage() {
    SharedGuard guard = LockSharedData();
    return g_page_state.current_page;
  }

  std::unique_ptr<StandInWindow> window;
};

TEST_F(WebDisplayTest, ServesThePageAndTheWindowsFramePixelForPixel) {
  Start(true);
  auto client = Client();
  auto page = client->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->body.find("const CONTROL = true;"), std::string::npos);
  EXPECT_NE(page->body.find("frame.png?after="), std::string::npos);

  const std::vector<uint32_t> shown = window->Settle();
  const auto [version, png] = FrameAfter(*client, 0);
  ASSERT_GT(version, 0u);
  const Decoded image = DecodePng(png);
  ASSERT_EQ(image.width, kSize);
  ASSERT_EQ(image.height, kSize);
  int differ = 0, lit = 0;
  for (size_t i = 0; i < shown.size(); ++i) {
    differ += image.pixels[i] != shown[i] ? 1 : 0;
    lit += shown[i] != 0 ? 1 : 0;
  }
  EXPECT_EQ(differ, 0) << "the PNG is not the window's frame";
  EXPECT_GT(lit, 1000) << "the frame is black: nothing was compared";

  // The display repaints the same pixels: that is no new frame, and the request says the display still paints.
  RequestFrame();
  window->Settle();
  auto unchanged = client->Get("/frame.png?after=" + std::to_string(version));
  ASSERT_TRUE(unchanged);
  EXPECT_EQ(unchanged->status, 204);
  EXPECT_EQ(unchanged->get_header_value("X-Frame"), std::to_string(version));
}

TEST_F(WebDisplayTest, APressOnTheModeLabelTurnsThePageOnTheUserInterfaceThread) {
  Start(true);
  auto client = Client();
  window->Settle();
  const auto [before, monitoring] = FrameAfter(*client, 0);
  ASSERT_EQ(CurrentPage(), kPageMonitoring);

  EXPECT_EQ(Press(*client, CentreOf(13)), 204);
  const std::vector<uint32_t> shown = window->Settle();
  EXPECT_EQ(window->clicks_taken(), 1);
  EXPECT_EQ(CurrentPage(), kPageTagging);
  const auto [after, tagging] = FrameAfter(*client, before);
  EXPECT_GT(after, before);
  EXPECT_EQ(DecodePng(tagging).pixels, shown) << "the frame after the press is not the window's";
}

// Everything that is not a well-formed press or a page of the display is refused and presses nothing.
TEST_F(WebDisplayTest, RefusesWhatItDoesNotServe) {
  Start(true);
  auto client = Client();
  const std::string big(2 * kHttpBodyLimit, '1');
  const struct {
    const char *method, *path;
    std::string body;
    int status;
  } cases[] = {
      {"POST", "/press", "x=10", 400},
      {"POST", "/press", "y=10", 400},
      {"POST", "/press", "x=abc&y=10", 400},
      {"POST", "/press", "x=-1&y=10", 400},
      {"POST", "/press", "x=+5&y=10", 400},
      {"POST", "/press", "x=1e2&y=10", 400},
      {"POST", "/press", "x=&y=10", 400},
      {"POST", "/press", "x=425&y=10", 400},
      {"POST", "/press", "x=10&y=99999999999", 400},
      {"POST", "/press", "x=10&x=11&y=10", 400},
      {"POST", "/press", "x=" + big + "&y=1", 413},
      {"GET", "/press", "", 404},
      {"GET", "/frame.png?after=soon", "", 400},
      {"GET", "/frame.jpg", "", 404},
      {"GET", "/../etc/passwd", "", 404},
      {"POST", "/", "x=1&y=1", 404},
      {"DELETE", "/frame.png", "", 404},
  };
  for (const auto &c : cases) {
    httplib::Result reply = std::string(c.method) == "GET" ? client->Get(c.path)
                            : std::string(c.method) == "DELETE"
                                ? client->Delete(c.path)
                                : client->Post(c.path, c.body, "application/x-www-form-urlencoded");
    ASSERT_TRUE(reply) << c.method << " " << c.path;
    EXPECT_EQ(reply->status, c.status) << c.method << " " << c.path << " " << c.body.substr(0, 40);
  }
  window->Settle();
  EXPECT_EQ(window->clicks_taken(), 0);
  EXPECT_EQ(CurrentPage(), kPageMonitoring);
}

TEST_F(WebDisplayTest, WithoutControlThePageOnlyShows) {
  Start(false);
  auto client = Client();
  auto page = client->Get("/");
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("const CONTROL = false;"), std::string::npos);
  EXPECT_EQ(Press(*client, CentreOf(13)), 403);
  window->Settle();
  EXPECT_EQ(window->clicks_taken(), 0);
  EXPECT_EQ(CurrentPage(), kPageMonitoring);
}

// Connections that send half a request and then nothing hold a worker each, for as long as the server's time
// limit allows (here longer than any run); another viewer is still served at once, and every stalled request
// is answered in full once its client goes on.
TEST_F(WebDisplayTest, ClientsThatStallCostOnlyTheirOwnConnections) {
  Start(true, 600);
  constexpr int kStalled = kHttpConnections - 1;
  std::mutex lock;
  std::condition_variable changed;
  int started = 0;
  bool go_on = false;
  std::vector<int> answers(kStalled, 0);
  std::vector<std::thread> stalled;
  for (int i = 0; i < kStalled; ++i) {
    stalled.emplace_back([&, i] {
      httplib::Client client("127.0.0.1", WebDisplayPort());
      client.set_read_timeout(std::chrono::seconds(600));
      client.set_write_timeout(std::chrono::seconds(600));
      const std::string body = "x=1&y=1&stalled=yes";
      auto reply = client.Post(
          "/stalled", body.size(),
          [&](size_t offset, size_t, httplib::DataSink &sink) {
            if (offset == 0) {
              sink.write(body.data(), 3); // part of the body, then nothing until the test says so
              std::unique_lock hold(lock);
              ++started;
              changed.notify_all();
              changed.wait(hold, [&] { return go_on; });
              return true;
            }
            sink.write(body.data() + offset, body.size() - offset);
            return true;
          },
          "application/x-www-form-urlencoded");
      answers[i] = reply ? reply->status : -1;
    });
  }
  {
    std::unique_lock hold(lock);
    ASSERT_TRUE(changed.wait_for(hold, kHungRun, [&] { return started == kStalled; }));
  }
  auto viewer = Client();
  auto page = viewer->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  uint64_t version = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Press(*viewer, CentreOf(13)), 204);
    window->Tick(kButtonTimer);
    window->Settle();
    const auto [next, png] = FrameAfter(*viewer, version);
    EXPECT_GT(next, version);
    version = next;
  }
  {
    std::lock_guard hold(lock);
    go_on = true;
  }
  changed.notify_all();
  for (std::thread &t : stalled)
    t.join();
  EXPECT_EQ(answers, std::vector<int>(kStalled, 404));
}

} // namespace
