// dispatch_fuzzer.cpp: whatever arrives on the port must never crash the dispatcher or its handlers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/listener.h"
#include "link/protocol.h"
#include "map/calibration_grid.h"
#include "support/listener_fixture.h"

namespace {
ListenerContext g_context;
ListenerWork *g_work = nullptr;
GridNode g_nodes[4 * 4];

// A 4 x 4 node grid over 43.0-44.5 N, 40.0-41.5 E, so that positions inside it reach every
// projection path and positions outside it the out-of-map paths.
void BuildGrid() {
  GridNode *tail = &g_calibration_grid.head;
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) {
      GridNode &node = g_nodes[row * 4 + column];
      node.latitude_code = 430 + 5 * row;
      node.longitude_code = 400 + 5 * column;
      node.x = 100.0 * column + 3 * row;
      node.y = 300.0 - 100.0 * row + 2 * column;
      node.next = nullptr;
      tail->next = &node;
      tail = &node;
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  // Keep the fuzzer's settings reads and writes away from the user's own settings.
  char folder[] = "/tmp/kestrel-fuzz-XXXXXX";
  if (::mkdtemp(folder) != nullptr) {
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    ::setenv("XDG_STATE_HOME", folder, 1);
  }
  InitSharedRecordsForTest(g_context);
  BuildGrid();
  g_work = MakeListenerWork(&g_context);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // The listener hands on at most 576 bytes, terminated after the bytes received.
  char text[kDatagramLimit + 1];
  const size_t n = size < kDatagramLimit ? size : kDatagramLimit;
  std::memcpy(text, data, n);
  text[n] = '\0';
  DispatchDatagram(text, g_work);
  return 0;
}
