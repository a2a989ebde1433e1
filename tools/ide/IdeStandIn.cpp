// Stands in for an IDE whose files the build must not replace while it runs: it does nothing but
// stay running until told to stop.
//
//   Delphi32 [STOPFILE [SECONDS]]
//
// It ends as soon as the file STOPFILE exists (by default the program's own path followed by
// ".stop") or after SECONDS seconds (by default 600), so that a stand-in nobody stops does not
// stay behind for ever.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {
bool Exists(const std::string &path) {
  return std::ifstream(path).good();
}
} // namespace

int main(int argc, char **argv) {
  std::string stopFile = argc > 1 ? argv[1] : std::string(argv[0]) + ".stop";
#ifndef _WIN32
  for (char &c : stopFile) // the tests name the file as the program names files, with backslashes
    if (c == '\\')
      c = '/';
#endif
  int seconds = argc > 2 ? std::atoi(argv[2]) : 600;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!Exists(stopFile) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return 0;
}
