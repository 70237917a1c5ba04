// loopback_receiver.h: datagram receivers bound to one loopback address, standing in for squad peers.
#pragma once

#include "platform/udp.h"

// A socket bound to dotted (a 127.x.x.x address) at a port of the system's choosing, or kUdpInvalid.
// Receive with UdpReceive, find the port with UdpLocalPort, close with UdpClose.
UdpHandle OpenLoopbackReceiver(const char *dotted);
