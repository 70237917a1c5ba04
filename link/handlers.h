// handlers.h: what each kind of received datagram does to the shared records.
//
// Each handler runs on the listener thread with the shared-data lock held, reads work->text against its
// full format and queues any sends in work->outbox.
#pragma once

struct ListenerWork;

void OnMonitor(ListenerWork *work);
void OnRouteTo(ListenerWork *work);
void OnRoute(ListenerWork *work);
void OnTag(ListenerWork *work);
void OnAgmTag(ListenerWork *work);
void OnFail(ListenerWork *work);
void OnSquad(ListenerWork *work);
