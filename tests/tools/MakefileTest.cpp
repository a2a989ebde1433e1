// Borland makefiles and C++Builder XML projects as the stand-in make and bpr2mak read them.
#include "Makefile.h"
#include "BpkProject.h"
#include "EnvironmentUnits.h"
#include "StandInError.h"
#include "StandInFiles.h"
#include "ToolRun.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>

namespace {

using namespace StandIn;

class MakefileTest : public ::testing::Test {
protected:
  TMakefile Read(const std::string &text, std::map<std::string, std::string> macros = {}) {
    std::string path = temp_ / "Project.mak";
    WriteTextFile(path, text);
    TMakefile makefile(std::move(macros), [this](const std::string &line) { printed_.push_back(line); });
    makefile.Read(path);
    return makefile;
  }
  std::string ErrorOf(const std::string &text, std::map<std::string, std::string> macros = {}) {
    try {
      Read(text, std::move(macros));
    } catch (const EStandInError &error) {
      return error.Message();
    }
    return "no error";
  }

  TTempFolder temp_;
  std::vector<std::string> printed_;
};

TEST_F(MakefileTest, MacrosExpandWhenUsedWithSubstitution) {
  TMakefile makefile = Read("OBJFILES = Zel7C6.obj \\\r\n  ZeEngine.obj\r\nRESDEPEN = $(RESFILES)\r\n"
                            "RESFILES = Zel7C6.res\r\nHEADERS = $(OBJFILES:.obj=.hpp)\r\nPRICE = $$5\r\n");
  EXPECT_EQ(SplitWords(makefile.Macro("OBJFILES")), (std::vector<std::string>{"Zel7C6.obj", "ZeEngine.obj"}));
  EXPECT_EQ(makefile.Macro("resdepen"), "Zel7C6.res"); // expanded when used, names without case
  EXPECT_EQ(SplitWords(makefile.Macro("HEADERS")), (std::vector<std::string>{"Zel7C6.hpp", "ZeEngine.hpp"}));
  EXPECT_EQ(makefile.Macro("PRICE"), "$5");
  EXPECT_EQ(makefile.Macro("UNDEFINED"), "");
}

TEST_F(MakefileTest, ConditionalsWithDefinedAndComparisons) {
  TMakefile makefile =
      Read("!if !$d(BCB)\r\nBCB = $(MAKEDIR)\\..\r\n!endif\r\n"
           "!ifdef ZELENTERPRISE\r\nEDITION = Enterprise\r\n!elif $(LEVEL) == 2\r\nEDITION = Pro\r\n"
           "!else\r\nEDITION = Standard\r\n!endif\r\n"
           "!ifndef MISSING\r\nSEEN = 1\r\n!endif\r\n",
           {{"MAKEDIR", "C:\\BCB6\\bin"}, {"LEVEL", "2"}});
  EXPECT_EQ(makefile.Macro("BCB"), "C:\\BCB6\\bin\\..");
  EXPECT_EQ(makefile.Macro("EDITION"), "Pro");
  EXPECT_EQ(makefile.Macro("SEEN"), "1");
}

TEST_F(MakefileTest, TheMakefileReplacesACommandLineMacroUnlessItAsks) {
  TMakefile makefile =
      Read("A = makefile\r\n!if !$d(B)\r\nB = makefile\r\n!endif\r\n", {{"A", "cmd"}, {"B", "cmd"}});
  EXPECT_EQ(makefile.Macro("A"), "makefile");
  EXPECT_EQ(makefile.Macro("B"), "cmd");
}

TEST_F(MakefileTest, RulesCommandsAndInlineResponseFiles) {
  TMakefile makefile = Read(".autodepend\r\n.pas.obj:\r\n    dcc32 $<\r\n\r\n"
                            "$(PROJECT): $(OBJFILES)\r\n    ilink32 @&&!\r\n-Gn +\r\nNOT = a macro\r\n!\r\n"
                            "PROJECT = Zel7C6.bpl\r\nC:\\Out\\x.obj: x.pas\r\n");
  ASSERT_EQ(makefile.Rules().size(), 3u);
  EXPECT_TRUE(makefile.Rules()[0].Implicit);
  EXPECT_EQ(makefile.DefaultTarget(), "Zel7C6.bpl");
  EXPECT_EQ(makefile.Rules()[2].Targets, std::vector<std::string>{"C:\\Out\\x.obj"});
  EXPECT_EQ(makefile.Macro("NOT"), "");
}

TEST_F(MakefileTest, MessagesAndIncludes) {
  WriteTextFile(temp_ / "defs.mak", "FROMINCLUDE = yes\r\n");
  TMakefile makefile = Read("!include \"defs.mak\"\r\n!message Building $(FROMINCLUDE)\r\n");
  EXPECT_EQ(makefile.Macro("FROMINCLUDE"), "yes");
  EXPECT_EQ(printed_, std::vector<std::string>{"Building yes"});
}

TEST_F(MakefileTest, ErrorsNameTheFileAndLine) {
  std::string file = temp_ / "Project.mak";
  EXPECT_EQ(ErrorOf("A = 1\r\n!error Needs $(A) more\r\n"),
            "Fatal " + file + " 2: Error directive: Needs 1 more");
  EXPECT_EQ(ErrorOf("!ifdef X\r\n"), "Fatal " + file + " 1: No terminating !endif");
  EXPECT_EQ(ErrorOf("!endif\r\n"), "Fatal " + file + " 1: Misplaced endif statement");
  EXPECT_EQ(ErrorOf("!frobnicate\r\n"), "Fatal " + file + " 1: Unknown preprocessor statement");
  EXPECT_EQ(ErrorOf("just words\r\n"), "Fatal " + file + " 1: Command syntax error");
  EXPECT_NE(ErrorOf("!include \"nowhere.mak\"\r\n").find("Unable to open include file"), std::string::npos);
  EXPECT_NE(ErrorOf("A = $(A)x\r\nB = $(A)\r\n!if $(B) == 1\r\n!endif\r\n").find("too deep"),
            std::string::npos);
}

TEST_F(MakefileTest, AMissingMakefile) {
  TMakefile makefile({}, [](const std::string &) {});
  try {
    makefile.Read(temp_ / "none.mak");
    FAIL() << "read a missing makefile";
  } catch (const EStandInError &error) {
    EXPECT_EQ(error.Message(), "Fatal: Unable to open makefile");
  }
}

const char *const Project =
    "<?xml version='1.0' encoding='utf-8' ?>\r\n<!-- C++Builder XML Project -->\r\n<PROJECT>\r\n  "
    "<MACROS>\r\n"
    "    <VERSION value=\"BCB.06.00\"/>\r\n    <PROJECT value=\"Zel7C6.bpl\"/>\r\n"
    "    <OBJFILES value=\"Zel7C6.obj ZeEngine.obj\"/>\r\n    <PACKAGES value=\"rtl.bpi vcl.bpi\"/>\r\n"
    "  </MACROS>\r\n  <OPTIONS>\r\n    <LFLAGS value='-D&quot;Quivex &amp; Co&quot; -Gpr'/>\r\n  "
    "</OPTIONS>\r\n"
    "  <LINKER>\r\n    <ALLRES value=\"$(RESFILES)\"/>\r\n  </LINKER>\r\n  <IDEOPTIONS>\r\n[Version Info]\r\n"
    "IncludeVerInfo=1\r\n  </IDEOPTIONS>\r\n</PROJECT>\r\n";

TEST(BpkProjectTest, MacrosOptionsAndLinkerInFileOrder) {
  TBpkProject project = ReadBpkProject(Project, "Zel7C6.bpk");
  ASSERT_EQ(project.Macros.size(), 4u);
  EXPECT_EQ(project.Macros[1], (std::pair<std::string, std::string>("PROJECT", "Zel7C6.bpl")));
  ASSERT_EQ(project.Options.size(), 1u);
  EXPECT_EQ(project.Options[0].second, "-D\"Quivex & Co\" -Gpr");
  EXPECT_EQ(project.Linker[0].first, "ALLRES");
}

TEST(BpkProjectTest, TheMakefileMakeReadsBack) {
  TTempFolder temp;
  WriteTextFile(temp / "Zel7C6.mak",
                WriteProjectMakefile(ReadBpkProject(Project, "Zel7C6.bpk"), "Zel7C6.bpk"));
  TMakefile makefile({{"MAKEDIR", "C:\\CBuilder6\\bin"}}, [](const std::string &) {});
  makefile.Read(temp / "Zel7C6.mak");
  EXPECT_EQ(makefile.Macro("PROJECT"), "Zel7C6.bpl");
  EXPECT_EQ(makefile.Macro("LFLAGS"), "-D\"Quivex & Co\" -Gpr");
  EXPECT_EQ(makefile.Macro("BCB"), "C:\\CBuilder6\\bin\\..");
  EXPECT_EQ(makefile.DefaultTarget(), "Zel7C6.bpl");
}

struct TBadProjectCase {
  const char *Name;
  std::string Text;
  const char *Message;
};

// Test names show the case, not its bytes.
void PrintTo(const TBadProjectCase &value, std::ostream *os) {
  *os << value.Name;
}

class BadProjectTest : public ::testing::TestWithParam<TBadProjectCase> {};

TEST_P(BadProjectTest, IsRejectedWithItsReason) {
  try {
    ReadBpkProject(GetParam().Text, "P.bpk");
    FAIL() << "accepted";
  } catch (const EStandInError &error) {
    EXPECT_NE(error.Message().find(GetParam().Message), std::string::npos) << error.Message();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Projects, BadProjectTest,
    ::testing::Values(
        TBadProjectCase{"ByteOrderMark", std::string("\xEF\xBB\xBF") + Project,
                        "(line 1, column 1): expected '<'"},
        TBadProjectCase{"NotAProject", "<OTHER/>", "is not a C++Builder project file"},
        TBadProjectCase{"NoProjectMacro",
                        "<PROJECT><MACROS><VERSION value=\"BCB.06.00\"/></MACROS></PROJECT>",
                        "names no PROJECT"},
        TBadProjectCase{"Unclosed", "<PROJECT><MACROS>\r\n", "missing </MACROS>"},
        TBadProjectCase{"WrongEndTag", "<PROJECT></MACROS>", "</PROJECT> expected but </MACROS> found"},
        TBadProjectCase{"UnknownEntity", "<PROJECT><A value=\"&nbsp;\"/></PROJECT>", "unknown entity"},
        TBadProjectCase{"MakefileForm", "PROJECT = Zel7C4.bpl\r\n", "expected '<'"}),
    [](const auto &info) { return std::string(info.param.Name); });

struct TUnitCase {
  const char *Name;
  TTargetKind Target;
  double Version;
  bool Known;
};

// Test names show the case, not its bytes.
void PrintTo(const TUnitCase &value, std::ostream *os) {
  *os << value.Name << (value.Target == TTargetKind::DotNet ? " .NET " : " Win32 ") << value.Version;
}

class EnvironmentUnitTest : public ::testing::TestWithParam<TUnitCase> {};

TEST_P(EnvironmentUnitTest, KnownByVersionAndTarget) {
  EXPECT_EQ(IsEnvironmentUnit(GetParam().Name, GetParam().Target, GetParam().Version), GetParam().Known);
}

INSTANTIATE_TEST_SUITE_P(
    Units, EnvironmentUnitTest,
    ::testing::Values(TUnitCase{"SysUtils", TTargetKind::Win32, 12.0, true},
                      TUnitCase{"sysutils", TTargetKind::Win32, 15.0, true},
                      TUnitCase{"DsgnIntf", TTargetKind::Win32, 13.0, true},
                      TUnitCase{"DsgnIntf", TTargetKind::Win32, 14.0, false},
                      TUnitCase{"DesignIntf", TTargetKind::Win32, 13.0, false},
                      TUnitCase{"DesignIntf", TTargetKind::Win32, 15.0, true},
                      TUnitCase{"Variants", TTargetKind::Win32, 13.0, false},
                      TUnitCase{"QGraphics", TTargetKind::Win32, 14.0, true},
                      TUnitCase{"ZeEngine", TTargetKind::Win32, 15.0, false},
                      TUnitCase{"Graphics", TTargetKind::DotNet, 16.0, false},
                      TUnitCase{"Borland.Vcl.Graphics", TTargetKind::DotNet, 16.0, true},
                      TUnitCase{"Borland.Vcl.DesignIntf", TTargetKind::DotNet, 16.0, true},
                      TUnitCase{"System.Drawing", TTargetKind::DotNet, 16.0, true},
                      TUnitCase{"SysInit", TTargetKind::DotNet, 16.0, true},
                      TUnitCase{"Borland.Vcl.ZeEngine", TTargetKind::DotNet, 16.0, false}),
    [](const auto &info) {
      std::string name = std::string(info.param.Name) + "_" +
                         (info.param.Target == TTargetKind::DotNet ? "Net" : "Win32") +
                         std::to_string(static_cast<int>(info.param.Version));
      std::replace(name.begin(), name.end(), '.', '_');
      return name;
    });

} // namespace
