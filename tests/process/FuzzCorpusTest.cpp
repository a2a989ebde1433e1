// Replays what the output-splitter fuzzer kept (fuzz/corpus/LineSplitter): each output, in its
// reads, gives the lines of a byte-by-byte reading, as fuzz/LineSplitterFuzzer.cpp checks.
#include "TestSupport.h"

#include <gtest/gtest.h>

extern "C" int LineSplitterFuzzerOneInput(const std::uint8_t *data, std::size_t size);

namespace {

TEST(FuzzCorpus, EveryKeptOutputSplitsAsAByteByByteReading) {
  EXPECT_GT(ReplayFuzzCorpus("LineSplitter", LineSplitterFuzzerOneInput), 0);
}

} // namespace
