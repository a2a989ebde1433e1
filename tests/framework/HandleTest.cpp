#include "framework/Handle.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<int> closed;

struct TCountingTraits {
  using HandleType = int;
  static int Invalid() { return -1; }
  static bool IsValid(int h) { return h >= 0; }
  static void Close(int h) { closed.push_back(h); }
};
using TCounted = ScopedHandle<TCountingTraits>;

TEST(ScopedHandle, ClosesEveryHandleExactlyOnce) {
  closed.clear();
  {
    TCounted a(1);
    TCounted b(std::move(a)); // the moved-from owner closes nothing
    EXPECT_FALSE(a.IsValid());
    TCounted c(2);
    c = std::move(b); // 2 closes now, 1 moves over
    EXPECT_EQ(closed, std::vector<int>{2});
    c = std::move(c); // self-assignment keeps the handle
    EXPECT_EQ(c.Get(), 1);
    TCounted d(3);
    EXPECT_EQ(d.Release(), 3); // released: never closed by the owner
    TCounted e(4);
    e.Reset(5);
    e.Close();
    e.Close(); // a second close does nothing
  }
  EXPECT_EQ(closed, (std::vector<int>{2, 4, 5, 1}));
}

} // namespace
