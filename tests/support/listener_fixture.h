// listener_fixture.h: shared records and a listener context made ready for tests.
#pragma once

struct ListenerContext;

// Initialises every shared record for a 425-pixel window and points the context at them.
void InitSharedRecordsForTest(ListenerContext &context);

// A UDP port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();
