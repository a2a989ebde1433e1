// The Win32 error codes the POSIX layer reports, so that the layers above see the same numbers, and
// word the same messages, on both platforms. The codes callers test for stand in Files.h.
#pragma once
#include "framework/Files.h"

#include <cstdint>

namespace Win32Codes {

enum : std::uint32_t {
  ErrorTooManyOpenFiles = 4,
  ErrorNotEnoughMemory = 8,
  ErrorGenFailure = 31,
  ErrorSharingViolation = 32,
  ErrorBrokenPipe = 109,
  ErrorDiskFull = 112,
  ErrorDirNotEmpty = 145,
  ErrorBadExeFormat = 193,
};

// The code Windows gives for what errno says.
std::uint32_t FromErrno(int error);

} // namespace Win32Codes
