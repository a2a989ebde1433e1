// Replays what the fuzzer of the help files' line edits kept (fuzz/corpus/HelpLines): each input
// keeps the rules that fuzz/HelpLinesFuzzer.cpp checks, on real help files.
#include "TestRows.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

extern "C" int HelpLinesFuzzerOneInput(const std::uint8_t *data, std::size_t size);

namespace {

TEST(FuzzCorpus, EveryKeptHelpFileMergesByTheRules) {
  EXPECT_GT(ReplayFuzzCorpus("HelpLines", HelpLinesFuzzerOneInput), 0);
  ResetProgramState(); // the target used the first row of the environment table
}

} // namespace
