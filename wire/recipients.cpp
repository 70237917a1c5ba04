// recipients.cpp: reading the recipients file and sending SQUAD and TAG datagrams to the peers in it.
#include "wire/recipients.h"

#include <cstdio>
#include <cstring>

#include "base/settings.h"
#include "platform/files.h"
#include "platform/udp.h"

namespace {
constexpr size_t kTagPeerMinLength = 10;

FILE *OpenRecipientsFile() {
  wchar_t path[kSettingTextCapacity];
  ReadSetting(L"Recipients file", path);
  return OpenFileRead(path);
}

// Calls visit for every piece of the file as fgets hands it out; a file that cannot be opened has none.
template <typename Visit> void ForEachLine(Visit visit) {
  FILE *file = OpenRecipientsFile();
  if (file == nullptr)
    return;
  char line[kRecipientLineCapacity];
  while (std::fgets(line, sizeof line, file) != nullptr)
    visit(line);
  std::fclose(file);
}

bool SendToPeer(const PeerLine &peer, const char *text, size_t length) {
  char dotted[kDottedCapacity];
  if (!PeerAddress(peer.host, dotted))
    return false;
  return UdpSendOnce(dotted, peer.port, text, length) == static_cast<int>(length);
}
} // namespace

bool IsPeerLine(const char *line, PeerRule rule) {
  if (line[0] == '#')
    return false;
  if (rule == PeerRule::kTag && std::strlen(line) < kTagPeerMinLength)
    return false;
  return std::strchr(line, ':') != nullptr;
}

bool ReadPeerLine(const char *line, PeerRule rule, PeerLine *peer) {
  if (!IsPeerLine(line, rule))
    return false;
  char fields[kRecipientLineCapacity];
  std::snprintf(fields, sizeof fields, "%s", line);
  char *colon = std::strchr(fields, ':');
  if (colon == nullptr) // only a text longer than a file line can lose its colon to the copy
    return false;
  *colon = ' ';
  PeerLine read;
  if (std::sscanf(fields, "[%d]%126s %d", &read.index, read.host, &read.port) != 3)
    return false;
  // A port outside the range would be cut to 16 bits and reach some other program's port.
  if (read.port < 1 || read.port > 65535)
    return false;
  *peer = read;
  return true;
}

bool PeerAddress(const char *host, char dotted[kDottedCapacity]) {
  if (host[0] >= '0' && host[0] <= '9') {
    // Cutting a longer text to its first 19 characters could turn it into some other valid address.
    if (std::strlen(host) > kDottedHostLimit)
      return false;
    std::snprintf(dotted, kDottedCapacity, "%s", host);
    return true;
  }
  return UdpResolveIPv4(host, dotted);
}

std::vector<int> SendToPeers(const char *text, PeerRule rule) {
  std::vector<int> reached;
  const size_t length = std::strlen(text);
  ForEachLine([&](const char *line) {
    PeerLine peer;
    if (ReadPeerLine(line, rule, &peer) && SendToPeer(peer, text, length))
      reached.push_back(peer.index);
  });
  return reached;
}

void SendToRecipients(const char *text) { SendToPeers(text, PeerRule::kSquad); }

int CountRecipients() {
  int count = 0;
  ForEachLine([&](const char *line) { count += IsPeerLine(line, PeerRule::kTag) ? 1 : 0; });
  return count;
}

std::vector<TagDelivery> SendOutbox(Outbox &outbox) {
  for (const std::string &text : outbox.squad_texts)
    SendToRecipients(text.c_str());
  std::vector<TagDelivery> deliveries;
  for (const OutgoingTag &tag : outbox.tags)
    for (const int index : SendToPeers(tag.text.c_str(), PeerRule::kTag))
      deliveries.push_back(TagDelivery{tag.number, index});
  outbox.squad_texts.clear();
  outbox.tags.clear();
  return deliveries;
}
