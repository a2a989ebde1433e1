// The Decision Cube sources of an Enterprise environment, edited in place so that its packages
// build against the newly built library: the registration unit, the chart unit and the two package
// projects. The files live in the host's DecisionCubeFolder.
#pragma once
#include "framework/TextLines.h"
#include "session/BuildHost.h"

#include <string>

// The file names by the environment's Version: Delphi 5 names its package projects and the
// runtime package's symbol file with "50", later versions without; the package libraries always
// carry Version * 10 ("dss70.bpl").
std::string DesignPackageSource(int version);      // "dcldss50.dpk" or "dcldss.dpk"
std::string RuntimePackageSource(int version);     // "dss50.dpk" or "dss.dpk"
std::string RuntimePackageSymbolFile(int version); // "dss50.dcp" or "dss.dcp"
std::string RuntimePackageLibrary(int version);    // "dss70.bpl"
std::string DesignPackageLibrary(int version);     // "dcldss70.bpl"
// The library packages' suffix in the replacement lines: "7", "6" or "5" (any other version), after
// "C" on a C++Builder row.
std::string DecisionCubePackageSuffix(int index);

// Copies folder\name to folder\BackupOf_name unless that backup exists: the first backup holds the
// environment's own file and is never replaced. Raises "Error copying file: " + name.
void BackupOnce(const std::string &folder, const std::string &name);
// The registration unit and the design package project, backed up once.
void BackupDecisionCubeSources(const TBuildHost &host, int index);
// The four edits, in order; each file is written only when an edit changed it.
void PatchDecisionCubeSources(const TBuildHost &host, int index);

// The edits on a file's lines; each returns whether it changed them. A second pass over its own
// result changes nothing.
bool PatchRegistrationUnit(TStringList &lines);
bool PatchChartUnit(TStringList &lines);
bool PatchDesignPackageSource(TStringList &lines, int version, const std::string &suffix);
bool PatchRuntimePackageSource(TStringList &lines, int version, const std::string &suffix);
