#include "framework/CodePage.h"

std::string Utf8FromSystemCodePage(const std::string &text) {
  return text;
}
