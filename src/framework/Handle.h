// One RAII owner for every kind of operating-system handle. A traits class names the invalid value
// and how to close one; copying is deleted so that a handle is closed exactly once.
#pragma once
#include <utility>

template <typename Traits> class ScopedHandle {
public:
  using HandleType = typename Traits::HandleType;

  ScopedHandle() noexcept : handle_(Traits::Invalid()) {}
  explicit ScopedHandle(HandleType handle) noexcept : handle_(handle) {}
  ~ScopedHandle() { Close(); }

  ScopedHandle(const ScopedHandle &) = delete;
  ScopedHandle &operator=(const ScopedHandle &) = delete;
  ScopedHandle(ScopedHandle &&other) noexcept : handle_(other.Release()) {}
  ScopedHandle &operator=(ScopedHandle &&other) noexcept {
    if (this != &other)
      Reset(other.Release());
    return *this;
  }

  bool IsValid() const noexcept { return Traits::IsValid(handle_); }
  explicit operator bool() const noexcept { return IsValid(); }
  HandleType Get() const noexcept { return handle_; }

  // Gives up ownership without closing.
  HandleType Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

  void Reset(HandleType handle = Traits::Invalid()) noexcept {
    Close();
    handle_ = handle;
  }

  void Close() noexcept {
    if (Traits::IsValid(handle_))
      Traits::Close(handle_);
    handle_ = Traits::Invalid();
  }

private:
  HandleType handle_;
};
