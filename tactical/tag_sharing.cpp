// tag_sharing.cpp: re-sending own tags and the sync flag of the TAGGING view.
#include "tactical/tag_sharing.h"

#include "base/shared_lock.h"
#include "base/wide_text.h"
#include "mfd/page_table.h"
#include "status/event_codes.h"
#include "status/event_log.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "wire/outbox.h"

namespace {
constexpr int kSyncLabelButton = 7; // on the TAGGING page
constexpr int32_t kTagSentLifetime = 3;

void SetSync(TagDatabase &tags, int sync) {
  tags.sync = sync;
  SetPageLabel(kPageTagging, kSyncLabelButton, SyncLabel(sync));
}
} // namespace

void ResendTags(TagDatabase &tags, Outbox &outbox) {
  const SquadGroup &squad = *tags.squad_group;
  if (squad.squad_number == kBroadcastSquad) {
    PostBroadcastRefusal();
    return;
  }
  // Tags of other pilots are theirs to send; tags made under an earlier own number are not sent again.
  for (const TagRecord *t = tags.root.next; t != nullptr; t = t->next)
    if (t->pilot == squad.own_pilot)
      SendTagToRecipients(*t, tags, outbox);
}

void FlushOutbox(Outbox &outbox) {
  for (const TagDelivery &delivery : SendOutbox(outbox)) {
    wchar_t message[kEventTextCapacity];
    FormatWide(message, kEventTextCapacity, L"TAG #%u SENT TO [%d]", delivery.number, delivery.peer_index);
    SharedGuard guard = LockSharedData();
    PostEvent(kCodeTagSent, message, kTagSentLifetime);
  }
}

void ToggleSync(TagDatabase &tags) { SetSync(tags, tags.sync == 1 ? 0 : 1); }

void ResetSyncLabel(TagDatabase &tags) { SetSync(tags, 0); }

const wchar_t *SyncLabel(int sync) { return sync == 1 ? L"SYNC OFF" : L"SYNC ON"; }
