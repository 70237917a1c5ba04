// listener.h: the telemetry listener thread and the dispatcher of received datagrams.
#pragma once

#include "link/listener_context.h"
#include "wire/protocol.h"

// Points the context at the process-wide records and zeroes both ages.
void AttachSharedRecords(ListenerContext &context);

ListenerWork *MakeListenerWork(ListenerContext *context);
void FreeListenerWork(ListenerWork *work);

// Thread procedure. Binds the "UDP Port" and handles one datagram at a time until context->stop is set.
void TelemetryListener(ListenerContext *context);

// Calls the handler of a kind on work->text. The caller holds the shared-data lock and flushes the
// outbox afterwards; DispatchDatagram does both.
void RunHandler(MessageKind kind, ListenerWork *work);

// Logs (when debugging), classifies and handles one received, terminated text, then makes the sends
// the handler queued and, when the page on show draws what it changed, asks for a new frame. Takes the
// shared-data lock around the handler itself.
void DispatchDatagram(const char *text, ListenerWork *work);
