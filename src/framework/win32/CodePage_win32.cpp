#include "framework/CodePage.h"
#include "framework/WinApi.h"

std::string Utf8FromSystemCodePage(const std::string &text) {
  if (text.empty())
    return text;
  int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(std::size_t(wideLength), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), wideLength);
  int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string utf8(std::size_t(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::string UpperCaseSystemCodePage(const std::string &text) {
  std::string upper = text;
  if (!upper.empty())
    ::CharUpperBuffA(upper.data(), DWORD(upper.size()));
  return upper;
}
