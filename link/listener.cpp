// listener.cpp: the telemetry listener thread, the debug log and the dispatch of each datagram.
#include "link/listener.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "base/settings.h"
#include "base/shared_lock.h"
#include "link/handlers.h"
#include "map/calibration_grid.h"
#include "map/map_view.h"
#include "map/routes.h"
#include "mfd/page_state.h"
#include "platform/diagnostics.h"
#include "platform/paths.h"
#include "platform/udp.h"
#include "status/event_log.h"
#include "status/failure_status.h"
#include "tactical/squad_group.h"
#include "tactical/tag_database.h"
#include "tactical/tag_sharing.h"
#include "wire/protocol.h"

namespace {
// A port that cannot be bound (taken by another program, say) is tried again at this pace rather than
// given up: the display keeps running and picks the link up once the port is free.
constexpr auto kRebindDelay = std::chrono::milliseconds(2000);
// A failing receive waits this long before the next try, so a broken socket never spins a core.
constexpr auto kReceiveErrorDelay = std::chrono::milliseconds(100);
// After this many failed receives in a row the socket is closed and bound afresh.
constexpr int kReceiveErrorsBeforeRebind = 10;
// The receive wakes up this often to notice a stop request.
constexpr int kReceiveTimeoutMs = 250;

void SleepUnlessStopped(const ListenerContext *context, std::chrono::milliseconds delay) {
  const auto until = std::chrono::steady_clock::now() + delay;
  while (!context->stop && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void AppendDebugLog(const char *text) {
  FILE *log = std::fopen(DebugLogPath().c_str(), "a");
  if (log == nullptr)
    return; // this datagram goes unlogged; it is still handled
  std::fprintf(log, "%s\n", text);
  std::fclose(log);
}

} // namespace

void RunHandler(MessageKind kind, ListenerWork *work) {
  switch (kind) {
  case kMonitor:
    return OnMonitor(work);
  case kRouteTo:
    return OnRouteTo(work);
  case kRoute:
    return OnRoute(work);
  case kTag:
    return OnTag(work);
  case kAgmTag:
    return OnAgmTag(work);
  case kFail:
    return OnFail(work);
  case kSquad:
    return OnSquad(work);
  case kUnknown:
    return;
  }
}

void AttachSharedRecords(ListenerContext &context) {
  context.page_state = &g_page_state;
  context.map_view = &g_map_view;
  context.calibration_grid = &g_calibration_grid;
  context.event_log = &g_event_log;
  context.route_database = &g_route_database;
  context.tag_database = &g_tag_database;
  context.failure_status = &g_failure_status;
  context.squad_group = &g_squad_group;
  context.link_age = 0;
  context.agm_age = 0;
}

ListenerWork *MakeListenerWork(ListenerContext *context) {
  auto *work = new ListenerWork;
  work->context = context;
  work->text = new char[kWorkTextCapacity]();
  work->scratch = new wchar_t[kWorkScratchCapacity]();
  return work;
}

void FreeListenerWork(ListenerWork *work) {
  delete[] work->text;
  delete[] work->scratch;
  delete work;
}

void DispatchDatagram(const char *text, ListenerWork *work) {
  std::strncpy(work->text, text, kWorkTextCapacity - 1);
  work->text[kWorkTextCapacity - 1] = '\0';
  if (work->context->debug != 0)
    AppendDebugLog(work->text);
  const MessageKind kind = ClassifyDatagram(work->text);
  if (kind == kUnknown)
    return;
  ListenerContext *context = work->context;
  bool repaint = false;
  {
    SharedGuard guard = LockSharedData();
    const uint32_t events = context->event_log->revision;
    work->changed = 0;
    RunHandler(kind, work);
    if (context->event_log->revision != events)
      work->changed |= kChangedEvents;
    repaint = PageShowsChanges(context->page_state->current_page, work->changed);
  }
  if (!work->outbox.empty())
    FlushOutbox(work->outbox);
  if (repaint && context->request_repaint != nullptr)
    context->request_repaint();
}

void TelemetryListener(ListenerContext *context) {
  ListenerWork *work = MakeListenerWork(context);
  UdpStartup();
  const int port = ReadUdpPort();
  const std::string where = "UDP port " + std::to_string(port);
  char received[kDatagramLimit + 1];
  UdpHandle socket = kUdpInvalid;
  int errors = 0;
  std::string why, told; // the reason the port could not be bound, and the one last told (once, not every retry)
  while (!context->stop) {
    if (socket == kUdpInvalid) {
      socket = UdpOpenListener(port, false, &why);
      if (socket == kUdpInvalid) {
        if (why != told)
          WriteDiagnostic("listener: cannot bind " + where + ": " + why + "; trying again every " +
                          std::to_string(kRebindDelay.count() / 1000) + " seconds");
        told = why;
        SleepUnlessStopped(context, kRebindDelay);
        continue;
      }
      told.clear();
      context->bound_port = UdpLocalPort(socket);
      WriteDiagnostic("listener: listening on " + where);
    }
    const int n = UdpReceive(socket, received, kDatagramLimit, kReceiveTimeoutMs, &why);
    if (n == kUdpTimeout)
      continue;
    if (n == kUdpError) {
      if (++errors >= kReceiveErrorsBeforeRebind) {
        WriteDiagnostic("listener: receiving on " + where + " failed " + std::to_string(errors) + " times in a row (" +
                        why + "); binding it afresh");
        UdpClose(socket);
        socket = kUdpInvalid;
        context->bound_port = 0;
        errors = 0;
      }
      SleepUnlessStopped(context, kReceiveErrorDelay);
      continue;
    }
    errors = 0;
    received[n] = '\0'; // only the bytes of this datagram: nothing of an earlier, longer one follows
    DispatchDatagram(received, work);
    context->received.fetch_add(1, std::memory_order_relaxed);
  }
  UdpClose(socket);
  FreeListenerWork(work);
}
