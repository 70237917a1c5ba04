// udp.cpp: Windows implementation of udp.h over winsock 2.2.
#include "platform/udp.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <cstdio>
#include <mutex>
#include <string>
#include <system_error>

bool UdpStartup() {
  // Started once for the process and never cleaned up: the listener's socket lives as long as the program.
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  });
  return started;
}

static SOCKET AsSocket(UdpHandle handle) { return static_cast<SOCKET>(handle); }

// Words for a winsock error, with its number, which is what a search for help finds. The errors a pilot meets get
// words of our own: the system's differ between Windows versions, and Wine has none for winsock's numbers.
static void Explain(std::string *why, int error) {
  if (why == nullptr)
    return;
  std::string words;
  switch (error) {
  case WSAEADDRINUSE:
    words = "the port is in use by another program";
    break;
  case WSAEACCES:
    words = "access denied: another program holds the port for itself, or a firewall forbids it";
    break;
  case WSAEADDRNOTAVAIL:
    words = "the address is not one of this machine's";
    break;
  case WSAENETDOWN:
    words = "the network is down";
    break;
  default:
    words = std::system_category().message(error);
    while (!words.empty() &&
           (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' || words.back() == '.'))
      words.pop_back();
    if (words.empty() || words.find("Unknown error") != std::string::npos)
      words = "winsock error";
  }
  *why = words + " (" + std::to_string(error) + ")";
}

UdpHandle UdpOpenListener(int port, bool loopback_only, std::string *why) {
  if (!UdpStartup()) {
    if (why != nullptr)
      *why = "the socket library did not start";
    return kUdpInvalid;
  }
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) {
    Explain(why, WSAGetLastError());
    return kUdpInvalid;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(loopback_only ? INADDR_LOOPBACK : INADDR_ANY);
  if (bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    Explain(why, WSAGetLastError());
    closesocket(s);
    return kUdpInvalid;
  }
  return static_cast<UdpHandle>(s);
}

int UdpLocalPort(UdpHandle socket) {
  sockaddr_in address{};
  int length = sizeof address;
  if (getsockname(AsSocket(socket), reinterpret_cast<sockaddr *>(&address), &length) != 0)
    return -1;
  return ntohs(address.sin_port);
}

int UdpReceive(UdpHandle socket, char *buffer, size_t capacity, int timeout_ms, std::string *why) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(AsSocket(socket), &readable);
  timeval timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  const int ready = select(0, &readable, nullptr, nullptr, timeout_ms < 0 ? nullptr : &timeout);
  if (ready == 0)
    return kUdpTimeout;
  if (ready == SOCKET_ERROR) {
    const int error = WSAGetLastError();
    if (error == WSAEINTR)
      return kUdpTimeout;
    Explain(why, error);
    return kUdpError;
  }
  const int size = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
  const int n = recvfrom(AsSocket(socket), buffer, size, 0, nullptr, nullptr);
  if (n != SOCKET_ERROR)
    return n;
  const int error = WSAGetLastError();
  switch (error) {
  case WSAEMSGSIZE:
    // Unlike POSIX, winsock reports a datagram longer than the buffer as an error, but the buffer holds
    // its first bytes and the rest is gone: exactly the cut the callers want.
    return size;
  case WSAECONNRESET:
    // An ICMP "port unreachable" for an earlier send from this socket; nothing was received.
  case WSAEWOULDBLOCK:
  case WSAEINTR:
    return kUdpTimeout;
  default:
    Explain(why, error);
    return kUdpError;
  }
}

void UdpClose(UdpHandle socket) {
  if (socket != kUdpInvalid)
    closesocket(AsSocket(socket));
}

bool UdpResolveIPv4(const char *host, char dotted[16]) {
  if (!UdpStartup())
    return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo *found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr)
    return false;
  const auto *address = reinterpret_cast<const sockaddr_in *>(found->ai_addr);
  const auto *b = reinterpret_cast<const unsigned char *>(&address->sin_addr.s_addr);
  std::snprintf(dotted, 16, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  freeaddrinfo(found);
  return true;
}

int UdpSendOnce(const char *dotted, int port, const char *data, size_t length) {
  if (!UdpStartup())
    return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  // inet_addr also reads the short forms ("1.2" is 1.0.0.2) that recipients files written by hand contain.
  address.sin_addr.s_addr = inet_addr(dotted);
  if (address.sin_addr.s_addr == INADDR_NONE)
    return -1;
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET)
    return -1;
  const int size = length > INT_MAX ? INT_MAX : static_cast<int>(length);
  const int sent = sendto(s, data, size, 0, reinterpret_cast<sockaddr *>(&address), sizeof address);
  closesocket(s);
  return sent == SOCKET_ERROR ? -1 : sent;
}
