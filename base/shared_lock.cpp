// shared_lock.cpp: the lock over all records shared between the two threads.
#include "base/shared_lock.h"

std::mutex &SharedDataLock() {
  static std::mutex lock;
  return lock;
}
