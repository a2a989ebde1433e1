// The C++Builder stand-ins: bpr2mak converting a project into a makefile, and make building the
// package the makefile describes into the source folder.
#include "PeImage.h"
#include "Resources.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

namespace {

using namespace StandIn;

std::string XmlProject(const std::string &project, const std::string &objects, const std::string &packages,
                       const std::string &description) {
  return "<?xml version='1.0' encoding='utf-8' ?>\r\n<!-- C++Builder XML Project -->\r\n<PROJECT>\r\n  "
         "<MACROS>\r\n"
         "    <VERSION value=\"BCB.06.00\"/>\r\n    <PROJECT value=\"" +
         project +
         ".bpl\"/>\r\n"
         "    <OBJFILES value=\"" +
         objects + "\"/>\r\n    <RESFILES value=\"" + project +
         ".res\"/>\r\n"
         "    <PACKAGES value=\"" +
         packages +
         "\"/>\r\n    <PATHCPP value=\".;\"/>\r\n    <PATHPAS value=\".;\"/>\r\n"
         "    <USERDEFINES value=\"\"/>\r\n    <SYSDEFINES value=\"NO_STRICT;_RTLDLL;USEPACKAGES\"/>\r\n"
         "    <LIBPATH value=\"$(BCB)\\lib\\obj;$(BCB)\\lib\"/>\r\n  </MACROS>\r\n  <OPTIONS>\r\n"
         "    <PFLAGS value=\"-$Y- -$L- -$D- -v -JPHNE -M\"/>\r\n"
         "    <LFLAGS value=\"-D&quot;" +
         description +
         "&quot; -aa -Tpp -Gpr -x -Gn -Gl -Gi\"/>\r\n  </OPTIONS>\r\n"
         "  <LINKER>\r\n    <ALLRES value=\"$(RESFILES)\"/>\r\n  </LINKER>\r\n</PROJECT>\r\n";
}

class CBuilderToolsTest : public ::testing::Test {
protected:
  CBuilderToolsTest() : environment_(temp_ / "CBuilder6", {"bpr2mak", "make"}, {"rtl.bpi", "vcl.bpi"}) {
    environment_.SetCompilerVersion("14.0");
    WriteSource("ZeEngine.pas",
                "unit ZeEngine;\r\ninterface\r\nuses SysUtils, Classes;\r\n"
                "{$IFDEF CLX}{$MESSAGE FATAL 'Not for CLX'}{$ENDIF}\r\nimplementation\r\nend.\r\n");
    WriteSource("ZelChart.pas",
                "unit ZelChart;\r\ninterface\r\nuses Controls, ZeEngine;\r\nimplementation\r\n"
                "{$R ZelChart.dfm}\r\nend.\r\n");
    WriteSource("ZelChart.dfm", "object ZelChartForm: TZelChartForm\r\nend\r\n");
    WriteSource("ZelEditor.pas",
                "unit ZelEditor;\r\ninterface\r\nuses ZelChart;\r\nimplementation\r\nend.\r\n");
    WriteSource("Zel7C6.cpp", "#include <basepch.h>\r\n#pragma package(smart_init)\r\n");
    WriteSource("ZelUI7C6.cpp", "#include <basepch.h>\r\n#pragma package(smart_init)\r\n");
    for (const char *resource : {"Zel7C6.res", "ZelUI7C6.res"}) {
      WriteSource(resource,
                  WriteResFile({{TResourceId::Number(16), TResourceId::Number(1), 0x409, "version"}}));
    }
    WriteSource("Zel7C6.bpk", XmlProject("Zel7C6", "Zel7C6.obj ZeEngine.obj ZelChart.obj", "rtl.bpi vcl.bpi",
                                         "Quivex 7 Components"));
    WriteSource("ZelUI7C6.bpk", XmlProject("ZelUI7C6", "ZelUI7C6.obj ZelEditor.obj",
                                           "rtl.bpi vcl.bpi Zel7C6.bpi", "Quivex 7 User Interface"));
  }

  std::string Src() const { return temp_ / "Src"; }
  void WriteSource(const std::string &name, const std::string &text) {
    WriteTextFile(Src() + "\\" + name, text);
  }

  TToolRun Convert(const std::string &project) {
    return RunTool(Quoted(environment_.Tool("bpr2mak")) + " " + Quoted(Src() + "\\" + project + ".bpk"),
                   temp_.Path());
  }
  // make as the C++Builder package build runs it, in the source folder.
  TToolRun Make(const std::string &makefile, const std::string &defines = " -DZELENTERPRISE") {
    return RunTool(
        Quoted(environment_.Tool("make")) + " -B" + defines + " -f" + Quoted(Src() + "\\" + makefile), Src());
  }

  TTempFolder temp_;
  TSimulatedEnvironment environment_;
};

TEST_F(CBuilderToolsTest, Bpr2MakWritesTheMakefileBesideTheProject) {
  TToolRun run = Convert("Zel7C6");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Generating Makefile"), std::string::npos) << run.Output;
  std::string makefile = ReadTextFile(Src() + "\\Zel7C6.mak");
  EXPECT_NE(makefile.find("PROJECT = Zel7C6.bpl\r\n"), std::string::npos);
  EXPECT_NE(makefile.find("LFLAGS = -D\"Quivex 7 Components\" -aa"), std::string::npos);
}

TEST_F(CBuilderToolsTest, Bpr2MakCannotReadAProjectWithAByteOrderMark) {
  WriteSource("Zel7C6.bpk", "\xEF\xBB\xBF" + ReadTextFile(Src() + "\\Zel7C6.bpk"));
  TToolRun run = Convert("Zel7C6");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Zel7C6.bpk' (line 1, column 1): expected '<'"), std::string::npos) << run.Output;
  EXPECT_FALSE(FileExists(Src() + "\\Zel7C6.mak"));
}

TEST_F(CBuilderToolsTest, Bpr2MakOnAMissingProject) {
  TToolRun run = Convert("Zel99");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Error: Unable to open project file"), std::string::npos) << run.Output;
}

TEST_F(CBuilderToolsTest, MakeLeavesEveryProductInTheSourceFolder) {
  ASSERT_EQ(Convert("Zel7C6").ExitCode, 0);
  TToolRun run = Make("Zel7C6.mak");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output.rfind("MAKE Version 5.2", 0), 0u) << run.Output;
  EXPECT_NE(run.Output.find("Turbo Incremental Link"), std::string::npos) << run.Output;
  EXPECT_EQ(FileNames(Src(), "Zel7C6.*"),
            (std::vector<std::string>{"Zel7C6.bpi", "Zel7C6.bpk", "Zel7C6.bpl", "Zel7C6.cpp", "Zel7C6.ilc",
                                      "Zel7C6.ild", "Zel7C6.ilf", "Zel7C6.ils", "Zel7C6.lib", "Zel7C6.mak",
                                      "Zel7C6.obj", "Zel7C6.res", "Zel7C6.tds"}));
  EXPECT_EQ(FileNames(Src(), "*.obj"),
            (std::vector<std::string>{"ZeEngine.obj", "Zel7C6.obj", "ZelChart.obj"}));
  EXPECT_EQ(FileNames(Src(), "*.hpp"), (std::vector<std::string>{"ZeEngine.hpp", "ZelChart.hpp"}));
  EXPECT_EQ(FileNames(Src(), "*.dcu"), (std::vector<std::string>{"ZeEngine.dcu", "ZelChart.dcu"}));
  EXPECT_EQ(PackageDescriptionText(Src() + "\\Zel7C6.bpl"),
            std::optional<std::string>("Quivex 7 Components"));
  std::string image = ReadTextFile(Src() + "\\Zel7C6.bpl");
  EXPECT_TRUE(
      FindPeResource(image, TResourceId::Number(ResourceTypeRcData), TResourceId::Text("TZELCHARTFORM")));
  EXPECT_EQ(FindPeResource(image, TResourceId::Number(16), TResourceId::Number(1)),
            std::optional<std::string>("version"));
}

TEST_F(CBuilderToolsTest, ThePackageThatRequiresAnotherNeedsItsImportLibrary) {
  ASSERT_EQ(Convert("ZelUI7C6").ExitCode, 0);
  TToolRun run = Make("ZelUI7C6.mak");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: Unable to open file 'ZEL7C6.BPI'"), std::string::npos) << run.Output;
  EXPECT_FALSE(FileExists(Src() + "\\ZelUI7C6.bpl"));
  ASSERT_EQ(Convert("Zel7C6").ExitCode, 0);
  ASSERT_EQ(Make("Zel7C6.mak").ExitCode, 0);
  run = Make("ZelUI7C6.mak");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(PackageDescriptionText(Src() + "\\ZelUI7C6.bpl"),
            std::optional<std::string>("Quivex 7 User Interface"));
}

TEST_F(CBuilderToolsTest, DefinesOnMakesCommandLineReachThePascalUnits) {
  ASSERT_EQ(Convert("Zel7C6").ExitCode, 0);
  TToolRun run = Make("Zel7C6.mak", " -DCLX");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("ZeEngine.pas(4) Fatal: Not for CLX"), std::string::npos) << run.Output;
  EXPECT_FALSE(FileExists(Src() + "\\Zel7C6.bpl"));
}

TEST_F(CBuilderToolsTest, ACBuilder4ProjectIsItsOwnMakefile) {
  environment_.SetCompilerVersion("12.0");
  WriteTextFile(environment_.Lib() + "\\vcl40.bpi", "");
  WriteSource("Zel7C4.res", ReadTextFile(Src() + "\\Zel7C6.res"));
  WriteSource("Zel7C4.cpp", "#include <vcl.h>\r\n");
  WriteSource("Zel7C4.bpk",
              "!if !$d(BCB)\r\nBCB = $(MAKEDIR)\\..\r\n!endif\r\nVERSION = BCB.04.04\r\n"
              "PROJECT = Zel7C4.bpl\r\nOBJFILES = Zel7C4.obj ZeEngine.obj\r\nRESFILES = Zel7C4.res\r\n"
              "PACKAGES = vcl40.bpi\r\nPATHPAS = .;\r\nPATHCPP = .;\r\nLIBPATH = $(BCB)\\lib\r\n"
              "LFLAGS = -D\"Quivex 7 Components\" -aa -Tpp -Gpr -x -Gn -Gl -Gi\r\n"
              "$(PROJECT): $(OBJFILES)\r\n    $(BCB)\\BIN\\ilink32 @&&!\r\n    $(LFLAGS)\r\n!\r\n");
  TToolRun run = Make("Zel7C4.bpk", " -DZELNOSERIESDESIGN");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Borland Delphi Version 12.0"), std::string::npos) << run.Output;
  EXPECT_EQ(PackageDescriptionText(Src() + "\\Zel7C4.bpl"),
            std::optional<std::string>("Quivex 7 Components"));
  EXPECT_TRUE(FileExists(Src() + "\\Zel7C4.bpi"));
}

TEST_F(CBuilderToolsTest, MakeFailures) {
  TToolRun run = Make("None.mak");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: Unable to open makefile"), std::string::npos) << run.Output;

  WriteSource("Gone.mak", "PROJECT = Gone.bpl\r\nOBJFILES = Gone.obj ZelMissing.obj\r\n");
  WriteSource("Gone.cpp", "");
  run = Make("Gone.mak");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: 'ZelMissing.obj' does not exist - don't know how to make it"),
            std::string::npos)
      << run.Output;

  WriteSource("NoRes.mak", "PROJECT = NoRes.bpl\r\nOBJFILES = ZeEngine.obj\r\nRESFILES = NoRes.res\r\n");
  run = Make("NoRes.mak");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Fatal: 'NoRes.res' does not exist - don't know how to make it"),
            std::string::npos)
      << run.Output;

  WriteSource("Stop.mak", "!ifndef ZELINCPATH\r\n!error ZELINCPATH is not set\r\n!endif\r\n");
  run = Make("Stop.mak");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Stop.mak 2: Error directive: ZELINCPATH is not set"), std::string::npos)
      << run.Output;

  WriteSource("NoProject.mak", "OBJFILES = ZeEngine.obj\r\n");
  run = Make("NoProject.mak");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("defines no PROJECT"), std::string::npos) << run.Output;
}

} // namespace
