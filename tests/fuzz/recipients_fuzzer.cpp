// recipients_fuzzer.cpp: any recipients file must be read without harm. Only the reading is fuzzed: nothing is sent
// and no host name is looked up, so the peers a file names are never reached.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/settings.h"
#include "platform/files.h"
#include "wire/recipients.h"

#include "fuzz_support.h"

namespace {
std::wstring g_path;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  StartFuzzedCore();
  const std::string path = WriteScratchFile("peers.txt", nullptr, 0);
  g_path.assign(path.begin(), path.end());
  WriteSetting(L"Recipients file", g_path.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (WriteScratchFile("peers.txt", data, size).empty())
    return 0;
  const int counted = CountRecipients();
  // The lines as every reader takes them: 126 characters at a time.
  FILE *file = OpenFileRead(g_path.c_str());
  FuzzCheck(file != nullptr, "the file opens");
  int tag_peers = 0;
  char line[kRecipientLineCapacity];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    tag_peers += IsPeerLine(line, PeerRule::kTag) ? 1 : 0;
    for (const PeerRule rule : {PeerRule::kSquad, PeerRule::kTag}) {
      PeerLine peer;
      if (!ReadPeerLine(line, rule, &peer))
        continue;
      FuzzCheck(peer.port >= 1 && peer.port <= 65535, "a peer's port is a port");
      FuzzCheck(std::strlen(peer.host) < kPeerHostCapacity, "a peer's host fits");
      if (peer.host[0] >= '0' && peer.host[0] <= '9') { // a dotted address: taken as it is, never resolved
        char dotted[kDottedCapacity];
        FuzzCheck(PeerAddress(peer.host, dotted) == (std::strlen(peer.host) <= kDottedHostLimit),
                  "a dotted host is used only when it fits");
      }
    }
  }
  std::fclose(file);
  FuzzCheck(counted == tag_peers, "the count is the number of lines a TAG goes to");
  return 0;
}
