#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/TextLines.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct TSplitCase {
  const char *Name;
  std::string Text;
  TStringList Lines;
};

TEST(TextLines, SplitsByEveryLineEndWithoutAddingAnEmptyLastLine) {
  const TSplitCase cases[] = {
      {"empty", "", {}},
      {"no line end", "abc", {"abc"}},
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"LF", "a\nb", {"a", "b"}},
      {"lone CR", "a\rb\r", {"a", "b"}},
      {"CR CR LF is two ends", "a\r\r\nb", {"a", "", "b"}},
      {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
      {"empty lines kept", "\r\n\r\nx\r\n", {"", "", "x"}},
      {"byte order mark stays", "\xEF\xBB\xBFunit A;\r\n", {"\xEF\xBB\xBFunit A;"}},
      {"tabs and form feeds stay", "a\tb\fc\n", {"a\tb\fc"}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(SplitLines(c.Text), c.Lines) << c.Name;
}

TEST(TextLines, SavingWritesCrLfAfterEveryLineAndLoadsBack) {
  TTempFolder folder;
  TStringList lines{"first", "", "third"};
  SaveLines(folder / "f.txt", lines);
  EXPECT_EQ(ReadTextFile(folder / "f.txt"), "first\r\n\r\nthird\r\n");
  EXPECT_EQ(LoadLines(folder / "f.txt"), lines);
  SaveLines(folder / "f.txt", {});
  EXPECT_EQ(ReadTextFile(folder / "f.txt"), "");
  // No temporary file is left beside the target.
  EXPECT_EQ(Fs::FindFiles(folder / "*").size(), 1u);
}

TEST(TextLines, ErrorsNameTheFile) {
  TTempFolder folder;
  try {
    LoadLines(folder / "missing.txt");
    FAIL() << "no error";
  } catch (const EFileError &error) {
    EXPECT_EQ(error.Message().rfind("Cannot open file \"" + (folder / "missing.txt") + "\". ", 0), 0u)
        << error.Message();
  }
  try {
    SaveLines(folder / "no such folder\\f.txt", {"x"});
    FAIL() << "no error";
  } catch (const EFileError &error) {
    EXPECT_NE(error.Message().find("Cannot create file \""), std::string::npos) << error.Message();
  }
}

} // namespace
