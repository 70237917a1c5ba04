// tag_sharing.h: re-sending own tags to the squad and the sync of the TAGGING view with the ownship.
#pragma once

struct Outbox;
struct TagDatabase;

// RESEND TAGS: queues every tag made under the current own pilot number for the peers; on the broadcast
// squad sends nothing and posts the two refusal messages once.
void ResendTags(TagDatabase &tags, Outbox &outbox);

// Sends everything queued in the outbox to the peers and empties it, then posts "TAG #%d SENT TO [%d]" for every peer
// a TAG datagram went to. Call without the shared-data lock held: it takes the lock itself only to post.
void FlushOutbox(Outbox &outbox);

// SYNC ON / SYNC OFF: flips the sync flag and relabels the button to name what the next press does.
void ToggleSync(TagDatabase &tags);

// Panning the TAGGING view by hand ends the following: sync off, label "SYNC ON".
void ResetSyncLabel(TagDatabase &tags);

// "SYNC OFF" while the sync flag is 1, "SYNC ON" otherwise.
const wchar_t *SyncLabel(int sync);
