// recipients.h: the recipients file of squad peers and the datagrams sent to them.
//
// The file is read afresh on every call, so an edit takes effect at the next datagram. Each line is
// read in pieces of at most 126 characters and judged on its own; a peer line is "[index]host:port".
#pragma once

#include <cstddef>
#include <vector>

#include "wire/outbox.h"

constexpr size_t kRecipientLineCapacity = 127; // the read buffer: 126 characters and the terminator
constexpr size_t kPeerHostCapacity = 127;      // a host name of at most 126 characters
// A dotted address is at most 19 characters; a longer one is not an address and its line is skipped.
constexpr size_t kDottedHostLimit = 19;
constexpr size_t kDottedCapacity = kDottedHostLimit + 1;

// SQUAD datagrams go to every peer line; TAG datagrams and the count take only lines longer than 9
// characters (newline included), which keeps out stubs such as "[3]1.2:9".
enum class PeerRule { kSquad, kTag };

struct PeerLine {
  int index = 0;
  char host[kPeerHostCapacity] = {};
  int port = 0;
};

// True when a line read from the file passes the rule's comment, length and colon tests.
bool IsPeerLine(const char *line, PeerRule rule);

// Reads the index, host and port of a line that passes the rule; false when it does not pass or a field
// cannot be read.
bool ReadPeerLine(const char *line, PeerRule rule, PeerLine *peer);

// The dotted address to send to: a host that begins with a digit is taken as it is (false when it is
// 20 characters or more); any other host is resolved as a name (blocks; false when it does not resolve).
bool PeerAddress(const char *host, char dotted[kDottedCapacity]);

// Sends text (without its terminating zero) to every peer of the rule; returns the indices of the peers
// to which the whole text went. Blocks on name resolution: never call with the shared-data lock held.
std::vector<int> SendToPeers(const char *text, PeerRule rule);

// Sends a SQUAD text to every peer. Blocks: never call with the shared-data lock held.
void SendToRecipients(const char *text);

// The number of peer lines that a TAG would go to; 0 when the file cannot be opened. Reads a file:
// never call with the shared-data lock held.
int CountRecipients();
