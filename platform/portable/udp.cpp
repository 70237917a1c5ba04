// udp.cpp: portable implementation of udp.h over POSIX sockets.
#include "platform/udp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

bool UdpStartup() { return true; }

// The words of errno, made without strerror's shared buffer (the listener and the UI thread may both fail at once).
static void Explain(std::string *why, int error) {
  if (why != nullptr)
    *why = std::generic_category().message(error);
}

UdpHandle UdpOpenListener(int port, bool loopback_only, std::string *why) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) {
    Explain(why, errno);
    return kUdpInvalid;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(loopback_only ? INADDR_LOOPBACK : INADDR_ANY);
  if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    Explain(why, errno);
    ::close(fd);
    return kUdpInvalid;
  }
  return fd;
}

int UdpLocalPort(UdpHandle socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr *>(&address), &length) != 0)
    return -1;
  return ntohs(address.sin_port);
}

int UdpReceive(UdpHandle socket, char *buffer, size_t capacity, int timeout_ms, std::string *why) {
  pollfd waiting{static_cast<int>(socket), POLLIN, 0};
  const int ready = ::poll(&waiting, 1, timeout_ms);
  if (ready == 0 || (ready < 0 && errno == EINTR))
    return kUdpTimeout;
  if (ready < 0) {
    Explain(why, errno);
    return kUdpError;
  }
  // A datagram longer than the buffer is cut: recv returns the bytes that fit and drops the rest.
  const ssize_t n = ::recv(static_cast<int>(socket), buffer, capacity, 0);
  if (n >= 0)
    return static_cast<int>(n);
  if (errno == EINTR || errno == EAGAIN)
    return kUdpTimeout;
  Explain(why, errno);
  return kUdpError;
}

void UdpClose(UdpHandle socket) {
  if (socket != kUdpInvalid)
    ::close(static_cast<int>(socket));
}

bool UdpResolveIPv4(const char *host, char dotted[16]) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo *found = nullptr;
  if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr)
    return false;
  const auto *address = reinterpret_cast<const sockaddr_in *>(found->ai_addr);
  const auto *b = reinterpret_cast<const unsigned char *>(&address->sin_addr.s_addr);
  std::snprintf(dotted, 16, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  ::freeaddrinfo(found);
  return true;
}

int UdpSendOnce(const char *dotted, int port, const char *data, size_t length) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  // inet_aton reads every form inet_addr does ("1.2" is 1.0.0.2), as peers written for Windows expect.
  if (::inet_aton(dotted, &address.sin_addr) == 0)
    return -1;
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0)
    return -1;
  const ssize_t sent = ::sendto(fd, data, length, 0, reinterpret_cast<sockaddr *>(&address), sizeof address);
  ::close(fd);
  return static_cast<int>(sent);
}
