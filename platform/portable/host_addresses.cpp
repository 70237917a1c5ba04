// host_addresses.cpp: portable implementation of host_addresses.h over getifaddrs.
#include "platform/host_addresses.h"

#include <algorithm>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

std::vector<std::string> LocalIPv4Addresses() {
  std::vector<std::string> others, loopback;
  ifaddrs *list = nullptr;
  if (getifaddrs(&list) != 0)
    return others;
  for (const ifaddrs *entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET || (entry->ifa_flags & IFF_UP) == 0)
      continue;
    char dotted[INET_ADDRSTRLEN] = {};
    const auto *address = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, dotted, sizeof dotted) == nullptr)
      continue;
    std::vector<std::string> &into = (entry->ifa_flags & IFF_LOOPBACK) != 0 ? loopback : others;
    if (std::find(into.begin(), into.end(), dotted) == into.end())
      into.push_back(dotted);
  }
  freeifaddrs(list);
  others.insert(others.end(), loopback.begin(), loopback.end());
  return others;
}
