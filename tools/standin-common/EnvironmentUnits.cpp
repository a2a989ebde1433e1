#include "EnvironmentUnits.h"

#include "StandInFiles.h"

#include <map>

namespace StandIn {

namespace {

struct TVersions {
  double First;
  double Last;
};

constexpr double Any = 0;
constexpr double Never = 1000;

// Delphi 6 (compiler 14.0) split the design-time interfaces out of DsgnIntf, brought Variants,
// Types, StrUtils and DateUtils into the runtime library, and added the CLX units (Q...).
const std::map<std::string, TVersions> &Units() {
  static const std::map<std::string, TVersions> units = [] {
    std::map<std::string, TVersions> table;
    for (const char *name :
         {"SYSTEM",   "SYSINIT",  "SYSUTILS", "CLASSES",  "WINDOWS",  "MESSAGES", "MATH",     "TYPINFO",
          "CONTNRS",  "INIFILES", "REGISTRY", "SYNCOBJS", "ACTIVEX",  "COMOBJ",   "SHELLAPI", "SHLOBJ",
          "COMMCTRL", "RICHEDIT", "MMSYSTEM", "CONSTS",   "SYSCONST", "GRAPHICS", "CONTROLS", "FORMS",
          "DIALOGS",  "STDCTRLS", "EXTCTRLS", "COMCTRLS", "BUTTONS",  "MENUS",    "PRINTERS", "CLIPBRD",
          "GRIDS",    "IMGLIST",  "ACTNLIST", "EXTDLGS",  "SPIN",     "CHECKLST", "MASK",     "TABS",
          "TOOLWIN",  "FILECTRL", "OLECTRLS", "AXCTRLS",  "JPEG",     "OPENGL",   "DB",       "DBTABLES",
          "DBCTRLS",  "DBGRIDS",  "BDE",      "DBCLIENT", "PROVIDER", "ADODB",    "QUICKRPT", "QRCTRLS",
          "QRPRNTR",  "TOOLSAPI", "EXPTINTF", "EDITINTF", "COLNEDIT", "ZLIB"}) {
      table[name] = {Any, Never};
    }
    table["DSGNINTF"] = {Any, 13.9};
    for (const char *name :
         {"VARIANTS",   "TYPES",         "STRUTILS",   "DATEUTILS",   "RTLCONSTS", "VARUTILS",
          "DESIGNINTF", "DESIGNEDITORS", "VCLEDITORS", "DESIGNMENUS", "TREEINTF",  "QT",
          "QTYPES",     "QGRAPHICS",     "QCONTROLS",  "QFORMS",      "QDIALOGS",  "QSTDCTRLS",
          "QEXTCTRLS",  "QCOMCTRLS",     "QBUTTONS",   "QMENUS",      "QPRINTERS", "QCLIPBRD",
          "QGRIDS",     "QIMGLIST",      "QACTNLIST",  "QDBCTRLS",    "CLXEDITORS"}) {
      table[name] = {14.0, Never};
    }
    return table;
  }();
  return units;
}

bool IsWin32Unit(const std::string &upperName, double version) {
  auto found = Units().find(upperName);
  return found != Units().end() && version >= found->second.First && version <= found->second.Last;
}

} // namespace

bool IsEnvironmentUnit(const std::string &name, TTargetKind target, double compilerVersion) {
  std::string upper = UpperCase(name);
  if (target == TTargetKind::Win32) {
    return IsWin32Unit(upper, compilerVersion);
  }
  // .NET: the framework's own namespaces come from the assemblies the compiler references; the
  // runtime library lives in Borland.Delphi (System, SysInit) and Borland.Vcl (the rest).
  if (StartsWithText(upper, "SYSTEM.") || StartsWithText(upper, "MICROSOFT.")) {
    return true;
  }
  if (upper == "SYSTEM" || upper == "SYSINIT" || upper == "BORLAND.DELPHI.SYSTEM" ||
      upper == "BORLAND.DELPHI.SYSINIT") {
    return true;
  }
  const std::string vcl = "BORLAND.VCL.";
  if (StartsWithText(upper, vcl)) {
    std::string rest = upper.substr(vcl.size());
    return rest.find('.') == std::string::npos && IsWin32Unit(rest, Never - 1);
  }
  return false;
}

} // namespace StandIn
