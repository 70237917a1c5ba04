// outbox.h: datagrams to peers that the handlers and buttons queue under the shared-data lock and that
// are sent once the lock is released, so that no name resolution or send ever holds it.
#pragma once

#include <string>
#include <vector>

struct OutgoingTag {
  unsigned number = 0; // the tag's number, for the "TAG #%d SENT TO [%d]" confirmation
  std::string text;    // the TAG text
};

struct Outbox {
  std::vector<std::string> squad_texts; // SQUAD texts for every peer of the recipients file
  std::vector<OutgoingTag> tags;        // TAG texts, confirmed per peer in the event log
  bool empty() const { return squad_texts.empty() && tags.empty(); }
};

// One TAG datagram that went whole to one peer: what the "TAG #%d SENT TO [%d]" confirmation names.
struct TagDelivery {
  unsigned number = 0;
  int peer_index = 0;
};

// Sends everything queued and empties the outbox; returns every tag delivery, in the order made. Blocks on name
// resolution: never call with the shared-data lock held (the confirmations are posted by FlushOutbox, tag_sharing.h).
std::vector<TagDelivery> SendOutbox(Outbox &outbox);
