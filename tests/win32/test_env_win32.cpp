// test_env_win32.cpp: the emptied registry key and scratch folders under the Windows temporary folder.
#include <string>
#include <windows.h>

#include "platform/settings_store.h"
#include "support/test_env.h"

std::string MakeScratchFolder() {
  static unsigned counter = 0;
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  for (;;) {
    const std::string folder =
        std::string(base) + "kestrel-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    if (CreateDirectoryA(folder.c_str(), nullptr))
      return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS)
      return {};
  }
}

std::string UseFreshSettingsStore() {
  StoreDeleteAll();
  return MakeScratchFolder();
}
