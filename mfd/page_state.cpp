// page_state.cpp: the page machine's record.
#include "mfd/page_state.h"

PageState g_page_state;

bool PageShowsChanges(int32_t page, uint32_t changed) {
  uint32_t shown = kChangedEvents;
  switch (page) {
  case kPageMonitoring:
  case kPageTagging:
    shown |= kChangedOwnship | kChangedRoutes | kChangedTags | kChangedSquad | kChangedAgm;
    break;
  case kPageFailures:
    shown |= kChangedFailures;
    break;
  case kPageDatabases:
    shown |= kChangedRoutes | kChangedTags | kChangedSquad;
    break;
  default: // SQUAD GROUP: its own squad and pilot numbers, which no datagram changes
    break;
  }
  return (changed & shown) != 0;
}
