// loopback_receiver_portable.cpp: loopback receivers over POSIX sockets (all of 127/8 is local on Linux).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/loopback_receiver.h"

UdpHandle OpenLoopbackReceiver(const char *dotted) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0)
    return kUdpInvalid;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (::inet_pton(AF_INET, dotted, &address.sin_addr) != 1 ||
      ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    ::close(fd);
    return kUdpInvalid;
  }
  return fd;
}
