// listener_fixture.cpp: shared records and a listener context made ready for tests.
#include "support/listener_fixture.h"

#include "link/listener.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "mfd/page_state.h"
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
  context.page_state = &g_page_state;
  context.map_view = &g_map_view;
  context.calibration_grid = &g_calibration_grid;
  context.event_log = &g_event_log;
  context.failure_status = &g_failure_status;
  context.tag_database = &g_tag_database;
  context.squad_group = &g_squad_group;
  context.link_age = 0;
  context.agm_age = 0;
}

int FreeLoopbackPort() {
  UdpStartup();
  const UdpHandle probe = UdpOpenListener(0, true);
  const int port = UdpLocalPort(probe);
  UdpClose(probe);
  return port;
}
