// Replays what the INI fuzzer kept (fuzz/corpus/IniFile) against the POSIX reader and writer: each
// file and its writes keep the rules that fuzz/IniFileFuzzer.cpp checks.
#include "TestSupport.h"

#include <gtest/gtest.h>

extern "C" int IniFileFuzzerOneInput(const std::uint8_t *data, std::size_t size);

namespace {

TEST(FuzzCorpus, EveryKeptIniFileReadsBackWhatWasWritten) {
  EXPECT_GT(ReplayFuzzCorpus("IniFile", IniFileFuzzerOneInput), 0);
}

} // namespace
