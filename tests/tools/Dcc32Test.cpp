// The stand-in Delphi compiler run as the library build runs it: the products and where they go,
// the package description, and the failures the real compiler has on a wrong compile order, a
// missing unit, search folder or package, and a fatal message.
#include "PeImage.h"
#include "Resources.h"
#include "ToolRun.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

using namespace StandIn;

// The options string of a release build, as the program passes it.
const char *const ReleaseOptions = " -Q -B -$D- -$L- -$O+ -$A+ -$C- -$Y- -$C- -$R- -$Q-    ";

std::string ResFile(const std::string &name, const std::string &data) {
  return WriteResFile({{TResourceId::Number(ResourceTypeRcData), TResourceId::Text(name), 0, data}});
}

class Dcc32Test : public ::testing::Test {
protected:
  Dcc32Test() : environment_(temp_ / "Delphi7", {"dcc32"}, {"rtl.dcp", "vcl.dcp", "designide.dcp"}) {
    for (const char *folder : {"Lib", "Bin", "System"}) {
      Fs::ForceFolders(Out() + "\\" + folder);
    }
    WriteSource("Defs.inc", "{$DEFINE ZELDEFS}\r\n");
    WriteSource("ZeEngine.pas",
                "unit ZeEngine;\r\n{$I Defs.inc}\r\ninterface\r\nuses SysUtils, Classes;\r\n"
                "{$IFDEF ZELFATAL}\r\n{$MESSAGE FATAL 'The engine cannot be built here.'}\r\n{$ENDIF}\r\n"
                "implementation\r\n{$R ZelResou.res}\r\nend.\r\n");
    WriteSource("ZelChart.pas", "unit ZelChart;\r\ninterface\r\nuses Graphics, Controls, ZeEngine;\r\n"
                                "type TZelChart = class(TCustomControl) end;\r\nimplementation\r\nend.\r\n");
    WriteSource("ZelEditor.pas",
                "unit ZelEditor;\r\ninterface\r\nuses Forms, ZelChart;\r\nimplementation\r\nend.\r\n");
    WriteSource("ZelResou.res", ResFile("ZELBITMAP", "bitmap bits"));
    WriteSource("Zel77.res", ResFile("ZELPACKAGE", "package resource"));
    WriteSource("ZelUI77.res", ResFile("ZELUIPACKAGE", "package resource"));
    WritePackage("Zel77", "{$DESCRIPTION 'Quivex 7 Components'}", "rtl, vcl",
                 "ZeEngine in 'ZeEngine.pas', ZelChart in 'ZelChart.pas'");
    WritePackage("ZelUI77", "{$DESCRIPTION 'Quivex 7 User Interface'}", "rtl, vcl, Zel77",
                 "ZelEditor in 'ZelEditor.pas'");
  }

  std::string Src() const { return temp_ / "Src"; }
  std::string Out() const { return temp_ / "Out\\Delphi7"; }
  void WriteSource(const std::string &name, const std::string &text) {
    WriteTextFile(Src() + "\\" + name, text);
  }
  void WritePackage(const std::string &name, const std::string &directives, const std::string &required,
                    const std::string &contains) {
    WriteSource(name + ".dpk", "package " + name + ";\r\n\r\n{$R *.res}\r\n" + directives +
                                   "\r\n{$RUNONLY}\r\n\r\n"
                                   "requires\r\n  " +
                                   required + ";\r\n\r\ncontains\r\n  " + contains + ";\r\n\r\nend.\r\n");
  }

  // The command line the build forms for one Delphi package (base command line, defines, the
  // package file and its output folder).
  std::string Command(const std::string &package, const std::string &subfolder = "\\System",
                      const std::string &defines = " -DZELENTERPRISE") const {
    std::string lib = Out() + "\\lib";
    return Quoted(environment_.Tool("dcc32")) + " " + ReleaseOptions + " -LN" + Quoted(lib) + " -E" +
           Quoted(Out() + "\\bin") + " -N" + Quoted(lib) + " -U" + Quoted(lib) + ";" + Quoted(Src()) + " -I" +
           Quoted(Src()) + " -R" + Quoted(Src()) + defines + " " + Quoted(Src() + "\\" + package + ".dpk") +
           " -LE" + Quoted(Out() + subfolder);
  }

  TToolRun Compile(const std::string &package, const std::string &defines = " -DZELENTERPRISE") {
    return RunTool(Command(package, "\\System", defines), Src());
  }

  TTempFolder temp_;
  TSimulatedEnvironment environment_;
};

TEST_F(Dcc32Test, WritesUnitsSymbolFileAndPackageWhereTheSwitchesSay) {
  TToolRun run = Compile("Zel77");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(FileNames(Out() + "\\Lib", "*"),
            (std::vector<std::string>{"ZeEngine.dcu", "Zel77.dcp", "ZelChart.dcu"}));
  EXPECT_EQ(FileNames(Out() + "\\System", "*"), std::vector<std::string>{"Zel77.bpl"});
  EXPECT_TRUE(FileNames(Out() + "\\Bin", "*").empty());
  EXPECT_TRUE(FileNames(Src(), "*.dcu").empty());
  EXPECT_TRUE(FileNames(Src(), "*.bpl").empty());
}

TEST_F(Dcc32Test, PrintsLikeTheRealCompiler) {
  TToolRun run = Compile("Zel77");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output.rfind(
                "Borland Delphi Version 15.0\nCopyright (c) 1983,2002 Borland Software Corporation\n", 0),
            0u)
      << run.Output;
  EXPECT_TRUE(std::regex_search(
      run.Output, std::regex(R"(\n\d+ lines, \d+\.\d\d seconds, \d+ bytes code, \d+ bytes data\.\n$)")))
      << run.Output;
}

TEST_F(Dcc32Test, ThePackageCarriesItsDescriptionAndTheResourcesOfItsUnits) {
  ASSERT_EQ(Compile("Zel77").ExitCode, 0);
  std::string package = Out() + "\\System\\Zel77.bpl";
  EXPECT_EQ(PackageDescriptionText(package), std::optional<std::string>("Quivex 7 Components"));
  std::string image = ReadTextFile(package);
  TResourceId rcData = TResourceId::Number(ResourceTypeRcData);
  EXPECT_EQ(FindPeResource(image, rcData, TResourceId::Text("ZELBITMAP")),
            std::optional<std::string>("bitmap bits"));
  EXPECT_EQ(FindPeResource(image, rcData, TResourceId::Text("ZELPACKAGE")),
            std::optional<std::string>("package resource"));
}

TEST_F(Dcc32Test, TheDescriptionIsUtf16WithItsTerminatingZero) {
  // "Quivex 7 für Delphi – €" in Windows-1252.
  WritePackage("Zel77", "{$DESCRIPTION 'Quivex 7 f\xFCr Delphi \x96 \x80'}", "rtl, vcl",
               "ZeEngine in 'ZeEngine.pas'");
  ASSERT_EQ(Compile("Zel77").ExitCode, 0);
  const std::string expected("Q\0u\0i\0v\0e\0x\0 \0"
                             "7\0 \0f\0\xFC\0r\0 \0D\0e\0l\0p\0h\0i\0 \0\x13\x20 \0\xAC\x20\0\0",
                             48);
  EXPECT_EQ(DescriptionResource(Out() + "\\System\\Zel77.bpl"), std::optional<std::string>(expected));
}

TEST_F(Dcc32Test, APackageWithoutDescriptionHasNoDescriptionResource) {
  WritePackage("Zel77", "", "rtl, vcl", "ZeEngine in 'ZeEngine.pas'");
  ASSERT_EQ(Compile("Zel77").ExitCode, 0);
  EXPECT_FALSE(DescriptionResource(Out() + "\\System\\Zel77.bpl").has_value());
}

TEST_F(Dcc32Test, APackageBuildsOnTheOneItRequires) {
  ASSERT_EQ(Compile("Zel77").ExitCode, 0);
  TToolRun run = Compile("ZelUI77");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output.find("Warning"), std::string::npos) << run.Output; // ZelChart came from Zel77.dcp
  EXPECT_EQ(FileNames(Out() + "\\Lib", "ZelEditor.dcu").size(), 1u);
  EXPECT_EQ(PackageDescriptionText(Out() + "\\System\\ZelUI77.bpl"),
            std::optional<std::string>("Quivex 7 User Interface"));
}

TEST_F(Dcc32Test, TheWrongCompileOrderFails) {
  TToolRun run = Compile("ZelUI77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("ZelUI77.dpk(8) Fatal: Required package 'Zel77' not found"), std::string::npos)
      << run.Output;
  EXPECT_TRUE(FileNames(Out() + "\\System", "*").empty());
}

TEST_F(Dcc32Test, AMissingEnvironmentPackageFailsUntilTheEnvironmentHasIt) {
  WritePackage("Zel77", "", "rtl, vcl, vcldb", "ZeEngine in 'ZeEngine.pas'");
  TToolRun run = Compile("Zel77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: Required package 'vcldb' not found"), std::string::npos) << run.Output;
  // The environment's own packages are found in the lib folder beside the compiler's bin folder.
  WriteTextFile(environment_.Lib() + "\\vcldb.dcp", "");
  EXPECT_EQ(Compile("Zel77").ExitCode, 0);
}

TEST_F(Dcc32Test, AMissingContainedUnitFails) {
  WritePackage("Zel77", "", "rtl, vcl", "ZeEngine in 'ZeEngine.pas', ZelGone in 'ZelGone.pas'");
  TToolRun run = Compile("Zel77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Zel77.dpk(11) Fatal: File not found: 'ZelGone.pas'"), std::string::npos)
      << run.Output;
  WritePackage("Zel77", "", "rtl, vcl", "ZeEngine, ZelGone");
  run = Compile("Zel77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: File not found: 'ZelGone.dcu'"), std::string::npos) << run.Output;
  EXPECT_TRUE(FileNames(Out() + "\\System", "*").empty());
}

TEST_F(Dcc32Test, AUsedUnitIsFoundOnlyOnTheSearchPath) {
  WriteTextFile(temp_ / "Extra\\ZelExtra.pas", "unit ZelExtra;\r\ninterface\r\nimplementation\r\nend.\r\n");
  WriteSource("ZelChart.pas",
              "unit ZelChart;\r\ninterface\r\nuses ZeEngine, ZelExtra;\r\nimplementation\r\nend.\r\n");
  TToolRun run = Compile("Zel77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("ZelChart.pas(3) Fatal: File not found: 'ZelExtra.dcu'"), std::string::npos)
      << run.Output;
  // With the folder on -U the unit is compiled into the package, as the real compiler does.
  run = RunTool(Command("Zel77") + " -U" + Quoted(temp_ / "Extra"), Src());
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Warning: Unit 'ZelExtra' implicitly imported into package 'Zel77'"),
            std::string::npos)
      << run.Output;
  EXPECT_EQ(FileNames(Out() + "\\Lib", "ZelExtra.dcu").size(), 1u);
}

TEST_F(Dcc32Test, AnIncludeFileNeedsItsFolder) {
  Fs::CreateFolder(temp_ / "Inc");
  Fs::MoveFile(Src() + "\\Defs.inc", temp_ / "Inc\\Defs.inc");
  TToolRun run = Compile("Zel77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("ZeEngine.pas(2) Fatal: File not found: 'Defs.inc'"), std::string::npos)
      << run.Output;
  EXPECT_EQ(RunTool(Command("Zel77") + " -I" + Quoted(temp_ / "Inc"), Src()).ExitCode, 0);
}

TEST_F(Dcc32Test, AFatalMessageFailsTheCompileWhereItsConditionHolds) {
  TToolRun run = Compile("Zel77", " -DZELENTERPRISE -DZELFATAL");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("ZeEngine.pas(6) Fatal: The engine cannot be built here."), std::string::npos)
      << run.Output;
  EXPECT_TRUE(FileNames(Out() + "\\System", "*").empty());
  EXPECT_TRUE(FileNames(Out() + "\\Lib", "*.dcp").empty());
}

TEST_F(Dcc32Test, AMissingResourceFileFails) {
  Fs::DeleteFile(Src() + "\\ZelResou.res");
  TToolRun run = Compile("Zel77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("ZeEngine.pas(9) Fatal: File not found: 'ZelResou.res'"), std::string::npos)
      << run.Output;
  WriteSource("ZelResou.res", ResFile("ZELBITMAP", "bitmap bits"));
  Fs::DeleteFile(Src() + "\\Zel77.res");
  run = Compile("Zel77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Zel77.dpk(3) Fatal: File not found: 'Zel77.res'"), std::string::npos)
      << run.Output;
}

TEST_F(Dcc32Test, AMissingPackageSource) {
  TToolRun run = RunTool(Command("Zel99"), Src());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: File not found: '" + Src() + "\\Zel99.dpk'"), std::string::npos)
      << run.Output;
}

TEST_F(Dcc32Test, APackagePathWithABlankSplitByMissingQuotesIsNotFound) {
  WriteTextFile(temp_ / "Quivex Src\\Zel77.dpk", "package Zel77;\r\nend.\r\n");
  std::string command = Quoted(environment_.Tool("dcc32")) + " -Q " + (temp_ / "Quivex Src\\Zel77.dpk") +
                        " -LE" + Quoted(Out() + "\\System");
  TToolRun run = RunTool(command, Src());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: File not found: '" + (temp_ / "Quivex.dpr'")), std::string::npos)
      << run.Output;
  // With two whole file names, the second one is refused.
  run = RunTool(Quoted(environment_.Tool("dcc32")) + " " + Quoted(Src() + "\\Zel77.dpk") + " " +
                    Quoted(Src() + "\\ZelUI77.dpk"),
                Src());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: Too many file names: '" + Src() + "\\ZelUI77.dpk'"), std::string::npos)
      << run.Output;
}

TEST_F(Dcc32Test, OutputFoldersAreNotCreated) {
  RemoveTree(Out() + "\\System");
  TToolRun run = Compile("Zel77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: Could not create output file '" + Out() + "\\System"), std::string::npos)
      << run.Output;
}

TEST_F(Dcc32Test, WithoutOutputSwitchesEverythingGoesBesideTheSources) {
  TToolRun run = RunTool(Quoted(environment_.Tool("dcc32")) + " -Q -B Zel77.dpk", Src());
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(FileNames(Src(), "*.dcu"), (std::vector<std::string>{"ZeEngine.dcu", "ZelChart.dcu"}));
  EXPECT_EQ(FileNames(Src(), "Zel77.*"),
            (std::vector<std::string>{"Zel77.bpl", "Zel77.dcp", "Zel77.dpk", "Zel77.res"}));
}

TEST_F(Dcc32Test, OptionsComeFromTheConfigurationFiles) {
  // A stale project configuration file in the source folder changes the build: the reason the
  // program deletes *.cfg there first.
  WriteSource("Zel77.cfg", "-DZELFATAL\r\n");
  EXPECT_EQ(Compile("Zel77").ExitCode, 1);
  Fs::DeleteFile(Src() + "\\Zel77.cfg");
  EXPECT_EQ(Compile("Zel77").ExitCode, 0);
  WriteTextFile(environment_.Bin() + "\\dcc32.cfg", "-DZELFATAL\r\n");
  EXPECT_EQ(Compile("Zel77").ExitCode, 1);
}

TEST_F(Dcc32Test, TheCompilerVersionDefinesItsSymbol) {
  WriteSource("ZeEngine.pas",
              "unit ZeEngine;\r\ninterface\r\n{$IFNDEF VER130}{$MESSAGE FATAL 'Delphi 5 only'}{$ENDIF}\r\n"
              "implementation\r\nend.\r\n");
  WritePackage("Zel77", "", "rtl", "ZeEngine in 'ZeEngine.pas'");
  EXPECT_EQ(Compile("Zel77").ExitCode, 1);
  environment_.SetCompilerVersion("13.0");
  TToolRun run = Compile("Zel77");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output.rfind("Borland Delphi Version 13.0\nCopyright (c) 1983,99 Inprise Corporation\n", 0),
            0u);
}

TEST_F(Dcc32Test, TheDecisionCubeBuildWritesIntoTheCurrentFolder) {
  // As the Decision Cube rebuild runs the compiler: every output switch names "." and the units
  // come from the library sources, the environment's lib folder and the output lib folder.
  ASSERT_EQ(Compile("Zel77").ExitCode, 0);
  std::string cube = temp_ / "Delphi7\\source\\Decision Cube";
  WriteTextFile(cube + "\\MXGRAPH.pas",
                "unit MXGRAPH;\r\ninterface\r\nuses Classes, ZelChart;\r\nimplementation\r\nend.\r\n");
  WriteTextFile(cube + "\\dss.dpk",
                "package dss;\r\n{$DESCRIPTION 'Decision Cube'}\r\n{$LIBSUFFIX '70'}\r\n"
                "requires\r\n  vcl,\r\n  zel77;\r\ncontains\r\n  MXGRAPH in 'MXGRAPH.pas';\r\nend.\r\n");
  std::string command = Quoted(environment_.Tool("dcc32")) + " " + ReleaseOptions +
                        " -LE\".\" -LN\".\" -E\".\" -N\".\"" + " -U" +
                        Quoted(Src() + ";" + environment_.Lib() + ";" + Out() + "\\lib") + " -I" +
                        Quoted(Out() + "\\lib") + " " + Quoted(cube + "\\dss.dpk");
  TToolRun run = RunTool(command, cube);
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(FileNames(cube, "*"),
            (std::vector<std::string>{"MXGRAPH.dcu", "MXGRAPH.pas", "dss.dcp", "dss.dpk", "dss70.bpl"}));
}

TEST_F(Dcc32Test, ThePackageNameMustMatchItsFile) {
  WriteSource("Zel77.dpk",
              "package Zel7;\r\nrequires rtl;\r\ncontains ZeEngine in 'ZeEngine.pas';\r\nend.\r\n");
  TToolRun run = Compile("Zel77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Zel77.dpk(1) Fatal: Package identifier 'Zel7' does not match file name"),
            std::string::npos)
      << run.Output;
}

TEST_F(Dcc32Test, AUnitOfARequiredPackageCannotBeContainedAgain) {
  ASSERT_EQ(Compile("Zel77").ExitCode, 0);
  WritePackage("ZelUI77", "", "rtl, vcl, Zel77", "ZelEditor in 'ZelEditor.pas', ZelChart in 'ZelChart.pas'");
  TToolRun run = Compile("ZelUI77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: Package 'Zel77' already contains unit 'ZelChart'"), std::string::npos)
      << run.Output;
}

TEST_F(Dcc32Test, CircularInterfaceUsesFail) {
  WriteSource("ZeEngine.pas", "unit ZeEngine;\r\ninterface\r\nuses ZelChart;\r\nimplementation\r\nend.\r\n");
  TToolRun run = Compile("Zel77");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: Circular unit reference to 'ZeEngine'"), std::string::npos) << run.Output;
}

TEST_F(Dcc32Test, AnUnknownSwitchFails) {
  TToolRun run = RunTool(Command("Zel77") + " -Yes", Src());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: Invalid switch: -Yes"), std::string::npos) << run.Output;
}

} // namespace
