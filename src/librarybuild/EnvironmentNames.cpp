#include "EnvironmentNames.h"

#include "environments/Environments.h"
#include "framework/Text.h"
#include "session/BuildLog.h"

void SetEnvironmentNames(TBuildHost &host, int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  host.PackageSuffix = std::string(row.IsDelphi ? "" : "C") + std::to_string(row.ProductVersion) +
                       (row.IsCLX ? "CLX" : "");
  host.KindName = row.IsDelphi ? "Delphi" : "Builder";
  host.EnvironmentFolder = host.DestinationBase + "\\" + host.KindName + host.PackageSuffix;
}

std::string CompilerOptions() {
  // Both strings switch assertions off twice; the tools take the last switch of a letter.
  return DebugBuild ? " -Q -B -$D+ -$L+ -$O- -$A+ -$C- -$Y- -$C- -$R+ -$Q+ -V "
                    : " -Q -B -$D- -$L- -$O+ -$A+ -$C- -$Y- -$C- -$R- -$Q-    ";
}

std::string CompilerDefines(int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  std::string defines;
  if (row.IsCLX)
    defines += " -DCLX";
  if (row.Edition == "CSS")
    defines += " -DZELENTERPRISE";
  if (row.IsStandard)
    defines += " -DNOUSE_BDE";
  if (StandardMode)
    defines += " -DZELLITE";
  if (!row.IsDelphi && row.Version == 4)
    defines += " -DZELNOSERIESDESIGN";
  if (row.IsDotNet)
    defines += " -NSBorland.VCL";
  if (!ShowWarnings)
    defines += " -W- -H- ";
  if (!ShowPlatformWarnings)
    defines += " -W-UNIT_PLATFORM -W-UNIT_EXPERIMENTAL";
  return defines;
}

std::string EditionSuffix(int index) { return Environments[std::size_t(index)].IsStandard ? "Std" : ""; }

bool StdPackagesWanted(int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  return BuildStdPackages && !row.IsStandard && !row.IsCLX;
}

std::string BaseCommandLine(const TBuildHost &host, int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  const std::string &e = host.EnvironmentFolder, &s = host.SourceFolder;
  std::string line;
  if (row.IsDelphi) {
    line = Quoted(row.RootDir + "\\bin\\" + CompilerExeName(index)) + " " + CompilerOptions();
    line += " -LN" + Quoted(e + "\\lib");
    line += " -E" + Quoted(e + "\\bin");
    line += " -N" + Quoted(e + "\\lib");
    line += " -U" + Quoted(e + "\\lib") + ";" + Quoted(s);
    line += " -I" + Quoted(s);
    line += " -R" + Quoted(s);
  } else {
    line = Quoted(row.RootDir + "\\bin\\make.exe") + " -B";
  }
  if (row.IsDotNet)
    line += " -U" + Quoted(row.RootDir + "\\units");
  return line + CompilerDefines(index);
}
