#include "TestHost.h"
#include "TestSupport.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/EnvironmentNames.h"
#include "librarybuild/PackageBuilds.h"
#include "session/BuildLog.h"

#include <gtest/gtest.h>

namespace {

class CommandLineTest : public ::testing::Test {
protected:
  TTestHost host;
  CommandLineTest() {
    ResetEnvironments();
    StandardMode = false;
    host.SourceFolder = "C:\\Src";
    host.DestinationBase = "C:\\Src\\Compiled";
  }
  ~CommandLineTest() override {
    ResetEnvironments();
    StandardMode = false;
  }
  std::string Names(int index) {
    SetEnvironmentNames(host, index);
    return host.PackageSuffix + " " + host.KindName + " " + host.EnvironmentFolder;
  }
};

TEST_F(CommandLineTest, EnvironmentNamesFollowTheRow) {
  SetRow(0, "C:\\D7", true, false, false, "CSS", 7);
  SetRow(1, "C:\\D7", true, true, false, "CSS", 7);
  SetRow(2, "C:\\CB6", false, false, false, "PRO", 6);
  SetRow(3, "C:\\CB6", false, true, false, "PRO", 6);
  SetRow(4, "C:\\BDS", true, false, true, "CSS", 2);
  EXPECT_EQ(Names(0), "7 Delphi C:\\Src\\Compiled\\Delphi7");
  EXPECT_EQ(Names(1), "7CLX Delphi C:\\Src\\Compiled\\Delphi7CLX");
  EXPECT_EQ(Names(2), "C6 Builder C:\\Src\\Compiled\\BuilderC6");
  EXPECT_EQ(Names(3), "C6CLX Builder C:\\Src\\Compiled\\BuilderC6CLX");
  EXPECT_EQ(Names(4), "8 Delphi C:\\Src\\Compiled\\Delphi8");
}

TEST_F(CommandLineTest, CompilerOptionsAreTheReleaseString) {
  EXPECT_EQ(CompilerOptions(), " -Q -B -$D- -$L- -$O+ -$A+ -$C- -$Y- -$C- -$R- -$Q-    ");
  EXPECT_EQ(CompilerOptions().size(), 55u);
}

TEST_F(CommandLineTest, BaseCommandLinesOfTheExampleRows) {
  SetRow(0, "C:\\D7", true, false, false, "CSS", 7);     // Delphi 7 Enterprise
  SetRow(1, "C:\\D7", true, true, false, "STD", 7);      // its CLX row in a Standard edition
  SetRow(2, "C:\\CB4", false, false, false, "PRO", 4);   // C++Builder 4 Professional
  SetRow(3, "C:\\BDS", true, false, true, "PRO", 2);     // the .NET row
  SetRow(4, "C:\\D7", true, false, false, "css", 7);     // an edition code in lower case
  const std::string paths = " -LN\"C:\\Src\\Compiled\\Delphi7\\lib\" -E\"C:\\Src\\Compiled\\Delphi7\\bin\""
                            " -N\"C:\\Src\\Compiled\\Delphi7\\lib\" -U\"C:\\Src\\Compiled\\Delphi7\\lib\";\"C:\\Src\""
                            " -I\"C:\\Src\" -R\"C:\\Src\"";
  const std::string options = " -Q -B -$D- -$L- -$O+ -$A+ -$C- -$Y- -$C- -$R- -$Q-    ";
  SetEnvironmentNames(host, 0);
  EXPECT_EQ(CompilerDefines(0), " -DZELENTERPRISE");
  EXPECT_EQ(BaseCommandLine(host, 0), "\"C:\\D7\\bin\\dcc32.exe\" " + options + paths + " -DZELENTERPRISE");
  EXPECT_EQ(CompilerDefines(1), " -DCLX -DNOUSE_BDE");
  EXPECT_EQ(CompilerDefines(2), " -DZELNOSERIESDESIGN");
  SetEnvironmentNames(host, 2);
  EXPECT_EQ(BaseCommandLine(host, 2), "\"C:\\CB4\\bin\\make.exe\" -B -DZELNOSERIESDESIGN");
  SetEnvironmentNames(host, 3);
  EXPECT_EQ(CompilerDefines(3), " -NSBorland.VCL");
  const std::string e8 = "C:\\Src\\Compiled\\Delphi8";
  EXPECT_EQ(BaseCommandLine(host, 3), "\"C:\\BDS\\bin\\dccil.exe\" " + options + " -LN\"" + e8 + "\\lib\" -E\"" + e8 +
                                          "\\bin\" -N\"" + e8 + "\\lib\" -U\"" + e8 +
                                          "\\lib\";\"C:\\Src\" -I\"C:\\Src\" -R\"C:\\Src\" -U\"C:\\BDS\\units\""
                                          " -NSBorland.VCL");
  EXPECT_EQ(CompilerDefines(4), "");
}

TEST_F(CommandLineTest, StandardModeAddsItsDefineAfterTheEditionDefines) {
  StandardMode = true;
  SetRow(0, "C:\\D7", true, true, false, "STD", 7);
  SetRow(1, "C:\\CB4", false, false, false, "CSS", 4);
  SetRow(2, "C:\\BDS", true, false, true, "CSS", 2);
  EXPECT_EQ(CompilerDefines(0), " -DCLX -DNOUSE_BDE -DZELLITE");
  EXPECT_EQ(CompilerDefines(1), " -DZELENTERPRISE -DZELLITE -DZELNOSERIESDESIGN");
  EXPECT_EQ(CompilerDefines(2), " -DZELENTERPRISE -DZELLITE -NSBorland.VCL");
}

// Every tool's whole command line, for folders with blanks as real machines have them.
TEST_F(CommandLineTest, ToolCommandLinesAreWhollyAsStarted) {
  host.SourceFolder = "C:\\Quivex Src";
  host.DestinationBase = "D:\\Out Put";
  SetRow(0, "C:\\Program Files\\Borland\\Delphi7", true, false, false, "CSS", 7);
  SetRow(1, "C:\\Program Files\\Borland\\CBuilder6", false, false, false, "CSS", 6);
  const std::string dcc32 =
      "\"C:\\Program Files\\Borland\\Delphi7\\bin\\dcc32.exe\"  -Q -B -$D- -$L- -$O+ -$A+ -$C- "
      "-$Y- -$C- -$R- -$Q-     -LN\"D:\\Out Put\\Delphi7\\lib\" -E\"D:\\Out Put\\Delphi7\\bin\" "
      "-N\"D:\\Out Put\\Delphi7\\lib\" -U\"D:\\Out Put\\Delphi7\\lib\";\"C:\\Quivex Src\" "
      "-I\"C:\\Quivex Src\" -R\"C:\\Quivex Src\" -DZELENTERPRISE";
  SetEnvironmentNames(host, 0);
  auto packages = PackagesToBuild(host, 0);
  auto lines = PackageCommandLines(packages, BaseCommandLine(host, 0));
  ASSERT_EQ(lines.size(), 14u);
  ASSERT_EQ(packages[12].Stem, "DclZelStd7");
  EXPECT_EQ(DelphiPackageCommand(host, lines[0], "Zel77.dpk", "\\System"),
            dcc32 + " \"C:\\Quivex Src\\Zel77.dpk\" -LE\"D:\\Out Put\\Delphi7\\System\"");
  EXPECT_EQ(DelphiPackageCommand(host, lines[11], "DclZQR77.dpk", "\\Bin"),
            dcc32 + " \"C:\\Quivex Src\\DclZQR77.dpk\" -LE\"D:\\Out Put\\Delphi7\\Bin\"");
  // From the first Std design package on, the BDE is left out.
  EXPECT_EQ(DelphiPackageCommand(host, lines[12], "DclZelStd77.dpk", "\\Bin"),
            dcc32 + " -DNOUSE_BDE \"C:\\Quivex Src\\DclZelStd77.dpk\" -LE\"D:\\Out Put\\Delphi7\\Bin\"");
  EXPECT_EQ(DelphiPackageCommand(host, lines[13], "DclZelProStd77.dpk", "\\Bin"),
            dcc32 + " -DNOUSE_BDE \"C:\\Quivex Src\\DclZelProStd77.dpk\" -LE\"D:\\Out Put\\Delphi7\\Bin\"");

  SetEnvironmentNames(host, 1);
  EXPECT_EQ(MakefileConversionCommand(1, host.SourceFolder, "Zel7C6"),
            "\"C:\\Program Files\\Borland\\CBuilder6\\bin\\bpr2mak.exe\" \"C:\\Quivex Src\\Zel7C6.bpk\"");
  EXPECT_EQ(MakeCommand(BaseCommandLine(host, 1), host.SourceFolder, "Zel7C6.mak"),
            "\"C:\\Program Files\\Borland\\CBuilder6\\bin\\make.exe\" -B -DZELENTERPRISE -f\"C:\\Quivex "
            "Src\\Zel7C6.mak\"");
}

TEST_F(CommandLineTest, DotNetCommandLinesDefineTheKeyWhenTheKeyFileExists) {
  TTempFolder folder;
  const std::string src = folder / "Quivex Src";
  host.SourceFolder = src;
  host.DestinationBase = "D:\\Out Put";
  SetRow(0, "C:\\Program Files\\Borland\\BDS\\2.0", true, false, true, "CSS", 2);
  SetEnvironmentNames(host, 0);
  const std::string e = "D:\\Out Put\\Delphi8";
  const std::string expected =
      "\"C:\\Program Files\\Borland\\BDS\\2.0\\bin\\dccil.exe\"  -Q -B -$D- -$L- -$O+ -$A+ -$C- -$Y- -$C- "
      "-$R- -$Q- "
      "    -LN\"" +
      e + "\\lib\" -E\"" + e + "\\bin\" -N\"" + e + "\\lib\" -U\"" + e + "\\lib\";\"" + src + "\" -I\"" +
      src + "\" -R\"" + src +
      "\" -U\"C:\\Program Files\\Borland\\BDS\\2.0\\units\" -DZELENTERPRISE -NSBorland.VCL \"" + src +
      "\\Velmora.Quivex.VCL.dpk\" -LE\"" + e +
      "\\Assemblies\" -LUSystem.Drawing  -W-UNIT_PLATFORM -W-SYMBOL_PLATFORM ";
  EXPECT_EQ(DotNetPackageCommand(host, BaseCommandLine(host, 0), src, "Velmora.Quivex.VCL"), expected);
  WriteTextFile(src + "\\Keys\\Quivex.snk", "key");
  EXPECT_EQ(DotNetPackageCommand(host, BaseCommandLine(host, 0), src, "Velmora.Quivex.VCL"),
            expected + " -DZELKEYS");
}

std::vector<std::string> Stems(const std::vector<TLibraryPackage> &packages) {
  std::vector<std::string> stems;
  for (const auto &p : packages)
    stems.push_back(p.Stem + (p.Subfolder == "\\Bin" ? " Bin" : " System") + (p.AddNoBde ? " NOUSE_BDE" : ""));
  return stems;
}

TEST_F(CommandLineTest, ThePackageTableFollowsEditionVariantAndBuild) {
  SetRow(0, "C:\\D7", true, false, false, "CSS", 7);
  SetRow(1, "C:\\D7", true, false, false, "STD", 7);
  SetRow(2, "C:\\D7", true, true, false, "CSS", 7);
  EXPECT_EQ(Stems(PackagesToBuild(host, 0)),
            (std::vector<std::string>{"Zel7 System", "ZelUI7 System", "ZelDB7 System", "ZelPro7 System",
                                      "ZelGL7 System", "ZelImage7 System", "ZelLanguage7 System", "DclZel7 Bin",
                                      "DclZelPro7 Bin", "DclZGL7 Bin", "ZelQR7 System", "DclZQR7 Bin",
                                      "DclZelStd7 Bin NOUSE_BDE", "DclZelProStd7 Bin"}));
  EXPECT_EQ(Stems(PackagesToBuild(host, 1)),
            (std::vector<std::string>{"Zel7 System", "ZelUI7 System", "ZelPro7 System", "ZelGL7 System",
                                      "ZelImage7 System", "ZelLanguage7 System", "DclZelStd7 Bin",
                                      "DclZelProStd7 Bin", "DclZGL7 Bin"}));
  EXPECT_EQ(Stems(PackagesToBuild(host, 2)),
            (std::vector<std::string>{"Zel7 System", "ZelUI7 System", "ZelDB7 System", "ZelPro7 System",
                                      "ZelGL7 System", "ZelImage7 System", "ZelLanguage7 System", "DclZel7 Bin",
                                      "DclZelPro7 Bin", "DclZGL7 Bin"}));
  host.StandardBuild = true;
  EXPECT_EQ(Stems(PackagesToBuild(host, 0)),
            (std::vector<std::string>{"Zel7 System", "ZelUI7 System", "ZelDB7 System", "DclZel7 Bin",
                                      "ZelQR7 System", "DclZQR7 Bin", "DclZelStd7 Bin NOUSE_BDE"}));
  EXPECT_EQ(EditionSuffix(1), "Std");
  EXPECT_FALSE(StdPackagesWanted(1));
  EXPECT_FALSE(StdPackagesWanted(2));
  EXPECT_TRUE(StdPackagesWanted(0));
}

} // namespace
