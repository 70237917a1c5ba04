// listener_fixture.cpp: shared records and a listener context made ready for tests.
#include "support/listener_fixture.h"

#include "link/listener.h"
#include "map/map_view.h"
#include "platform/udp.h"
#include "status/event_log.h"
#include "status/failure_status.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"

void InitSharedRecordsForTest(ListenerContext &context) {
  g_map_view = MapView{};
  InitEventLog(425);
  InitFailureStatus(425);
  InitSquadGroup(g_squad_group, 425);
  InitTagDatabase(g_tag_database, 425, g_squad_group);
  AttachSharedRecords(context);
}

int FreeLoopbackPort() {
  UdpStartup();
  const UdpHandle probe = UdpOpenListener(0, true);
  const int port = UdpLocalPort(probe);
  UdpClose(probe);
  return port;
}
