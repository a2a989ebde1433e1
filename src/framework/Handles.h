// The handle kinds of each platform, as ScopedHandle traits.
#pragma once
#include "Handle.h"
#include "WinApi.h"

#ifdef _WIN32
struct KernelHandleTraits { // processes, threads, pipes, files: INVALID_HANDLE_VALUE and 0 are both "none"
  using HandleType = HANDLE;
  static HandleType Invalid() noexcept { return nullptr; }
  static bool IsValid(HandleType h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HandleType h) noexcept { ::CloseHandle(h); }
};
using UniqueHandle = ScopedHandle<KernelHandleTraits>;

struct FindHandleTraits {
  using HandleType = HANDLE;
  static HandleType Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HandleType h) noexcept { return h != INVALID_HANDLE_VALUE; }
  static void Close(HandleType h) noexcept { ::FindClose(h); }
};
using UniqueFindHandle = ScopedHandle<FindHandleTraits>;

struct RegistryKeyTraits {
  using HandleType = HKEY;
  static HandleType Invalid() noexcept { return nullptr; }
  static bool IsValid(HandleType h) noexcept { return h != nullptr; }
  static void Close(HandleType h) noexcept { ::RegCloseKey(h); }
};
using UniqueRegistryKey = ScopedHandle<RegistryKeyTraits>;

struct ModuleTraits {
  using HandleType = HMODULE;
  static HandleType Invalid() noexcept { return nullptr; }
  static bool IsValid(HandleType h) noexcept { return h != nullptr; }
  static void Close(HandleType h) noexcept { ::FreeLibrary(h); }
};
using UniqueModule = ScopedHandle<ModuleTraits>;

struct GdiObjectTraits {
  using HandleType = HGDIOBJ;
  static HandleType Invalid() noexcept { return nullptr; }
  static bool IsValid(HandleType h) noexcept { return h != nullptr; }
  static void Close(HandleType h) noexcept { ::DeleteObject(h); }
};
using UniqueGdiObject = ScopedHandle<GdiObjectTraits>;
#else
#include <unistd.h>
struct FileDescriptorTraits {
  using HandleType = int;
  static HandleType Invalid() noexcept { return -1; }
  static bool IsValid(HandleType h) noexcept { return h >= 0; }
  static void Close(HandleType h) noexcept { ::close(h); }
};
using UniqueFd = ScopedHandle<FileDescriptorTraits>;
#endif
