// Headless timers: each fires on the thread that enabled it, when that thread processes messages,
// at most once per call however long it has been (as WM_TIMER never piles up).
#include "framework/Timer.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

using TClock = std::chrono::steady_clock;

struct TTimer::TImpl {
  TTimer *Owner = nullptr;
  std::thread::id Thread;
  TClock::time_point Due;
};

namespace {
std::mutex timersMutex;
std::vector<TTimer::TImpl *> activeTimers;

void Deactivate(TTimer::TImpl *impl) {
  std::lock_guard lock(timersMutex);
  activeTimers.erase(std::remove(activeTimers.begin(), activeTimers.end(), impl), activeTimers.end());
}
} // namespace

TTimer::TTimer() : impl_(std::make_unique<TImpl>()) { impl_->Owner = this; }

TTimer::~TTimer() { Deactivate(impl_.get()); }

void TTimer::SetInterval(unsigned milliseconds) {
  interval_ = milliseconds;
  if (enabled_)
    SetEnabled(true);
}

void TTimer::SetEnabled(bool enabled) {
  Deactivate(impl_.get());
  enabled_ = enabled;
  if (!enabled || interval_ == 0)
    return;
  std::lock_guard lock(timersMutex);
  impl_->Thread = std::this_thread::get_id();
  impl_->Due = TClock::now() + std::chrono::milliseconds(interval_);
  activeTimers.push_back(impl_.get());
}

void ProcessDueTimers() {
  auto now = TClock::now();
  std::vector<TTimer *> due;
  {
    std::lock_guard lock(timersMutex);
    for (auto *impl : activeTimers)
      if (impl->Thread == std::this_thread::get_id() && impl->Due <= now) {
        impl->Due = now + std::chrono::milliseconds(impl->Owner->Interval());
        due.push_back(impl->Owner);
      }
  }
  for (auto *timer : due)
    if (timer->OnTimer)
      timer->OnTimer();
}

// Until the first timer of the calling thread is due (0 when one is); 0xFFFFFFFF without any.
std::uint32_t MillisecondsToNextTimer() {
  auto now = TClock::now();
  std::uint32_t shortest = 0xFFFFFFFF;
  std::lock_guard lock(timersMutex);
  for (auto *impl : activeTimers) {
    if (impl->Thread != std::this_thread::get_id())
      continue;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(impl->Due - now).count();
    shortest = std::min(shortest, std::uint32_t(std::max<long long>(left, 0)));
  }
  return shortest;
}
