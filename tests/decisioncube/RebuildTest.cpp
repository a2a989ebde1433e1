#include "CubeHost.h"
#include "TestRows.h"
#include "TestSupport.h"
#include "decisioncube/DecisionCubeBuild.h"
#include "decisioncube/DecisionCubeSources.h"
#include "framework/Controls.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Registry.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"
#include "session/BuildLog.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// The sample's environments and library sources in a temporary tree, the stand-in tools in the
// environments' bin folders, a registry and (natively) a system folder of the test's own.
class RebuildTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TTempFolder root;
  // Blanks in the folders, as in "C:\Program Files": a path that reaches a tool unquoted falls apart.
  const std::string src = root / "Quivex Src";
  TCubeHost host;
  std::string systemFolder;
  const std::string startFolder = Fs::CurrentFolder();
  std::vector<std::string> systemFiles; // what the test put into the system folder

  RebuildTest() {
    ResetProgramState();
#ifndef _WIN32
    Fs::SetSystemFolder(root / "System32");
    Fs::CreateFolder(root / "System32");
#endif
    systemFolder = SystemFolder();
    CopyTree(SourcePath("sample\\Quivex"), src);
    host.SourceFolder = src;
    host.DestinationBase = src + "\\Compiled";
    Fs::CreateFolder(host.DestinationBase);
  }
  ~RebuildTest() override {
    Fs::SetCurrentFolder(startFolder);
    // Under Wine the system folder is the prefix's own: what went there goes again, also when an
    // assertion failed.
    if (!host.EnvironmentFolder.empty())
      for (const auto &name : ListFiles(host.EnvironmentFolder + "\\System\\*.bpl"))
        systemFiles.push_back(name);
    for (const auto &name : systemFiles)
      Fs::DeleteFile(systemFolder + "\\" + name);
    ResetProgramState();
  }

  // The sample environment `name` with the tools in its bin folder, as row index.
  std::string Environment(int index, const std::string &name, bool isDelphi, const std::string &edition,
                          int version, std::initializer_list<const char *> tools) {
    std::string folder = root / ("Borland Env\\" + name);
    CopyTree(SourcePath("sample\\Environments\\Borland\\" + name), folder);
    for (const char *tool : tools)
      EXPECT_TRUE(Fs::CopyFile(ProgramPath(tool), folder + "\\bin\\" + tool + ".exe", false)) << tool;
    SetRow(index, folder, isDelphi, false, false, edition, version);
    return folder;
  }
  // The environment's own runtime package in the system folder, as its installation left it.
  void SystemPackage(const std::string &name) {
    ASSERT_TRUE(
        Fs::CopyFile(SourcePath("sample\\Environments\\System\\" + name), systemFolder + "\\" + name, false));
    systemFiles.push_back(name);
    systemFiles.push_back("BackupOf_" + name);
  }
  static std::string LogText() {
    std::string text;
    for (const auto &line : BuildLog ? *BuildLog : TStringList{})
      text += line + "\n";
    return text;
  }
  // Runs a step that must succeed; a failure shows the log, where the tools said why.
  template <typename TStep> void Succeeds(TStep step) {
    try {
      step();
    } catch (const Exception &error) {
      FAIL() << error.Message() << "\n" << LogText();
    }
  }
};

TEST_F(RebuildTest, NothingHappensOutsideEnterpriseWin32Environments) {
  struct TCase {
    const char *Name;
    bool IsDelphi, IsDotNet;
    const char *Edition;
    int Version;
  } cases[] = {{"Delphi 7 Professional", true, false, "PRO", 7},
               {"Delphi 7 with the edition in lower case", true, false, "css", 7},
               {"the .NET row", true, true, "CSS", 2},
               {"Delphi 4 Enterprise", true, false, "CSS", 4},
               {"C++Builder 4 Enterprise", false, false, "CSS", 4}};
  std::string folder = Environment(0, "Delphi7", true, "CSS", 7, {"dcc32"});
  const std::vector<std::string> before = ListTree(folder);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    SetRow(0, folder, c.IsDelphi, false, c.IsDotNet, c.Edition, c.Version);
    RebuildDecisionCube(host, 0);
    EXPECT_EQ(Environments[0].StatusLabel->Caption(), "");
    EXPECT_TRUE(host.Calls.empty());
    EXPECT_EQ(host.DecisionCubeFolder, "");
    EXPECT_EQ(ListTree(folder), before);
  }
  EXPECT_EQ(BuildLog, nullptr);
}

TEST_F(RebuildTest, CommandLinesOfBothTools) {
  SetRow(0, "C:\\Borland\\Delphi7", true, false, false, "CSS", 7);
  host.SourceFolder = "C:\\Quivex";
  host.DestinationBase = "C:\\Quivex\\Out";
  SetEnvironmentNames(host, 0);
  host.DecisionCubeFolder = "C:\\Borland\\Delphi7\\source\\Decision Cube";
  EXPECT_EQ(DecisionCubeCommandPrefix(host, 0),
            "\"C:\\Borland\\Delphi7\\bin\\dcc32.exe\"  -Q -B -$D- -$L- -$O+ -$A+ -$C- -$Y- -$C- -$R- -$Q-    "
            " -LE\".\" -LN\".\" -E\".\" -N\".\" "
            "-U\"C:\\Quivex;C:\\Borland\\Delphi7\\lib;C:\\Quivex\\Out\\Delphi7\\lib\""
            " -I\"C:\\Quivex\\Out\\Delphi7\\lib\" \"");

  SetRow(1, "C:\\Borland\\CBuilder6", false, false, false, "CSS", 6);
  host.DestinationBase = "C:\\Quivex\\CompiledStandard"; // a Standard edition build's base is not used
  EXPECT_EQ(DecisionCubeMakeCommand(host, 1), "\"C:\\Borland\\CBuilder6\\bin\\make.exe\" -B -DZELENTERPRISE"
                                              " -DZELINCPATH=\"C:\\Quivex\\Compiled\\BuilderC6\\Include\" "
                                              "-DZELLIBPATH=\"C:\\Quivex\\Compiled\\BuilderC6\\Lib\"");
}

TEST_F(RebuildTest, Delphi7EnterpriseRebuildsAndReplacesItsPackagesOnce) {
  const std::string rootDir = Environment(0, "Delphi7", true, "CSS", 7, {"dcc32"});
  const std::string lib = rootDir + "\\lib", bin = rootDir + "\\bin";
  const std::string cube = rootDir + "\\source\\Decision Cube";
  SystemPackage("dss70.bpl");
  Succeeds([&] { BuildEnvironment(host, 0); });
  // The environment disabled its design package, and new projects exclude it.
  const std::string disabledKey = "\\" + EnvironmentRegistryKey(0) + "\\Disabled Packages";
  {
    TRegistry registry(TRootKey::CurrentUser);
    ASSERT_TRUE(registry.OpenKey(disabledKey, true));
    registry.WriteString(bin + "\\dcldss70.bpl", "Decision Cube Components");
    registry.WriteString(bin + "\\dclother70.bpl", "Other Components");
  }
  const TStringList options = {"[Excluded Packages]", "$(DELPHI)\\Bin\\DclZel70.bpl=Chart Components",
                               "$(DELPHI)\\BIN\\DCLDSS70.BPL=Decision Cube Components", "[Directories]"};
  SaveLines(bin + "\\defproj.dof", options);
  std::vector<std::pair<std::string, std::string>> originals; // the environment's own files
  for (const char *unit : DecisionCubeUnits)
    originals.emplace_back(lib + "\\" + unit + ".dcu", ReadTextFile(lib + "\\" + unit + ".dcu"));
  originals.emplace_back(lib + "\\dss.dcp", ReadTextFile(lib + "\\dss.dcp"));
  originals.emplace_back(systemFolder + "\\dss70.bpl", ReadTextFile(systemFolder + "\\dss70.bpl"));
  originals.emplace_back(bin + "\\dcldss70.bpl", ReadTextFile(bin + "\\dcldss70.bpl"));
  host.Calls.clear();
  BuildLog.reset();

  Succeeds([&] { RebuildDecisionCube(host, 0); });
  EXPECT_EQ(host.Calls, std::vector<std::string>{"EnsureEnvironmentClosed 0 Delphi 7"});
  EXPECT_EQ(host.DecisionCubeFolder, cube);
  EXPECT_EQ(Environments[0].StatusLabel->Caption(), "Decision Cube...");
  for (const auto &[path, text] : originals) {
    std::size_t slash = path.rfind('\\');
    std::string backup = path.substr(0, slash + 1) + "BackupOf_" + path.substr(slash + 1);
    EXPECT_EQ(ReadTextFile(backup), text) << backup;
    EXPECT_NE(ReadTextFile(path), text) << path; // replaced by the compiled file
  }
  for (const char *unit : DecisionCubeUnits)
    EXPECT_EQ(ReadTextFile(lib + "\\" + unit + ".dcu"), ReadTextFile(cube + "\\" + unit + ".dcu")) << unit;
  EXPECT_EQ(ReadTextFile(lib + "\\dss.dcp"), ReadTextFile(cube + "\\dss.dcp"));
  // Real packages, built against the new library from the patched projects.
  EXPECT_EQ(PackageDescription(systemFolder + "\\dss70.bpl"), "Decision Cube Components");
  EXPECT_EQ(PackageDescription(bin + "\\dcldss70.bpl"), "Decision Cube Components (design-time)");
  EXPECT_TRUE(Fs::FileExists("MXReg.pas")); // the tools ran in the Decision Cube folder
  {
    TRegistry registry(TRootKey::CurrentUser);
    ASSERT_TRUE(registry.OpenKeyReadOnly(disabledKey));
    EXPECT_EQ(registry.GetValueNames(), std::vector<std::string>{bin + "\\dclother70.bpl"});
  }
  EXPECT_EQ(
      LoadLines(bin + "\\defproj.dof"),
      (TStringList{"[Excluded Packages]", "$(DELPHI)\\Bin\\DclZel70.bpl=Chart Components", "[Directories]"}));

  // Again: the first backups stay, the copies are made anew, the sources are patched once.
  WriteTextFile(lib + "\\MXGRAPH.dcu", "stale");
  const std::string chart = ReadTextFile(cube + "\\MXGraph.pas");
  Succeeds([&] { RebuildDecisionCube(host, 0); });
  for (const auto &[path, text] : originals) {
    std::size_t slash = path.rfind('\\');
    EXPECT_EQ(ReadTextFile(path.substr(0, slash + 1) + "BackupOf_" + path.substr(slash + 1)), text) << path;
  }
  EXPECT_EQ(ReadTextFile(lib + "\\MXGRAPH.dcu"), ReadTextFile(cube + "\\MXGRAPH.dcu"));
  EXPECT_EQ(ReadTextFile(cube + "\\MXGraph.pas"), chart);
}

TEST_F(RebuildTest, CBuilder6EnterpriseMakesBothPackagesInItsDecisionCubeFolder) {
  // The library's folders reach make as quoted macros: the source folder's blank stays inside them.
  const std::string rootDir = Environment(0, "CBuilder6", false, "CSS", 6, {"dcc32", "make", "bpr2mak"});
  const std::string bin = rootDir + "\\bin", cube = rootDir + "\\source\\Decision Cube";
  Succeeds([&] { BuildEnvironment(host, 0); });
  const std::string original = ReadTextFile(bin + "\\dcldss60.bpl");
  // Products of an earlier make that must go first.
  for (const char *name : {"dss.ilc", "dss.map", "dss.bpl", "dcldss.ild", "dcldss.lib", "dcldss.dcp"})
    WriteTextFile(cube + "\\" + name, "stale");
  WriteTextFile(systemFolder + "\\dcldss.bpl", "stale");
  systemFiles.push_back("dcldss.bpl");
  {
    TRegistry registry(TRootKey::CurrentUser);
    ASSERT_TRUE(registry.OpenKey("\\" + EnvironmentRegistryKey(0) + "\\Disabled Packages", true));
    registry.WriteString(bin + "\\dcldss60.bpl", "Decision Cube Components");
  }
  const TStringList options = {"[Excluded Packages]", "$(BCB)\\Bin\\dcldss60.bpl=Decision Cube Components"};
  SaveLines(bin + "\\defproj.dof", options);
  BuildLog.reset();

  Succeeds([&] { RebuildDecisionCube(host, 0); });
  EXPECT_EQ(PackageDescription(bin + "\\dcldss60.bpl"), "Decision Cube Components (design-time)");
  EXPECT_EQ(ReadTextFile(bin + "\\BackupOf_dcldss60.bpl"), original);
  EXPECT_EQ(PackageDescription(cube + "\\dss60.bpl"), "Decision Cube Components");
  for (const char *name : {"dss.ilc", "dss.map", "dss.bpl", "dcldss.ild", "dcldss.lib", "dcldss.dcp"})
    EXPECT_FALSE(Fs::FileExists(cube + "\\" + name)) << name;
  EXPECT_FALSE(Fs::FileExists(systemFolder + "\\dcldss.bpl"));
  EXPECT_EQ(Environments[0].StatusLabel->Caption(), "Dec.Cube... dcldss");
  ASSERT_NE(BuildLog, nullptr);
  EXPECT_EQ(std::count(BuildLog->begin(), BuildLog->end(), "dss"), 1);
  EXPECT_EQ(std::count(BuildLog->begin(), BuildLog->end(), "dcldss"), 1);
  // Nothing goes to the lib or system folder; the patched sources were backed up once.
  EXPECT_TRUE(ListFiles(rootDir + "\\lib\\BackupOf_*").empty());
  EXPECT_FALSE(Fs::FileExists(systemFolder + "\\dss60.bpl"));
  EXPECT_TRUE(Fs::FileExists(cube + "\\BackupOf_dcldss.dpk"));
  EXPECT_NE(ReadTextFile(cube + "\\dcldss.dpk").find("  dclzel7C6,\r\n"), std::string::npos);
  TRegistry registry(TRootKey::CurrentUser);
  ASSERT_TRUE(registry.OpenKeyReadOnly("\\" + EnvironmentRegistryKey(0) + "\\Disabled Packages"));
  EXPECT_TRUE(registry.GetValueNames().empty());
  // The default project options are Delphi's: a C++Builder row leaves them alone.
  EXPECT_EQ(LoadLines(bin + "\\defproj.dof"), options);
}

TEST_F(RebuildTest, AFailingCompileEndsTheRebuildBeforeAnythingIsReplaced) {
  // No library built for the environment: the patched runtime package requires a package that is
  // nowhere.
  const std::string rootDir = Environment(0, "Delphi7", true, "CSS", 7, {"dcc32"});
  const std::string unit = ReadTextFile(rootDir + "\\lib\\MXGRAPH.dcu");
  try {
    RebuildDecisionCube(host, 0);
    ADD_FAILURE() << "no error";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Compilation aborted.");
  }
  const std::string log = LogText();
  EXPECT_NE(log.find("Cannot recompile Decision Cube package: dss.dpk\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Required package 'zel77' not found"), std::string::npos) << log;
  EXPECT_EQ(ReadTextFile(rootDir + "\\lib\\MXGRAPH.dcu"), unit);
  EXPECT_FALSE(Fs::FileExists(rootDir + "\\lib\\BackupOf_MXGRAPH.dcu"));
  EXPECT_FALSE(Fs::FileExists(rootDir + "\\bin\\BackupOf_dcldss70.bpl"));
  // The sources were backed up and patched before the compile.
  EXPECT_TRUE(Fs::FileExists(rootDir + "\\source\\Decision Cube\\BackupOf_MXReg.pas"));
}

} // namespace
