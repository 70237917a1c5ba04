// host_addresses.cpp: Windows implementation of host_addresses.h over GetAdaptersAddresses.
#include "platform/host_addresses.h"

#include <winsock2.h>
// After winsock2.h, which it needs for its adapter records.
#include <iphlpapi.h>

#include <algorithm>

std::vector<std::string> LocalIPv4Addresses() {
  std::vector<std::string> others, loopback;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    result = GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                  nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()), &size);
  }
  if (result != NO_ERROR)
    return others;
  for (auto *adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    if (adapter->OperStatus != IfOperStatusUp)
      continue;
    for (const IP_ADAPTER_UNICAST_ADDRESS *unicast = adapter->FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
      const SOCKADDR *address = unicast->Address.lpSockaddr;
      if (address == nullptr || address->sa_family != AF_INET)
        continue;
      const auto *ipv4 = reinterpret_cast<const sockaddr_in *>(address);
      const unsigned long host = ntohl(ipv4->sin_addr.s_addr);
      const std::string dotted = std::to_string(host >> 24) + "." + std::to_string((host >> 16) & 255) + "." +
                                 std::to_string((host >> 8) & 255) + "." + std::to_string(host & 255);
      std::vector<std::string> &into = (host >> 24) == 127 ? loopback : others;
      if (std::find(into.begin(), into.end(), dotted) == into.end())
        into.push_back(dotted);
    }
  }
  others.insert(others.end(), loopback.begin(), loopback.end());
  return others;
}
