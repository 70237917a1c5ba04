// tag_sharing.cpp: re-sending own tags and the sync flag of the TAGGING view.
#include "tactical/tag_sharing.h"

#include "link/recipients.h"
#include "mfd/page_table.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"

namespace {
constexpr int kSyncLabelButton = 7; // on the TAGGING page

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

void ToggleSync(TagDatabase &tags) { SetSync(tags, tags.sync == 1 ? 0 : 1); }

void ResetSyncLabel(TagDatabase &tags) { SetSync(tags, 0); }

const wchar_t *SyncLabel(int sync) { return sync == 1 ? L"SYNC OFF" : L"SYNC ON"; }
