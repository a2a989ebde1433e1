#include "TestHost.h"
#include "TestRows.h"
#include "TestSupport.h"
#include "framework/Controls.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Resources.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"
#include "session/BuildLog.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// One environment of the sample machine built with the stand-ins into a temporary tree: the
// sources are a copy of the sample's, the environment a copy of its folders with the tools in bin.
class FullBuildTest : public ::testing::Test {
protected:
  TTempFolder root;
  // Blanks in every folder, as in "C:\Program Files": a path the tools get unquoted falls apart.
  const std::string src = root / "Quivex Src";
  const std::string destination = src + "\\Compiled Out";
  TTestHost host;
  std::string systemFolder;
  const std::string startFolder = Fs::CurrentFolder();

  FullBuildTest() {
    ResetProgramState();
    CopyTree(SourcePath("sample\\Quivex"), src);
    host.SourceFolder = src;
    host.DestinationBase = destination;
    Fs::CreateFolder(destination); // the run makes it before the builds
#ifndef _WIN32
    Fs::SetSystemFolder(root / "System32");
    Fs::CreateFolder(root / "System32");
#endif
    systemFolder = SystemFolder();
    // The tools must find their files wherever the program was started: not in the sources.
    Fs::SetCurrentFolder(root.Path());
  }
  ~FullBuildTest() override {
    Fs::SetCurrentFolder(startFolder); // the build leaves it in the sources, which go now
    // Under Wine the system folder is the prefix's own: take back the runtime packages the build
    // copied there, also when an assertion failed.
    if (!host.EnvironmentFolder.empty())
      for (const auto &name : ListFiles(host.EnvironmentFolder + "\\System\\*.bpl"))
        Fs::DeleteFile(systemFolder + "\\" + name);
    ResetProgramState();
  }

  // Installs the sample environment `name` with its tools and makes it row 0.
  void Environment(const std::string &name, bool isDelphi, bool isCLX, bool isDotNet, const char *edition,
                   int version, std::initializer_list<const char *> tools) {
    std::string folder = root / ("Borland Env\\" + name);
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
    std::string text = ReadTextFile(src + "\\" + file);
    auto at = text.find("{$DESCRIPTION '");
    if (at == std::string::npos)
      return {};
    at += 15;
    return text.substr(at, text.find("'}", at) - at);
  }
  // Builds row 0, which must fail with "Compilation aborted.", and returns the log line that
  // names the failing tool run, with the lines after it.
  std::vector<std::string> FailingBuildLog(const std::string &title) {
    try {
      BuildEnvironment(host, 0);
      ADD_FAILURE() << "no error";
    } catch (const Exception &error) {
      EXPECT_EQ(error.Message(), "Compilation aborted.");
    }
    if (!BuildLog)
      return {};
    auto line = std::find(BuildLog->begin(), BuildLog->end(), title);
    return std::vector<std::string>(line, BuildLog->end());
  }
  // Whether the current folder is the sources': a name of theirs resolves without a folder.
  static bool InSourceFolder() { return Fs::FileExists("ZelDefs.inc"); }
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
  // Products of an older build that must not be found instead of the new ones.
  const std::string rootDir = Environments[0].RootDir;
  const std::vector<std::string> stale = {src + "\\Zel77.map", rootDir + "\\lib\\Zel77.dcp",
                                          rootDir + "\\lib\\DclZel77.res", systemFolder + "\\DclZel77.bpl"};
  for (const auto &path : stale)
    WriteTextFile(path, "stale");
  Build();
  for (const auto &path : stale)
    EXPECT_FALSE(Fs::FileExists(path)) << path;
  Fs::DeleteFile(systemFolder + "\\DclZel77.bpl"); // the prefix's own folder under Wine
  EXPECT_TRUE(InSourceFolder());             // each compile runs in the source folder
  EXPECT_EQ(host.EnvironmentFolder, destination + "\\Delphi7");
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
  // The Std design packages are compiled without the BDE, so they take in no database unit.
  for (const char *package : {"DclZelStd77.bpl", "DclZelProStd77.bpl"}) {
    std::optional<std::string> info;
    std::uint32_t error = 0;
    ASSERT_TRUE(LoadDataResource(host.EnvironmentFolder + "\\Bin\\" + package, "PACKAGEINFO", info, error));
    ASSERT_TRUE(info.has_value()) << package;
    EXPECT_EQ(info->find("ZelDB"), std::string::npos) << package << ": " << *info;
  }
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
  EXPECT_EQ(host.EnvironmentFolder, destination + "\\Delphi7CLX");
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
  host.DestinationBase = destination + "Standard";
  Fs::CreateFolder(host.DestinationBase); // the run makes it before the builds
  Build();
  EXPECT_EQ(host.EnvironmentFolder, destination + "Standard\\Delphi5");
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
  EXPECT_EQ(host.EnvironmentFolder, destination + "\\BuilderC6");
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
    EXPECT_TRUE(ListFiles(src + "\\" + mask).empty()) << mask;
  EXPECT_NE(ReadTextFile(src + "\\Zel7C6.bpk").rfind("\xEF\xBB\xBF", 0), 0u);
  EXPECT_TRUE(Fs::FileExists(src + "\\Zel7C6.mak"));
  EXPECT_TRUE(InSourceFolder());
  ExpectInSystemFolder({"Zel7C6.bpl", "ZelQR7C6.bpl"}, true);
}

TEST_F(FullBuildTest, CBuilder4MakesTheProjectsThemselves) {
  Environment("CBuilder4", false, false, false, "PRO", 4, {"make", "bpr2mak"});
  Build();
  EXPECT_EQ(host.EnvironmentFolder, destination + "\\BuilderC4");
  EXPECT_EQ(Folder("System"), Packages(AllRuntimePackages, "C4"));
  EXPECT_EQ(Folder("Bin"), Packages(AllDesignPackages, "C4"));
  auto lib = Folder("Lib");
  for (const char *name : {"Zel7C4.bpi", "Zel7C4.lib", "ZelChart.obj", "ZelDefs.inc", "ZelEditChart.dfm"})
    EXPECT_TRUE(Has(lib, name)) << name;
  EXPECT_TRUE(Has(Folder("Include"), "ZelDefs.inc"));
  ExpectInSystemFolder({"Zel7C4.bpl", "ZelDB7C4.bpl", "ZelQR7C4.bpl"}, true);
  EXPECT_TRUE(ListFiles(src + "\\*.mak").empty()); // no converter ran
  ASSERT_NE(BuildLog, nullptr);
  EXPECT_EQ(std::count_if(BuildLog->begin(), BuildLog->end(),
                          [](const std::string &line) { return line.find("ZELNOSERIESDESIGN") != std::string::npos; }),
            0); // defines reach make, not the log
}

TEST_F(FullBuildTest, TheDotNetRowBuildsThreeAssembliesAndTheBitmaps) {
  Environment("BDS\\2.0", true, false, true, "CSS", 2, {"dccil"});
  Build();
  EXPECT_EQ(host.EnvironmentFolder, destination + "\\Delphi8");
  auto assemblies = Folder("Assemblies");
  for (const char *name : {"Velmora.Quivex.VCL.dll", "Velmora.Quivex.VCL.Languages.dll", "Velmora.Quivex.VCL.Design.dll"})
    EXPECT_TRUE(Has(assemblies, name)) << name;
  auto lib = Folder("Lib");
  EXPECT_TRUE(Has(lib, "ZelDefs.inc"));
  EXPECT_EQ(std::count_if(lib.begin(), lib.end(),
                          [](const std::string &n) { return n.size() > 4 && n.substr(n.size() - 4) == ".bmp"; }),
            4);
  EXPECT_FALSE(Has(lib, "ZelResou.res"));
  EXPECT_TRUE(InSourceFolder());
  EXPECT_FALSE(Fs::DirectoryExists(host.EnvironmentFolder + "\\Bin"));
  EXPECT_FALSE(Fs::DirectoryExists(host.EnvironmentFolder + "\\System"));
}

TEST_F(FullBuildTest, AFailingCompileIsLoggedAndStopsTheLaterPackages) {
  Environment("Delphi7", true, false, false, "CSS", 7, {"dcc32"});
  std::string unit = ReadTextFile(src + "\\ZelLegend.pas");
  WriteTextFile(src + "\\ZelLegend.pas", "{$MESSAGE FATAL 'broken on purpose'}\r\n" + unit);
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

TEST_F(FullBuildTest, EachFailingToolIsLoggedUnderItsOwnTitle) {
  std::string unit = ReadTextFile(src + "\\ZelLegend.pas");
  WriteTextFile(src + "\\ZelLegend.pas", "{$MESSAGE FATAL 'broken on purpose'}\r\n" + unit);
  struct TCase {
    const char *Environment;
    bool IsDelphi, IsDotNet;
    int Version;
    std::initializer_list<const char *> Tools;
    const char *Title;
  } cases[] = {
      {"CBuilder4", false, false, 4, {"make", "bpr2mak"}, "Cannot recompile C++ Builder package: Zel7C4.bpk"},
      {"CBuilder6", false, false, 6, {"make", "bpr2mak"}, "Cannot recompile C++ Builder package: Zel7C6.mak"},
      {"BDS\\2.0",
       true,
       true,
       2,
       {"dccil"},
       "Cannot recompile Quivex for Delphi for .NET package: Velmora.Quivex.VCL"},
  };
  for (const auto &c : cases) {
    BuildLog.reset();
    Environment(c.Environment, c.IsDelphi, false, c.IsDotNet, "CSS", c.Version, c.Tools);
    auto log = FailingBuildLog(c.Title);
    ASSERT_FALSE(log.empty()) << c.Title;
    EXPECT_NE(
        std::find_if(log.begin(), log.end(),
                     [](const std::string &l) { return l.find("broken on purpose") != std::string::npos; }),
        log.end())
        << c.Title;
  }
  // The converter fails on a project that is no XML at all.
  WriteTextFile(src + "\\ZelLegend.pas", unit);
  WriteTextFile(src + "\\Zel7C6.bpk", "not a project\r\n");
  BuildLog.reset();
  Environment("CBuilder6", false, false, false, "CSS", 6, {"make", "bpr2mak"});
  EXPECT_FALSE(FailingBuildLog("Cannot convert C++ Builder package Zel7C6 to makefile.").empty());
}

// The C++Builder products are gathered in a fixed order, each move failing on a missing file: with
// one package missing, exactly the packages before it have moved.
TEST_F(FullBuildTest, CBuilderProductsMoveInTheirOrderUpToTheFirstMissingOne) {
  const std::pair<const char *, const char *> order[] = {
      {"Zel7C6.bpl", "System"},    {"ZelUI7C6.bpl", "System"}, {"ZelLanguage7C6.bpl", "System"},
      {"ZelPro7C6.bpl", "System"}, {"ZelGL7C6.bpl", "System"}, {"ZelImage7C6.bpl", "System"},
      {"ZelDB7C6.bpl", "System"},  {"DclZel7C6.bpl", "Bin"},   {"DclZelStd7C6.bpl", "Bin"},
      {"DclZelPro7C6.bpl", "Bin"}, {"DclZGL7C6.bpl", "Bin"},   {"DclZelProStd7C6.bpl", "Bin"},
      {"ZelQR7C6.bpl", "System"},  {"DclZQR7C6.bpl", "Bin"},
  };
  const std::size_t count = std::size(order);
  SetRow(0, "C:\\Program Files\\Borland\\CBuilder6", false, false, false, "CSS", 6);
  for (std::size_t missing = 0; missing <= count; ++missing) {
    SCOPED_TRACE(missing < count ? order[missing].first : "none missing");
    host.SourceFolder = root / ("Products " + std::to_string(missing));
    host.DestinationBase = host.SourceFolder + "\\Compiled Out";
    SetEnvironmentNames(host, 0);
    const std::string &e = host.EnvironmentFolder;
    for (const char *folder : {"System", "Bin", "Include", "Lib"})
      Fs::ForceFolders(e + "\\" + folder);
    for (std::size_t i = 0; i < count; ++i)
      if (i != missing)
        WriteTextFile(host.SourceFolder + "\\" + order[i].first, order[i].first);
    for (const char *name :
         {"ZelChart.hpp", "ZelChart.obj", "Zel7C6.bpi", "Zel7C6.lib", "ZelChart.dcu", "Zel7C6.tds"})
      WriteTextFile(host.SourceFolder + "\\" + name, name);
    try {
      MoveCBuilderProducts(host, 0);
      EXPECT_EQ(missing, count) << "no error";
    } catch (const Exception &error) {
      ASSERT_LT(missing, count) << error.Message();
      EXPECT_EQ(error.Message(), std::string("Error moving file: ") + order[missing].first + " from " +
                                     host.SourceFolder + " to: " + e + "\\" + order[missing].second);
    }
    for (std::size_t i = 0; i < count; ++i) {
      bool moved = i < missing;
      EXPECT_EQ(Fs::FileExists(e + "\\" + order[i].second + "\\" + order[i].first), moved) << order[i].first;
      EXPECT_EQ(Fs::FileExists(host.SourceFolder + "\\" + order[i].first), !moved && i != missing)
          << order[i].first;
    }
    if (missing == count) {
      EXPECT_EQ(Folder("Include"), std::vector<std::string>{"ZelChart.hpp"});
      EXPECT_EQ(Folder("Lib"),
                (std::vector<std::string>{"Zel7C6.bpi", "Zel7C6.lib", "ZelChart.dcu", "ZelChart.obj"}));
      EXPECT_EQ(ListFiles(host.SourceFolder + "\\*.*"), TStringList{}); // the symbol tables are deleted
    }
  }
}

TEST_F(FullBuildTest, AProductMissingAfterMakeStopsTheGathering) {
  Environment("CBuilder6", false, false, false, "PRO", 6, {"make", "bpr2mak"});
  // This project builds its package under another name: make succeeds, the package is missing.
  std::string project = ReadTextFile(src + "\\DclZGL7C6.bpk");
  const std::string name = "value=\"DclZGL7C6.bpl\"";
  auto at = project.find(name);
  ASSERT_NE(at, std::string::npos);
  project.replace(at, name.size(), "value=\"DclZGL7C6x.bpl\"");
  WriteTextFile(src + "\\DclZGL7C6.bpk", project);
  try {
    BuildEnvironment(host, 0);
    FAIL() << "no error";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(),
              "Error moving file: DclZGL7C6.bpl from " + src + " to: " + destination + "\\BuilderC6\\Bin");
  }
  EXPECT_TRUE(Fs::FileExists(destination + "\\BuilderC6\\System\\Zel7C6.bpl")); // moves before it stay
}

} // namespace
