#include "DecisionCubeSources.h"

#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"

#include <algorithm>
#include <initializer_list>

namespace {

bool Contains(const std::string &line, const char *upperText) {
  return UpperCase(line).find(upperText) != std::string::npos;
}

bool ContainsAny(const std::string &line, std::initializer_list<const char *> upperTexts) {
  return std::any_of(upperTexts.begin(), upperTexts.end(),
                     [&](const char *text) { return Contains(line, text); });
}

// The chart properties of the library that the Decision Cube chart publishes after View3D.
const char *const ChartProperties[] = {"    property View3DOptions;",
                                       "    property BackImageTransp;",
                                       "    property BackWall;",
                                       "    property BorderRound;",
                                       "    property Border;",
                                       "    property MarginUnits;",
                                       "    property PrintProportional;",
                                       "    property RightWall;",
                                       "    property ScrollMouseButton;",
                                       "    property SubFoot;",
                                       "    property SubTitle;",
                                       "    property OnClickTitle;",
                                       "    property AxisBehind;",
                                       "    property DepthAxis;",
                                       "    property CustomAxes;",
                                       "    property Zoom;",
                                       "    property Shadow;"};

// Loads the file, applies edit, and writes the file back only when the edit changed it.
template <typename TEdit> void EditFile(const std::string &path, TEdit edit) {
  TStringList lines = LoadLines(path);
  if (edit(lines))
    Changes::SaveLines(path,
                       lines); // through a temporary file beside it: a failure leaves the old file whole
}

// Replaces lines[at] and reports whether that changed it.
bool ReplaceLine(TStringList &lines, std::size_t at, const std::string &line) {
  if (lines[at] == line)
    return false;
  lines[at] = line;
  return true;
}

const TEnviron &Row(int index) {
  return Environments[std::size_t(index)];
}

} // namespace

std::string DesignPackageSource(int version) {
  return version == 5 ? "dcldss50.dpk" : "dcldss.dpk";
}

std::string RuntimePackageSource(int version) {
  return version == 5 ? "dss50.dpk" : "dss.dpk";
}

std::string RuntimePackageSymbolFile(int version) {
  return version == 5 ? "dss50.dcp" : "dss.dcp";
}

std::string RuntimePackageLibrary(int version) {
  return "dss" + std::to_string(version * 10) + ".bpl";
}

std::string DesignPackageLibrary(int version) {
  return "dcldss" + std::to_string(version * 10) + ".bpl";
}

std::string DecisionCubePackageSuffix(int index) {
  const TEnviron &row = Row(index);
  std::string number = row.Version == 7 ? "7" : row.Version == 6 ? "6" : "5";
  return (row.IsDelphi ? "" : "C") + number;
}

void BackupOnce(const std::string &folder, const std::string &name) {
  std::string backup = folder + "\\BackupOf_" + name;
  if (Fs::FileExists(backup))
    return;
  if (!Changes::CopyFile(folder + "\\" + name, backup, true))
    throw Exception("Error copying file: " + name);
}

void BackupDecisionCubeSources(const TBuildHost &host, int index) {
  BackupOnce(host.DecisionCubeFolder, "MXReg.pas");
  BackupOnce(host.DecisionCubeFolder, DesignPackageSource(Row(index).Version));
}

bool PatchRegistrationUnit(TStringList &lines) {
  for (auto &line : lines) {
    std::string upper = UpperCase(line);
    std::size_t at = upper.find("CHARTREG");
    if (at == std::string::npos || upper.find("QUIVEXREG") != std::string::npos)
      continue;
    // The whole rest of the line stays, however long it is.
    line = line.substr(0, at) + "QuivexReg" + line.substr(at + 8);
    return true;
  }
  return false;
}

bool PatchChartUnit(TStringList &lines) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!Contains(lines[i], "VIEW3D;"))
      continue;
    // A View3D line followed by View3DOptions was patched before. One that ends the file has not
    // been: the properties go after it.
    if (i + 1 < lines.size() && Contains(lines[i + 1], "VIEW3DOPTIONS;"))
      continue;
    lines.insert(lines.begin() + std::ptrdiff_t(i + 1), std::begin(ChartProperties),
                 std::end(ChartProperties));
    return true;
  }
  return false;
}

bool PatchDesignPackageSource(TStringList &lines, int version, const std::string &suffix) {
  if (version != 7 && version != 6) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (ContainsAny(lines[i], {"DCLZEL50;", "DCLZEL55;", "DCLZEL65;"}))
        return ReplaceLine(lines, i, "  dclzel7" + suffix + ";");
    return false;
  }
  bool changed = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!Contains(lines[i], "DCLZEL"))
      continue;
    changed = ReplaceLine(lines, i, "  dclzel7" + suffix + ",") || changed;
    // The new library's design package needs the BDE design package in the requires list.
    if (!Contains(JoinLines(lines), "DCLBDE")) {
      lines.insert(lines.begin() + std::ptrdiff_t(i), "  dclbde,");
      return true;
    }
  }
  return changed;
}

bool PatchRuntimePackageSource(TStringList &lines, int version, const std::string &suffix) {
  if (version != 7 && version != 6 && version != 5)
    return false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    bool match =
        version == 5 ? ContainsAny(lines[i], {"ZEL50;", "ZEL55;", "ZEL65;"}) : Contains(lines[i], "ZEL");
    if (match)
      return ReplaceLine(lines, i, "  zel7" + suffix + ";");
  }
  return false;
}

void PatchDecisionCubeSources(const TBuildHost &host, int index) {
  const std::string &folder = host.DecisionCubeFolder;
  const int version = Row(index).Version;
  const std::string suffix = DecisionCubePackageSuffix(index);
  EditFile(folder + "\\MXReg.pas", PatchRegistrationUnit);
  EditFile(folder + "\\MXGraph.pas", PatchChartUnit);
  EditFile(folder + "\\" + DesignPackageSource(version),
           [&](TStringList &lines) { return PatchDesignPackageSource(lines, version, suffix); });
  if (version == 7 || version == 6 || version == 5) // other versions' runtime package is not read
    EditFile(folder + "\\" + RuntimePackageSource(version),
             [&](TStringList &lines) { return PatchRuntimePackageSource(lines, version, suffix); });
}
