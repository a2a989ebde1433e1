// An event that one thread sets and another waits for, alone or together with pipes, processes and
// the message queue. It resets itself when a wait sees it, so that each Set wakes one wait.
#pragma once
#include "Handles.h"

#include <cstdint>

class TEvent {
public:
  TEvent();
  TEvent(const TEvent &) = delete;
  TEvent &operator=(const TEvent &) = delete;

  bool IsValid() const { return handle_.IsValid(); }
  void Set();
  // Waits up to milliseconds (Infinite: for ever) for the event; true, and the event reset, when
  // it was set.
  static constexpr std::uint32_t Infinite = 0xFFFFFFFF;
  bool Wait(std::uint32_t milliseconds = Infinite);
  // Resets it without waiting; true when it was set. Needed where a wait saw it through its native
  // handle (on POSIX that leaves it set).
  bool Consume();

#ifdef _WIN32
  HANDLE Native() const {
    return handle_.Get();
  }

private:
  UniqueHandle handle_;
#else
  int Native() const {
    return handle_.Get();
  }

private:
  UniqueFd handle_;
#endif
};
