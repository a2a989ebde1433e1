// A window-message timer: it fires on the thread that enabled it, and only while that thread
// processes messages (TApplication::ProcessMessages or the message loop).
#pragma once
#include <functional>
#include <memory>

class TTimer {
public:
  TTimer();
  ~TTimer();
  TTimer(const TTimer &) = delete;
  TTimer &operator=(const TTimer &) = delete;

  void SetInterval(unsigned milliseconds);
  unsigned Interval() const { return interval_; }
  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }
  std::function<void()> OnTimer;

  struct TImpl;

private:
  unsigned interval_ = 1000;
  bool enabled_ = false;
  std::unique_ptr<TImpl> impl_;
};
