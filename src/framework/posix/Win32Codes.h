// errno in Win32 error codes (Files.h), so that the layers above see the same numbers, and word
// the same messages, on both platforms.
#pragma once
#include <cstdint>

namespace Win32Codes {

// The code Windows gives for what errno says.
std::uint32_t FromErrno(int error);

} // namespace Win32Codes
