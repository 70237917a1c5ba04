// udp.h: IPv4 datagram sockets: the listening socket, one-shot sends to peers and host name resolution.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Starts the socket library where the platform needs it; safe to call more than once.
bool UdpStartup();

using UdpHandle = intptr_t;
constexpr UdpHandle kUdpInvalid = -1;

// A datagram socket bound to 0.0.0.0:port (or to 127.0.0.1 when loopback_only is set), or kUdpInvalid; then, when
// why is given, it receives the reason in words (for example "Address already in use").
UdpHandle UdpOpenListener(int port, bool loopback_only = false, std::string *why = nullptr);

// The local port a socket is bound to (useful after binding port 0), or -1.
int UdpLocalPort(UdpHandle socket);

enum : int {
  kUdpTimeout = -2, // nothing arrived within the timeout
  kUdpError = -1,   // the receive failed; nothing was received
};

// Waits up to timeout_ms (negative: for ever) for one datagram and copies at most capacity bytes of it
// into buffer. A longer datagram is cut to capacity bytes and the rest discarded. Returns the number of
// bytes placed in buffer, kUdpTimeout or kUdpError (with the reason in why, when given).
int UdpReceive(UdpHandle socket, char *buffer, size_t capacity, int timeout_ms, std::string *why = nullptr);

void UdpClose(UdpHandle socket);

// Resolves a host name to its first IPv4 address as dotted text ("%u.%u.%u.%u"). Blocks.
bool UdpResolveIPv4(const char *host, char dotted[16]);

// Sends one datagram from a fresh socket to a dotted IPv4 address and port, then closes the socket.
// Returns the number of bytes the send reported, or -1.
int UdpSendOnce(const char *dotted, int port, const char *data, size_t length);
