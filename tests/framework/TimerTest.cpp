#include "framework/Application.h"
#include "framework/Timer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

void Wait(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

TEST(Timer, TicksOnlyWhileItsThreadProcessesMessagesAndNeverPilesUp) {
  TTimer timer;
  int ticks = 0;
  timer.OnTimer = [&] { ++ticks; };
  timer.SetInterval(10);
  timer.SetEnabled(true);
  Wait(80);
  EXPECT_EQ(ticks, 0); // no messages processed: no tick
  Application().ProcessMessages();
  EXPECT_EQ(ticks, 1); // eight intervals passed, one tick
  Wait(30);
  // Messages processed on another thread do not tick this thread's timer.
  std::thread other([] { Application().ProcessMessages(); });
  other.join();
  EXPECT_EQ(ticks, 1);
  Application().ProcessMessages();
  EXPECT_EQ(ticks, 2);
  timer.SetEnabled(false);
  Wait(30);
  Application().ProcessMessages();
  EXPECT_EQ(ticks, 2);
}

TEST(Timer, DisablingFromAnotherThreadStopsTheTicks) {
  TTimer timer;
  int ticks = 0;
  timer.OnTimer = [&] { ++ticks; };
  timer.SetInterval(10);
  timer.SetEnabled(true);
  std::thread worker([&] { timer.SetEnabled(false); });
  worker.join();
  Wait(40);
  Application().ProcessMessages();
  EXPECT_EQ(ticks, 0);
}

} // namespace
