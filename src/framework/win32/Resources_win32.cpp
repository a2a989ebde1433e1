#include "framework/Handles.h"
#include "framework/Resources.h"

bool LoadDataResource(const std::string &modulePath, const std::string &name, std::optional<std::string> &bytes,
                      std::uint32_t &errorCode) {
  bytes.reset();
  UniqueModule module(::LoadLibraryExA(modulePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) {
    errorCode = ::GetLastError();
    return false;
  }
  HRSRC resource = ::FindResourceA(module.Get(), name.c_str(), MAKEINTRESOURCEA(10)); // RT_RCDATA
  if (!resource)
    return true;
  HGLOBAL data = ::LoadResource(module.Get(), resource);
  const void *pointer = data ? ::LockResource(data) : nullptr;
  if (pointer)
    bytes = std::string(static_cast<const char *>(pointer), ::SizeofResource(module.Get(), resource));
  return true;
}

std::string AnsiFromUtf16(const std::string &utf16Bytes) {
  std::wstring wide(utf16Bytes.size() / 2, L'\0');
  for (std::size_t i = 0; i < wide.size(); ++i)
    wide[i] = wchar_t(static_cast<unsigned char>(utf16Bytes[2 * i]) |
                      static_cast<unsigned char>(utf16Bytes[2 * i + 1]) << 8);
  if (wide.empty())
    return {};
  int size = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(std::size_t(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), text.data(), size, nullptr, nullptr);
  return text;
}
