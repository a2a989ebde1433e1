#include "process/CapturedLines.h"

#include "process/BlockPool.h"

#include <algorithm>
#include <cstring>
#include <ostream>

TBlockPool<char> &TCapturedLines::TextPool() {
  static TBlockPool<char> pool(BlockSize);
  return pool;
}

TBlockPool<TCapturedLines::TLineSpan> &TCapturedLines::IndexPool() {
  static TBlockPool<TLineSpan> pool(LinesPerChunk);
  return pool;
}

// Every list touches the pools first, so that they are made before and destroyed after it.
TCapturedLines::TCapturedLines() {
  TextPool();
  IndexPool();
}

void TCapturedLines::clear() {
  TextPool().GiveBack(blocks_);
  IndexPool().GiveBack(index_);
  blocks_.clear();
  largeBlocks_.clear();
  index_.clear();
  block_ = nullptr;
  capacity_ = used_ = openStart_ = count_ = 0;
}

void TCapturedLines::AppendToOpenLine(const char *from, const char *to) {
  std::size_t count = std::size_t(to - from);
  if (count == 0)
    return; // an empty line pushed before any text has no block to copy to (memcpy to null)
  if (used_ + count > capacity_)
    NewBlock(used_ - openStart_ + count);
  std::memcpy(block_ + used_, from, count);
  used_ += count;
}

std::span<char> TCapturedLines::Room(std::size_t size) {
  if (capacity_ - used_ < size)
    NewBlock(used_ - openStart_ + size);
  return {block_ + used_, capacity_ - used_};
}

void TCapturedLines::AppendFromRoom(const char *from, const char *to) {
  std::size_t count = std::size_t(to - from);
  std::size_t at = std::size_t(from - block_);
  if (at != used_) {
    if (openStart_ == used_)
      openStart_ = used_ = at; // a new line starts after the line end: the gap stays
    else
      std::memmove(block_ + used_, from, count); // a zero byte inside the line
  }
  used_ += count;
}

// The open line moves along into the new block: a line is always in one piece. A block is taken
// from the pool unless the line needs more than half of one.
void TCapturedLines::NewBlock(std::size_t atLeast) {
  std::size_t size = BlockSize;
  std::unique_ptr<char[]> block;
  if (atLeast * 2 <= BlockSize) {
    block = TextPool().Take();
  } else {
    size = atLeast * 2;
    block = std::make_unique_for_overwrite<char[]>(size);
  }
  std::size_t open = used_ - openStart_;
  if (open > 0)
    std::memcpy(block.get(), block_ + openStart_, open);
  block_ = block.get();
  (size == BlockSize ? blocks_ : largeBlocks_).push_back(std::move(block));
  capacity_ = size;
  used_ = open;
  openStart_ = 0;
}

void TCapturedLines::NewIndexChunk() {
  index_.push_back(IndexPool().Take());
}

void TCapturedLines::push_back(std::string_view line) {
  DropOpenLine();
  AppendToOpenLine(line.data(), line.data() + line.size());
  EndOpenLine();
}

TStringList TCapturedLines::ToStringList() const {
  TStringList list;
  AppendTo(list);
  return list;
}

void TCapturedLines::AppendTo(TStringList &list) const {
  list.reserve(list.size() + size());
  for (std::string_view line : *this)
    list.emplace_back(line);
}

bool operator==(const TCapturedLines &lines, const TStringList &list) {
  return std::equal(lines.begin(), lines.end(), list.begin(), list.end(),
                    [](std::string_view a, const std::string &b) { return a == b; });
}

bool operator==(const TCapturedLines &a, const TCapturedLines &b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

void PrintTo(const TCapturedLines &lines, std::ostream *out) {
  *out << '{';
  const char *separator = "";
  for (std::string_view line : lines) {
    *out << separator << '"' << line << '"';
    separator = ", ";
  }
  *out << '}';
}
