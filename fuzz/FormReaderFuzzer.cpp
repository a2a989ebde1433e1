// libFuzzer target for the binary form reader (scripts/fuzz builds and runs it). Whatever the
// bytes, the reader must return a text or raise EReadError: any other exception, a crash, a hang,
// a sanitizer report or a runaway allocation is a finding.
#include "formconvert/ObjectText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char *>(data), size);
  try {
    ObjectResourceToText(bytes);
  } catch (const EReadError &) {
  }
  try {
    ObjectBinaryToText(bytes);
  } catch (const EReadError &) {
  }
  return 0;
}
