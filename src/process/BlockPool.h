// Blocks of memory of one size that outlive the lists that use them. A run's captured output then
// lands in memory an earlier run has written to already: fresh memory costs a page fault and the
// zeroing of every page at first touch, which was most of what keeping a large output cost. The
// pool keeps the blocks the last list gave back and frees any it held before, so what stays idle
// is about the size of the last run's output. Runners on several threads may share it.
#pragma once
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

template <typename T> class TBlockPool {
public:
  using TBlock = std::unique_ptr<T[]>;

  explicit TBlockPool(std::size_t blockLength) : blockLength_(blockLength) {}
  TBlockPool(const TBlockPool &) = delete;
  TBlockPool &operator=(const TBlockPool &) = delete;

  // Elements per block.
  std::size_t BlockLength() const { return blockLength_; }

  // A block whose elements hold whatever they held before (nothing initialised).
  TBlock Take() {
    {
      std::lock_guard lock(mutex_);
      if (!idle_.empty()) {
        TBlock block = std::move(idle_.back());
        idle_.pop_back();
        return block;
      }
    }
    return std::make_unique_for_overwrite<T[]>(blockLength_);
  }

  // Takes every block of blocks (which is left empty) in place of the ones the pool held.
  void GiveBack(std::vector<TBlock> &blocks) {
    if (blocks.empty())
      return;
    std::vector<TBlock> released;
    {
      std::lock_guard lock(mutex_);
      released.swap(idle_);
      idle_.swap(blocks);
    } // released goes when this returns, outside the lock
  }

  std::size_t IdleBlocks() const {
    std::lock_guard lock(mutex_);
    return idle_.size();
  }

private:
  const std::size_t blockLength_;
  mutable std::mutex mutex_;
  std::vector<TBlock> idle_;
};
