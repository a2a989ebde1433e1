// The captured-lines store and the line splitter together, as the runner's worker uses them: each
// read lands in the store's room and is split there. A byte-at-a-time reading of the same rules is
// the reference, over output that crosses blocks, index chunks and reads at every kind of byte.
#include "process/BlockPool.h"
#include "process/CapturedLines.h"
#include "process/LineSplitter.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

// The line rules read one byte at a time: 0 is dropped, LF ends a line, CR ends one and takes an LF
// right after it in the same read along; an unended last line counts.
Lines ReferenceLines(const std::vector<std::string> &reads) {
  Lines lines;
  std::string open;
  bool pending = false;
  for (const std::string &read : reads)
    for (std::size_t i = 0; i < read.size(); ++i) {
      char c = read[i];
      if (c == '\0')
        continue;
      if (c == '\n' || c == '\r') {
        lines.push_back(open);
        open.clear();
        pending = false;
        if (c == '\r' && i + 1 < read.size() && read[i + 1] == '\n')
          ++i;
        continue;
      }
      open += c;
      pending = true;
    }
  if (pending)
    lines.push_back(open);
  return lines;
}

struct TStoreSink {
  TCapturedLines &Store;
  void Append(const char *from, const char *to) { Store.AppendFromRoom(from, to); }
  void EndLine() { Store.EndOpenLine(); }
  bool Stopped() const { return false; }
};

// Each read copied into the room, as the pipe would put it there, and split in place.
void Capture(TCapturedLines &store, const std::vector<std::string> &reads) {
  TStoreSink sink{store};
  for (const std::string &read : reads) {
    std::span<char> room = store.Room(read.size());
    ASSERT_GE(room.size(), read.size());
    std::memcpy(room.data(), read.data(), read.size());
    LineSplitting::Split(std::string_view(room.data(), read.size()), sink);
  }
  if (!store.OpenLine().empty())
    store.EndOpenLine();
}

Lines ToLines(const TCapturedLines &store) {
  return Lines(store.begin(), store.end());
}

// Output of every shape: short lines with all three line ends, tabs and other low controls beside
// them (a word holding one must still be looked at byte by byte), high bytes, runs of CRs and of
// zeros, a line longer than a block with zeros inside, all cut into reads of random lengths.
std::vector<std::string> MixedReads(unsigned seed) {
  std::mt19937 random(seed);
  std::string output;
  const char alphabet[] = "abcXYZ019 \t\x01\x0b\x0c\x0e\x7f\x80\xe4\xff";
  while (output.size() < 3 * TCapturedLines::BlockSize) {
    switch (random() % 16) {
    case 0:
      output.append(random() % 300, '\r');
      break;
    case 1:
      output.append(random() % 300, '\0');
      break;
    case 2:
      output += "\r\n";
      break;
    case 3:
      output += '\n';
      break;
    default:
      for (std::size_t n = random() % 40; n > 0; --n)
        output += alphabet[random() % (sizeof alphabet - 1)];
      output += random() % 3 == 0 ? '\r' : '\n';
    }
  }
  std::string longLine(TCapturedLines::BlockSize + 12345, 'L');
  for (std::size_t at = 7; at < longLine.size(); at += 70001)
    longLine[at] = '\0';
  output.insert(output.size() / 2, longLine + "\n");

  std::vector<std::string> reads;
  for (std::size_t at = 0; at < output.size();) {
    std::size_t length = 1 + random() % 65536;
    reads.push_back(output.substr(at, length));
    at += length;
  }
  return reads;
}

TEST(CapturedLinesTest, ReadsSplitInTheRoomGiveTheLinesOfAByteByByteReading) {
  for (unsigned seed : {1u, 2u, 3u}) {
    std::vector<std::string> reads = MixedReads(seed);
    Lines expected = ReferenceLines(reads);
    ASSERT_GT(expected.size(), TCapturedLines::LinesPerChunk) << "the index must need a second chunk";
    TCapturedLines store;
    Capture(store, reads);
    ASSERT_EQ(store.size(), expected.size()) << "seed " << seed;
    ASSERT_TRUE(ToLines(store) == expected) << "seed " << seed;
  }
}

// A list emptied and filled again, and a new list on the blocks an old one gave back, show only
// their own lines.
TEST(CapturedLinesTest, ReusedMemoryHoldsOnlyTheNewLines) {
  std::vector<std::string> first = MixedReads(4), second = {"one\ntwo\r\nthree"};
  {
    TCapturedLines store;
    Capture(store, first);
    store.clear();
    EXPECT_TRUE(store.empty());
    EXPECT_TRUE(store.OpenLine().empty());
    Capture(store, second);
    EXPECT_EQ(ToLines(store), (Lines{"one", "two", "three"}));
  }
  TCapturedLines next;
  next.push_back("pushed");
  Capture(next, {"more\n"});
  EXPECT_EQ(ToLines(next), (Lines{"pushed", "more"}));
}

// Blocks given back replace the idle ones: what stays idle is what the last list used.
TEST(BlockPoolTest, KeepsOnlyTheBlocksGivenBackLast) {
  TBlockPool<char> pool(16);
  std::vector<TBlockPool<char>::TBlock> blocks;
  for (int i = 0; i < 3; ++i)
    blocks.push_back(pool.Take());
  char *reused = blocks.back().get();
  pool.GiveBack(blocks);
  EXPECT_TRUE(blocks.empty());
  EXPECT_EQ(pool.IdleBlocks(), 3u);
  blocks.push_back(pool.Take());
  EXPECT_EQ(blocks.back().get(), reused);
  pool.GiveBack(blocks);
  EXPECT_EQ(pool.IdleBlocks(), 1u);
}

} // namespace
