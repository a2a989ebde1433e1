// Thread timers (SetTimer without a window): WM_TIMER reaches the thread that set the timer, and
// fires only while that thread dispatches messages. Disabling may come from another thread (a
// worker stops its runner's timer): the flag is cleared there, and the timer is killed the next
// time it fires on its own thread.
#include "framework/Timer.h"
#include "framework/WinApi.h"

#include <atomic>
#include <map>
#include <mutex>

struct TTimer::TImpl {
  TTimer *Owner = nullptr;
  UINT_PTR Id = 0;
  DWORD Thread = 0;
  std::atomic<bool> Active{false};
};

namespace {
std::mutex timersMutex;
std::map<UINT_PTR, TTimer::TImpl *> timersById;

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  TTimer *owner = nullptr;
  {
    std::lock_guard lock(timersMutex);
    auto it = timersById.find(id);
    if (it != timersById.end() && it->second->Active)
      owner = it->second->Owner;
    else {
      if (it != timersById.end()) {
        it->second->Id = 0;
        timersById.erase(it);
      }
      ::KillTimer(nullptr, id);
    }
  }
  if (owner && owner->OnTimer)
    owner->OnTimer();
}

void Stop(TTimer::TImpl &impl) {
  std::lock_guard lock(timersMutex);
  impl.Active = false;
  if (impl.Id && impl.Thread == ::GetCurrentThreadId()) {
    ::KillTimer(nullptr, impl.Id);
    timersById.erase(impl.Id);
    impl.Id = 0;
  }
}
} // namespace

TTimer::TTimer() : impl_(std::make_unique<TImpl>()) { impl_->Owner = this; }

TTimer::~TTimer() {
  Stop(*impl_);
  std::lock_guard lock(timersMutex);
  if (impl_->Id)
    timersById.erase(impl_->Id); // its thread kills the orphan when it fires
}

void TTimer::SetInterval(unsigned milliseconds) {
  interval_ = milliseconds;
  if (enabled_)
    SetEnabled(true);
}

void TTimer::SetEnabled(bool enabled) {
  Stop(*impl_);
  enabled_ = enabled;
  if (!enabled || interval_ == 0)
    return;
  std::lock_guard lock(timersMutex);
  if (impl_->Id)
    timersById.erase(impl_->Id);
  impl_->Id = ::SetTimer(nullptr, 0, interval_, TimerProc);
  impl_->Thread = ::GetCurrentThreadId();
  impl_->Active = impl_->Id != 0;
  if (impl_->Id)
    timersById[impl_->Id] = impl_.get();
}
