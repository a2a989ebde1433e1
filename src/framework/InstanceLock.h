// A lock that one process at a time holds under a name, across the whole machine: a second holder
// is refused at once instead of waiting. Win32: a named mutex, whose name another process sees
// while any handle to it is open. POSIX: an exclusive flock on a file named after it in the
// temporary folder. In both, a second lock of the same name in the same process is refused too.
#pragma once
#include "Handles.h"

#include <string>

class TInstanceLock {
public:
  // Takes the lock when nobody holds it; Held() says whether it did. The name is a plain word
  // without "\" (a namespace prefix such as "Global\" is added on Win32).
  explicit TInstanceLock(const std::string &name);
  TInstanceLock(const TInstanceLock &) = delete;
  TInstanceLock &operator=(const TInstanceLock &) = delete;

  bool Held() const { return held_; }

private:
#ifdef _WIN32
  UniqueHandle handle_;
#else
  UniqueFd handle_;
#endif
  bool held_ = false;
};
