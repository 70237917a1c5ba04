// composed_frame.cpp: the store of the latest composed frame.
#include "display/composed_frame.h"

#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>

namespace {
using Clock = std::chrono::steady_clock;

struct Store {
  std::atomic<int> watchers{0};
  std::atomic<Clock::rep> linger{std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)).count()};
  std::atomic<Clock::rep> last_watched{std::numeric_limits<Clock::rep>::min() / 2}; // when a viewer last stopped
  std::atomic<uint64_t> composed{0};
  std::mutex lock; // over latest and wakes
  ComposedFrame latest;
  bool taken = false; // latest's pixels were taken (TakeComposedFrame)
  uint64_t wakes = 0; // WakeComposedFrameWaiters calls
  std::condition_variable published;
};

Store &TheStore() {
  static Store store;
  return store;
}
} // namespace

void WatchComposedFrames(bool watch) {
  Store &store = TheStore();
  if (watch) {
    store.watchers.fetch_add(1);
    return;
  }
  store.last_watched.store(Clock::now().time_since_epoch().count());
  store.watchers.fetch_sub(1);
}

void SetComposedFrameLinger(std::chrono::milliseconds linger) {
  TheStore().linger.store(std::chrono::duration_cast<Clock::duration>(linger).count());
}

void PublishComposedFrame(const uint32_t *pixels, int width, int height, int stride_bytes) {
  Store &store = TheStore();
  const uint64_t number = store.composed.fetch_add(1) + 1;
  if (pixels == nullptr || width <= 0 || height <= 0)
    return;
  if (store.watchers.load() <= 0 &&
      Clock::now().time_since_epoch().count() - store.last_watched.load() >= store.linger.load())
    return;
  std::unique_lock hold(store.lock);
  ComposedFrame &latest = store.latest;
  latest.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  const auto *row = reinterpret_cast<const unsigned char *>(pixels);
  for (int y = 0; y < height; ++y, row += stride_bytes) {
    uint32_t *out = latest.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    const auto *in = reinterpret_cast<const uint32_t *>(row);
    for (int x = 0; x < width; ++x)
      out[x] = in[x] & 0xFFFFFFu; // the top byte is whatever the platform left there
  }
  latest.width = width;
  latest.height = height;
  latest.number = number;
  store.taken = false;
  hold.unlock();
  store.published.notify_all();
}

bool CopyComposedFrame(ComposedFrame &out) {
  Store &store = TheStore();
  std::lock_guard hold(store.lock);
  if (store.latest.number == 0 || store.latest.number <= out.number || store.taken)
    return false;
  out = store.latest;
  return true;
}

bool TakeComposedFrame(ComposedFrame &out) {
  Store &store = TheStore();
  std::lock_guard hold(store.lock);
  if (store.latest.number == 0 || store.latest.number <= out.number || store.taken)
    return false;
  out.pixels.swap(store.latest.pixels);
  out.width = store.latest.width;
  out.height = store.latest.height;
  out.number = store.latest.number;
  store.taken = true;
  return true;
}

bool WaitComposedFrame(uint64_t number, std::chrono::milliseconds timeout) {
  Store &store = TheStore();
  std::unique_lock hold(store.lock);
  const uint64_t wakes = store.wakes;
  store.published.wait_for(hold, timeout, [&] { return store.latest.number > number || store.wakes != wakes; });
  return store.latest.number > number;
}

void WakeComposedFrameWaiters() {
  Store &store = TheStore();
  {
    std::lock_guard hold(store.lock);
    ++store.wakes;
  }
  store.published.notify_all();
}

uint64_t PublishedFrameNumber() {
  Store &store = TheStore();
  std::lock_guard hold(store.lock);
  return store.latest.number;
}

uint64_t ComposedFrameCount() { return TheStore().composed.load(); }
