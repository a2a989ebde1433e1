#include "framework/ParentConsole.h"

#include <cstdio>

bool AttachParentConsole() {
  return true;
} // a Linux program has its standard output already

void WriteConsoleLine(const std::string &line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
