#include "TestHost.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "framework/Controls.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "session/BuildLog.h"
#include "TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// One environment of the sample machine built with the stand-ins into a temporary tree: the
// sources are a copy of the sample's, the environment a copy of its folders with the tools in bin.
class FullBuildTest : public ::testing::Test {
protected:
  TTempFolder root;
  TTestHost host;
  std::string systemFolder;

  FullBuildTest() {
    ResetEnvironments();
    BuildLog.reset();
    StandardMode = false;
    CopyTree(SourcePath("sample\\Quivex"), root / "Src");
    host.SourceFolder = root / "Src";
    host.DestinationBase = root / "Src\\Compiled";
#ifndef _WIN32
    Fs::SetSystemFolder(root / "System32");
    Fs::CreateFolder(root / "System32");
#endif
    systemFolder = SystemFolder();
  }
  ~FullBuildTest() override {
    // Under Wine the system folder is the prefix's own: take back the runtime packages the build
    // copied there, also when an assertion failed.
    if (!host.EnvironmentFolder.empty())
      for (const auto &name : ListFiles(host.EnvironmentFolder + "\\System\\*.bpl"))
        Fs::DeleteFile(systemFolder + "\\" + name);
    ResetEnvironments();
    BuildLog.reset();
    StandardMode = false;
  }

  // Installs the sample environment `name` with its tools and makes it row 0.
  void Environment(const std::string &name, bool isDelphi, bool isCLX, bool isDotNet, const char *edition,
                   int version, std::initializer_list<const char *> tools) {
    std::string folder = root / ("Env\\" + name);
    CopyTree(SourcePath("sample\\Environments\\Borland\\" + name), folder);
    for (const char *tool : tools)
      ASSERT_TRUE(Fs::CopyFile(ProgramPath(tool), folder + "\\bin\\" + tool + ".exe", false)) << tool;
    SetRow(0, folder.c_str(), isDelphi, isCLX, isDotNet, edition, version);
  }

  // Builds row 0; a failure shows the log, where the tools said why.
  void Build() {
    try {
      BuildEnvironment(host, 0);
    } catch (const Exception &error) {
      std::string log;
      for (const auto &line : BuildLog ? *BuildLog : TStringList{})
        log += line + "\n";
      FAIL() << error.Message() << "\n" << log;
    }
  }

  std::vector<std::string> Folder(const std::string &subfolder) {
    return ListTree(host.EnvironmentFolder + "\\" + subfolder);
  }
  static std::vector<std::string> Packages(const std::vector<std::string> &stems, const std::string &suffix) {
    std::vector<std::string> names;
    for (const auto &stem : stems)
      names.push_back(stem + suffix + ".bpl");
    std::sort(names.begin(), names.end());
    return names;
  }
  // The text of {$DESCRIPTION '...'} in a package source of the copied sample.
  std::string DescriptionInSource(const std::string &file) {
    std::string text = ReadTextFile(root / ("Src\\" + file));
    auto at = text.find("{$DESCRIPTION '");
    if (at == std::string::npos)
      return {};
    at += 15;
    return text.substr(at, text.find("'}", at) - at);
  }
  static bool Has(const std::vector<std::string> &files, const std::string &name) {
    return std::find(files.begin(), files.end(), name) != files.end();
  }
  void ExpectInSystemFolder(std::initializer_list<std::string> names, bool present) {
    for (const auto &name : names)
      EXPECT_EQ(Fs::FileExists(systemFolder + "\\" + name), present) << name;
  }
};

const char *const BaseResources[] = {"ZelResou.res", "Quivex.res", "ZelChaEx.res", "ZelBrushes.res", "ZelBmps.res"};
const char *const ProResources[] = {"ZelProBm.res", "ZelTools.res",  "ZelNavig.res", "ZelImaPo.res",
                                    "ZelImaBa.res", "ZelGLIcon.res", "ZelFunne.res", "ZelComma.res"};
// Every package of the table, as a full edition (Delphi or C++Builder) builds them.
const std::vector<std::string> AllRuntimePackages = {"Zel7",   "ZelUI7",    "ZelDB7",       "ZelPro7",
                                                     "ZelGL7", "ZelImage7", "ZelLanguage7", "ZelQR7"};
const std::vector<std::string> AllDesignPackages = {"DclZel7", "DclZelPro7", "DclZGL7",
                                                    "DclZQR7", "DclZelStd7", "DclZelProStd7"};

TEST_F(FullBuildTest, Delphi7EnterpriseBuildsAllFourteenPackages) {
  Environment("Delphi7", true, false, false, "CSS", 7, {"dcc32"});
  Build();
  EXPECT_EQ(host.EnvironmentFolder, root / "Src\\Compiled\\Delphi7");
  EXPECT_EQ(Folder("System"), Packages(AllRuntimePackages, "7"));
  EXPECT_EQ(Folder("Bin"), Packages(AllDesignPackages, "7"));
  auto lib = Folder("Lib");
  for (const char *name : {"ZelDefs.inc", "Zel77.dcp", "Zel77.res", "DclZelProStd77.res", "ZeEngine.dcu",
                           "ZelChart.dcu", "ZelEditChart.dfm", "ZelQRIcon.res"})
    EXPECT_TRUE(Has(lib, name)) << name;
  for (const char *name : BaseResources)
    EXPECT_TRUE(Has(lib, name)) << name;
  for (const char *name : ProResources)
    EXPECT_TRUE(Has(lib, name)) << name;
  EXPECT_FALSE(Has(lib, "ZelEditChart.xfm"));
  EXPECT_FALSE(Fs::DirectoryExists(host.EnvironmentFolder + "\\Include"));
  // Every form file in the tree belongs to a compiled unit.
  for (const auto &name : lib) {
    if (name.size() > 4 && name.substr(name.size() - 4) == ".dfm") {
      EXPECT_TRUE(Has(lib, name.substr(0, name.size() - 4) + ".dcu")) << name;
    }
  }
  ExpectInSystemFolder({"Zel77.bpl", "ZelUI77.bpl", "ZelPro77.bpl", "ZelGL77.bpl", "ZelImage77.bpl",
                        "ZelLanguage77.bpl", "ZelDB77.bpl", "ZelQR77.bpl"},
                       true);
  EXPECT_EQ(host.Calls, std::vector<std::string>{"BeforeCompile 0"});
  // The packages are real modules: their descriptions read back as the package sources state them.
  EXPECT_EQ(PackageDescription(host.EnvironmentFolder + "\\Bin\\DclZel77.bpl"), DescriptionInSource("DclZel77.dpk"));
  EXPECT_FALSE(DescriptionInSource("DclZel77.dpk").empty());
  // The log: per package its name, the compiler's lines and the dashes.
  ASSERT_NE(BuildLog, nullptr);
  EXPECT_EQ(BuildLog->front(), "Zel77");
  EXPECT_EQ(std::count(BuildLog->begin(), BuildLog->end(), std::string(80, '-')), 14);
  EXPECT_EQ(Environments[0].StatusLabel->Caption(), "Copying files...");
}

TEST_F(FullBuildTest, TheCLXRowBuildsTenPackagesWithItsOwnFormFiles) {
  Environment("Delphi7", true, true, false, "CSS", 7, {"dcc32"});
  host.Install = true;
  Build();
  EXPECT_EQ(host.EnvironmentFolder, root / "Src\\Compiled\\Delphi7CLX");
  EXPECT_EQ(Folder("System"), Packages({"Zel7", "ZelUI7", "ZelDB7", "ZelPro7", "ZelGL7", "ZelImage7",
                                        "ZelLanguage7"}, "7CLX"));
  EXPECT_EQ(Folder("Bin"), Packages({"DclZel7", "DclZelPro7", "DclZGL7"}, "7CLX"));
  auto lib = Folder("Lib");
  EXPECT_TRUE(Has(lib, "ZelEditChart.xfm"));
  EXPECT_FALSE(Has(lib, "ZelEditChart.dfm"));
  EXPECT_FALSE(Has(lib, "ZelQRIcon.res"));
  EXPECT_EQ(host.Calls, (std::vector<std::string>{"EnsureEnvironmentClosed Delphi 7CLX", "BeforeCompile 0"}));
  ExpectInSystemFolder({"Zel77CLX.bpl", "ZelDB77CLX.bpl"}, true);
  ExpectInSystemFolder({"ZelQR77CLX.bpl"}, false);
}

TEST_F(FullBuildTest, AStandardEditionBuildsItsStdPackagesWithoutDatabaseOnes) {
  Environment("Delphi6", true, false, false, "STD", 6, {"dcc32"});
  Build();
  EXPECT_EQ(Folder("System"), Packages({"Zel7", "ZelUI7", "ZelPro7", "ZelGL7", "ZelImage7", "ZelLanguage7"}, "6"));
  EXPECT_EQ(Folder("Bin"), Packages({"DclZelStd7", "DclZelProStd7", "DclZGL7"}, "6"));
  ExpectInSystemFolder({"Zel76.bpl", "ZelLanguage76.bpl"}, true);
  ExpectInSystemFolder({"ZelDB76.bpl", "ZelQR76.bpl"}, false);
  EXPECT_NE(host.LastBaseCommandLine.find(" -DNOUSE_BDE"), std::string::npos);
}

TEST_F(FullBuildTest, AStandardEditionBuildSkipsTheProfessionalPackages) {
  Environment("Delphi5", true, false, false, "PRO", 5, {"dcc32"});
  host.StandardBuild = true;
  StandardMode = true;
  host.DestinationBase = root / "Src\\CompiledStandard";
  Fs::CreateFolder(host.DestinationBase); // the run makes it before the builds
  Build();
  EXPECT_EQ(host.EnvironmentFolder, root / "Src\\CompiledStandard\\Delphi5");
  EXPECT_EQ(Folder("System"), Packages({"Zel7", "ZelUI7", "ZelDB7", "ZelQR7"}, "5"));
  EXPECT_EQ(Folder("Bin"), Packages({"DclZel7", "DclZQR7", "DclZelStd7"}, "5"));
  auto lib = Folder("Lib");
  for (const char *name : ProResources)
    EXPECT_FALSE(Has(lib, name)) << name;
  EXPECT_TRUE(Has(lib, "ZelQRIcon.res"));
  ExpectInSystemFolder({"Zel75.bpl", "ZelUI75.bpl", "ZelDB75.bpl", "ZelQR75.bpl"}, true);
  ExpectInSystemFolder({"ZelPro75.bpl"}, false);
}

TEST_F(FullBuildTest, CBuilder6ConvertsEveryPackageAndGathersTheProducts) {
  Environment("CBuilder6", false, false, false, "CSS", 6, {"make", "bpr2mak"});
  Build();
  EXPECT_EQ(host.EnvironmentFolder, root / "Src\\Compiled\\BuilderC6");
  EXPECT_EQ(Folder("System"), Packages(AllRuntimePackages, "C6"));
  EXPECT_EQ(Folder("Bin"), Packages(AllDesignPackages, "C6"));
  auto include = Folder("Include");
  EXPECT_TRUE(Has(include, "ZelDefs.inc"));
  EXPECT_TRUE(Has(include, "ZelChart.hpp"));
  auto lib = Folder("Lib");
  for (const char *name : {"Zel7C6.bpi", "Zel7C6.lib", "ZelChart.obj", "ZelChart.dcu", "ZelDefs.inc"})
    EXPECT_TRUE(Has(lib, name)) << name;
  // The source folder keeps no product, and the project saved with a byte order mark lost it.
  for (const char *mask : {"*.bpl", "*.hpp", "*.obj", "*.tds", "*.il?", "*.bpi", "*.lib", "*.dcu"})
    EXPECT_TRUE(ListFiles(root / ("Src\\" + std::string(mask))).empty()) << mask;
  EXPECT_NE(ReadTextFile(root / "Src\\Zel7C6.bpk").rfind("\xEF\xBB\xBF", 0), 0u);
  EXPECT_TRUE(Fs::FileExists(root / "Src\\Zel7C6.mak"));
  ExpectInSystemFolder({"Zel7C6.bpl", "ZelQR7C6.bpl"}, true);
}

TEST_F(FullBuildTest, CBuilder4MakesTheProjectsThemselves) {
  Environment("CBuilder4", false, false, false, "PRO", 4, {"make", "bpr2mak"});
  Build();
  EXPECT_EQ(host.EnvironmentFolder, root / "Src\\Compiled\\BuilderC4");
  EXPECT_EQ(Folder("System"), Packages(AllRuntimePackages, "C4"));
  EXPECT_EQ(Folder("Bin"), Packages(AllDesignPackages, "C4"));
  auto lib = Folder("Lib");
  for (const char *name : {"Zel7C4.bpi", "Zel7C4.lib", "ZelChart.obj", "ZelDefs.inc", "ZelEditChart.dfm"})
    EXPECT_TRUE(Has(lib, name)) << name;
  EXPECT_TRUE(Has(Folder("Include"), "ZelDefs.inc"));
  ExpectInSystemFolder({"Zel7C4.bpl", "ZelDB7C4.bpl", "ZelQR7C4.bpl"}, true);
  EXPECT_TRUE(ListFiles(root / "Src\\*.mak").empty()); // no converter ran
  ASSERT_NE(BuildLog, nullptr);
  EXPECT_EQ(std::count_if(BuildLog->begin(), BuildLog->end(),
                          [](const std::string &line) { return line.find("ZELNOSERIESDESIGN") != std::string::npos; }),
            0); // defines reach make, not the log
}

TEST_F(FullBuildTest, TheDotNetRowBuildsThreeAssembliesAndTheBitmaps) {
  Environment("BDS\\2.0", true, false, true, "CSS", 2, {"dccil"});
  Build();
  EXPECT_EQ(host.EnvironmentFolder, root / "Src\\Compiled\\Delphi8");
  auto assemblies = Folder("Assemblies");
  for (const char *name : {"Velmora.Quivex.VCL.dll", "Velmora.Quivex.VCL.Languages.dll", "Velmora.Quivex.VCL.Design.dll"})
    EXPECT_TRUE(Has(assemblies, name)) << name;
  auto lib = Folder("Lib");
  EXPECT_TRUE(Has(lib, "ZelDefs.inc"));
  EXPECT_EQ(std::count_if(lib.begin(), lib.end(),
                          [](const std::string &n) { return n.size() > 4 && n.substr(n.size() - 4) == ".bmp"; }),
            4);
  EXPECT_FALSE(Has(lib, "ZelResou.res"));
  EXPECT_FALSE(Fs::DirectoryExists(host.EnvironmentFolder + "\\Bin"));
  EXPECT_FALSE(Fs::DirectoryExists(host.EnvironmentFolder + "\\System"));
}

TEST_F(FullBuildTest, AFailingCompileIsLoggedAndStopsTheLaterPackages) {
  Environment("Delphi7", true, false, false, "CSS", 7, {"dcc32"});
  std::string unit = ReadTextFile(root / "Src\\ZelLegend.pas");
  WriteTextFile(root / "Src\\ZelLegend.pas", "{$MESSAGE FATAL 'broken on purpose'}\r\n" + unit);
  try {
    BuildEnvironment(host, 0);
    FAIL() << "no error";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Compilation aborted.");
  }
  ASSERT_NE(BuildLog, nullptr);
  auto title = std::find(BuildLog->begin(), BuildLog->end(), "Cannot recompile Delphi package: Zel77.dpk");
  ASSERT_NE(title, BuildLog->end());
  EXPECT_EQ(*(title - 1), ""); // an empty line before the title
  EXPECT_NE(std::find_if(title, BuildLog->end(),
                         [](const std::string &l) { return l.find("broken on purpose") != std::string::npos; }),
            BuildLog->end());
  EXPECT_TRUE(Folder("System").empty());
  EXPECT_EQ(std::count(BuildLog->begin(), BuildLog->end(), "ZelUI77"), 0); // later packages were not built
}

TEST_F(FullBuildTest, AProductMissingAfterMakeStopsTheGathering) {
  Environment("CBuilder6", false, false, false, "PRO", 6, {"make", "bpr2mak"});
  // This project builds its package under another name: make succeeds, the package is missing.
  std::string project = ReadTextFile(root / "Src\\DclZGL7C6.bpk");
  const std::string name = "value=\"DclZGL7C6.bpl\"";
  auto at = project.find(name);
  ASSERT_NE(at, std::string::npos);
  project.replace(at, name.size(), "value=\"DclZGL7C6x.bpl\"");
  WriteTextFile(root / "Src\\DclZGL7C6.bpk", project);
  try {
    BuildEnvironment(host, 0);
    FAIL() << "no error";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Error moving file: DclZGL7C6.bpl from " + (root / "Src") + " to: " +
                                   (root / "Src\\Compiled\\BuilderC6\\Bin"));
  }
  EXPECT_TRUE(Fs::FileExists(root / "Src\\Compiled\\BuilderC6\\System\\Zel7C6.bpl")); // moves before it stay
}

} // namespace
