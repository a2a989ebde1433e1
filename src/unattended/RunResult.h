// The result of an unattended run, as a JSON document that a build machine's scripts read: the
// program's version, start and end (ISO 8601, UTC), the options, and one entry per environment
// the run was asked to build.
#pragma once
#include "changes/Plan.h"
#include "unattended/Switches.h"

#include <ctime>
#include <string>
#include <vector>

struct TEnvironmentResult {
  int Index = 0;
  std::string Name;   // the row's name, as the window shows it
  std::string Folder; // the environment's installation folder
  std::string Status; // "ok", "error" or "skipped" (not reached: an earlier failure ended the run)
  double Seconds = 0;
  std::string Error;
  // What an environment went without because /yes said to go on (no cache tool for the .NET
  // assemblies): its status is "ok", but not all of it was done.
  std::vector<std::string> Warnings;
  std::vector<std::string> Packages; // the packages built, in build order
  // An uninstall's values and files that someone changed since the install: left as they are.
  std::vector<std::string> ChangedSinceInstall;
  std::string OutputFolder;
};

struct TRunResult {
  std::string Version;
  std::time_t Started = 0, Ended = 0;
  int ExitCode = 0;
  std::string Error; // what ended the run outside any environment
  TUnattendedOptions Options;
  std::string SourceFolder, DestinationFolder; // as the run used them
  std::vector<TEnvironmentResult> Environments;
  // A dry run's plan (/plan): what the run would change, per environment.
  std::vector<TEnvironmentPlan> Plan;
};

// "2026-12-08T09:15:02Z".
std::string IsoUtcTime(std::time_t time);
// The text as a JSON string, quotes included; the text is UTF-8.
std::string JsonString(const std::string &text);
// JSON laid out one member or item a line, the closing bracket at indent; the members' and items'
// texts are JSON already.
using TJsonMembers = std::vector<std::pair<const char *, std::string>>;
std::string JsonObject(const TJsonMembers &members, const std::string &indent);
std::string JsonArray(const std::vector<std::string> &items, const std::string &indent);
std::string ResultJson(const TRunResult &result);
// Written beside the target and renamed over it, so that a reader never sees half a document.
// Raises EFileError.
void WriteResultFile(const std::string &path, const TRunResult &result);
