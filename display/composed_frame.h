// composed_frame.h: the latest frame the display composed, for viewers on other threads.
//
// The user-interface thread composes every frame under the shared-data lock and publishes it here; a viewer
// (a screenshot, a web display) copies it out under this store's own lock and never takes the shared-data
// lock, so it may take its time sending without holding up the listener or the paint. Publishing costs one
// copy of the window's pixels and is skipped while nobody watches: a viewer watches only while it waits for a
// frame (and a moment after), so a web display with no browser costs the paint nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

struct ComposedFrame {
  int width = 0, height = 0;
  uint64_t number = 0;          // frames composed since start; 0: none yet
  std::vector<uint32_t> pixels; // 0x00RRGGBB, the top row first, width pixels a row
};

// A viewer starts (true) or stops (false) watching. Frames are published while at least one watches, and for a
// while after the last one stopped (a second; SetComposedFrameLinger): a web viewer asks for its next frame a few
// milliseconds after it got one, and the frame composed in between is then there for it, instead of lost and
// composed again on request.
void WatchComposedFrames(bool watch);
// How long frames are still published after the last viewer stopped watching (tests: 0, or longer than any run).
void SetComposedFrameLinger(std::chrono::milliseconds linger);

// From the user-interface thread, after each frame: counts it, and keeps a copy while anyone watches.
void PublishComposedFrame(const uint32_t *pixels, int width, int height, int stride_bytes);

// From any thread: copies the latest published frame into out when it is newer than out.number. True when
// it copied. A viewer that wants a frame now asks for one first (the web display through its request_frame hook).
bool CopyComposedFrame(ComposedFrame &out);
// As CopyComposedFrame, for the one viewer that encodes every frame for all the others (the web display): out's
// pixels and the store's are exchanged instead of copied, so the store publishes the next frame into out's old
// buffer, and has no frame to copy or take until then.
bool TakeComposedFrame(ComposedFrame &out);

// From any thread: waits until a frame newer than number has been published, or until timeout has passed,
// or until WakeComposedFrameWaiters. True when a newer frame is there to copy.
bool WaitComposedFrame(uint64_t number, std::chrono::milliseconds timeout);
// Ends every wait now (a viewer that is shutting down).
void WakeComposedFrameWaiters();

// The number of the latest published frame (0: none), and whether frames were composed after it that nobody
// watched: a viewer that starts waiting then asks for a fresh frame rather than wait for the next change.
uint64_t PublishedFrameNumber();

// Frames composed since start, published or not: a count that stands still while frames are due tells that
// the user-interface thread is not painting.
uint64_t ComposedFrameCount();
