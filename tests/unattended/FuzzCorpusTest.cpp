// Replays what the command-line fuzzer kept (fuzz/corpus/Switches): each command line still splits
// as the C runtime's rules say and its switches keep the rules that fuzz/SwitchesFuzzer.cpp checks.
#include "TestSupport.h"

#include <gtest/gtest.h>

extern "C" int SwitchesFuzzerOneInput(const std::uint8_t *data, std::size_t size);

namespace {

TEST(FuzzCorpus, EveryKeptCommandLineSplitsAndParsesByTheRules) {
  EXPECT_GT(ReplayFuzzCorpus("Switches", SwitchesFuzzerOneInput), 0);
}

} // namespace
