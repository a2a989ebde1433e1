// The stand-in .NET compiler run as the .NET package build runs it.
#include "PeImage.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

namespace {

const char *const ReleaseOptions = " -Q -B -$D- -$L- -$O+ -$A+ -$C- -$Y- -$C- -$R- -$Q-    ";

class DccIlTest : public ::testing::Test {
protected:
  DccIlTest() : environment_(temp_ / "BDS\\2.0", {"dccil"}, {}) {
    for (const char *unit : {"Borland.Delphi.dcpil", "Borland.Vcl.dcpil", "System.Drawing.dll"}) {
      WriteTextFile(environment_.Root() + "\\units\\" + unit, "");
    }
    Fs::ForceFolders(Out() + "\\Lib");
    WriteSource("ZeEngine.pas", "unit ZeEngine;\r\ninterface\r\nuses SysUtils, Classes, Graphics;\r\n"
                                "implementation\r\n{$IFNDEF CLR}{$R ZelResou.res}{$ENDIF}\r\nend.\r\n");
    WriteSource("Velmora.Quivex.VCL.dpk", "package Velmora.Quivex.VCL;\r\n{$DESCRIPTION 'Quivex 7 for "
                                          ".NET'}\r\nrequires\r\n  Borland.Delphi,\r\n"
                                          "  Borland.Vcl;\r\ncontains\r\n  ZeEngine in 'ZeEngine.pas';\r\n"
                                          "[assembly: AssemblyVersion('7.0.0.0')]\r\n{$IFDEF "
                                          "ZELKEYS}\r\n[assembly: AssemblyKeyFile('Keys\\Quivex.snk')]\r\n"
                                          "{$ENDIF}\r\nend.\r\n");
  }

  std::string Src() const { return temp_ / "Src"; }
  std::string Out() const { return temp_ / "Out\\Delphi8"; }
  void WriteSource(const std::string &name, const std::string &text) {
    WriteTextFile(Src() + "\\" + name, text);
  }

  // The command line of the .NET package build, with or without the namespace switch.
  std::string Command(const std::string &package, bool keys,
                      const std::string &namespaces = " -NSBorland.VCL") const {
    std::string lib = Out() + "\\lib";
    Fs::ForceFolders(Out() + "\\Assemblies");
    return Quoted(environment_.Tool("dccil")) + " " + ReleaseOptions + " -LN" + Quoted(lib) + " -E" +
           Quoted(Out() + "\\bin") + " -N" + Quoted(lib) + " -U" + Quoted(lib) + ";" + Quoted(Src()) + " -I" +
           Quoted(Src()) + " -R" + Quoted(Src()) + " -U" + Quoted(environment_.Root() + "\\units") + namespaces +
           " " + Quoted(Src() + "\\" + package + ".dpk") + " -LE" + Quoted(Out() + "\\Assemblies") +
           " -LUSystem.Drawing  -W-UNIT_PLATFORM -W-SYMBOL_PLATFORM " + (keys ? " -DZELKEYS" : "");
  }

  TTempFolder temp_;
  TSimulatedEnvironment environment_;
};

TEST_F(DccIlTest, WritesUnitsSymbolFileAndAssembly) {
  TToolRun run = RunTool(Command("Velmora.Quivex.VCL", false), Src());
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output.rfind("Borland Delphi for Microsoft .NET compiler version 16.0\n", 0), 0u)
      << run.Output;
  EXPECT_EQ(FileNames(Out() + "\\Lib", "*"),
            (std::vector<std::string>{"Velmora.Quivex.VCL.dcpil", "ZeEngine.dcuil"}));
  EXPECT_EQ(FileNames(Out() + "\\Assemblies", "*"), std::vector<std::string>{"Velmora.Quivex.VCL.dll"});
  EXPECT_TRUE(StandIn::IsPeImage(ReadTextFile(Out() + "\\Assemblies\\Velmora.Quivex.VCL.dll")));
}

TEST_F(DccIlTest, VclUnitsNeedTheirNamespace) {
  TToolRun run = RunTool(Command("Velmora.Quivex.VCL", false, ""), Src());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("ZeEngine.pas(3) Fatal: File not found: 'SysUtils.dcuil'"), std::string::npos)
      << run.Output;
}

TEST_F(DccIlTest, APackageToCompileAgainstMustBeThere) {
  Fs::DeleteFile(environment_.Root() + "\\units\\System.Drawing.dll");
  TToolRun run = RunTool(Command("Velmora.Quivex.VCL", false), Src());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: Required package 'System.Drawing' not found"), std::string::npos)
      << run.Output;
}

TEST_F(DccIlTest, TheKeyFileIsReadWhenKeysAreOn) {
  TToolRun run = RunTool(Command("Velmora.Quivex.VCL", true), Src());
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Velmora.Quivex.VCL.dpk(10) Fatal: Error reading key file 'Keys\\Quivex.snk'"),
            std::string::npos)
      << run.Output;
  WriteTextFile(Src() + "\\Keys\\Quivex.snk", std::string("\x07\x02\x00\x00\x00\x24\x00\x00RSA2", 12));
  run = RunTool(Command("Velmora.Quivex.VCL", true), Src());
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
}

} // namespace
