// The Windows command-line rules the stand-ins read their arguments by.
#include "CommandLine.h"
#include "StandInError.h"
#include "ToolRun.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

struct TSplitCase {
  const char *Name;
  const char *Line;
  std::vector<std::string> Arguments;
};

// Test names show the case, not its bytes.
void PrintTo(const TSplitCase &value, std::ostream *os) {
  *os << value.Name;
}

class StandInCommandLineTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(StandInCommandLineTest, SplitsAsTheCRuntime) {
  EXPECT_EQ(StandIn::SplitCommandLine(GetParam().Line), GetParam().Arguments);
}

INSTANTIATE_TEST_SUITE_P(
    WindowsRules, StandInCommandLineTest,
    ::testing::Values(
        TSplitCase{"Empty", "", {}}, TSplitCase{"OnlyBlanks", "   \t ", {}},
        TSplitCase{"Blanks", "a b  c", {"a", "b", "c"}},
        TSplitCase{"QuotedProgramPath",
                   "\"C:\\Program Files\\Borland\\Delphi7\\bin\\dcc32.exe\" -Q",
                   {"C:\\Program Files\\Borland\\Delphi7\\bin\\dcc32.exe", "-Q"}},
        // The program quotes the folders of -U one by one: the quotes vanish, the list stays whole.
        TSplitCase{"QuotedFoldersOfOneSwitch",
                   "-U\"C:\\Out\\Delphi7\\lib\";\"C:\\Src\"",
                   {"-UC:\\Out\\Delphi7\\lib;C:\\Src"}},
        TSplitCase{"QuotedFolderWithBlank", "-LE\"C:\\Out Dir\\System\"", {"-LEC:\\Out Dir\\System"}},
        TSplitCase{"BackslashesWithoutQuote", "a\\\\b", {"a\\\\b"}}, // backslashes without a quote stay
        TSplitCase{"EvenBackslashesBeforeQuote",
                   "\"a\\\\\" b",
                   {"a\\", "b"}}, // 2n backslashes before a quote: n, quote toggles
        TSplitCase{"OddBackslashesBeforeQuote", "a\\\"b", {"a\"b"}},           // 2n+1: n and a literal quote
        TSplitCase{"DoubledQuoteInsideQuotes", "\"a\"\"b\" c", {"a\"b", "c"}}, // "" inside quotes is a quote
        TSplitCase{"EmptyQuotedArgument", "\"\"", {""}}, // an empty argument in quotes counts
        TSplitCase{"DoubleBlanks",
                   " -LUSystem.Drawing  -W-UNIT_PLATFORM ",
                   {"-LUSystem.Drawing", "-W-UNIT_PLATFORM"}}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(StandInResponseFileTest, ArgumentsOfTheFileTakeItsPlace) {
  TTempFolder temp;
  std::string responseFile = temp / "options.rsp";
  WriteTextFile(responseFile, "-Q -B\r\n-U\"C:\\A B\"\r\n");
  auto expanded = StandIn::ExpandResponseFiles({"first", std::string("@").append(responseFile), "last"});
  EXPECT_EQ(expanded, (std::vector<std::string>{"first", "-Q", "-B", "-UC:\\A B", "last"}));
}

TEST(StandInResponseFileTest, AMissingResponseFileIsAnError) {
  TTempFolder temp;
  try {
    std::string missing = temp / "missing.rsp";
    StandIn::ExpandResponseFiles({std::string("@").append(missing)});
    FAIL() << "no error";
  } catch (const EStandInError &error) {
    EXPECT_NE(error.Message().find("Unable to open response file"), std::string::npos) << error.Message();
  }
}

} // namespace
