// test_env_portable.cpp: fresh settings files under a scratch XDG_CONFIG_HOME.
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/settings_store.h"
#include "support/test_env.h"

std::string MakeScratchFolder() {
  const char *base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kestrel-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    return {};
  return pattern;
}

std::string UseFreshSettingsStore() {
  const std::string folder = MakeScratchFolder();
  ::setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
  ::setenv("XDG_STATE_HOME", (folder + "/state").c_str(), 1);
  // The machine's own /etc/xdg may hold an installed package's defaults; tests put theirs under system/.
  ::setenv("XDG_CONFIG_DIRS", (folder + "/system").c_str(), 1);
  StoreDeleteAll();
  return folder;
}
