// The library's help: each file registered with the Windows help system, and the reference help
// merged into the environment's help contents, index and link files.
#pragma once
#include "framework/TextLines.h"
#include "session/BuildHost.h"

#include <string>

// Registers DestinationBase\Docs\name when the file is there.
void RegisterHelpFile(const TBuildHost &host, const std::string &name);
void MergeIdeHelp(TBuildHost &host, int index);
void RegisterLibraryHelpFiles(const TBuildHost &host);
// RootDir\Help\ + "Delphi6", "D7" or "BCB6" + extension.
std::string IdeHelpFileName(int index, const std::string &extension);
// Removes the lines that name a library help file of version 7 down to 4 (name + n + suffix), or of
// no version, ignoring case; name and suffix come in upper case.
void RemoveLibraryHelpLines(TStringList &lines, const std::string &name, const std::string &suffix);
void RemoveBlankLines(TStringList &lines);
