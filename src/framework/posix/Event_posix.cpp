// An eventfd: readable while set, and reading it resets it.
#include "framework/Event.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

TEvent::TEvent() : handle_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void TEvent::Set() {
  std::uint64_t one = 1;
  while (::write(handle_.Get(), &one, sizeof(one)) < 0 && errno == EINTR) {
  }
}

bool TEvent::Wait(std::uint32_t milliseconds) {
  pollfd watched{handle_.Get(), POLLIN, 0};
  int timeout = milliseconds == Infinite ? -1 : int(milliseconds);
  int ready;
  while ((ready = ::poll(&watched, 1, timeout)) < 0 && errno == EINTR) {
  }
  return ready > 0 && Consume();
}

bool TEvent::Consume() {
  std::uint64_t count = 0;
  ssize_t got;
  while ((got = ::read(handle_.Get(), &count, sizeof(count))) < 0 && errno == EINTR) {
  }
  return got == sizeof(count);
}
