// An auto-reset Win32 event: a wait that sees it set resets it.
#include "framework/Event.h"

TEvent::TEvent() : handle_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

void TEvent::Set() {
  ::SetEvent(handle_.Get());
}

bool TEvent::Wait(std::uint32_t milliseconds) {
  return ::WaitForSingleObject(handle_.Get(), milliseconds) == WAIT_OBJECT_0;
}

bool TEvent::Consume() {
  return Wait(0);
}
