// Reading a command line into program and arguments the way Windows does: the POSIX layer starts
// the tools with these arguments, so they must match what a Windows program would receive.
#include "framework/Process.h"

#include <gtest/gtest.h>

namespace {

struct TSplitCase {
  const char *Name;
  const char *Line;
  std::vector<std::string> Parts;
};

void PrintTo(const TSplitCase &rule, std::ostream *out) {
  *out << rule.Name;
}

class SplitCommandLineTest : public testing::TestWithParam<TSplitCase> {};

TEST_P(SplitCommandLineTest, GivesProgramAndArgumentsAsWindowsDoes) {
  EXPECT_EQ(SplitCommandLine(GetParam().Line), GetParam().Parts) << "command line: " << GetParam().Line;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitCommandLineTest,
    testing::Values(
        TSplitCase{"Empty", "", {}}, TSplitCase{"OnlyBlanks", "   \t ", {}},
        TSplitCase{"BareProgram", "dcc32.exe", {"dcc32.exe"}},
        TSplitCase{"BlanksAround", "  dcc32.exe  -B  ", {"dcc32.exe", "-B"}},
        TSplitCase{"TabSeparates", "a\tb", {"a", "b"}},
        // The program: quoted up to the next quote, backslashes are plain characters there.
        TSplitCase{"QuotedProgramWithBlanks",
                   "\"C:\\Program Files\\Borland\\Delphi7\\bin\\dcc32.exe\" -B",
                   {"C:\\Program Files\\Borland\\Delphi7\\bin\\dcc32.exe", "-B"}},
        TSplitCase{"ProgramEndsAtQuoteDespiteBackslash", "\"C:\\dir\\\" x", {"C:\\dir\\", "x"}},
        TSplitCase{"ProgramQuoteThenText", "\"a b\"c d", {"a b", "c", "d"}},
        TSplitCase{"UnterminatedProgram", "\"unterminated program", {"unterminated program"}},
        TSplitCase{"UnquotedProgramPath", "C:\\a\\b.exe c", {"C:\\a\\b.exe", "c"}},
        // Arguments: quotes group, backslashes count only before a quote.
        TSplitCase{"QuotedArgument", "p \"a b\" c", {"p", "a b", "c"}},
        TSplitCase{"QuotesInsideArgument", "p a\"b c\"d", {"p", "ab cd"}},
        TSplitCase{"BackslashesInPath", "p C:\\dir\\file", {"p", "C:\\dir\\file"}},
        TSplitCase{"QuotedSwitchValue", "p -U\"C:\\Program Files\\lib\"", {"p", "-UC:\\Program Files\\lib"}},
        TSplitCase{"EscapedQuote", "p a\\\"b", {"p", "a\"b"}},
        TSplitCase{"EvenBackslashesBeforeQuote", "p a\\\\\"b c\"", {"p", "a\\b c"}},
        TSplitCase{"OddBackslashesBeforeQuote", "p a\\\\\\\"b", {"p", "a\\\"b"}},
        TSplitCase{"BackslashBeforeClosingQuote", "p \"a\\\\\" b", {"p", "a\\", "b"}},
        TSplitCase{"EmptyArgument", "p \"\"", {"p", ""}},
        TSplitCase{"EmptyArgumentBetween", "p \"\" x", {"p", "", "x"}},
        TSplitCase{"UnterminatedArgument", "p \"unterminated arg", {"p", "unterminated arg"}},
        // A quote right after a closing quote is a literal quote.
        TSplitCase{"DoubledQuoteInsideQuotes", "p \"a\"\"b\"", {"p", "a\"b"}},
        TSplitCase{"TripledQuotes", "p \"\"\"a\"\"\"", {"p", "\"a\""}},
        TSplitCase{"FourQuotes", "p \"\"\"\"", {"p", "\""}},
        TSplitCase{"EmptyQuotesInWord", "p a\"\"b", {"p", "ab"}}),
    [](const testing::TestParamInfo<TSplitCase> &info) { return info.param.Name; });

} // namespace
