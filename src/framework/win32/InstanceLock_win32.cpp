#include "framework/InstanceLock.h"

// "Global\": a build started from a service or another session on the same machine writes the
// same folders. Creating a mutex there needs no privilege (only sections do).
TInstanceLock::TInstanceLock(const std::string &name)
    : handle_(::CreateMutexA(nullptr, FALSE, ("Global\\" + name).c_str())) {
  // ERROR_ALREADY_EXISTS comes with a valid handle to the other holder's mutex: it is closed by
  // the destructor, and the lock counts as not held.
  held_ = handle_.IsValid() && ::GetLastError() != ERROR_ALREADY_EXISTS;
}
