#include "process/CapturedLines.h"

#include <algorithm>
#include <cstring>
#include <ostream>

namespace {
// Large enough that a block is rarely left for a new one, small enough not to matter when mostly
// unused (most tools print a few kilobytes).
constexpr std::size_t BlockSize = 1 << 20;
} // namespace

void TCapturedLines::clear() {
  lines_.clear();
  blocks_.clear();
  block_ = nullptr;
  capacity_ = used_ = openStart_ = 0;
}

void TCapturedLines::AppendToOpenLine(const char *from, const char *to) {
  std::size_t count = std::size_t(to - from);
  if (used_ + count > capacity_)
    NewBlock(used_ - openStart_ + count);
  std::memcpy(block_ + used_, from, count);
  used_ += count;
}

// The open line moves along into the new block: a line is always in one piece.
void TCapturedLines::NewBlock(std::size_t atLeast) {
  std::size_t size = std::max(BlockSize, atLeast * 2);
  auto block = std::make_unique_for_overwrite<char[]>(size);
  std::size_t open = used_ - openStart_;
  if (open > 0)
    std::memcpy(block.get(), block_ + openStart_, open);
  block_ = block.get();
  blocks_.push_back(std::move(block));
  capacity_ = size;
  used_ = open;
  openStart_ = 0;
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
