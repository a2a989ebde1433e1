// The rebuild of an Enterprise environment's Decision Cube packages against the newly built
// library: the sources patched, both packages compiled with the environment's own tools, the
// products put where the environment loads them from (after one-time backups), and the design
// package enabled.
#pragma once
#include "session/BuildHost.h"

#include <string>

// The fifteen units of the runtime package, in the order the lib folder gets them: each unit after
// the units it uses.
extern const char *const DecisionCubeUnits[15];

// Does nothing for the .NET row, a version before 5 or an edition other than Enterprise ("CSS").
void RebuildDecisionCube(TBuildHost &host, int index);

// Copies sourceFolder\name over targetFolder\name; raises "Cannot copy file: " + name + " to " +
// targetFolder.
void CopyDecisionCubeFile(const std::string &sourceFolder, const std::string &name,
                          const std::string &targetFolder);
// The Delphi compiler's command up to the opening quote of the package path: every product into the
// current folder, units from the library sources and the environment's and the build's lib folders.
std::string DecisionCubeCommandPrefix(const TBuildHost &host, int index);
// Compiles DecisionCubeFolder\file with the command prefix, in DecisionCubeFolder.
void CompileDecisionCubePackage(const TBuildHost &host, const std::string &commandPrefix,
                                const std::string &file);
// Delphi: both packages compiled, the units and the runtime package put into place; C++Builder:
// both packages made in DecisionCubeFolder.
void BuildDecisionCubePackages(TBuildHost &host, int index);
// The make command of a C++Builder Decision Cube package, before its makefile switch.
std::string DecisionCubeMakeCommand(TBuildHost &host, int index);
void MakeDecisionCubePackage(TBuildHost &host, int index, const std::string &name);
// Takes the design package out of "Disabled Packages" and, for Delphi, out of the default project
// options' excluded packages.
void EnableDecisionCubeDesignPackage(const TBuildHost &host, int index);
