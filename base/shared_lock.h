// shared_lock.h: the one lock that serialises the listener thread and the user-interface thread.
//
// Every shared record (map view, calibration grid, routes, tags, squad group, failure status, event log
// and the listener's two ages) is read and changed only while this lock is held. The entry points take
// it: the dispatcher around each handler, and the front end around each timer tick, key, click and
// paint. The data operations themselves assume it is held. Nothing holds it across a name resolution, a
// send or a blocking file read: such work is queued under the lock and carried out after it is released.
#pragma once

#include <mutex>

std::mutex &SharedDataLock();

using SharedGuard = std::unique_lock<std::mutex>;
inline SharedGuard LockSharedData() { return SharedGuard(SharedDataLock()); }
