// loopback_receiver_win32.cpp: loopback receivers over winsock.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/loopback_receiver.h"

UdpHandle OpenLoopbackReceiver(const char *dotted) {
  if (!UdpStartup())
    return kUdpInvalid;
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET)
    return kUdpInvalid;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr(dotted);
  if (address.sin_addr.s_addr == INADDR_NONE || bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    closesocket(s);
    return kUdpInvalid;
  }
  return static_cast<UdpHandle>(s);
}
