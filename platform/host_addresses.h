// host_addresses.h: the addresses other machines may reach this one at, for the web display's start-up line.
#pragma once

#include <string>
#include <vector>

// The IPv4 addresses of the interfaces that are up, as dotted text, without repeats: the others first, the
// loopback ones last. Read from the interfaces themselves; no name is resolved.
std::vector<std::string> LocalIPv4Addresses();
