// Replays what the fuzzers of the install's line and list edits kept (fuzz/corpus/HelpLines and
// fuzz/corpus/PathLists): each input keeps the rules that fuzz/HelpLinesFuzzer.cpp and
// fuzz/PathListsFuzzer.cpp check, on real help files and folders.
#include "TestRows.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

extern "C" int HelpLinesFuzzerOneInput(const std::uint8_t *data, std::size_t size);
extern "C" int PathListsFuzzerOneInput(const std::uint8_t *data, std::size_t size);

namespace {

TEST(FuzzCorpus, EveryKeptHelpFileMergesByTheRules) {
  EXPECT_GT(ReplayFuzzCorpus("HelpLines", HelpLinesFuzzerOneInput), 0);
  ResetProgramState(); // the target used the first row of the environment table
}

TEST(FuzzCorpus, EveryKeptPathListEditKeepsTheOtherEntries) {
  EXPECT_GT(ReplayFuzzCorpus("PathLists", PathListsFuzzerOneInput), 0);
}

} // namespace
