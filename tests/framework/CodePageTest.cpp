// The program's texts in the system code page: Windows-1252 natively, and the code page of a
// Western Windows (the test prefix's) under Wine, so that one table serves both.
#include "framework/CodePage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, TextsBecomeUtf8AndUpperCaseByTheirCodePage) {
  const struct {
    std::string Text, Utf8, Upper;
  } cases[] = {
      {"", "", ""},
      {"Delphi 7 (CLX)", "Delphi 7 (CLX)", "DELPHI 7 (CLX)"},
      {"caf\xe9 \xc9t\xe9", "caf\xc3\xa9 \xc3\x89t\xc3\xa9", "CAF\xc9 \xc9T\xc9"},
      {"\x80 \x8a\x9a \x8c\x9c \x8e\x9e \xff\x9f",
       "\xe2\x82\xac \xc5\xa0\xc5\xa1 \xc5\x92\xc5\x93 \xc5\xbd\xc5\xbe \xc3\xbf\xc5\xb8",
       "\x80 \x8a\x8a \x8c\x8c \x8e\x8e \x9f\x9f"},
      {"\xdf \xf7 \xb5", "\xc3\x9f \xc3\xb7 \xc2\xb5", "\xdf \xf7 \xb5"}, // no capital in the code page
      {"\x81\x8d\x8f\x90\x9d", "\xc2\x81\xc2\x8d\xc2\x8f\xc2\x90\xc2\x9d", "\x81\x8d\x8f\x90\x9d"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(Utf8FromSystemCodePage(c.Text), c.Utf8) << c.Text;
    EXPECT_EQ(UpperCaseSystemCodePage(c.Text), c.Upper) << c.Text;
  }
}

} // namespace
