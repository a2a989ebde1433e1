// What a stand-in knows about the environment it was copied into. The real tools know their own
// version; a stand-in reads it from "StandIn.ini" beside itself ([Compiler] Version=14.0), so one
// build of the stand-ins serves every simulated environment.
#pragma once
#include "EnvironmentUnits.h"

#include <string>
#include <vector>

namespace StandIn {

// The compiler version: [Compiler] Version of StandIn.ini, else 15.0 (Delphi 7) for Win32 and
// 16.0 (Delphi 8) for .NET.
double CompilerVersion(TTargetKind target);
std::string VersionText(double version); // "15.0"
// The conditional symbols the compiler defines itself: VER150, WIN32, MSWINDOWS, ...
std::vector<std::string> PredefinedSymbols(TTargetKind target, double version);
std::vector<std::string> CompilerBanner(TTargetKind target, double version);

// A stand-in made slow on purpose, so that a run can be watched while a tool works, or so that it
// costs what a real compiler costs: after its banner the compiler pauses for [StandIn]
// PauseMilliseconds of StandIn.ini, then computes for BusyMilliseconds (no pause without them).
// The output shows neither.
void PauseIfAsked();

// The environment's own folders, found from the tool's place in its bin folder.
std::string EnvironmentFolder(const std::string &name); // ProgramFolder + "\..\" + name

} // namespace StandIn
