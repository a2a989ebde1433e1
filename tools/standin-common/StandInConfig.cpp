#include "StandInConfig.h"

#include "StandInFiles.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>

namespace StandIn {

double CompilerVersion(TTargetKind target) {
  double fallback = target == TTargetKind::DotNet ? 16.0 : 15.0;
  auto text = IniValue(JoinPath(ProgramFolder(), "StandIn.ini"), "Compiler", "Version");
  if (!text) {
    return fallback;
  }
  char *end = nullptr;
  double version = std::strtod(text->c_str(), &end);
  return end != text->c_str() && version > 0 ? version : fallback;
}

namespace {
long IniMilliseconds(const char *name) {
  auto text = IniValue(JoinPath(ProgramFolder(), "StandIn.ini"), "StandIn", name);
  return text ? std::strtol(text->c_str(), nullptr, 10) : 0;
}

// Keeps one processor busy for that long, with work the optimiser cannot drop.
void Compute(long milliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  volatile std::uint64_t state = 88172645463325252ULL;
  while (std::chrono::steady_clock::now() < end)
    for (int i = 0; i < 10000; ++i) {
      std::uint64_t x = state;
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      state = x;
    }
}
} // namespace

void PauseIfAsked() {
  long pause = IniMilliseconds("PauseMilliseconds"), busy = IniMilliseconds("BusyMilliseconds");
  if (pause <= 0 && busy <= 0)
    return;
  std::cout.flush(); // what came before shows while the tool waits
  if (pause > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
  if (busy > 0)
    Compute(busy);
}

std::string VersionText(double version) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f", version);
  return buffer;
}

std::vector<std::string> PredefinedSymbols(TTargetKind target, double version) {
  std::vector<std::string> symbols = {"VER" + std::to_string(static_cast<int>(std::lround(version * 10)))};
  if (target == TTargetKind::DotNet) {
    symbols.insert(symbols.end(), {"CLR", "CIL", "MANAGEDCODE", "MSWINDOWS", "CONDITIONALEXPRESSIONS"});
    return symbols;
  }
  symbols.insert(symbols.end(), {"WIN32", "CPU386"});
  if (version >= 14.0) {
    symbols.insert(symbols.end(), {"MSWINDOWS", "CONDITIONALEXPRESSIONS"});
  }
  return symbols;
}

std::vector<std::string> CompilerBanner(TTargetKind target, double version) {
  if (target == TTargetKind::DotNet) {
    return {"Borland Delphi for Microsoft .NET compiler version " + VersionText(version),
            "Copyright (c) 1983,2003 Borland Software Corporation"};
  }
  std::string copyright = "Copyright (c) 1983,2002 Borland Software Corporation";
  if (version < 13.0) {
    copyright = "Copyright (c) 1983,98 Inprise Corporation";
  } else if (version < 14.0) {
    copyright = "Copyright (c) 1983,99 Inprise Corporation";
  } else if (version < 15.0) {
    copyright = "Copyright (c) 1983,2001 Borland Software Corporation";
  }
  return {"Borland Delphi Version " + VersionText(version), copyright};
}

std::string EnvironmentFolder(const std::string &name) {
  return JoinPath(FolderOf(ProgramFolder()), name);
}

} // namespace StandIn
