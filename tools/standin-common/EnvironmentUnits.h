// The units an environment brings along in its own library (SysUtils, Forms, DB, DesignIntf, ...).
// The stand-ins cannot read the environment's real symbol files, so they know these units by name,
// with the compiler versions that have them, as the real compiler knows what its lib folder holds.
#pragma once
#include <string>

namespace StandIn {

enum class TTargetKind { Win32, DotNet };

// Win32: the unit's plain name. .NET: the full name ("Borland.Vcl.Graphics", "System.Drawing");
// the compiler tries the namespace prefixes of -NS before asking.
bool IsEnvironmentUnit(const std::string &name, TTargetKind target, double compilerVersion);

} // namespace StandIn
