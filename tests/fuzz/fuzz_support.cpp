// fuzz_support.cpp: the harnesses' shared set-up, scratch files and paint.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "app/shell.h"
#include "map/map_view.h"
#include "mfd/page_state.h"
#include "support/recording_canvas.h"

namespace {
std::string g_folder;
}

void StartFuzzedCore() {
  // In memory where the machine has it: the settings store flushes every write to the disk.
  const bool shm = ::access("/dev/shm", W_OK) == 0;
  char folder[] = "/dev/shm/kestrel-fuzz-XXXXXX";
  char fallback[] = "/tmp/kestrel-fuzz-XXXXXX";
  if (::mkdtemp(shm ? folder : fallback) == nullptr)
    std::abort();
  const char *chosen = shm ? folder : fallback;
  g_folder = chosen;
  std::atexit([] { std::filesystem::remove_all(g_folder); });
  ::setenv("XDG_CONFIG_HOME", chosen, 1);
  ::setenv("XDG_STATE_HOME", chosen, 1);
  ShellReadSettings();
  ShellInitModules(nullptr);
  AttachSharedRecords(g_shell.listener);
  g_shell.settings.debug = 1;
}

std::string WriteScratchFile(const char *name, const uint8_t *data, size_t size) {
  const std::string path = g_folder + "/" + name;
  FILE *file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    return {};
  const bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok ? path : std::string();
}

size_t PaintMapPages() {
  static RecordingCanvas recorder;
  static const bool ready = (InitRecordingCanvas(recorder, 425, 425), true);
  (void)ready;
  size_t drawn = 0;
  const int page = g_page_state.current_page;
  for (const int shown : {kPageMonitoring, kPageTagging}) {
    g_page_state.current_page = shown;
    recorder.records.clear();
    PaintDisplay(recorder.canvas);
    drawn += recorder.records.size();
  }
  g_page_state.current_page = page;
  return drawn;
}

void FuzzCheck(bool holds, const char *what) {
  if (holds)
    return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
