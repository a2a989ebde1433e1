// Resources of a module file (a compiled package), read without running it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// The bytes of the RCDATA resource `name` of the module at path, loaded as a data file: nothing
// when the module has no such resource. Returns false, with a Win32 error code, when the file
// cannot be loaded as a module at all.
bool LoadDataResource(const std::string &modulePath, const std::string &name, std::optional<std::string> &bytes,
                      std::uint32_t &errorCode);

// UTF-16LE text (as resources hold it) in the system code page.
std::string AnsiFromUtf16(const std::string &utf16Bytes);
