// composed_frame.cpp: the store of the latest composed frame.
#include "display/composed_frame.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace {
struct Store {
  std::atomic<int> watchers{0};
  std::atomic<uint64_t> composed{0};
  std::mutex lock; // over latest and wakes
  ComposedFrame latest;
  uint64_t wakes = 0; // WakeComposedFrameWaiters calls
  std::condition_variable published;
};

Store &TheStore() {
  static Store store;
  return store;
}
} // namespace

void WatchComposedFrames(bool watch) { TheStore().watchers.fetch_add(watch ? 1 : -1); }

void PublishComposedFrame(const uint32_t *pixels, int width, int height, int stride_bytes) {
  Store &store = TheStore();
  const uint64_t number = store.composed.fetch_add(1) + 1;
  if (store.watchers.load() <= 0 || pixels == nullptr || width <= 0 || height <= 0)
    return;
  std::unique_lock hold(store.lock);
  ComposedFrame &latest = store.latest;
  latest.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  const auto *row = reinterpret_cast<const unsigned char *>(pixels);
  for (int y = 0; y < height; ++y, row += stride_bytes) {
    uint32_t *out = latest.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    std::memcpy(out, row, static_cast<size_t>(width) * sizeof(uint32_t));
    for (int x = 0; x < width; ++x)
      out[x] &= 0xFFFFFFu; // the top byte is whatever the platform left there
  }
  latest.width = width;
  latest.height = height;
  latest.number = number;
  hold.unlock();
  store.published.notify_all();
}

bool CopyComposedFrame(ComposedFrame &out) {
  Store &store = TheStore();
  std::lock_guard hold(store.lock);
  if (store.latest.number == 0 || store.latest.number <= out.number)
    return false;
  out = store.latest;
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
