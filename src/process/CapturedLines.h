// The lines a runner captures, stored end to end in large blocks that never move, each line a view
// into them: a captured line costs no allocation of its own, nothing is copied when the store
// grows, and the line still being built is the text after the last line in the current block. The
// runner reads the child's output straight into the room after that line, so text is not copied
// at all. Blocks and the index of lines come from pools shared by all lists and go back to them
// when the list is emptied. It reads as a list of lines; the views stay valid until the list is
// emptied.
#pragma once
#include "framework/TextLines.h"

#include <cstddef>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

template <typename T> class TBlockPool;

class TCapturedLines {
public:
  class const_iterator {
  public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    const_iterator() = default;
    const_iterator(const TCapturedLines *lines, std::size_t index) : lines_(lines), index_(index) {}
    std::string_view operator*() const { return (*lines_)[index_]; }
    std::string_view operator[](difference_type n) const {
      return (*lines_)[std::size_t(difference_type(index_) + n)];
    }
    const_iterator &operator++() { return ++index_, *this; }
    const_iterator operator++(int) { return {lines_, index_++}; }
    const_iterator &operator--() { return --index_, *this; }
    const_iterator operator--(int) { return {lines_, index_--}; }
    const_iterator &operator+=(difference_type n) {
      return index_ = std::size_t(difference_type(index_) + n), *this;
    }
    const_iterator &operator-=(difference_type n) { return *this += -n; }
    friend const_iterator operator+(const_iterator i, difference_type n) { return i += n; }
    friend const_iterator operator+(difference_type n, const_iterator i) { return i += n; }
    friend const_iterator operator-(const_iterator i, difference_type n) { return i -= n; }
    friend difference_type operator-(const const_iterator &a, const const_iterator &b) {
      return difference_type(a.index_) - difference_type(b.index_);
    }
    friend bool operator==(const const_iterator &a, const const_iterator &b) { return a.index_ == b.index_; }
    friend auto operator<=>(const const_iterator &a, const const_iterator &b) {
      return a.index_ <=> b.index_;
    }

  private:
    const TCapturedLines *lines_ = nullptr;
    std::size_t index_ = 0;
  };
  using value_type = std::string_view;
  using iterator = const_iterator;

  TCapturedLines();
  ~TCapturedLines() { clear(); }
  TCapturedLines(const TCapturedLines &) = delete;
  TCapturedLines &operator=(const TCapturedLines &) = delete;

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  std::string_view operator[](std::size_t index) const {
    const TLineSpan &line = index_[index / LinesPerChunk][index % LinesPerChunk];
    return {line.Text, line.Size};
  }
  std::string_view front() const { return (*this)[0]; }
  std::string_view back() const { return (*this)[size() - 1]; }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

  // Empties the list and the open line; the memory goes back to the pools for the next run.
  void clear();
  void push_back(std::string_view line);

  // The line being built: text appended to it, then ended (it becomes the last line) or dropped.
  void AppendToOpenLine(const char *from, const char *to);
  std::string_view OpenLine() const { return {block_ + openStart_, used_ - openStart_}; }
  void EndOpenLine() {
    if (count_ == index_.size() * LinesPerChunk)
      NewIndexChunk();
    index_[count_ / LinesPerChunk][count_ % LinesPerChunk] = {block_ + openStart_, used_ - openStart_};
    ++count_;
    openStart_ = used_;
  }
  void DropOpenLine() { used_ = openStart_; }

  // Free memory right after the open line, at least size bytes, to read output into. It stays
  // where it is until the next call of Room.
  std::span<char> Room(std::size_t size);
  // Appends text that lies in the room (at or after the open line's end). Text read right after
  // the open line joins it where it is, and so does the first text of a line after the line end
  // before it: the bytes of line ends stay between the lines. Only text after a zero byte inside
  // a line moves down to close the gap.
  void AppendFromRoom(const char *from, const char *to);

  TStringList ToStringList() const;
  // Appends every line to list, reserving the room at once.
  void AppendTo(TStringList &list) const;

  friend bool operator==(const TCapturedLines &lines, const TStringList &list);
  friend bool operator==(const TCapturedLines &a, const TCapturedLines &b);

  // Bytes per block of text (large enough that a block is rarely left for a new one, small enough
  // not to matter when mostly unused: most tools print a few kilobytes), and lines per chunk of
  // the index.
  static constexpr std::size_t BlockSize = 1 << 20;
  static constexpr std::size_t LinesPerChunk = 1 << 16;

private:
  struct TLineSpan {
    const char *Text;
    std::size_t Size;
  };
  static TBlockPool<char> &TextPool();
  static TBlockPool<TLineSpan> &IndexPool();
  void NewBlock(std::size_t atLeast);
  void NewIndexChunk();

  std::vector<std::unique_ptr<char[]>> blocks_;      // of BlockSize, from the pool
  std::vector<std::unique_ptr<char[]>> largeBlocks_; // for lines too long for one of those
  char *block_ = nullptr;                            // the current block
  std::size_t capacity_ = 0, used_ = 0, openStart_ = 0;
  std::vector<std::unique_ptr<TLineSpan[]>> index_; // chunks of LinesPerChunk, from their pool
  std::size_t count_ = 0;
};

// For test output: the lines as a list of quoted texts.
void PrintTo(const TCapturedLines &lines, std::ostream *out);
