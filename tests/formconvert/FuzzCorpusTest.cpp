// Replays every input that the fuzzer kept (fuzz/corpus/FormReader, with the crashes it ever found): each
// must convert or end in an EReadError, the same contract the fuzz target checks.
#include "TestSupport.h"
#include "formconvert/ObjectText.h"
#include "framework/Files.h"

#include <gtest/gtest.h>
#include <string>

namespace {

void ConvertOrReadError(std::string (*convert)(std::string_view), const std::string &bytes) {
  try {
    convert(bytes);
  } catch (const EReadError &) {
  }
}

TEST(FuzzCorpusTest, EveryKeptInputConvertsOrEndsInAReadError) {
  std::string corpus = SourcePath("fuzz\\corpus\\FormReader");
  int replayed = 0;
  for (const auto &file : Fs::FindFiles(corpus + "\\*")) {
    if (file.IsDirectory)
      continue;
    SCOPED_TRACE(file.Name);
    std::string bytes = ReadTextFile(corpus + "\\" + file.Name);
    ConvertOrReadError(ObjectResourceToText, bytes);
    ConvertOrReadError(ObjectBinaryToText, bytes);
    ++replayed;
  }
  EXPECT_GT(replayed, 0) << "no fuzz corpus below " << corpus;
}

} // namespace
