// libFuzzer target for the lines a tool's output is cut into (scripts/fuzz builds and runs it).
// The output arrives in reads, as the runner's worker takes it: each read lands in the captured
// lines' room and is split there. The lines must be those of a reading of the same reads one byte
// at a time: byte 0 is dropped, LF ends a line, CR ends one and takes an LF right after it in the
// same read along, and an unended last line counts.
// The input: a byte of choices, two bytes of a length, a count n and n read lengths (each 1 to
// 255, or 0 for the rest of the output), then the output. The choices say how much room each read
// asks (what the runner asks, or just the read's size) and what the list held before: a line or an
// open line, short, or long enough to bring the reads to the end of a block.
#include "FuzzSupport.h"
#include "process/CapturedLines.h"
#include "process/LineSplitter.h"

#include <algorithm>
#include <cstring>

namespace {

using TLines = std::vector<std::string>;

TLines ReferenceLines(const std::string &before, bool beforeEnded,
                      const std::vector<std::string_view> &reads) {
  TLines lines;
  std::string open = before;
  if (beforeEnded) {
    lines.push_back(before);
    open.clear();
  }
  for (std::string_view read : reads)
    for (std::size_t i = 0; i < read.size(); ++i) {
      char c = read[i];
      if (c == '\0')
        continue;
      if (c != '\n' && c != '\r') {
        open += c;
        continue;
      }
      lines.push_back(open);
      open.clear();
      if (c == '\r' && i + 1 < read.size() && read[i + 1] == '\n')
        ++i;
    }
  if (!open.empty())
    lines.push_back(open);
  return lines;
}

struct TSink {
  TCapturedLines &Lines;
  void Append(const char *from, const char *to) { Lines.AppendFromRoom(from, to); }
  void EndLine() { Lines.EndOpenLine(); }
  bool Stopped() const { return false; }
};

// The first LF, CR or 0 from each of the first positions of a read, against a plain search.
void CheckFind(std::string_view read) {
  for (std::size_t from = 0; from < std::min<std::size_t>(read.size(), 24); ++from) {
    const char *found = LineSplitting::FindBreakOrZero(read.data() + from, read.data() + read.size());
    std::size_t plain = read.find_first_of(std::string_view("\r\n\0", 3), from);
    FUZZ_CHECK(found == read.data() + std::min(plain, read.size()));
  }
}

void Capture(TCapturedLines &lines, const std::string &before, bool beforeEnded,
             const std::vector<std::string_view> &reads, bool runnersRoom) {
  if (beforeEnded)
    lines.push_back(before);
  else
    lines.AppendToOpenLine(before.data(), before.data() + before.size());
  TSink sink{lines};
  for (std::string_view read : reads) {
    std::span<char> room = lines.Room(runnersRoom ? 65536 : read.size());
    FUZZ_CHECK(room.size() >= read.size());
    std::memcpy(room.data(), read.data(), read.size());
    LineSplitting::Split(std::string_view(room.data(), read.size()), sink);
  }
  if (!lines.OpenLine().empty())
    lines.EndOpenLine();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 4)
    return 0;
  unsigned choices = data[0];
  std::size_t length = std::size_t(data[1]) << 8 | data[2];
  std::size_t count = data[3] % 8 + 1;
  if (size < 4 + count)
    return 0;
  const std::uint8_t *lengths = data + 4;
  std::string_view output(reinterpret_cast<const char *>(data + 4 + count), size - 4 - count);

  std::vector<std::string_view> reads;
  for (std::size_t at = 0, i = 0; at < output.size(); ++i) {
    std::size_t take = lengths[i % count] == 0 ? output.size() : lengths[i % count];
    reads.push_back(output.substr(at, take));
    at += reads.back().size();
  }

  // Before the reads: nothing, a line, or an open line, ending up to 64 KB before a block's end
  // (a line that long is a tenth of the text a block holds, rare in a tool's output).
  // That long a line costs a thousand times a short one: one input in four has it.
  std::string before;
  bool beforeEnded = (choices & 2) != 0;
  if ((choices & 9) == 9)
    before.assign(TCapturedLines::BlockSize - 1 - length, 'f');
  else
    before.assign(length % 64, 'o');
  bool runnersRoom = (choices & 4) != 0;

  for (std::string_view read : reads)
    CheckFind(read);
  TLines expected = ReferenceLines(before, beforeEnded, reads);
  // Each list takes the blocks that the list of the input before gave back, with its text in them.
  TCapturedLines lines;
  Capture(lines, before, beforeEnded, reads, runnersRoom);
  FUZZ_CHECK(lines.size() == expected.size());
  FUZZ_CHECK(std::equal(lines.begin(), lines.end(), expected.begin(), expected.end()));
  lines.clear();
  FUZZ_CHECK(lines.empty() && lines.OpenLine().empty());
  return 0;
}
